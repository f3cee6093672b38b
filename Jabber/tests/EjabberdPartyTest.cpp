// Jabber.dll's account for alice against ejabberd with another client as bob: the slixmpp party of
// Jabber/tests/peers/xmpp_party.py, started as a peer. It asks for alice's presence, shows itself as
// "dnd" with the extended status 8, answers receipts and "jabber:x:event" delivery requests, and
// echoes messages asking for both; what it saw is read from its events file.
#include "Zel/net/tests/PeerSupport.h"

#include "Jabber/tests/ContactListView.h"
#include "Jabber/tests/JabberTestHost.h"
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
                                       "ctl=add_rosteritem alice localhost bob localhost Bob Friends none"}))
            failures = server.Failure();
    }
    ~PartyServer() { server.Stop(); }
};

class EjabberdPartyTest : public PeerTest::SharedPeers<PartyServer> {
protected:
    EjabberdPartyTest() : host(bus), events(bus) { plugin.SetTimings(300, 0); }
    ~EjabberdPartyTest() override { plugin.SetTimings(15000, 60000); }

    std::string PartyEvents() { return PeerTest::ReadTextFile(party.RunDir() + "/events.log"); }
    bool PartySaw(const std::string& line)
    {
        return TestSupport::WaitUntil([&] { return PartyEvents().find(line) != std::string::npos; }, 15000);
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
    host.contactList->SetAntispamEnable(false);
    const int port = peers->server.Port();

    unsigned id = host.CreateAccount(GUID_XMPP_PROTOCOL);
    host.Configure(id, L"alice", L"alicepw", port);
    host.SetStatus(id, AccountStatus::Online);
    ASSERT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Online}));
    ASSERT_TRUE(TestSupport::WaitUntil(
        [&] { return JabberTest::ListRows(*host.contactList, id) == std::vector<std::string>{"Friends", "Friends|bob@localhost|Bob|0"}; },
        10000))
        << ::testing::PrintToString(JabberTest::ListRows(*host.contactList, id));
    const int bob = JabberTest::ContactByJid(*host.contactList, id, "bob@localhost");
    EXPECT_EQ(Icons(id, bob).images.GetCount(), 1);

    ASSERT_TRUE(party.Start("xmpp-party", {std::to_string(port), "bob@localhost/party", "bobpw", "--subscribe",
                                           "alice@localhost", "--show", "dnd", "--xstatus", "8", "--priority", "5",
                                           "--echo"}))
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
    ASSERT_TRUE(events.WaitFor(CLE_MESSAGE_ACK, bob, 1, 15000)) << PartyEvents();
    EXPECT_EQ(events.Events(CLE_MESSAGE_ACK).back().value, 99);
    EXPECT_TRUE(events.WaitFor(CLE_TYPING, bob, 1, 15000));
    ASSERT_TRUE(TestSupport::WaitUntil(
        [&] {
            for (const ContactListEvents::Event& e : events.Events(CLE_INCOMING_MESSAGE))
                if (e.id == bob && Narrow(e.message.text) == "echo: hello <&> ??????") return true;
            return false;
        },
        15000))
        << PartyEvents();
    EXPECT_TRUE(PartySaw("receipt echo1")) << PartyEvents();
    EXPECT_TRUE(PartySaw("delivered echo1")) << PartyEvents();
    party.Stop();
}

}  // namespace
