// An XMPP account's settings pages as the account settings dialog shows them: made by Jabber.dll
// from its own templates, loaded from the stored settings, driven by window messages and saved
// back; what the next connection uses is what they stored.
#include "Jabber/tests/JabberTestHost.h"
#include "Jabber/tests/SettingsPagesDriver.h"

#include "Jabber/JabberResources.h"
#include "Jabber/account/AccountSettings.h"
#include "Handheld/tests/DisplayRequirement.h"
#include "ZELCommon/ZELTabDlg_IPan.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"

#include <gtest/gtest.h>

namespace {

using JabberTest::Host;
using JabberTest::TypeInto;
using PluginTree::Wide;

std::wstring ItemText(HWND page, int id)
{
    wchar_t text[300] = L"";
    GetDlgItemTextW(page, id, text, 300);
    return text;
}

class SettingsPagesTest : public ::testing::Test {
protected:
    SettingsPagesTest() : host(bus), driver(*host.manager), pages(driver.pages) {}

    // The account's pages, their windows made as the tabbed dialog makes them.
    std::vector<HWND> Open(unsigned id) { return driver.Open(id); }
    // OK: every page saves in order.
    void Save()
    {
        EXPECT_TRUE(driver.Save());
        host.Settle(account);
    }
    AccountSettings Settings(int kind) { return AccountSettings(&bus, account, kind); }

    JabberTest::PluginLibrary plugin;
    Services::CServicesManager bus;
    Host host;
    JabberTest::SettingsPagesDriver driver;
    ZELTabDlg::PanList& pages;
    unsigned account = 0;
};

}  // namespace

TEST_F(SettingsPagesTest, OwnServerAccountsHaveThreeTabsOthersTwo)
{
    ZEL_REQUIRE_DISPLAY();
    struct {
        const ZEL_GUID* protocol;
        std::vector<std::wstring> titles;
        std::vector<int> templates;
    } cases[] = {
        {&GUID_XMPP_ZEL_PROTOCOL, {L"Account", L"Expert", L"Advanced"}, {IDD_JABBER_ACCOUNT, IDD_JABBER_EXPERT, IDD_JABBER_ADVANCED}},
        {&GUID_XMPP_PROTOCOL, {L"Account", L"Expert"}, {IDD_JABBER_ACCOUNT, IDD_JABBER_EXPERT}},
        {&GUID_XMPP_GTALK_PROTOCOL, {L"Account", L"Expert"}, {IDD_JABBER_ACCOUNT, IDD_JABBER_EXPERT}},
    };
    for (const auto& c : cases) {
        account = host.CreateAccount(*c.protocol);
        ASSERT_NE(account, 0u);
        std::vector<HWND> windows = Open(account);
        ASSERT_EQ(size_t(pages.GetCount()), c.titles.size());
        for (int i = 0; i < pages.GetCount(); ++i) {
            EXPECT_EQ(Wide(pages[i]->GetTitle()), c.titles[size_t(i)]);
            EXPECT_EQ(pages[i]->GetResource().templateId, c.templates[size_t(i)]);
            EXPECT_EQ(pages[i]->GetIcons().GetCount(), 1);
            EXPECT_NE(windows[size_t(i)], nullptr);
        }
    }
}

TEST_F(SettingsPagesTest, ThePasswordIsMaskedKeptAndClearedAsTicked)
{
    ZEL_REQUIRE_DISPLAY();
    account = host.CreateAccount(GUID_XMPP_PROTOCOL);
    host.Configure(account, L"alice", L"alicepw", 5222);
    std::vector<HWND> windows = Open(account);
    HWND page = windows[0];
    EXPECT_EQ(ItemText(page, IDC_JB_ACCOUNT), L"alice");
    EXPECT_EQ(ItemText(page, IDC_JB_PASSWORD), L"**************");
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_JB_SAVE_PASSWORD), BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_JB_SHOW_PASSWORD)));
    Save();
    EXPECT_EQ(Wide(Settings(KindPlainXmpp).GetPassword()), L"alicepw");

    windows = Open(account);
    SendDlgItemMessageW(windows[0], IDC_JB_SAVE_PASSWORD, BM_CLICK, 0, 0);
    Save();
    EXPECT_TRUE(Settings(KindPlainXmpp).GetPassword().IsEmpty());

    windows = Open(account);
    EXPECT_EQ(ItemText(windows[0], IDC_JB_PASSWORD), L"");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(windows[0], IDC_JB_SHOW_PASSWORD)));
    SendDlgItemMessageW(windows[0], IDC_JB_SAVE_PASSWORD, BM_CLICK, 0, 0);
    TypeInto(GetDlgItem(windows[0], IDC_JB_PASSWORD), L"newpw");
    Save();
    EXPECT_EQ(Wide(Settings(KindPlainXmpp).GetPassword()), L"newpw");
}

TEST_F(SettingsPagesTest, PortsServersAndTheCaption)
{
    ZEL_REQUIRE_DISPLAY();
    account = host.CreateAccount(GUID_XMPP_ZEL_PROTOCOL);
    host.Configure(account, L"alice", L"alicepw", 5222);
    host.SetInt(account, L"Account port", 5222);
    std::vector<HWND> windows = Open(account);
    HWND accountPage = windows[0], expertPage = windows[1];

    // "Use SSL" puts 5223 in both port fields; unticked, 5222.
    SendDlgItemMessageW(accountPage, IDC_JB_SSL, BM_CLICK, 0, 0);
    EXPECT_EQ(ItemText(accountPage, IDC_JB_PORT), L"5223");
    EXPECT_EQ(ItemText(expertPage, IDC_JB_PORT), L"5223");
    SendDlgItemMessageW(accountPage, IDC_JB_SSL, BM_CLICK, 0, 0);
    EXPECT_EQ(ItemText(expertPage, IDC_JB_PORT), L"5222");

    // Manual connection off: the manual host and port become the account's. A letter-case rename
    // of the name is no new caption.
    if (IsDlgButtonChecked(expertPage, IDC_JB_MANUAL) == BST_CHECKED) SendDlgItemMessageW(expertPage, IDC_JB_MANUAL, BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(expertPage, IDC_JB_SERVER)));
    TypeInto(GetDlgItem(accountPage, IDC_JB_ACCOUNT), L"Alice");
    TypeInto(GetDlgItem(accountPage, IDC_JB_SERVER), L"example.org");
    TypeInto(GetDlgItem(accountPage, IDC_JB_PORT), L"5300");
    Save();
    AccountSettings stored = Settings(KindOwnServer);
    EXPECT_EQ(Wide(stored.GetManualServer()), L"example.org");
    EXPECT_EQ(stored.GetManualPort(), 5300);
    EXPECT_FALSE(stored.GetManualConnection());
    EXPECT_EQ(host.EventsOf(account, PMEV_ACCOUNT_RENAMED).size(), 1u);  // the server changed

    // Ports that are no ports keep the stored one; a case-only change of the name posts nothing.
    windows = Open(account);
    TypeInto(GetDlgItem(windows[0], IDC_JB_ACCOUNT), L"ALICE");
    for (const wchar_t* bad : {L"", L"0", L"70000"}) {
        TypeInto(GetDlgItem(windows[0], IDC_JB_PORT), bad);
        Save();
        EXPECT_EQ(Settings(KindOwnServer).GetPort(), 5300) << Wide(CZELString(bad));
    }
    EXPECT_EQ(host.EventsOf(account, PMEV_ACCOUNT_RENAMED).size(), 1u);
}

TEST_F(SettingsPagesTest, HidingTheEmailButtonTakesItsIconAway)
{
    ZEL_REQUIRE_DISPLAY();
    account = host.CreateAccount(GUID_XMPP_ZEL_PROTOCOL);
    std::vector<HWND> windows = Open(account);
    ASSERT_EQ(windows.size(), 3u);
    EXPECT_EQ(IsDlgButtonChecked(windows[2], IDC_JB_EMAIL_NOTIFY), BST_CHECKED);
    SendDlgItemMessageW(windows[2], IDC_JB_HIDE_EMAIL, BM_CLICK, 0, 0);
    SendDlgItemMessageW(windows[2], IDC_JB_EMAIL_NOTIFY, BM_CLICK, 0, 0);
    Save();
    EXPECT_TRUE(Settings(KindOwnServer).GetHideEmailButton());
    EXPECT_FALSE(Settings(KindOwnServer).GetEmailNotify());
    std::vector<JabberTest::Event> removed = host.EventsOf(account, PMEV_ACCOUNT_INDICATOR);
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0].v2, 1);
    // Saved again unchanged: nothing more.
    windows = Open(account);
    Save();
    EXPECT_EQ(host.EventsOf(account, PMEV_ACCOUNT_INDICATOR).size(), 1u);
}
