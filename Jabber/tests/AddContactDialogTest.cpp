// The add-contact dialog opened by the menus' real items, worked by window messages, and the
// roster set it sends.
#include "Zel/core/tests/ModalDialogDriver.h"
#include "Jabber/tests/RosterSession.h"

#include "Handheld/tests/DisplayRequirement.h"
#include "Jabber/JabberResources.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using JabberTest::Narrow;
using JabberTest::PluginLibrary;
using JabberTest::RosterSession;
using DialogTest::Type;
using DialogTest::WithDialog;

const char kRoster[] = "<item jid='bob@localhost' name='Bob' subscription='both'><group>Friends</group></item>"
                       "<item jid='carl@localhost' subscription='both'><group>Family &amp; co</group></item>";

std::wstring Text(HWND dialog, int id)
{
    wchar_t text[300] = L"";
    GetDlgItemTextW(dialog, id, text, 300);
    return text;
}

CMenuItem Named(const CPopupMenu& menu, const char* text)
{
    for (int i = 0; i < menu.GetCount(); ++i)
        if (!menu.items[i].commandId && Narrow(menu.items[i].text) == text) return menu.items[i];
    return CMenuItem();
}

// The control stands where the template puts it, in dialog units; a drop-down list's height is its
// list's, not the window's.
void ExpectAt(HWND dialog, int id, int x, int y, int width, int height)
{
    SCOPED_TRACE(id);
    // Each field converted on its own, as the template's are.
    RECT units = {x, y, width, height};
    MapDialogRect(dialog, &units);
    RECT at;
    HWND control = GetDlgItem(dialog, id);
    ASSERT_NE(control, nullptr);
    GetWindowRect(control, &at);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&at), 2);
    EXPECT_EQ(at.left, units.left);
    EXPECT_EQ(at.top, units.top);
    EXPECT_EQ(at.right - at.left, units.right);
    if (id != IDC_JB_ADD_GROUP) EXPECT_EQ(at.bottom - at.top, units.bottom);
}

class AddContactDialogTest : public ::testing::Test {
protected:
    AddContactDialogTest() { plugin.SetTimings(300, 0); }
    ~AddContactDialogTest() override { plugin.SetTimings(15000, 60000); }

    CMenuItem AccountItem()
    {
        CPopupMenu menu;
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"host"), 1004, nullptr, 0, false));
        session.host.manager->FillAccountMenu(session.id, &menu);
        return Named(menu, "Add contact");
    }
    std::vector<std::string> RosterSets() { return session.SentWith("jabber:iq:roster'><item"); }

    PluginLibrary plugin;
    RosterSession session;
};

TEST_F(AddContactDialogTest, ConfirmRulesAndTheRosterSet)
{
    ZEL_REQUIRE_DISPLAY();
    ASSERT_TRUE(plugin.Loaded());
    session.Create();
    ASSERT_TRUE(session.SignIn(kRoster));
    const CMenuItem add = AccountItem();
    ASSERT_NE(add.callback, nullptr);

    // From the account menu: the first group is selected; an empty JID keeps the dialog open with
    // the focus on it; typed text goes out escaped, with an id.
    WithDialog([&] { add.callback(0, add.argument); },
               [&](HWND dialog) {
                   ExpectAt(dialog, IDC_JB_ADD_JID_LABEL, 5, 7, 65, 8);
                   ExpectAt(dialog, IDC_JB_ADD_JID, 71, 4, 79, 12);
                   ExpectAt(dialog, IDC_JB_ADD_NAME_LABEL, 5, 20, 65, 8);
                   ExpectAt(dialog, IDC_JB_ADD_NAME, 71, 18, 79, 12);
                   ExpectAt(dialog, IDC_JB_ADD_GROUP_LABEL, 5, 33, 65, 8);
                   ExpectAt(dialog, IDC_JB_ADD_GROUP, 71, 32, 79, 84);
                   wchar_t title[64] = L"";
                   GetWindowTextW(dialog, title, 64);
                   EXPECT_STREQ(title, L"Add contact");
                   EXPECT_EQ(Text(dialog, IDC_JB_ADD_JID_LABEL), L"Account name");
                   EXPECT_EQ(Text(dialog, IDC_JB_ADD_NAME_LABEL), L"Contact name");
                   EXPECT_EQ(Text(dialog, IDC_JB_ADD_GROUP_LABEL), L"Group");
                   HWND combo = GetDlgItem(dialog, IDC_JB_ADD_GROUP);
                   EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
                   EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
                   SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                   EXPECT_TRUE(IsWindowVisible(dialog));
                   DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
                   GUITHREADINFO info{};
                   info.cbSize = sizeof info;
                   GetGUIThreadInfo(thread, &info);
                   EXPECT_EQ(info.hwndFocus, GetDlgItem(dialog, IDC_JB_ADD_JID));
                   Type(GetDlgItem(dialog, IDC_JB_ADD_JID), L"tom@localhost");
                   Type(GetDlgItem(dialog, IDC_JB_ADD_NAME), L"Tom & \"Jerry\" <3");
                   SendMessageW(combo, CB_SETCURSEL, 1, 0);
                   PostMessageW(dialog, WM_COMMAND, IDOK, 0);
               });
    session.Settle();
    std::vector<std::string> sets = RosterSets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_NE(sets[0].find("type='set' id='zel_"), std::string::npos) << sets[0];
    EXPECT_NE(sets[0].find("<item jid='tom@localhost' name='Tom &amp; &quot;Jerry&quot; &lt;3' subscription='both'>"
                           "<group>Family &amp; co</group></item>"),
              std::string::npos)
        << sets[0];

    // From a group's menu that group is selected; an empty name sends no "name"; Cancel sends nothing.
    CPopupMenu groupMenu;
    groupMenu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"host"), 2005, nullptr, 0, false));
    session.host.manager->FillGroupMenu(session.id, session.Group("Family & co"), &groupMenu);
    const CMenuItem toGroup = Named(groupMenu, "Add contact");
    ASSERT_NE(toGroup.callback, nullptr);
    WithDialog([&] { toGroup.callback(0, toGroup.argument); },
               [&](HWND dialog) {
                   EXPECT_EQ(SendMessageW(GetDlgItem(dialog, IDC_JB_ADD_GROUP), CB_GETCURSEL, 0, 0), 1);
                   Type(GetDlgItem(dialog, IDC_JB_ADD_JID), L"sam@localhost");
                   PostMessageW(dialog, WM_COMMAND, IDOK, 0);
               });
    WithDialog([&] { toGroup.callback(0, toGroup.argument); },
               [&](HWND dialog) {
                   Type(GetDlgItem(dialog, IDC_JB_ADD_JID), L"nobody@localhost");
                   PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
               });
    session.Settle();
    sets = RosterSets();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_NE(sets[1].find("<item jid='sam@localhost' subscription='both'><group>Family &amp; co</group></item>"),
              std::string::npos)
        << sets[1];

    // From a stranger's contact menu: its JID is filled in.
    session.ServerSends("<message from='temp@localhost/x' type='chat'><body>hi</body></message>");
    const int temp = session.Contact("temp@localhost");
    ASSERT_NE(temp, 0);
    CPopupMenu contactMenu;
    contactMenu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"host"), 4010, nullptr, 0, false));
    session.host.manager->FillContactMenu(session.id, temp, &contactMenu);
    const CMenuItem fromContact = Named(contactMenu, "Add to contact list");
    ASSERT_NE(fromContact.callback, nullptr);
    WithDialog([&] { fromContact.callback(0, fromContact.argument); },
               [&](HWND dialog) {
                   EXPECT_EQ(Text(dialog, IDC_JB_ADD_JID), L"temp@localhost");
                   PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
               });
}

// Without groups nothing can be confirmed: only Cancel closes the dialog.
TEST_F(AddContactDialogTest, WithoutGroupsOnlyCancelCloses)
{
    ZEL_REQUIRE_DISPLAY();
    ASSERT_TRUE(plugin.Loaded());
    session.Create();
    ASSERT_TRUE(session.SignIn(""));
    const CMenuItem add = AccountItem();
    ASSERT_NE(add.callback, nullptr);
    WithDialog([&] { add.callback(0, add.argument); },
               [&](HWND dialog) {
                   EXPECT_EQ(SendMessageW(GetDlgItem(dialog, IDC_JB_ADD_GROUP), CB_GETCOUNT, 0, 0), 0);
                   Type(GetDlgItem(dialog, IDC_JB_ADD_JID), L"tom@localhost");
                   SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                   EXPECT_TRUE(IsWindowVisible(dialog));
                   PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
               });
    session.Settle();
    EXPECT_TRUE(RosterSets().empty());
}

}  // namespace

#include "Jabber/tests/ContactListView.h"
#include "Zel/net/tests/PeerSupport.h"

namespace {

struct AddContactPeers {
    PeerTest::LinuxPeer server;
    std::string failures;

    AddContactPeers()
    {
        if (!server.Start("ejabberd", {"admin-extra", "user=alice:alicepw", "user=tom:tompw"}))
            failures = server.Failure();
    }
};

class EjabberdAddContactTest : public PeerTest::SharedPeers<AddContactPeers> {
protected:
    EjabberdAddContactTest() : host(bus) { plugin.SetTimings(300, 0); }
    ~EjabberdAddContactTest() override { plugin.SetTimings(15000, 60000); }

    PluginLibrary plugin;
    Services::CServicesManager bus;
    JabberTest::Host host;
};

// Through a real server: the set is answered "result", stored as typed, and the contact arrives in
// its group by the server's push.
TEST_F(EjabberdAddContactTest, TheContactArrivesByPush)
{
    ZEL_REQUIRE_DISPLAY();
    ASSERT_TRUE(plugin.Loaded());
    ASSERT_TRUE(peers->failures.empty()) << peers->failures;
    const unsigned id = host.CreateAccount(GUID_XMPP_PROTOCOL);
    host.Configure(id, L"alice", L"alicepw", peers->server.Port());
    host.SetStatus(id, AccountStatus::Online);
    ASSERT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Online}, 30000));
    // The first presence goes out once the server's roster is merged, and the merge drops groups the
    // server does not list (it keeps no empty ones): the group is added after it.
    std::string presence;
    ASSERT_TRUE(TestSupport::WaitUntil(
        [&] {
            return peers->server.Control("get_presence alice localhost", &presence) &&
                   presence.find("\tavailable") != std::string::npos;
        },
        20000))
        << presence;
    host.manager->AddGroup(id, CZELString(L"Friends & Family"));
    ASSERT_TRUE(TestSupport::WaitUntil(
        [&] { return JabberTest::GroupByName(*host.contactList, id, "Friends & Family") != 0; }, 5000));

    CPopupMenu menu;
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"host"), 1004, nullptr, 0, false));
    host.manager->FillAccountMenu(id, &menu);
    const CMenuItem add = Named(menu, "Add contact");
    ASSERT_NE(add.callback, nullptr);
    WithDialog([&] { add.callback(0, add.argument); },
               [&](HWND dialog) {
                   Type(GetDlgItem(dialog, IDC_JB_ADD_JID), L"tom@localhost");
                   Type(GetDlgItem(dialog, IDC_JB_ADD_NAME), L"Tom & \"Jerry\" <3");
                   PostMessageW(dialog, WM_COMMAND, IDOK, 0);
               });
    EXPECT_TRUE(TestSupport::WaitUntil(
        [&] {
            const std::vector<std::string> rows = JabberTest::ListRows(*host.contactList, id);
            return std::find(rows.begin(), rows.end(), "Friends & Family|tom@localhost|Tom & \"Jerry\" <3|0") !=
                   rows.end();
        },
        10000))
        << ::testing::PrintToString(JabberTest::ListRows(*host.contactList, id));
    std::string roster;
    ASSERT_TRUE(peers->server.Control("get_roster alice localhost", &roster));
    EXPECT_NE(roster.find("Tom & \"Jerry\" <3"), std::string::npos) << roster;
    EXPECT_NE(roster.find("Friends & Family"), std::string::npos) << roster;
}

}  // namespace
