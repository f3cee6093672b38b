#include "Zel/shell/notify/NotifyHtml.h"

#include "Zel/chat/SmileyPack.h"
#include "Zel/chat/smiley/SmileyCodeSearch.h"

#include <string>

namespace {

std::wstring Wide(const CZELString& text)
{
    return std::wstring(text.GetBuffer() ? text.GetBuffer() : L"", size_t(text.GetLength()));
}

CZELString FromWide(const std::wstring& text)
{
    return text.empty() ? CZELString() : CZELString(text.c_str(), int(text.size()));
}

}  // namespace

namespace NotifyHtml {

CZELString Escape(const CZELString& text)
{
    std::wstring out;
    for (wchar_t c : Wide(text)) {
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"': out += L"&quot;"; break;
        default: out += c; break;
        }
    }
    return FromWide(out);
}

CZELString TextToHtml(const CZELString& text)
{
    std::wstring escaped = Wide(Escape(text));
    std::wstring out;
    for (size_t at = 0; at < escaped.size(); ++at) {
        if (escaped[at] == L'\r' && at + 1 < escaped.size() && escaped[at + 1] == L'\n') {
            out += L"<br>";
            ++at;
        } else {
            out += escaped[at];
        }
    }
    return FromWide(out);
}

CZELString MessageToHtml(const CZELString& text, const CSmileyPack& pack)
{
    if (!pack.IsLoaded()) return TextToHtml(text);
    std::wstring raw = Wide(text);
    // Codes are found in the text as written, so an escaped "&lt;" never hides a code with "<" in
    // it, and a line break is never part of one.
    std::vector<std::pair<size_t, size_t>> breaks;
    for (size_t at = raw.find(L"\r\n"); at != std::wstring::npos; at = raw.find(L"\r\n", at + 2)) breaks.emplace_back(at, 2);
    std::vector<SmileyCodeSpan> spans = FindSmileyCodes(raw, pack.CodeTable(), kBodySmileyLimit, breaks);
    CZELString html;
    size_t from = 0;
    for (const SmileyCodeSpan& span : spans) {
        html += TextToHtml(FromWide(raw.substr(from, span.start - from)));
        const CAnimatedPicture* picture = pack.GetSmiley(span.smiley);
        html += L"<img src=\"file:\\\\";
        if (picture) html += Escape(picture->Path());
        html += L"\" style=\"vertical-align:middle\" border=\"0\" />";
        from = span.start + span.length;
    }
    html += TextToHtml(FromWide(raw.substr(from)));
    return html;
}

CZELString MessageToHtml(const CZELString& text)
{
    return MessageToHtml(text, SmileyPackInUse());
}

CZELString StatusHtml(const CZELString& alias, bool online, const CZELString& statusText,
                      const CZELString& protocolName, const CZELString& accountName)
{
    CZELString html = CZELString(L"<center><B>[ ") + Escape(alias) + L" ]</B></center><center>";
    html = html + (online ? L"<font color=\"#000088\"><B>" : L"<font color=\"#880000\"><B>");
    html = html + Escape(statusText) + L"</B></font></center><br><center>";
    return html + Escape(protocolName) + L" " + Escape(accountName) + L"</center>";
}

}  // namespace NotifyHtml
