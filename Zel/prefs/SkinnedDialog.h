// The base of the preferences' full-screen dialogs (file browser, editors, picker, palette, font
// dialog): the program's skin behind their controls and the scheme's text colour on their labels,
// as on the program's other windows. The plain dialog's defaults leave them black, with labels in
// black on it.
#pragma once

#include "ZELCommon/ZELWMUI_BigDlg.h"

#include <windows.h>

class SkinnedDialog : public UI::CZELWMUI_BigDlg {
public:
    HBRUSH GetBkBrush() override;
    COLORREF GetTextColor() override;
};
