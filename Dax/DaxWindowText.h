// Reading and writing the texts of the plug-in's windows' controls.
#pragma once

#include "ZELCommon/ZELWMUI_DlgItems.h"

namespace DaxWindowText {

// Texts typed into the windows are cut at this length.
const int FieldLimit = 256;

inline CZELString ItemText(HWND window, int id)
{
    return UI::GetDlgItemString(window, id, FieldLimit);
}

using UI::SetDlgItemString;

}  // namespace DaxWindowText
