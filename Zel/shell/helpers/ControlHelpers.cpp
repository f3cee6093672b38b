#include "Zel/shell/helpers/ControlHelpers.h"

#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "Zel/shell/skin/SkinBackgroundBrush.h"

#include <commctrl.h>

#include <vector>

void SetWindowString(HWND window, const CZELString& text)
{
    if (text.IsEmpty()) return;
    SetWindowTextW(window, text.GetBuffer());
}

void GetWindowString(HWND window, CZELString& out)
{
    int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> buffer(size_t(length) + 1, 0);
    int read = GetWindowTextW(window, buffer.data(), length + 1);
    out = CZELString(buffer.data(), read > 0 ? read : 0);
}

int ComboAddLangString(HWND combo, int textNumber)
{
    CZELString text = GuiText(textNumber);
    return int(SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(text.GetBuffer() ? text.GetBuffer() : L"")));
}

void ComboGetSelectedText(HWND combo, CZELString& out)
{
    out = CZELString();
    LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR) return;
    LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(selected), 0);
    if (length == CB_ERR || length < 0) return;
    std::vector<wchar_t> buffer(size_t(length) + 1, 0);
    SendMessageW(combo, CB_GETLBTEXT, WPARAM(selected), LPARAM(buffer.data()));
    out = CZELString(buffer.data(), int(length));
}

int ListViewGetSelected(HWND listView)
{
    int count = int(SendMessageW(listView, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (SendMessageW(listView, LVM_GETITEMSTATE, WPARAM(i), LVIS_SELECTED) & LVIS_SELECTED) return i;
    return -1;
}

void ListViewApplySkin(HWND listView)
{
    HBITMAP background = MakeSkinBackgroundBitmap(GuiBackgroundBrush(), listView);
    if (background) {
        LVBKIMAGEW image = {};
        image.ulFlags = LVBKIF_SOURCE_HBITMAP | LVBKIF_STYLE_TILE;
        image.hbm = background;
        SendMessageW(listView, LVM_SETBKIMAGEW, 0, LPARAM(&image));
        DeleteObject(background);
    }
    SendMessageW(listView, LVM_SETTEXTCOLOR, 0, LPARAM(GetSchemeColor(ColorScheme::TextColor)));
}
