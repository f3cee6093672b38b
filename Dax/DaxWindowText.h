// Reading and writing the texts of the plug-in's windows' controls.
#pragma once

#include "ZELCommon/ZELString.h"

#include <windows.h>

namespace DaxWindowText {

// Texts typed into the windows are cut at this length.
const int FieldLimit = 256;

inline CZELString ItemText(HWND window, int id)
{
    wchar_t text[FieldLimit + 1] = L"";
    GetDlgItemTextW(window, id, text, FieldLimit + 1);
    return CZELString(text);
}

inline void SetItem(HWND window, int id, const CZELString& text)
{
    SetDlgItemTextW(window, id, text.GetBuffer() ? text.GetBuffer() : L"");
}

}  // namespace DaxWindowText
