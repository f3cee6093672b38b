// Jabber.dll's account for alice against ejabberd with another client as bob: the slixmpp party of
// Jabber/tests/peers/xmpp_party.py, started as a peer. It asks for alice's presence, shows itself as
// "dnd" with the extended status 8 and entity capabilities, answers their discovery query (chat
// states among its features), receipts and "jabber:x:event" delivery requests, and echoes messages
// asking for both; what it saw is read from its events file.
#include "Zel/net/tests/PeerSupport.h"

#include "Jabber/tests/ContactListView.h"
#include "Jabber/tests/JabberTestHost.h"
#include "Jabber/tests/MenuRows.h"
#include "Jabber/tests/RosterSession.h"

#include "Jabber/account/JabberAccount.h"

#include <gtest/gtest.h>

namespace {

using JabberTest::ContactListEvents;
using JabberTest::Host;
using JabberTest::Narrow;
using JabberTest::PluginLibrary;

struct PartyServer {
    PeerTest::LinuxPeer server;
    std::string failures;

    PartyServer()
    {
        if (!server.Start("ejabberd", {"admin-extra", "user=alice:alicepw", "user=bob:bobpw",
                                       "ctl=add_rosteritem alice localhost bob localhost Bob Friends none",
                                       // The menus' pair, apart from alice and bob.
                                       "user=carol:carolpw", "user=dave:davepw",
                                       "ctl=add_rosteritem carol localhost dave localhost Dave Friends none"}))
            failures = server.Failure();
    }
    ~PartyServer() { server.Stop(); }
};

class EjabberdPartyTest : public PeerTest::SharedPeers<PartyServer> {
protected:
    EjabberdPartyTest() : host(bus), events(bus) { plugin.SetTimings(300, 0); }
    ~EjabberdPartyTest() override { plugin.SetTimings(15000, 60000); }

    std::string PartyEvents() { return PeerTest::ReadTextFile(party.RunDir() + "/events.log"); }
    // How many of the party's event lines are line exactly.
    size_t PartyLines(const std::string& line)
    {
        const std::string events = "\n" + PartyEvents();
        size_t count = 0;
        for (size_t at = events.find("\n" + line + "\n"); at != std::string::npos;
             at = events.find("\n" + line + "\n", at + 1))
            ++count;
        return count;
    }
    bool PartyCounted(const std::string& line, size_t count)
    {
        return TestSupport::WaitUntil([&] { return PartyLines(line) == count; }, 15000);
    }
    bool PartySaw(const std::string& line)
    {
        return TestSupport::WaitUntil([&] { return PartyEvents().find(line) != std::string::npos; }, 15000);
    }
    // A plain XMPP account of user on the shared server, brought online: its id, 0 when it did not
    // come online.
    unsigned SignIn(const wchar_t* user, const wchar_t* password)
    {
        host.contactList->SetAntispamEnable(false);
        const unsigned id = host.CreateAccount(GUID_XMPP_PROTOCOL);
        host.Configure(id, user, password, peers->server.Port());
        host.SetStatus(id, AccountStatus::Online);
        return host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Online}) ? id : 0;
    }
    StatusInfo Icons(unsigned id, int contactId)
    {
        StatusInfo info;
        host.manager->GetContactIcons(id, contactId, &info);
        return info;
    }

    PluginLibrary plugin;
    Services::CServicesManager bus;
    Host host;
    ContactListEvents events;
    PeerTest::LinuxPeer party;
};

TEST_F(EjabberdPartyTest, TheOtherPartySubscribesShowsItsStatusAndTalksBack)
{
    ASSERT_TRUE(plugin.Loaded());
    ASSERT_TRUE(peers->failures.empty()) << peers->failures;
    const int port = peers->server.Port();
    const unsigned id = SignIn(L"alice", L"alicepw");
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(TestSupport::WaitUntil(
        [&] { return JabberTest::ListRows(*host.contactList, id) == std::vector<std::string>{"Friends", "Friends|bob@localhost|Bob|0"}; },
        10000))
        << ::testing::PrintToString(JabberTest::ListRows(*host.contactList, id));
    const int bob = JabberTest::ContactByJid(*host.contactList, id, "bob@localhost");
    EXPECT_EQ(Icons(id, bob).images.GetCount(), 1);

    ASSERT_TRUE(party.Start("xmpp-party", {std::to_string(port), "bob@localhost/party", "bobpw", "--subscribe",
                                           "alice@localhost", "--show", "dnd", "--xstatus", "8", "--priority", "5",
                                           "--echo", "--caps"}))
        << party.Failure();

    // Its request, as a message in bob's chat; accepted, it reaches the party.
    ASSERT_TRUE(TestSupport::WaitUntil(
        [&] {
            for (const ContactListEvents::Event& e : events.Events(CLE_INCOMING_MESSAGE))
                if (e.id == bob && Narrow(e.message.text) == "Authorization request: ") return true;
            return false;
        },
        15000))
        << PartyEvents();
    JabberTest::ContactAction(JabberAccount::ActionAcceptAuth)(0, JabberTest::ContactActionArgument(id, bob));
    EXPECT_TRUE(PartySaw("subscribed alice@localhost")) << PartyEvents();

    // Ours, granted by the party, clears the mark; then its status shows: "dnd" with 8 is Occupied.
    JabberTest::ContactAction(JabberAccount::ActionRequestAuth)(0, JabberTest::ContactActionArgument(id, bob));
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return Icons(id, bob).images.GetCount() == 0; }, 15000));
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return Icons(id, bob).status == AccountStatus::Occupied; }, 15000))
        << Icons(id, bob).status << "\n" << PartyEvents();
    // Its capabilities are asked of it once, by their node and version.
    EXPECT_TRUE(PartySaw("disco alice@localhost/ZEL PDA http://party.invalid/caps#party-1\n")) << PartyEvents();

    // Our Lunch reaches it as "away" with the extended status 10.
    host.SetStatus(id, AccountStatus::Lunch);
    EXPECT_TRUE(PartySaw("presence alice@localhost/ZEL PDA away 10")) << PartyEvents();

    // A message to it: its "delivered" acknowledges ours; its echo asks for a receipt and the
    // "delivered" event, and both answers reach it.
    const std::string text = "hello <&> \xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82";
    MessageRecord message;
    message.contactId = bob;
    message.messageNumber = 99;
    message.text = CZELString(L"hello <&> \x043f\x0440\x0438\x0432\x0435\x0442");
    host.manager->SendInstantMessage(id, message, true);
    EXPECT_TRUE(PartySaw(" " + text + "\n")) << PartyEvents();
    // Its answer listed chat states: the message said we are active in the chat.
    EXPECT_TRUE(PartySaw("active alice@localhost/ZEL PDA\n")) << PartyEvents();
    ASSERT_TRUE(events.WaitFor(CLE_MESSAGE_ACK, bob, 1, 15000)) << PartyEvents();
    EXPECT_EQ(events.Events(CLE_MESSAGE_ACK).back().value, 99);
    EXPECT_TRUE(events.WaitFor(CLE_TYPING, bob, 1, 15000));
    ASSERT_TRUE(TestSupport::WaitUntil(
        [&] {
            for (const ContactListEvents::Event& e : events.Events(CLE_INCOMING_MESSAGE))
                if (e.id == bob && e.message.text.GetBuffer() &&
                    std::wstring(e.message.text.GetBuffer()) == L"echo: hello <&> \x043f\x0440\x0438\x0432\x0435\x0442")
                    return true;
            return false;
        },
        15000))
        << PartyEvents();
    EXPECT_TRUE(PartySaw("receipt echo1")) << PartyEvents();
    EXPECT_TRUE(PartySaw("delivered echo1")) << PartyEvents();
    EXPECT_EQ(PartyLines("disco alice@localhost/ZEL PDA http://party.invalid/caps#party-1"), 1u) << PartyEvents();
    party.Stop();
}

// The contact and chat menus' authorisation items, chosen as the user chooses them, reach the other
// party as the presences they stand for; the roster pushes that follow change the items offered.
TEST_F(EjabberdPartyTest, TheMenusAuthorisationItemsReachTheOtherParty)
{
    ASSERT_TRUE(plugin.Loaded());
    ASSERT_TRUE(peers->failures.empty()) << peers->failures;
    const int port = peers->server.Port();
    const unsigned id = SignIn(L"carol", L"carolpw");
    ASSERT_NE(id, 0u);
    int dave = 0;
    ASSERT_TRUE(TestSupport::WaitUntil(
        [&] { return (dave = JabberTest::ContactByJid(*host.contactList, id, "dave@localhost")) != 0; }, 10000));
    ASSERT_TRUE(party.Start("xmpp-party", {std::to_string(port), "dave@localhost/party", "davepw", "--subscribe",
                                           "carol@localhost"}))
        << party.Failure();

    IProtocolsManager& manager = *host.manager;
    auto contactRows = [&] { return JabberTest::RowsOf(JabberTest::ContactMenuOf(manager, id, dave)); };
    auto offered = [&](const std::vector<std::string>& items) {
        std::vector<std::string> expected = {"4001", "4003", "4004", "4005", "4007", "4008", "4009", "4010", "4011", "-"};
        for (const std::string& item : items) expected.push_back(item + "|image");
        return TestSupport::WaitUntil([&] { return contactRows() == expected; }, 15000);
    };
    auto asked = [&] {
        return TestSupport::WaitUntil(
            [&] { return JabberTest::ItemNamed(JabberTest::ChatMenuOf(manager, id, dave), "Decline") != nullptr; },
            15000);
    };
    auto askAgain = [&] {
        MessageRecord message;
        message.contactId = dave;
        message.text = CZELString(L"ask for my presence");
        manager.SendInstantMessage(id, message, true);
    };
    auto choose = [&](const CPopupMenu& menu, const char* item) { return JabberTest::Choose(menu, item); };
    const std::string subscribe = "subscribe carol@localhost", subscribed = "subscribed carol@localhost",
                      unsubscribed = "unsubscribed carol@localhost";

    // The party's request at its start, accepted from the chat menu.
    ASSERT_TRUE(asked()) << PartyEvents();
    EXPECT_TRUE(offered({"Request authorization", "Grant authorization"})) << ::testing::PrintToString(contactRows());
    ASSERT_TRUE(choose(JabberTest::ChatMenuOf(manager, id, dave), "Accept"));
    EXPECT_TRUE(PartyCounted(subscribed, 1)) << PartyEvents();

    // It sees us now: revoked from the contact menu.
    ASSERT_TRUE(offered({"Request authorization", "Revoke authorization"})) << ::testing::PrintToString(contactRows());
    ASSERT_TRUE(choose(JabberTest::ContactMenuOf(manager, id, dave), "Revoke authorization"));
    EXPECT_TRUE(PartyCounted(unsubscribed, 1)) << PartyEvents();

    // Asked again: declined from the chat menu.
    ASSERT_TRUE(offered({"Request authorization", "Grant authorization"})) << ::testing::PrintToString(contactRows());
    askAgain();
    ASSERT_TRUE(asked()) << PartyEvents();
    ASSERT_TRUE(choose(JabberTest::ChatMenuOf(manager, id, dave), "Decline"));
    EXPECT_TRUE(PartyCounted(unsubscribed, 2)) << PartyEvents();
    EXPECT_TRUE(TestSupport::WaitUntil(
        [&] { return JabberTest::RowsOf(JabberTest::ChatMenuOf(manager, id, dave)) == JabberTest::MenuRows({"5000", "5001"}); },
        5000));

    // And again: granted from the contact menu.
    askAgain();
    ASSERT_TRUE(asked()) << PartyEvents();
    ASSERT_TRUE(choose(JabberTest::ContactMenuOf(manager, id, dave), "Grant authorization"));
    EXPECT_TRUE(PartyCounted(subscribed, 2)) << PartyEvents();

    // Our own request: the party grants it, and both see each other.
    ASSERT_TRUE(offered({"Request authorization", "Revoke authorization"})) << ::testing::PrintToString(contactRows());
    ASSERT_TRUE(choose(JabberTest::ContactMenuOf(manager, id, dave), "Request authorization"));
    EXPECT_TRUE(PartyCounted(subscribe, 1)) << PartyEvents();
    EXPECT_TRUE(offered({"Revoke authorization"})) << ::testing::PrintToString(contactRows());
    EXPECT_EQ(PartyLines(subscribed), 2u) << PartyEvents();
    EXPECT_EQ(PartyLines(unsubscribed), 2u) << PartyEvents();
    party.Stop();
}

}  // namespace
