// The colour editors: the palette's cells, the picker's channels typed and slid, and the scheme
// editor's rows drawn in their colours and its "Default" from the record's skin.
#include "Zel/prefs/ColorEditors.h"

#include "Zel/prefs/PreferencesPage.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/ZELCommonResources.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

void Type(HWND edit, const std::wstring& text)
{
    SendMessageW(edit, WM_SETTEXT, 0, LPARAM(L""));
    for (wchar_t c : text) SendMessageW(edit, WM_CHAR, WPARAM(c), 0);
}

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
    bool stillOpen = false;
    picker.steps = {[&] {
                        EXPECT_EQ(Number(GetParent(picker.Item(1014)), 1014), 1u);
                        EXPECT_EQ(SendMessageW(picker.Item(1036), TBM_GETPOS, 0, 0), 3);
                        // 300 typed in red and left: 44, the track bar with it.
                        SetFocus(picker.Item(1014));
                        Type(picker.Item(1014), L"300");
                        SetFocus(picker.Item(1017));
                        EXPECT_EQ(SendMessageW(picker.Item(1034), TBM_GETPOS, 0, 0), 44);
                        // Enter in blue reads it and leaves the picker open.
                        SetFocus(picker.Item(1015));
                        Type(picker.Item(1015), L"260");
                        PostMessageW(picker.Item(1015), WM_KEYDOWN, VK_RETURN, 0);
                        PostMessageW(picker.Item(1015), WM_CHAR, L'\r', 0);
                    },
                    [&] {
                        stillOpen = true;
                        EXPECT_EQ(SendMessageW(picker.Item(1036), TBM_GETPOS, 0, 0), 4);
                        // A slid track bar shows its number.
                        SendMessageW(picker.Item(1035), TBM_SETPOS, TRUE, 200);
                        SendMessageW(GetParent(picker.Item(1035)), WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0),
                                     LPARAM(picker.Item(1035)));
                        EXPECT_EQ(Number(GetParent(picker.Item(1017)), 1017), 200u);
                        SendMessageW(GetParent(picker.Item(1017)), WM_COMMAND, ID_ZELCOMMON_SOFTKEY_LEFT, 0);
                    }};
    EXPECT_EQ(picker.DoModal(ColorPicker::TemplateId, PreferencesModule(), host), IDOK);
    EXPECT_TRUE(stillOpen) << "Enter in a channel's edit ended the picker";
    EXPECT_EQ(PickedColor(), RGB(44, 200, 4));

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
