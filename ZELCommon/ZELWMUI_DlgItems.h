// Reading and writing a dialog control's text as a CZELString, for every module's pages and dialogs.
#pragma once

#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <vector>

namespace UI {

// The control's text, cut at maxChars characters.
inline CZELString GetDlgItemString(HWND dialog, int id, int maxChars)
{
    std::vector<wchar_t> text(size_t(maxChars) + 1, L'\0');
    GetDlgItemTextW(dialog, id, text.data(), maxChars + 1);
    return CZELString(text.data());
}

inline void SetDlgItemString(HWND dialog, int id, const CZELString& text)
{
    SetDlgItemTextW(dialog, id, text.GetBuffer() ? text.GetBuffer() : L"");
}

}  // namespace UI
