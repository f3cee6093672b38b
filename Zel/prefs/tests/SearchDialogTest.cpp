// The search dialog with a search page of the test's own: the gender-and-age texts, starting and
// stopping, rows while busy and dropped after Stop, the end row, and the results menu's Copy and
// Clear through the captured menu.
#include "Zel/prefs/SearchDialog.h"

#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/prefs/PreferencesDialog.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/helpers/ClipboardHelpers.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "ZELCommon/ZELCommonMain.h"
#include "ZELCommon/ZELCommonResources.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using TestSupport::Scripted;

namespace {

std::wstring Text(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

// A search page on the foundation library's empty page template.
class EmptySearchPage : public UI::CZELWMUI_SettingsPan {
public:
    CZELString GetTitle() override { return CZELString(L"Find"); }
    CZELArray<int> GetIcons() override { return CZELArray<int>(); }
    ZELTabDlg::PanResource GetResource() override { return {GetZELCommonModule(), IDD_ZELCOMMON_EMPTY_PAGE}; }
};

class ScriptedSearch : public Scripted<CSearchDialog> {
public:
    using Scripted<CSearchDialog>::Scripted;
    void OnInitDialog() override
    {
        Scripted<CSearchDialog>::OnInitDialog();
        StartScript();
    }
    void BuildPages(SettingsPageList& list) override
    {
        list.pages.Add(new EmptySearchPage);
        CSearchDialog::BuildPages(list);
    }
    std::wstring LeftKey()
    {
        CZELString caption;
        GetSoftKeyCap(SoftKeyLeft, caption);
        return Text(caption);
    }
    HWND List()
    {
        TabPage* page = FindPage(ResultsPageId());
        return page ? static_cast<UI::CZELWMUI_Dlg*>(page->window)->GetDlgItem(1022) : nullptr;
    }
    int Rows() { return int(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }
};

SearchResultRow Row(int contact, const wchar_t* account, unsigned char gender, int age)
{
    SearchResultRow row;
    row.contactId = contact;
    row.account = CZELString(account);
    row.nickname = CZELString(L"nick");
    row.gender = gender;
    row.age = age;
    return row;
}

struct MenuPick {
    int pick = -1;
    std::vector<int> ids;
};

PopupMenuResult Pick(void* context, const CPopupMenu& menu, const RECT&, const POINT&, int)
{
    MenuPick& pick = *static_cast<MenuPick*>(context);
    pick.ids.clear();
    for (int i = 0; i < menu.GetCount(); ++i) pick.ids.push_back(menu.items[i].commandId);
    return PopupMenuResult{nullptr, pick.pick, 0};
}

}  // namespace

TEST(SearchResults, GenderAndAgeText)
{
    const struct {
        unsigned char gender;
        int age;
        const wchar_t* text;
    } cases[] = {{2, 25, L"M - 25"}, {0, 25, L"25"}, {1, 0, L"F"}, {1, 1000, L"F"}, {3, 999, L"999"}, {0, 0, L""}, {2, -4, L"M"}};
    for (const auto& c : cases) EXPECT_EQ(Text(SearchGenderAgeText(c.gender, c.age)), c.text) << int(c.gender) << ' ' << c.age;
}

TEST(SearchResults, RowsWhileBusyTheEndRowAndStop)
{
    ZEL_REQUIRE_DISPLAY();
    HWND host = TestSupport::CreateHostWindow(240, 320);
    TestSupport::WindowScope scope(host);
    MenuPick pick;
    SetPopupMenuRunner(&Pick, &pick);
    ScriptedSearch dialog(7u);
    SearchResultRow first = Row(0x80000010, L"alice@example.net", 2, 25);
    SearchResultRow second = Row(0x80000011, L"bob@example.net", 0, 1000);
    SearchResultRow end = Row(0, L"", 0, 0);
    dialog.steps = {
        [&] {
            EXPECT_EQ(CurrentSearchDialog(), &dialog);
            // Search on the results page before any search starts nothing.
            dialog.SelectPage(dialog.ResultsPageId());
            dialog.OnSoftKey(CSearchDialog::SoftKeyLeft);
            EXPECT_FALSE(dialog.IsBusy());
            // Rows while not busy are dropped.
            AddSearchResult(nullptr);
            dialog.AddResult(&first);
            EXPECT_EQ(dialog.Rows(), 0);
            dialog.SelectPage(0);
            dialog.OnSoftKey(CSearchDialog::SoftKeyLeft);
            EXPECT_TRUE(dialog.IsBusy());
            EXPECT_EQ(dialog.LeftKey(), L"Stop");
            EXPECT_EQ(dialog.GetCurrentPageId(), dialog.ResultsPageId());
            CSearchResultPayload payload(first);
            AddSearchResult(&payload);
            dialog.AddResult(&second);
            EXPECT_EQ(dialog.Rows(), 2);
            EXPECT_EQ(Text(dialog.Results()[0].texts[5]), L"M - 25");
            EXPECT_EQ(Text(dialog.Results()[1].texts[5]), L"");
            EXPECT_EQ(SendMessageW(dialog.List(), LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED), 0);
            // The end row turns Stop back into Search.
            dialog.AddResult(&end);
            EXPECT_FALSE(dialog.IsBusy());
            EXPECT_EQ(dialog.LeftKey(), L"Search");
        },
        [&] {
            // Search again from the results page repeats the last search; Stop drops later rows.
            dialog.OnSoftKey(CSearchDialog::SoftKeyLeft);
            EXPECT_TRUE(dialog.IsBusy());
            EXPECT_EQ(dialog.Rows(), 0);
            dialog.AddResult(&first);
            dialog.OnSoftKey(CSearchDialog::SoftKeyLeft);
            EXPECT_FALSE(dialog.IsBusy());
            dialog.AddResult(&second);
            EXPECT_EQ(dialog.Rows(), 1);
        },
        [&] {
            // The menu on a row: Copy, Send message, Contact details, the account's items, Clear.
            RECT row = {};
            row.left = LVIR_BOUNDS;
            SendMessageW(dialog.List(), LVM_GETITEMRECT, 0, LPARAM(&row));
            POINT at = {row.left + 5, (row.top + row.bottom) / 2};
            ClientToScreen(dialog.List(), &at);
            pick.pick = 1;
            SendMessageW(GetParent(dialog.List()), WM_CONTEXTMENU, WPARAM(dialog.List()), MAKELPARAM(at.x, at.y));
            EXPECT_EQ(pick.ids, (std::vector<int>{1, 2, 3, 0, 4}));
            wchar_t copied[64] = L"";
            PasteTextFromClipboard(copied, 64);
            EXPECT_STREQ(copied, L"alice@example.net");
            pick.pick = 4;
            SendMessageW(GetParent(dialog.List()), WM_CONTEXTMENU, WPARAM(dialog.List()), MAKELPARAM(at.x, at.y));
            EXPECT_EQ(dialog.Rows(), 0);
            EXPECT_TRUE(dialog.Results().empty());
            // Away from any row only Clear is offered.
            SendMessageW(GetParent(dialog.List()), WM_CONTEXTMENU, WPARAM(dialog.List()), MAKELPARAM(at.x, at.y));
            EXPECT_EQ(pick.ids, std::vector<int>{4});
            dialog.OnSoftKey(CSearchDialog::SoftKeyRight);
        }};
    EXPECT_EQ(DoModalDialog(&dialog, host), IDCANCEL);
    SetPopupMenuRunner(nullptr, nullptr);
}
