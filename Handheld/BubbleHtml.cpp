#include "Handheld/BubbleHtml.h"

#include <cwctype>

namespace {

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text) c = wchar_t(std::towlower(c));
    return text;
}

// The tag's name, lower case, with a leading '/' when it closes.
std::wstring TagName(const std::wstring& tag)
{
    size_t at = 0;
    while (at < tag.size() && std::iswspace(tag[at])) ++at;
    size_t start = at;
    if (at < tag.size() && tag[at] == L'/') ++at;
    while (at < tag.size() && (std::iswalnum(tag[at]))) ++at;
    return Lower(tag.substr(start, at - start));
}

// The value of attribute name inside tag, quotes removed; empty when absent.
std::wstring Attribute(const std::wstring& tag, const wchar_t* name)
{
    std::wstring lower = Lower(tag);
    std::wstring key = std::wstring(name) + L"=";
    size_t at = lower.find(key);
    if (at == std::wstring::npos) return std::wstring();
    at += key.size();
    if (at < tag.size() && (tag[at] == L'"' || tag[at] == L'\'')) {
        wchar_t quote = tag[at++];
        size_t end = tag.find(quote, at);
        return tag.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
    }
    size_t end = at;
    while (end < tag.size() && !std::iswspace(tag[end]) && tag[end] != L'/') ++end;
    return tag.substr(at, end - at);
}

struct Entity {
    const wchar_t* name;
    wchar_t character;
};
const Entity kEntities[] = {{L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}};

}  // namespace

namespace BubbleHtml {

bool ParseColor(const std::wstring& value, COLORREF* color)
{
    if (value.size() != 7 || value[0] != L'#') return false;
    unsigned rgb = 0;
    for (size_t i = 1; i < 7; ++i) {
        wchar_t c = value[i];
        unsigned digit;
        if (c >= L'0' && c <= L'9') digit = unsigned(c - L'0');
        else if (c >= L'a' && c <= L'f') digit = unsigned(c - L'a' + 10);
        else if (c >= L'A' && c <= L'F') digit = unsigned(c - L'A' + 10);
        else return false;
        rgb = rgb << 4 | digit;
    }
    *color = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    return true;
}

std::vector<Run> Parse(const wchar_t* html, COLORREF textColor)
{
    std::vector<Run> runs;
    if (!html) return runs;
    int bold = 0, center = 0;
    std::vector<COLORREF> colors(1, textColor);
    auto add = [&](RunKind kind, const std::wstring& text) {
        Run run{kind, text, bold > 0, center > 0, colors.back()};
        if (kind == RunText && !runs.empty()) {
            Run& last = runs.back();
            if (last.kind == RunText && last.bold == run.bold && last.center == run.center && last.color == run.color) {
                last.text += text;
                return;
            }
        }
        runs.push_back(run);
    };
    std::wstring text(html);
    size_t at = 0;
    while (at < text.size()) {
        wchar_t c = text[at];
        if (c == L'<') {
            size_t end = text.find(L'>', at);
            if (end == std::wstring::npos) break;
            std::wstring tag = text.substr(at + 1, end - at - 1);
            at = end + 1;
            std::wstring name = TagName(tag);
            if (name == L"br") add(RunBreak, std::wstring());
            else if (name == L"b") ++bold;
            else if (name == L"/b") bold = bold > 0 ? bold - 1 : 0;
            else if (name == L"center") {
                // A centred block starts on its own line.
                if (!runs.empty() && runs.back().kind != RunBreak) add(RunBreak, std::wstring());
                ++center;
            } else if (name == L"/center") {
                if (center > 0) {
                    if (!runs.empty() && runs.back().kind != RunBreak) add(RunBreak, std::wstring());
                    --center;
                }
            } else if (name == L"font") {
                COLORREF color = colors.back();
                ParseColor(Attribute(tag, L"color"), &color);
                colors.push_back(color);
            } else if (name == L"/font") {
                if (colors.size() > 1) colors.pop_back();
            } else if (name == L"img") add(RunImage, std::wstring());
            continue;
        }
        if (c == L'&') {
            bool found = false;
            for (const Entity& entity : kEntities) {
                size_t length = wcslen(entity.name);
                if (text.compare(at, length, entity.name) == 0) {
                    add(RunText, std::wstring(1, entity.character));
                    at += length;
                    found = true;
                    break;
                }
            }
            if (found) continue;
        }
        size_t next = text.find_first_of(L"<&", at + 1);
        if (next == std::wstring::npos) next = text.size();
        // Line ends and tabs in the text are blanks, as in any HTML: only "<br>" breaks a line.
        std::wstring segment = text.substr(at, next - at);
        for (wchar_t& unit : segment)
            if (unit == L'\r' || unit == L'\n' || unit == L'\t') unit = L' ';
        add(RunText, segment);
        at = next;
    }
    // Breaks at the end draw nothing.
    while (!runs.empty() && runs.back().kind == RunBreak) runs.pop_back();
    return runs;
}

}  // namespace BubbleHtml
