// The account settings and search dialogs on a running application whose test plug-in gives a
// settings page and a search page and answers a search with rows, then an end row; the bubble of a
// search asked for on the results page, and "Send message" on a found contact.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Zel/chat/ChatDlg.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/prefs/AccountSettingsDialog.h"
#include "Zel/prefs/SearchDialog.h"
#include "Zel/prefs/tests/DialogScript.h"
#include "Zel/shell/dialogs/DialogTemplates.h"

using namespace AppTest;
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
    std::wstring Title(int page)
    {
        TabPage* tab = this->FindPage(page);
        return tab && tab->caption.GetBuffer() ? std::wstring(tab->caption.GetBuffer()) : std::wstring();
    }
};

}  // namespace

TEST(PluginPages, AccountSettingsHostThePluginsPageAndStoreThroughIt)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder{L"PluginPagesTest"};
    AppRun run(folder, L"Pages");
    ASSERT_TRUE(run.started);
    const unsigned account = ProtocolsManagerService->CreateAccount(GUID_FAKE_A);
    ASSERT_NE(account, 0u);

    Scripting<CAccountSettingsDialog> settings(account);
    settings.steps = {[&] {
        EXPECT_EQ(settings.GetPageCount(), 1);
        EXPECT_EQ(settings.Title(0), L"Fake settings");
        settings.EndDialog(IDOK);
    }};
    EXPECT_EQ(DoModalDialog(&settings, run.Window()), IDOK);
    int stores = 0;
    EXPECT_TRUE(ProtocolsManagerService->GetAccountInt(account, CZELString(FAKE_VALUE_PAGE_STORES), &stores));
    EXPECT_EQ(stores, 1);

    // An account that gives no page ends the dialog at once.
    CAccountSettingsDialog none(account + 1000);
    EXPECT_EQ(DoModalDialog(&none, run.Window()), IDCANCEL);
}

TEST(PluginPages, SearchShowsTheRowsAndTheEndRowRestoresSearch)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder{L"PluginSearchTest"};
    AppRun run(folder, L"Pages");
    ASSERT_TRUE(run.started);
    const unsigned account = ProtocolsManagerService->CreateAccount(GUID_FAKE_A);
    ASSERT_NE(account, 0u);

    Scripting<CSearchDialog> search(account);
    search.steps = {[&] {
        EXPECT_EQ(search.GetPageCount(), 2);
        EXPECT_EQ(search.Title(0), L"Fake search");
        EXPECT_EQ(search.Title(1), L"Result");
        search.SelectPage(0);
        search.StartOrStop();
        EXPECT_TRUE(PumpUntil([&] { return !search.IsBusy(); }));
        ASSERT_EQ(search.Results().size(), size_t(FAKE_SEARCH_ROWS));
        EXPECT_EQ(std::wstring(search.Results()[0].texts[5].GetBuffer()), L"M - 25");
        EXPECT_EQ(std::wstring(search.Results()[1].texts[5].GetBuffer()), L"F");
        CZELString caption;
        search.GetSoftKeyCap(CSearchDialog::SoftKeyLeft, caption);
        EXPECT_EQ(std::wstring(caption.GetBuffer()), L"Search");
        search.EndDialog(IDCANCEL);
    }};
    EXPECT_EQ(DoModalDialog(&search, run.Window()), IDCANCEL);
}

TEST(PluginPages, SearchAskedForOnTheResultsPageAndSendMessageToAFoundContact)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder{L"PluginSendTest"};
    AppRun run(folder, L"Pages");
    ASSERT_TRUE(run.started);
    const unsigned account = run.NewAccount(L"me");
    ASSERT_NE(account, 0u);
    // A contact the search found that is not in the list: a temporary contact of the account.
    const int found = ContactListDataService->FindOrAddContact(account, CZELString(L"carol@fake"));
    ASSERT_TRUE(ContactListDataService->IsTempContact(found));
    ContactListDataService->SetPropertyString(found, CZELString(L"CL Alias"), CZELString(L"Carol"));
    const int bubblesBefore = run.App().Resources()->Notifier().Entries().GetCount();

    PrefsTest::DialogScript menus;
    menus.Choose(L"Send message");
    Scripting<CSearchDialog> search(account);
    int listed = 0;
    search.steps = {
        [&] {
            // "Search" on the results page before any search: the bubble asks for a search page.
            search.SelectPage(search.ResultsPageId());
            PrefsTest::LeftSoftKey(search);
            EXPECT_FALSE(search.IsBusy());
            const auto& bubbles = run.App().Resources()->Notifier().Entries();
            ASSERT_EQ(bubbles.GetCount(), bubblesBefore + 1);
            EXPECT_NE(std::wstring(bubbles[bubbles.GetCount() - 1].body.GetBuffer()).find(
                          std::wstring(GuiText(242).GetBuffer())),
                      std::wstring::npos);
            // From the plug-in's page it runs; the found contact comes before the plug-in's rows.
            search.SelectPage(0);
            PrefsTest::LeftSoftKey(search);
            EXPECT_TRUE(search.IsBusy());
            SearchResultRow row;
            row.contactId = found;
            row.account = CZELString(L"carol@fake");
            search.AddResult(&row);
        },
        [&] {
            EXPECT_TRUE(PumpUntil([&] { return !search.IsBusy(); }));
            ASSERT_EQ(search.Results().size(), size_t(1 + FAKE_SEARCH_ROWS));
            HWND list = static_cast<UI::CZELWMUI_Dlg*>(search.FindPage(search.ResultsPageId())->window)->GetDlgItem(1022);
            RECT row = {};
            row.left = LVIR_BOUNDS;
            SendMessageW(list, LVM_GETITEMRECT, 0, LPARAM(&row));
            POINT at = {row.left + 5, (row.top + row.bottom) / 2};
            ClientToScreen(list, &at);
            SendMessageW(GetParent(list), WM_CONTEXTMENU, WPARAM(list), MAKELPARAM(at.x, at.y));
            listed = search.Results()[0].contactId;
            search.EndDialog(IDCANCEL);
        }};
    EXPECT_EQ(DoModalDialog(&search, run.Window()), IDCANCEL);
    ASSERT_EQ(menus.menus.size(), 1u);
    // The row now names a list contact of the account, with the found one's names, and its chat is open.
    EXPECT_NE(listed, found);
    EXPECT_FALSE(ContactListDataService->IsTempContact(listed));
    EXPECT_EQ(ContactListDataService->GetItemAccount(listed), account);
    CZELString name, alias;
    EXPECT_TRUE(ContactListDataService->GetPropertyString(listed, CZELString(L"Account name"), name));
    EXPECT_TRUE(ContactListDataService->GetPropertyString(listed, CZELString(L"CL Alias"), alias));
    EXPECT_EQ(std::wstring(name.GetBuffer()), L"carol@fake");
    EXPECT_EQ(std::wstring(alias.GetBuffer()), L"Carol");
    ASSERT_NE(run.App().ChatWindow(), nullptr);
    EXPECT_TRUE(run.App().ChatWindow()->HasTab(listed));
}
