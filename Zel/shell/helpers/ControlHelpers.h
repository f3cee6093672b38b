// Window, combo-box and list-view texts and looks through CZELString.
#pragma once

#include "ZELCommon/ZELString.h"

#include <windows.h>

// An empty string sets no text.
void SetWindowString(HWND window, const CZELString& text);
void GetWindowString(HWND window, CZELString& out);
// Adds the program's text of that number; the new item's index.
int ComboAddLangString(HWND combo, int textNumber);
void ComboGetSelectedText(HWND combo, CZELString& out);
// The first selected item, -1 when none is.
int ListViewGetSelected(HWND listView);
// The skin's background tiled behind the items, the text in scheme colour 22.
void ListViewApplySkin(HWND listView);
