// What the composer sends: its text without one final line break. False when nothing is left.
#pragma once

#include <string>

inline bool ComposerTextToSend(std::wstring text, std::wstring& out)
{
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0) text.resize(text.size() - 2);
    else if (!text.empty() && text.back() == L'\n') text.pop_back();
    if (text.empty()) return false;
    out = text;
    return true;
}
