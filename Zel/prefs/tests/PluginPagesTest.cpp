// The account settings and search dialogs on a running application whose test plug-in gives a
// settings page and a search page and answers a search with rows, then an end row.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Zel/prefs/AccountSettingsDialog.h"
#include "Zel/prefs/SearchDialog.h"
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
