// The program's menus as an XMPP account adjusts them, captured as tables through the protocols
// manager: the items kept in each state, the items added (text, image, place) and what choosing
// them does, on the account's queue.
#include "Jabber/tests/MenuRows.h"
#include "Jabber/tests/RosterSession.h"

#include "Handheld/Shell.h"
#include "Jabber/account/MailNotice.h"

#include <gtest/gtest.h>

#include <mutex>

namespace {

using JabberTest::HostMenu;
using JabberTest::ItemNamed;
using JabberTest::RowsOf;
using JabberTest::Narrow;
using JabberTest::PluginLibrary;
using JabberTest::RosterSession;
typedef JabberTest::MenuRows Rows;

const char kRoster[] =
    "<item jid='none@localhost' name='None' subscription='none'><group>Friends</group></item>"
    "<item jid='to@localhost' name='To' subscription='to'><group>Friends</group></item>"
    "<item jid='from@localhost' name='From' subscription='from'><group>Friends</group></item>"
    "<item jid='both@localhost' name='Both' subscription='both'><group>Friends</group></item>";

class MenusTest : public ::testing::Test {
protected:
    MenusTest() { plugin.SetTimings(300, 0); }
    ~MenusTest() override { plugin.SetTimings(15000, 60000); }

    Rows Account(unsigned id, std::initializer_list<int> ids)
    {
        CPopupMenu menu = HostMenu(ids);
        EXPECT_TRUE(session.host.manager->FillAccountMenu(id, &menu));
        return RowsOf(menu);
    }
    Rows Group(int groupId)
    {
        CPopupMenu menu = HostMenu({2000, 2001, 2002, 2003, 2004, 2005, 2006, 2010});
        EXPECT_TRUE(session.host.manager->FillGroupMenu(session.id, groupId, &menu));
        return RowsOf(menu);
    }
    CPopupMenu ContactMenu(int contactId)
    {
        CPopupMenu menu = JabberTest::ContactHostMenu();
        EXPECT_TRUE(session.host.manager->FillContactMenu(session.id, contactId, &menu));
        return menu;
    }
    CPopupMenu ChatMenu(int contactId)
    {
        CPopupMenu menu = JabberTest::ChatHostMenu();
        EXPECT_TRUE(session.host.manager->FillChatMenu(session.id, contactId, &menu));
        return menu;
    }

    PluginLibrary plugin;
    RosterSession session;
};

TEST_F(MenusTest, MenusOnlineAndOffline)
{
    ASSERT_TRUE(plugin.Loaded());
    session.Create();
    ASSERT_TRUE(session.SignIn(kRoster));
    session.ServerSends("<message from='temp@localhost/x' type='chat'><body>hi</body></message>");
    const int friends = session.Group("Friends");
    const int none = session.Contact("none@localhost"), to = session.Contact("to@localhost");
    const int from = session.Contact("from@localhost"), both = session.Contact("both@localhost");
    const int temp = session.Contact("temp@localhost");
    ASSERT_TRUE(friends && none && to && from && both && temp) << ::testing::PrintToString(session.Rows());
    ASSERT_EQ(session.List().GetContactGroup(temp), 0);

    // Online.
    EXPECT_EQ(Account(session.id, {1001, 1002, 1003, 1004, 1005}),
              Rows({"1001", "1002", "1003", "1004", "1005", "Add contact|image"}));
    EXPECT_EQ(Account(session.id, {1001, 1002, 1003, 1005}), Rows({"1001", "1002", "1003", "1005"}));
    EXPECT_EQ(Group(0), Rows({"2000", "2001", "2002", "2003", "2005"}));
    EXPECT_EQ(Group(friends), Rows({"2000", "2001", "2002", "2003", "2004", "2005", "-", "Add contact|image"}));
    const Rows inGroup = {"4001", "4003", "4004", "4005", "4007", "4008", "4009", "4010", "4011", "-"};
    struct Case {
        int contact;
        Rows added;
    } cases[] = {
        {none, {"Request authorization|image", "Grant authorization|image"}},
        {to, {"Grant authorization|image"}},
        {from, {"Request authorization|image", "Revoke authorization|image"}},
        {both, {"Revoke authorization|image"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.contact);
        Rows expected = inGroup;
        expected.insert(expected.end(), c.added.begin(), c.added.end());
        EXPECT_EQ(RowsOf(ContactMenu(c.contact)), expected);
    }
    EXPECT_EQ(RowsOf(ContactMenu(temp)),
              Rows({"4001", "4003", "4004", "4005", "4007", "4008", "Add to contact list|image", "4010", "-",
                    "Request authorization|image", "Grant authorization|image"}));
    EXPECT_EQ(RowsOf(ChatMenu(both)), Rows({"5000", "5001"}));
    session.ServerSends("<presence from='both@localhost/r' type='subscribe'/>");
    const CPopupMenu chat = ChatMenu(both);
    EXPECT_EQ(RowsOf(chat), Rows({"Authorization|image|none", "  Accept|image", "  Decline|image", "  Ignore|-1",
                                  "5000", "5001"}));

    // The images: the authorisation answers share the grant and revoke pictures.
    const CPopupMenu noneMenu = ContactMenu(none), bothMenu = ContactMenu(both);
    auto image = [](const CMenuItem* item) { return item ? item->images[0] : -2; };
    EXPECT_EQ(image(ItemNamed(chat, "Authorization")), image(ItemNamed(noneMenu, "Request authorization")));
    EXPECT_EQ(image(ItemNamed(chat, "Accept")), image(ItemNamed(noneMenu, "Grant authorization")));
    EXPECT_EQ(image(ItemNamed(chat, "Decline")), image(ItemNamed(bothMenu, "Revoke authorization")));

    CPopupMenu main;
    session.host.manager->FillMainMenu(&main);
    ASSERT_EQ(RowsOf(main), Rows({"alice@localhost|image"}));
    CPopupMenu status;
    session.host.manager->GetStatusMenu(session.id, 0, &status);
    const CMenuItem* online = ItemNamed(status, "Online");
    ASSERT_NE(online, nullptr);
    EXPECT_EQ(main.items[0].images[0], online->images[0]);

    CPopupMenu mail;
    session.host.manager->GetStatusMenu(session.id, 1, &mail);
    EXPECT_EQ(Narrow(mail.title), "Mailbox");
    EXPECT_EQ(RowsOf(mail), Rows({"Open Inbox|image"}));

    // The actions reach the server from the account's queue.
    struct Action {
        const char* item;
        const CPopupMenu* menu;
        const char* sent;
    } actions[] = {
        {"Request authorization", &noneMenu, "<presence to='none@localhost' type='subscribe'/>"},
        {"Grant authorization", &noneMenu, "<presence to='none@localhost' type='subscribed'/>"},
        {"Revoke authorization", &bothMenu, "<presence to='both@localhost' type='unsubscribed'/>"},
        {"Accept", &chat, "<presence to='both@localhost' type='subscribed'/>"},
    };
    for (const Action& a : actions) {
        SCOPED_TRACE(a.item);
        const CMenuItem* item = ItemNamed(*a.menu, a.item);
        ASSERT_NE(item, nullptr);
        const size_t before = session.SentWith(a.sent).size();
        item->callback(0, item->argument);
        EXPECT_TRUE(TestSupport::WaitUntil([&] { return session.SentWith(a.sent).size() == before + 1; }, 5000));
    }
    // Answered: the chat menu is back to the program's own items.
    session.Settle();
    EXPECT_EQ(RowsOf(ChatMenu(both)), Rows({"5000", "5001"}));

    // Declined, and ignored: the first answers "unsubscribed", the second sends nothing; either ends
    // the request.
    for (const char* answer : {"Decline", "Ignore"}) {
        SCOPED_TRACE(answer);
        session.ServerSends("<presence from='to@localhost/r' type='subscribe'/>");
        const CPopupMenu asked = ChatMenu(to);
        const CMenuItem* item = ItemNamed(asked, answer);
        ASSERT_NE(item, nullptr);
        const size_t before = session.SentWith("<presence to='to@localhost'").size();
        item->callback(0, item->argument);
        EXPECT_TRUE(TestSupport::WaitUntil([&] { return RowsOf(ChatMenu(to)) == Rows({"5000", "5001"}); }, 5000));
        const std::vector<std::string> sent = session.SentWith("<presence to='to@localhost'");
        if (std::string(answer) == "Decline") {
            ASSERT_EQ(sent.size(), before + 1);
            EXPECT_EQ(sent.back(), "<presence to='to@localhost' type='unsubscribed'/>");
        } else {
            EXPECT_EQ(sent.size(), before);
        }
    }

    // Offline.
    session.host.SetStatus(session.id, AccountStatus::Offline);
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return session.host.AskStatus(session.id) == AccountStatus::Offline; },
                                       5000));
    session.Settle();
    EXPECT_EQ(Account(session.id, {1001, 1002, 1003, 1004, 1005}), Rows({"1001", "1004", "1005"}));
    EXPECT_EQ(Group(0), Rows({"2000", "2001", "2002", "2005"}));
    EXPECT_EQ(Group(friends), Rows({"2000", "2001"}));
    EXPECT_EQ(RowsOf(ContactMenu(none)), Rows({"4001", "4003", "4004", "4005", "4007"}));
    EXPECT_EQ(RowsOf(ContactMenu(temp)), Rows({"4001", "4003", "4004", "4005", "4007", "4008", "4010"}));
    EXPECT_EQ(RowsOf(ChatMenu(both)), Rows({"5000", "5001"}));
    CPopupMenu offlineMain;
    session.host.manager->FillMainMenu(&offlineMain);
    EXPECT_TRUE(RowsOf(offlineMain).empty());
}

BOOL RecordLaunch(LPCWSTR address, void* context)
{
    auto* launched = static_cast<std::pair<std::mutex, std::vector<std::wstring>>*>(context);
    std::lock_guard<std::mutex> hold(launched->first);
    launched->second.push_back(address);
    return TRUE;
}

// "Open Inbox" hands the launcher the signed link to the web mailbox.
TEST_F(MenusTest, OpenInboxLaunchesTheWebMailLink)
{
    ASSERT_TRUE(plugin.Loaded());
    std::pair<std::mutex, std::vector<std::wstring>> launched;
    SetShellOpenInterceptor(RecordLaunch, &launched);
    session.Create();
    ASSERT_TRUE(session.SignIn(""));
    CPopupMenu mail;
    session.host.manager->GetStatusMenu(session.id, 1, &mail);
    const CMenuItem* open = ItemNamed(mail, "Open Inbox");
    ASSERT_NE(open, nullptr);
    open->callback(0, open->argument);
    EXPECT_TRUE(TestSupport::WaitUntil(
        [&] {
            std::lock_guard<std::mutex> hold(launched.first);
            return !launched.second.empty();
        },
        5000));
    SetShellOpenInterceptor(nullptr, nullptr);
    std::lock_guard<std::mutex> hold(launched.first);
    ASSERT_EQ(launched.second.size(), 1u);
    EXPECT_EQ(launched.second[0], WebMailLinkFor(L"alice@localhost", L"alicepw"));
}

}  // namespace
