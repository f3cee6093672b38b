#include "Zel/prefs/ColorEditors.h"

#include "Zel/prefs/FileBrowserDialog.h"
#include "Zel/prefs/PreferencesPage.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/helpers/ControlHelpers.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"
#include "ZELCommon/ZELWMUI_ListImageCtrl.h"

#include <commctrl.h>

#include <cstring>
#include <string>

namespace {

enum { SchemeList = 1022, FirstColorName = 174, RowTextColor = 22 };
const int kTracks[3] = {1034, 1035, 1036};
const int kEdits[3] = {1014, 1017, 1015};
const int kPaletteEdits[3] = {1040, 1041, 1042};
enum { PreviewId = 1037, PaletteButton = 1039, Placeholder = 1043 };

COLORREF g_picked = 0;
int g_paletteCell = -1;

int Dip(int pixels, int dpi)
{
    return (pixels * dpi + 48) / 96;
}

// A channel's edit takes Enter itself: the dialog would end with OK on it, where Enter in an edit
// only reads its number.
LRESULT CALLBACK ChannelEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR channel,
                                 DWORD_PTR picker)
{
    switch (message) {
    case WM_GETDLGCODE: {
        LRESULT code = DefSubclassProc(edit, message, wParam, lParam);
        const MSG* key = reinterpret_cast<const MSG*>(lParam);
        if (key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) code |= DLGC_WANTALLKEYS;
        return code;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            reinterpret_cast<ColorPicker*>(picker)->ReadEdit(int(channel));
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r') return 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(edit, ChannelEditProc, channel);
        break;
    default: break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

PopupMenuResult ShowAt(const CPopupMenu& menu, HWND window)
{
    RECT area = {};
    GetWindowRect(window, &area);
    return ShowPopupMenu(menu, area, POINT{area.right, area.bottom}, MenuAlignAboveRight, window, true);
}

}  // namespace

COLORREF& PickedColor()
{
    return g_picked;
}

int& PaletteSelection()
{
    return g_paletteCell;
}

COLORREF PaletteColor(int index)
{
    // 125 mixes of 0, 51, ... 204 (red fastest), with pure red after (204, 0, 0), pure green
    // after (204, 204, 0) and pure blue last.
    static COLORREF table[PaletteDialog::Cells];
    static bool made = false;
    if (!made) {
        int n = 0;
        for (int b = 0; b < 5; ++b)
            for (int g = 0; g < 5; ++g)
                for (int r = 0; r < 5; ++r) {
                    table[n++] = RGB(r * 51, g * 51, b * 51);
                    if (b == 0 && g == 0 && r == 4) table[n++] = RGB(255, 0, 0);
                    if (b == 0 && g == 4 && r == 4) table[n++] = RGB(0, 255, 0);
                }
        table[n++] = RGB(0, 0, 255);
        made = true;
    }
    return index >= 0 && index < PaletteDialog::Cells ? table[index] : 0;
}

// ---- Colour scheme editor ----

ColorSchemeEditor::ColorSchemeEditor(const COLORREF* source, const wchar_t* skin) : skinName(skin ? skin : L"")
{
    std::memcpy(colors, source, sizeof colors);
}

void ColorSchemeEditor::OnInitDialog()
{
    UI::CZELWMUI_BigDlg::OnInitDialog();
    HWND list = GetDlgItem(SchemeList);
    RECT client = ClientAboveBar();
    MoveWindow(list, 0, 0, client.right, client.bottom, FALSE);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    GetClientRect(list, &client);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = client.right - GetSystemMetrics(SM_CXVSCROLL);
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, LPARAM(&column));
    for (int i = 0; i < Count; ++i) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        item.lParam = i;
        SendMessageW(list, LVM_INSERTITEMW, 0, LPARAM(&item));
    }
    SetFocus(list);
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 0, LPARAM(&state));
    ListViewApplySkin(list);
}

int ColorSchemeEditor::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    caption = GuiText(key == SoftKeyLeft ? 243 : 246);
    return 1;
}

void ColorSchemeEditor::OnSoftKey(TSoftKey key)
{
    if (key == SoftKeyLeft) {
        EndDialog(IDOK);
        return;
    }
    CPopupMenu menu;
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, GuiText(252), MenuChange, nullptr, 0, false));
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 61, GuiText(253), MenuDefault, nullptr, 0, false));
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 65, GuiText(254), MenuLoad, nullptr, 0, false));
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 62, GuiText(255), MenuSave, nullptr, 0, false));
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 67, GuiText(244), MenuCancel, nullptr, 0, false));
    RunMenuCommand(ShowAt(menu, hwnd).commandId);
}

void ColorSchemeEditor::RunMenuCommand(int command)
{
    HWND list = GetDlgItem(SchemeList);
    std::wstring path;
    switch (command) {
    case MenuChange: Change(); break;
    case MenuDefault:
        ColorScheme::LoadPack(skinName, colors);
        InvalidateRect(list, nullptr, TRUE);
        break;
    case MenuLoad:
        if (RunFileBrowser(hwnd, L"*.ini;", FileBrowserDialog::ModeOpen, path)) {
            ColorScheme::Load(path.c_str(), colors);
            InvalidateRect(list, nullptr, TRUE);
        }
        break;
    case MenuSave:
        if (RunFileBrowser(hwnd, L"*.ini;", FileBrowserDialog::ModeSave, path)) ColorScheme::Save(path.c_str(), colors);
        break;
    case MenuCancel: EndDialog(IDCANCEL); break;
    default: break;
    }
}

void ColorSchemeEditor::Change()
{
    HWND list = GetDlgItem(SchemeList);
    const int row = ListViewGetSelected(list);
    if (row < 0 || row >= Count) return;
    COLORREF color = colors[row];
    if (!RunColorPicker(hwnd, color)) return;
    colors[row] = color;
    RECT rect = {};
    rect.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, WPARAM(row), LPARAM(&rect));
    InvalidateRect(list, &rect, TRUE);
}

void ColorSchemeEditor::OnNotify(HWND from, UINT_PTR id, UINT code, NMHDR* header)
{
    if (id == SchemeList && (code == UINT(LVN_ITEMACTIVATE) || code == UINT(NM_RETURN)))
        Change();
    else
        UI::CZELWMUI_BigDlg::OnNotify(from, id, code, header);
}

void ColorSchemeEditor::OnDrawItem(UINT id, DRAWITEMSTRUCT* item)
{
    if (id != SchemeList || !item) return;
    const int row = int(item->itemID);
    if (row < 0 || row >= Count) return;
    HDC dc = item->hDC;
    RECT box = item->rcItem;
    const bool selected = (item->itemState & ODS_SELECTED) != 0;
    const bool focused = GetFocus() == GetDlgItem(SchemeList);
    COLORREF text = GetSchemeColor(RowTextColor);
    if (selected) {
        FillRect(dc, &box, GetSysColorBrush(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        if (focused) text = GetSysColor(COLOR_HIGHLIGHTTEXT);
    }
    const int one = Dip(1, g_HIDPI_LogPixelsX);
    RECT swatch = {box.left + one, box.top + Dip(1, g_HIDPI_LogPixelsY), box.left + one + Dip(14, g_HIDPI_LogPixelsX),
                   box.bottom - Dip(1, g_HIDPI_LogPixelsY)};
    HBRUSH brush = CreateSolidBrush(colors[row]);
    FillRect(dc, &swatch, brush);
    DeleteObject(brush);
    RECT label = box;
    label.left = swatch.right + Dip(5, g_HIDPI_LogPixelsX);
    CZELString name = GuiText(FirstColorName + row);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, text);
    if (!name.IsEmpty())
        DrawTextW(dc, name.GetBuffer(), name.GetLength(), &label,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
}

bool RunColorSchemeEditor(HWND owner, COLORREF* colors, const CZELString& skinName)
{
    ColorSchemeEditor editor(colors, skinName.GetBuffer());
    if (editor.DoModal(ColorSchemeEditor::TemplateId, PreferencesModule(), owner) != IDOK) return false;
    std::memcpy(colors, editor.Colors(), sizeof(COLORREF) * ColorSchemeEditor::Count);
    return true;
}

// ---- Colour picker ----

ColorPicker::ColorPicker(COLORREF start) : preview(nullptr)
{
    g_picked = start;
    rgb[0] = GetRValue(start);
    rgb[1] = GetGValue(start);
    rgb[2] = GetBValue(start);
}

ColorPicker::~ColorPicker()
{
    if (preview) DeleteObject(preview);
}

void ColorPicker::OnInitDialog()
{
    UI::CZELWMUI_BigDlg::OnInitDialog();
    const int labels[3] = {1085, 1086, 1087};
    for (int i = 0; i < 3; ++i) {
        SetDlgItemTextW(hwnd, labels[i], GuiText(273 + i).GetBuffer());
        SendMessageW(GetDlgItem(kTracks[i]), TBM_SETRANGE, TRUE, MAKELPARAM(0, 255));
        SendMessageW(GetDlgItem(kEdits[i]), EM_LIMITTEXT, 3, 0);
        SetWindowSubclass(GetDlgItem(kEdits[i]), ChannelEditProc, UINT_PTR(i), DWORD_PTR(this));
    }
    SetDlgItemTextW(hwnd, PaletteButton, GuiText(276).GetBuffer());
    ShowColor();
}

void ColorPicker::ShowColor()
{
    for (int i = 0; i < 3; ++i) {
        SendMessageW(GetDlgItem(kTracks[i]), TBM_SETPOS, TRUE, LPARAM(rgb[i]));
        SetDlgItemInt(hwnd, kEdits[i], rgb[i], FALSE);
    }
    RenewPreview();
}

void ColorPicker::RenewPreview()
{
    HBRUSH made = CreateSolidBrush(RGB(rgb[0], rgb[1], rgb[2]));
    if (preview) DeleteObject(preview);
    preview = made;
    InvalidateRect(GetDlgItem(PreviewId), nullptr, TRUE);
}

void ColorPicker::ReadEdit(int channel)
{
    BOOL converted = FALSE;
    const UINT value = GetDlgItemInt(hwnd, kEdits[channel], &converted, FALSE);
    if (!converted) return;
    rgb[channel] = BYTE(value % 256);
    SendMessageW(GetDlgItem(kTracks[channel]), TBM_SETPOS, TRUE, LPARAM(rgb[channel]));
    RenewPreview();
}

void ColorPicker::OnCommand(WORD notifyCode, WORD id, HWND control)
{
    for (int i = 0; i < 3; ++i)
        if (id == kEdits[i] && notifyCode == EN_KILLFOCUS) {
            ReadEdit(i);
            return;
        }
    if (id == PaletteButton && notifyCode == BN_CLICKED) {
        PaletteDialog palette;
        if (palette.DoModal(PaletteDialog::TemplateId, PreferencesModule(), hwnd) == IDOK && g_paletteCell >= 0) {
            const COLORREF color = PaletteColor(g_paletteCell);
            rgb[0] = GetRValue(color);
            rgb[1] = GetGValue(color);
            rgb[2] = GetBValue(color);
            ShowColor();
        }
        return;
    }
    UI::CZELWMUI_BigDlg::OnCommand(notifyCode, id, control);
}

LRESULT ColorPicker::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HSCROLL && lParam) {
        for (int i = 0; i < 3; ++i)
            if (HWND(lParam) == GetDlgItem(kTracks[i])) {
                rgb[i] = BYTE(SendMessageW(HWND(lParam), TBM_GETPOS, 0, 0));
                SetDlgItemInt(hwnd, kEdits[i], rgb[i], FALSE);
                RenewPreview();
                return 0;
            }
    }
    return UI::CZELWMUI_BigDlg::OnMessage(message, wParam, lParam);
}

HBRUSH ColorPicker::OnCtlColor(HDC dc, HWND control)
{
    if (control == GetDlgItem(PreviewId) && preview) return preview;
    return UI::CZELWMUI_BigDlg::OnCtlColor(dc, control);
}

int ColorPicker::DoDataExchange(int save)
{
    if (save) {
        // A number typed last and not yet left counts too.
        for (int i = 0; i < 3; ++i) ReadEdit(i);
        g_picked = RGB(rgb[0], rgb[1], rgb[2]);
    }
    return 1;
}

int ColorPicker::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    caption = GuiText(key == SoftKeyLeft ? 243 : 244);
    return 1;
}

void ColorPicker::OnSoftKey(TSoftKey key)
{
    EndDialog(key == SoftKeyLeft ? IDOK : IDCANCEL);
}

bool RunColorPicker(HWND owner, COLORREF& color)
{
    ColorPicker picker(color);
    if (picker.DoModal(ColorPicker::TemplateId, PreferencesModule(), owner) != IDOK) return false;
    color = g_picked;
    return true;
}

// ---- Palette ----

class PaletteGrid : public UI::CZELWMUI_ListImageCtrl, public UI::CZELWMUI_ListImageCtrl::MLICtrlObserver {
public:
    PaletteGrid(PaletteDialog& owner, int width, int height)
        : UI::CZELWMUI_ListImageCtrl(this, PaletteDialog::Cells, width, height, 1, 1), owner(owner)
    {
    }
    void OnImageActivate(CZELWMUI_ListImageCtrl*, int index) override { owner.ShowCell(index); }
    void OnImageSelect(CZELWMUI_ListImageCtrl*, int index) override { owner.ShowCell(index); }
    void RedrawImage(int index, const RECT& rect, HDC dc) override
    {
        const COLORREF color = PaletteColor(index);
        HBRUSH brush = CreateSolidBrush(color);
        HPEN pen = CreatePen(PS_SOLID, 1, color);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, Dip(3, g_HIDPI_LogPixelsX), Dip(3, g_HIDPI_LogPixelsY));
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(brush);
        DeleteObject(pen);
    }

private:
    PaletteDialog& owner;
};

PaletteDialog::PaletteDialog() : grid(nullptr) {}

PaletteDialog::~PaletteDialog()
{
    delete grid;
}

void PaletteDialog::OnInitDialog()
{
    UI::CZELWMUI_BigDlg::OnInitDialog();
    const int labels[3] = {1088, 1089, 1090};
    for (int i = 0; i < 3; ++i) {
        SetDlgItemTextW(hwnd, labels[i], GuiText(273 + i).GetBuffer());
        SendMessageW(GetDlgItem(kPaletteEdits[i]), EM_LIMITTEXT, 3, 0);
    }
    HWND placeholder = GetDlgItem(Placeholder);
    RECT area = {};
    GetWindowRect(placeholder, &area);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&area), 2);
    // The 8 by 16 cells and their gaps are the grid's inside; its frame comes on top. A placeholder
    // reaching past the dialog's right edge (a narrow screen) is cut to the dialog, keeping the left
    // margin on the right too, so that all eight columns show without a scroll bar.
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRectEx(&frame, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER, FALSE, 0);
    const int frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
    RECT client = {};
    GetClientRect(hwnd, &client);
    if (area.right > client.right - area.left) area.right = client.right - area.left;
    const int cellWidth = (area.right - area.left - frameWidth - 9) / 8;
    const int cellHeight = (area.bottom - area.top - frameHeight - 17) / 16;
    ShowWindow(placeholder, SW_HIDE);
    grid = new PaletteGrid(*this, cellWidth, cellHeight);
    RECT rect = {area.left, area.top, area.left + 8 * cellWidth + 9 + frameWidth,
                 area.top + 16 * cellHeight + 17 + frameHeight};
    grid->Create(PreferencesModule(), hwnd, WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect);
    if (g_paletteCell >= 0) SelectCell(g_paletteCell);
}

const UI::CZELWMUI_ListImageCtrl* PaletteDialog::Grid() const
{
    return grid;
}

void PaletteDialog::SelectCell(int index)
{
    if (!grid) return;
    ShowCell(grid->SetSelectImage(index));
}

void PaletteDialog::ShowCell(int index)
{
    if (index < 0 || index >= Cells) return;
    g_paletteCell = index;
    const COLORREF color = PaletteColor(index);
    SetDlgItemInt(hwnd, kPaletteEdits[0], GetRValue(color), FALSE);
    SetDlgItemInt(hwnd, kPaletteEdits[1], GetGValue(color), FALSE);
    SetDlgItemInt(hwnd, kPaletteEdits[2], GetBValue(color), FALSE);
}

int PaletteDialog::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    caption = GuiText(key == SoftKeyLeft ? 243 : 244);
    return 1;
}

void PaletteDialog::OnSoftKey(TSoftKey key)
{
    EndDialog(key == SoftKeyLeft ? IDOK : IDCANCEL);
}
