// A Wex account's settings pages as the account settings dialog shows them: made by Wex.dll from
// its own templates through the real protocols manager, driven by window messages and stored; the
// next sign-on to the fake server follows what they stored.
#include "WexAccountFixture.h"

#include "Wex/dialogs/WexResources.h"

#include "Handheld/tests/DisplayRequirement.h"
#include "Zel/core/tests/BusTestSupport.h"
#include "ZELCommon/ZELTabDlg_IPan.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using WexTest::Event;

std::wstring Wide(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

std::wstring ItemText(HWND page, int id)
{
    wchar_t text[300] = L"";
    GetDlgItemTextW(page, id, text, 300);
    return text;
}

void Type(HWND control, const std::wstring& text)
{
    SendMessageW(control, WM_SETTEXT, 0, LPARAM(L""));
    for (wchar_t c : text) SendMessageW(control, WM_CHAR, WPARAM(c), 0);
}

bool Checked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void Click(HWND page, int id)
{
    SendDlgItemMessageW(page, id, BM_CLICK, 0, 0);
}

Wex::Md5Digest DigestOf(const char* bytes)
{
    Wex::Md5Digest digest{};
    CMD5::Hash(bytes, unsigned(std::strlen(bytes)), digest.data());
    return digest;
}

const char kNewUin[] = "123456";

class WexSettingsPagesTest : public WexTest::WexAccountFixture {
protected:
    // The fake lets in the id and password the test types into the pages.
    WexSettingsPagesTest() : WexAccountFixture(L"wex_settings_pages", kNewUin, DigestOf("abcdefgh"))
    {
        parent = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~WexSettingsPagesTest() override
    {
        Clear();
        DestroyWindow(parent);
    }

    // The account's pages, their windows made as the tabbed dialog makes them.
    std::vector<HWND> Open()
    {
        Clear();
        Manager().GetSettingsPages(id, &pages);
        std::vector<HWND> windows;
        for (int i = 0; i < pages.GetCount(); ++i) windows.push_back(Page(i)->Create(parent));
        return windows;
    }
    UI::CZELWMUI_SettingsPan* Page(int i) { return dynamic_cast<UI::CZELWMUI_SettingsPan*>(pages[i]); }
    // OK: the pages store in order up to the first that refuses; its index, or -1.
    int Confirm()
    {
        int refused = -1;
        for (int i = 0; i < pages.GetCount() && refused < 0; ++i)
            if (Page(i)->DoDataExchange(1) != 1) refused = i;
        Settle();
        return refused;
    }
    // Waits until the account's queue has run what the pages posted: asking for the pages runs on
    // the same queue, after them.
    void Settle()
    {
        ZELTabDlg::PanList later;
        Manager().GetSettingsPages(id, &later);
        for (int i = 0; i < later.GetCount(); ++i) delete dynamic_cast<UI::CZELWMUI_SettingsPan*>(later[i]);
    }
    void Clear()
    {
        for (int i = 0; i < pages.GetCount(); ++i) delete Page(i);
        pages = ZELTabDlg::PanList();
    }
    size_t Renames() { return recorder->Events(PMEV_ACCOUNT_RENAMED).size(); }
    // The renames the manager has relayed, once count of them are in (or the wait is over).
    size_t RenamesAfter(size_t count)
    {
        BusTest::WaitUntil([&] { return Renames() >= count; }, 2000);
        return Renames();
    }

    HWND parent = nullptr;
    ZELTabDlg::PanList pages;
    unsigned id = 0;
};

}  // namespace

TEST_F(WexSettingsPagesTest, ThreePagesFromThePluginsTemplates)
{
    ZEL_REQUIRE_DISPLAY();
    id = CreateAccount();
    std::vector<HWND> windows = Open();
    ASSERT_EQ(windows.size(), 3u);
    const wchar_t* titles[] = {L"Account", L"Connection", L"Additional"};
    const int templates[] = {IDD_WEX_LOGIN, IDD_WEX_CONNECTION, IDD_WEX_OPTIONS};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(windows[size_t(i)], nullptr);
        EXPECT_EQ(Wide(pages[i]->GetTitle()), titles[i]);
        EXPECT_EQ(pages[i]->GetResource().templateId, templates[i]);
        EXPECT_EQ(pages[i]->GetIcons().GetCount(), 1);
    }
    // Labels come from the text table; the login label stays the template's.
    EXPECT_EQ(ItemText(windows[0], IDC_WEX_LOGIN_LABEL), L"WEX# / E-mail");
    EXPECT_EQ(ItemText(windows[0], IDC_WEX_PASSWORD_LABEL), L"Password");
    EXPECT_EQ(ItemText(windows[1], IDC_WEX_KEEP_ALIVE_LABEL), L"Keep connection alive");
    EXPECT_EQ(ItemText(windows[2], IDC_WEX_XSTATUS_REQUEST_LABEL), L"Autorequest x-status");
    // Eight preset hosts; the stored one in the field.
    EXPECT_EQ(SendDlgItemMessageW(windows[1], IDC_WEX_HOST, CB_GETCOUNT, 0, 0), 8);
    EXPECT_EQ(ItemText(windows[1], IDC_WEX_HOST), L"127.0.0.1");
    EXPECT_EQ(ItemText(windows[1], IDC_WEX_PORT), std::to_wstring(server.LoginPort()));
    EXPECT_FALSE(Checked(windows[1], IDC_WEX_MOVE_SERVERS));
    EXPECT_TRUE(Checked(windows[1], IDC_WEX_KEEP_ALIVE));
    // "Move servers" takes host and port away while ticked.
    Click(windows[1], IDC_WEX_MOVE_SERVERS);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(windows[1], IDC_WEX_HOST)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(windows[1], IDC_WEX_PORT)));
    Click(windows[1], IDC_WEX_MOVE_SERVERS);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(windows[1], IDC_WEX_PORT)));
}

TEST_F(WexSettingsPagesTest, TheNextSignOnFollowsWhatThePagesStored)
{
    ZEL_REQUIRE_DISPLAY();
    id = CreateAccount([](ValueRecordList& values) { Put(values, WexKeys::ServerName).WriteString(CZELString(L"wex.example.net"), false); });
    std::vector<HWND> windows = Open();
    ASSERT_EQ(windows.size(), 3u);
    HWND login = windows[0], connection = windows[1];
    EXPECT_EQ(ItemText(login, IDC_WEX_LOGIN), L"100200300");
    EXPECT_EQ(ItemText(login, IDC_WEX_PASSWORD), L"**************");
    EXPECT_TRUE(Checked(login, IDC_WEX_SAVE_PASSWORD));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(login, IDC_WEX_SHOW_PASSWORD)));

    Type(GetDlgItem(login, IDC_WEX_LOGIN), L"12 34-56");
    // Clearing the mask gives "Show password" back.
    Type(GetDlgItem(login, IDC_WEX_PASSWORD), L"");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(login, IDC_WEX_SHOW_PASSWORD)));
    Type(GetDlgItem(login, IDC_WEX_PASSWORD), L"abcdefghijkl");
    Type(GetDlgItem(connection, IDC_WEX_HOST), L"127.0.0.1");
    Click(connection, IDC_WEX_KEEP_ALIVE);
    // Port 0 and one past 16 bits refuse the page: nothing of it is stored.
    for (const wchar_t* bad : {L"0", L"70000", L""}) {
        Type(GetDlgItem(connection, IDC_WEX_PORT), bad);
        EXPECT_EQ(Confirm(), 1) << Wide(CZELString(bad));
    }
    {
        AccountValues values(bus.get(), id);
        EXPECT_EQ(Wide(values.GetServerName()), L"wex.example.net");
        EXPECT_TRUE(values.GetKeepAlive());
    }
    Type(GetDlgItem(connection, IDC_WEX_PORT), std::to_wstring(server.LoginPort()));
    EXPECT_EQ(Confirm(), -1);
    EXPECT_EQ(ItemText(login, IDC_WEX_LOGIN), L"123456");
    EXPECT_EQ(RenamesAfter(1), 1u);

    SignOn(id);
    EXPECT_EQ(server.GoodLogins(), 1);
    EXPECT_EQ(server.BadDigests(), 0);
    EXPECT_TRUE(recorder->Events(PMEV_TIMER_SET).empty());
    ExpectNoFaults();
}

TEST_F(WexSettingsPagesTest, LoginIdsAndTheStoredPassword)
{
    ZEL_REQUIRE_DISPLAY();
    id = CreateAccount();
    // Letters alone refuse; a case-only change of an e-mail id is no rename.
    std::vector<HWND> windows = Open();
    Type(GetDlgItem(windows[0], IDC_WEX_LOGIN), L"letters");
    EXPECT_EQ(Confirm(), 0);
    Type(GetDlgItem(windows[0], IDC_WEX_LOGIN), L"Someone@Example.org");
    EXPECT_EQ(Confirm(), -1);
    EXPECT_EQ(RenamesAfter(1), 1u);
    windows = Open();
    EXPECT_EQ(ItemText(windows[0], IDC_WEX_LOGIN), L"Someone@Example.org");
    Type(GetDlgItem(windows[0], IDC_WEX_LOGIN), L"someone@example.ORG");
    EXPECT_EQ(Confirm(), -1);
    EXPECT_EQ(RenamesAfter(2), 1u);

    // The mask untouched keeps the digest; cleared "Save password" forgets it.
    windows = Open();
    EXPECT_EQ(ItemText(windows[0], IDC_WEX_PASSWORD), L"**************");
    Click(windows[0], IDC_WEX_SAVE_PASSWORD);
    EXPECT_EQ(Confirm(), -1);
    windows = Open();
    EXPECT_EQ(ItemText(windows[0], IDC_WEX_PASSWORD), L"");
    EXPECT_FALSE(Checked(windows[0], IDC_WEX_SAVE_PASSWORD));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(windows[0], IDC_WEX_SHOW_PASSWORD)));

    // "Show password" is remembered between openings.
    Click(windows[0], IDC_WEX_SHOW_PASSWORD);
    EXPECT_EQ(SendDlgItemMessageW(windows[0], IDC_WEX_PASSWORD, EM_GETPASSWORDCHAR, 0, 0), 0);
    Click(windows[0], IDC_WEX_SAVE_PASSWORD);
    Type(GetDlgItem(windows[0], IDC_WEX_PASSWORD), L"secret");
    EXPECT_EQ(Confirm(), -1);
    windows = Open();
    EXPECT_EQ(ItemText(windows[0], IDC_WEX_PASSWORD), L"**************");
    EXPECT_FALSE(Checked(windows[0], IDC_WEX_SHOW_PASSWORD));

    // What the account holds reaches its stored values when it is unloaded.
    StopProgram();
    StartProgram();
    ASSERT_EQ(Manager().GetAccountCount(), 1);
    id = Manager().GetAccountId(0);
    WexAccountSettings stored;
    ASSERT_TRUE(AccountValues(bus.get(), id).Load(stored));
    EXPECT_EQ(Wide(stored.Uin), L"someone@example.ORG");
    EXPECT_EQ(stored.PasswordDigest, WexTest::PasswordDigest());
}

TEST_F(WexSettingsPagesTest, OptionsAreKeptAndShownAgain)
{
    ZEL_REQUIRE_DISPLAY();
    id = CreateAccount();
    std::vector<HWND> windows = Open();
    HWND options = windows[2];
    const int boxes[] = {IDC_WEX_STANDARD_ICON, IDC_WEX_XSTATUS_BAR, IDC_WEX_PRIVACY_BAR,
                         IDC_WEX_CLIENT_ICONS,  IDC_WEX_TYPING,      IDC_WEX_XSTATUS_REQUEST};
    std::vector<bool> before;
    for (int box : boxes) before.push_back(Checked(options, box));
    for (int box : boxes) Click(options, box);
    const size_t indicators = recorder->Events(PMEV_ACCOUNT_INDICATOR).size();
    EXPECT_EQ(Confirm(), -1);
    // The status-bar boxes changed: the icons are published again.
    EXPECT_TRUE(BusTest::WaitUntil([&] { return recorder->Events(PMEV_ACCOUNT_INDICATOR).size() > indicators; }));
    windows = Open();
    for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(Checked(windows[2], boxes[i]), !before[i]) << boxes[i];
}
