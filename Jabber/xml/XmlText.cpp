#include "Jabber/xml/XmlText.h"

#include <windows.h>

#include <cstring>

std::string Utf8FromWide(const wchar_t* text, int length)
{
    if (!text) return std::string();
    if (length < 0) length = int(wcslen(text));
    if (length == 0) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], size, nullptr, nullptr);
    return out;
}

std::wstring WideFromUtf8(const std::string& text)
{
    if (text.empty()) return std::wstring();
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    if (size <= 0) return std::wstring();
    std::wstring out(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &out[0], size);
    return out;
}

void AppendEscaped(std::string& out, const char* text, size_t length)
{
    size_t plain = 0;  // start of the run copied as it stands
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        const char* replacement;
        switch (c) {
        case '&': replacement = "&amp;"; break;
        case '<': replacement = "&lt;"; break;
        case '>': replacement = "&gt;"; break;
        case '"': replacement = "&quot;"; break;
        case '\'': replacement = "&apos;"; break;
        case '\r': replacement = ""; break;
        case '\t':
        case '\n': continue;
        default:
            if (c >= 32) continue;
            replacement = " ";
        }
        out.append(text + plain, i - plain);
        out.append(replacement);
        plain = i + 1;
    }
    out.append(text + plain, length - plain);
}

std::string EscapeXmlText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    AppendEscaped(out, text.data(), text.size());
    return out;
}

namespace {

struct Entity {
    const char* name;  // after the "&", with the ";"
    size_t length;
    char value;
};

const Entity kEntities[] = {
    {"amp;", 4, '&'}, {"apos;", 5, '\''}, {"gt;", 3, '>'}, {"lt;", 3, '<'}, {"quot;", 5, '"'},
};

}  // namespace

void DecodeEntities(std::string& text)
{
    size_t read = text.find('&');
    if (read == std::string::npos) return;
    size_t write = read;
    while (read < text.size()) {
        char c = text[read];
        if (c == '&') {
            const Entity* found = nullptr;
            for (const Entity& entity : kEntities) {
                if (text.compare(read + 1, entity.length, entity.name) == 0) {
                    found = &entity;
                    break;
                }
            }
            if (found) {
                text[write++] = found->value;
                read += 1 + found->length;
                continue;
            }
        }
        text[write++] = c;
        ++read;
    }
    text.resize(write);
}

std::string DecodeText(const char* text, size_t length)
{
    std::string out(text, length);
    DecodeEntities(out);
    return out;
}

std::wstring ExpandNewlines(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out.push_back(L'\r');
        out.push_back(text[i]);
    }
    return out;
}
