// The skin behind the program's own dialogs and pages and the scheme's text colour on their labels,
// as on the program's other windows. The plain window's defaults leave them black, with labels in
// black on it.
#pragma once

#include "ZELCommon/ZELWMUI_BigDlg.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"

#include <windows.h>

// The skin's background brush; the system's window brush while no skin is loaded.
HBRUSH SkinnedBackground();
// The colour scheme's text colour.
COLORREF SkinnedTextColor();

// The base of the full-screen dialogs (file browser, editors, picker, palette, font dialog).
class SkinnedDialog : public UI::CZELWMUI_BigDlg {
public:
    HBRUSH GetBkBrush() override;
    COLORREF GetTextColor() override;
};

// The base of the pages of the program's tabbed dialogs (preferences, search results, the chat
// window's settings).
class SkinnedPage : public UI::CZELWMUI_SettingsPan {
public:
    HBRUSH GetBkBrush() override;
    COLORREF GetTextColor() override;
};
