#include "Zel/chat/log/LogSpans.h"

#include <algorithm>
#include <cwctype>

namespace {

// Inserts the span in start order unless it overlaps one already there.
bool Insert(std::vector<LogSpan>& spans, const LogSpan& span)
{
    auto at = std::lower_bound(spans.begin(), spans.end(), span.start,
                               [](const LogSpan& s, int start) { return s.start < start; });
    if (at != spans.end() && at->start < span.start + span.length) return false;
    if (at != spans.begin()) {
        const LogSpan& before = *(at - 1);
        if (before.start + before.length > span.start) return false;
    }
    spans.insert(at, span);
    return true;
}

int LinkEnd(const std::wstring& text, size_t from)
{
    size_t end = from;
    while (end < text.size() && !std::iswspace(text[end]) && text[end] != L',') ++end;
    return int(end);
}

}  // namespace

std::vector<LogSpan> FindSpans(const std::wstring& text, const ISmileyCodes* smilies, int budget)
{
    std::vector<LogSpan> spans;
    for (const wchar_t* prefix : {L"http://", L"www."}) {
        size_t from = 0;
        for (;;) {
            size_t found = text.find(prefix, from);
            if (found == std::wstring::npos) break;
            int end = LinkEnd(text, found);
            LogSpan link = {LogSpanLink, int(found), end - int(found), -1, -1};
            from = Insert(spans, link) ? size_t(end) : found + 1;
        }
    }
    if (!smilies || budget <= 0) return spans;
    for (int smiley = 0; smiley < smilies->GetSmileyCount(); ++smiley) {
        for (int code = 0; code < smilies->GetCodeCount(smiley); ++code) {
            std::wstring codeText = smilies->GetCode(smiley, code);
            if (codeText.empty()) continue;
            size_t from = 0;
            for (;;) {
                size_t found = text.find(codeText, from);
                if (found == std::wstring::npos) break;
                LogSpan span = {LogSpanSmiley, int(found), int(codeText.size()), smiley, code};
                if (Insert(spans, span)) {
                    if (--budget == 0) return spans;
                    from = found + codeText.size();
                } else {
                    from = found + 1;
                }
            }
        }
    }
    return spans;
}
