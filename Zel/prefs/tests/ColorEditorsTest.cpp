// The colour editors: the palette's cells, the picker's channels typed and slid, and the scheme
// editor's rows drawn in their colours and its "Default" from the record's skin.
#include "Zel/prefs/ColorEditors.h"

#include "Zel/prefs/PreferencesPage.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>

using TestSupport::Scripted;

namespace {

template <typename Dialog> class Scripting : public Scripted<Dialog> {
public:
    using Scripted<Dialog>::Scripted;
    void OnInitDialog() override
    {
        Scripted<Dialog>::OnInitDialog();
        this->StartScript();
    }
    HWND Item(int id) const { return this->GetDlgItem(id); }
};

UINT Number(HWND dialog, int id)
{
    return GetDlgItemInt(dialog, id, nullptr, FALSE);
}

}  // namespace

TEST(ColorEditors, PaletteCells)
{
    EXPECT_EQ(PaletteColor(0), RGB(0, 0, 0));
    EXPECT_EQ(PaletteColor(4), RGB(204, 0, 0));
    EXPECT_EQ(PaletteColor(5), RGB(255, 0, 0));
    EXPECT_EQ(PaletteColor(6), RGB(0, 51, 0));
    EXPECT_EQ(PaletteColor(126), RGB(204, 204, 204));
    EXPECT_EQ(PaletteColor(127), RGB(0, 0, 255));
    int pureGreen = -1;
    for (int i = 0; i < PaletteDialog::Cells; ++i)
        if (PaletteColor(i) == RGB(0, 255, 0)) pureGreen = i;
    EXPECT_EQ(PaletteColor(pureGreen - 1), RGB(204, 204, 0));
}

TEST(ColorEditors, PickerChannelsAndPalette)
{
    ZEL_REQUIRE_DISPLAY();
    HWND host = TestSupport::CreateHostWindow(240, 320);
    TestSupport::WindowScope scope(host);
    Scripting<ColorPicker> picker(RGB(1, 2, 3));
    picker.steps = {[&] {
        EXPECT_EQ(Number(GetParent(picker.Item(1014)), 1014), 1u);
        EXPECT_EQ(SendMessageW(picker.Item(1036), TBM_GETPOS, 0, 0), 3);
        SetWindowTextW(picker.Item(1014), L"300");
        picker.ReadEdit(0);
        EXPECT_EQ(SendMessageW(picker.Item(1034), TBM_GETPOS, 0, 0), 44);
        // A slid track bar shows its number.
        SendMessageW(picker.Item(1035), TBM_SETPOS, TRUE, 200);
        SendMessageW(GetParent(picker.Item(1035)), WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), LPARAM(picker.Item(1035)));
        EXPECT_EQ(Number(GetParent(picker.Item(1017)), 1017), 200u);
        picker.OnSoftKey(ColorPicker::SoftKeyLeft);
    }};
    EXPECT_EQ(picker.DoModal(ColorPicker::TemplateId, PreferencesModule(), host), IDOK);
    EXPECT_EQ(PickedColor(), RGB(44, 200, 3));

    PaletteSelection() = -1;
    Scripting<PaletteDialog> palette;
    palette.steps = {[&] {
        palette.SelectCell(5);
        EXPECT_EQ(Number(GetParent(palette.Item(1040)), 1040), 255u);
        EXPECT_EQ(Number(GetParent(palette.Item(1041)), 1041), 0u);
        palette.OnSoftKey(PaletteDialog::SoftKeyLeft);
    }};
    EXPECT_EQ(palette.DoModal(PaletteDialog::TemplateId, PreferencesModule(), host), IDOK);
    EXPECT_EQ(PaletteSelection(), 5);
    // The cell is remembered for the next opening.
    Scripting<PaletteDialog> again;
    again.steps = {[&] {
        EXPECT_EQ(Number(GetParent(again.Item(1040)), 1040), 255u);
        again.OnSoftKey(PaletteDialog::SoftKeyRight);
    }};
    EXPECT_EQ(again.DoModal(PaletteDialog::TemplateId, PreferencesModule(), host), IDCANCEL);
}

TEST(ColorEditors, SchemeRowsShowTheirColoursAndDefaultTakesTheSkin)
{
    ZEL_REQUIRE_DISPLAY();
    HWND host = TestSupport::CreateHostWindow(240, 320);
    TestSupport::WindowScope scope(host);
    COLORREF colors[ColorSchemeEditor::Count];
    for (int i = 0; i < ColorSchemeEditor::Count; ++i) colors[i] = RGB(i * 7, 255 - i * 7, 90);
    COLORREF defaults[ColorSchemeEditor::Count];
    ColorScheme::LoadPack(CZELString(L"ZEL PDA skin"), defaults);
    Scripting<ColorSchemeEditor> editor(colors, L"ZEL PDA skin");
    editor.steps = {[&] {
        HWND list = editor.Item(1022);
        EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), ColorSchemeEditor::Count);
        // Row 2 drawn into a bitmap: its swatch in its colour.
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 20);
        ReleaseDC(nullptr, screen);
        HGDIOBJ old = SelectObject(dc, bitmap);
        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_LISTVIEW;
        item.CtlID = 1022;
        item.itemID = 2;
        item.hwndItem = list;
        item.hDC = dc;
        item.rcItem = RECT{0, 0, 200, 20};
        editor.OnDrawItem(1022, &item);
        EXPECT_EQ(GetPixel(dc, 5, 10), colors[2]);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        editor.RunMenuCommand(ColorSchemeEditor::MenuDefault);
        EXPECT_EQ(std::memcmp(editor.Colors(), defaults, sizeof defaults), 0);
        editor.OnSoftKey(ColorSchemeEditor::SoftKeyLeft);
    }};
    EXPECT_EQ(editor.DoModal(ColorSchemeEditor::TemplateId, PreferencesModule(), host), IDOK);
}
