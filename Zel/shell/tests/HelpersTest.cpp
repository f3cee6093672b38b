// The small shared helpers: whole-file reads, sorted folder listings, joined strings, the clipboard
// and the controls' texts.
#include "Zel/shell/helpers/ClipboardHelpers.h"
#include "Zel/shell/helpers/ControlHelpers.h"
#include "Zel/shell/helpers/FileHelpers.h"
#include "Zel/shell/helpers/ResourcePaths.h"
#include "ZELCommon/tests/TempFolder.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> Names(const CZELArray<CZELString>& list)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < list.GetCount(); ++i) names.push_back(list[i].GetBuffer() ? list[i].GetBuffer() : L"");
    return names;
}

}  // namespace

TEST(Helpers, ResourceNames)
{
    EXPECT_STREQ(GetSkinsFolderName(), L"Skins\\");
    EXPECT_STREQ(GetColorsFileName(), L"_colors.ini");
    EXPECT_STREQ(GetSmiliesFolderName(), L"Smilies\\");
    EXPECT_STREQ(GetSmileyDefineFileName(), L"_define.ini");
    EXPECT_STREQ(GetAlertsFolderName(), L"Alerts\\");
    EXPECT_STREQ(GetAlertsFileName(), L"_alerts.ini");
    EXPECT_STREQ(GetLangsFolderName(), L"Langs\\");
    EXPECT_STREQ(GetLangModulePrefix(), L"ZEL_");
    EXPECT_STREQ(GetPathSeparator(), L"\\");
    EXPECT_STREQ(GetAllFilesMask(), L"*");
}

TEST(Helpers, ReadWholeFile)
{
    TestSupport::TempFolder folder(L"HelpersTest");
    folder.Write(L"text.txt", std::string("abc\0def", 7));
    folder.Write(L"empty.txt", "");
    folder.Write(L"big.txt", std::string(100, 'x'));

    unsigned size = 99;
    std::unique_ptr<unsigned char[]> data(ReadWholeFile((folder.path + L"text.txt").c_str(), &size));
    ASSERT_TRUE(data);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data.get()), 8), std::string("abc\0def\0", 8));

    struct {
        const wchar_t* name;
        unsigned limit;
    } nulls[] = {{L"missing.txt", 1000}, {L"empty.txt", 1000}, {L"big.txt", 99}};
    for (const auto& test : nulls) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.name)));
        size = 99;
        std::unique_ptr<unsigned char[]> none(ReadWholeFile((folder.path + test.name).c_str(), &size, test.limit));
        EXPECT_FALSE(none);
        EXPECT_EQ(size, 0u);
    }
    EXPECT_TRUE(FileExists((folder.path + L"empty.txt").c_str()));
    EXPECT_FALSE(FileExists((folder.path + L"missing.txt").c_str()));
    EXPECT_FALSE(FileExists(L""));
}

TEST(Helpers, ListingsSortByCodeUnitAndKeepOnlyWhatWasAsked)
{
    TestSupport::TempFolder folder(L"HelpersTest");
    for (const wchar_t* name : {L"b.gif", L"A.gif", L"_x.gif", L"Z.gif", L"note.txt"}) folder.Write(name, "x");
    for (const wchar_t* name : {L"zeta", L"Alpha", L"beta.gif"}) folder.Folder(name);

    CZELArray<CZELString> list;
    list.Add(CZELString(L"left over"));
    ListFiles(folder.path.c_str(), L"*.gif", list);
    // By code unit: upper case, then "_", then lower case; a folder that matches is listed too.
    std::vector<std::wstring> gifs = Names(list);
    std::vector<std::wstring> expected = {L"A.gif", L"Z.gif", L"_x.gif", L"b.gif", L"beta.gif"};
    EXPECT_EQ(gifs, expected);

    ListSubdirectories(folder.path.c_str(), list);
    expected = {L"Alpha", L"beta.gif", L"zeta"};
    EXPECT_EQ(Names(list), expected);

    ListSubdirectories((folder.path + L"missing\\").c_str(), list);
    EXPECT_EQ(list.GetCount(), 0);
    ListFiles((folder.path + L"missing\\").c_str(), L"*", list);
    EXPECT_EQ(list.GetCount(), 0);
}

TEST(Helpers, ConcatStrings)
{
    wchar_t out[64] = L"junk";
    ConcatStrings(out, L"C:\\Zel\\", L"Skins\\", L"", L"ZEL PDA skin", nullptr);
    EXPECT_STREQ(out, L"C:\\Zel\\Skins\\ZEL PDA skin");
    ConcatStrings(out, nullptr);
    EXPECT_STREQ(out, L"");
}

TEST(Helpers, ClipboardRoundTripAndPasteSizes)
{
    ZEL_REQUIRE_DISPLAY();
    CopyTextToClipboard(L"hello \x0416");
    EXPECT_TRUE(ClipboardHasText());
    int needed = PasteTextFromClipboard(nullptr, 0);
    ASSERT_GE(needed, 8);  // the text, its zero and any slack of the block
    std::vector<wchar_t> buffer(size_t(needed), L'#');
    // One unit too small: the size needed, the buffer untouched.
    EXPECT_EQ(PasteTextFromClipboard(buffer.data(), needed - 1), needed);
    EXPECT_EQ(buffer[0], L'#');
    int units = PasteTextFromClipboard(buffer.data(), needed);
    EXPECT_EQ(units, needed - 1);
    EXPECT_STREQ(buffer.data(), L"hello \x0416");
}

TEST(Helpers, WindowComboAndListViewTexts)
{
    ZEL_REQUIRE_DISPLAY();
    TestSupport::WindowScope host(TestSupport::CreateHostWindow(300, 200));
    HWND edit = CreateWindowExW(0, L"EDIT", L"old", WS_CHILD, 0, 0, 100, 20, host.Get(), nullptr, nullptr, nullptr);
    CZELString text;
    GetWindowString(edit, text);
    EXPECT_TRUE(text == L"old");
    SetWindowString(edit, CZELString());  // an empty string sets nothing
    GetWindowString(edit, text);
    EXPECT_TRUE(text == L"old");
    SetWindowString(edit, L"new text");
    GetWindowString(edit, text);
    EXPECT_TRUE(text == L"new text");

    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 30, 100, 100, host.Get(),
                                 nullptr, nullptr, nullptr);
    EXPECT_EQ(ComboAddLangString(combo, 16), 0);
    EXPECT_EQ(ComboAddLangString(combo, 243), 1);
    ComboGetSelectedText(combo, text);
    EXPECT_TRUE(text.IsEmpty());
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    ComboGetSelectedText(combo, text);
    EXPECT_TRUE(text == L"OK");

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_LIST, 0, 60, 100, 100, host.Get(), nullptr,
                                nullptr, nullptr);
    for (int i = 0; i < 3; ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<wchar_t*>(L"item");
        SendMessageW(list, LVM_INSERTITEMW, 0, LPARAM(&item));
    }
    EXPECT_EQ(ListViewGetSelected(list), -1);
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, 2, LPARAM(&state));
    EXPECT_EQ(ListViewGetSelected(list), 2);
    ListViewApplySkin(list);
    EXPECT_EQ(COLORREF(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0)), COLORREF(0));
}
