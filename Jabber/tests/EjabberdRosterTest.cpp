// Jabber.dll's account for alice through the program's bus, protocols manager, contact list and
// connection service against a real ejabberd the test starts on 127.0.0.1, with raw clients as the
// other parties: bob and carol, and a second login of alice herself. The roster fills the list and
// follows pushes and the user's commands; subscriptions are asked and answered; presence both ways;
// messages both ways with their notices.
#include "Zel/net/tests/PeerSupport.h"

#include "Jabber/tests/ContactListView.h"
#include "Jabber/tests/JabberTestHost.h"
#include "Jabber/tests/RosterSession.h"
#include "Jabber/tests/XmppTestSession.h"

#include "Jabber/account/JabberAccount.h"
#include "Jabber/xml/XmlText.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using JabberTest::ContactListEvents;
using JabberTest::Host;
using JabberTest::Narrow;
using JabberTest::PluginLibrary;
using XmppTest::Client;

typedef std::vector<std::string> Rows;

struct RosterPeers {
    PeerTest::LinuxPeer server;
    std::string failures;

    RosterPeers()
    {
        if (!server.Start("ejabberd", {"admin-extra", "user=alice:alicepw", "user=bob:bobpw", "user=carol:carolpw",
                                       "ctl=add_rosteritem alice localhost bob localhost Bob Friends both",
                                       "ctl=add_rosteritem bob localhost alice localhost Alice Friends both"}))
            failures = server.Failure();
    }
    ~RosterPeers() { server.Stop(); }
};

// A raw client signed in as user with resource, its session open and (when asked) its presence
// sent; null with a failure recorded otherwise.
std::unique_ptr<Client> RawLogin(int port, const std::string& user, const std::string& password,
                                 const std::string& resource, bool available = true)
{
    std::unique_ptr<Client> client(new Client(XmppTest::Connect(port)));
    std::string failure;
    if (!XmppTest::SignIn(*client, "DIGEST-MD5", failure, user, password)) {
        ADD_FAILURE() << user << ": " << failure;
        return nullptr;
    }
    unsigned counter = 0;
    if (XmppTest::BindAndOpenSession(*client, counter, resource).empty()) {
        ADD_FAILURE() << user << ": " << client->Failure();
        return nullptr;
    }
    if (available && !client->SendText("<presence/>")) return nullptr;
    return client;
}

// The next stanza named name that satisfies wanted, within milliseconds; null when none came.
std::unique_ptr<XmlElement> WaitStanza(Client& client, const std::string& name,
                                       const std::function<bool(const XmlElement&)>& wanted, DWORD milliseconds = 10000)
{
    const DWORD deadline = GetTickCount() + milliseconds;
    for (;;) {
        const int left = int(deadline - GetTickCount());
        if (left <= 0) return nullptr;
        std::unique_ptr<XmlElement> stanza = client.NextStanza(name, left);
        if (!stanza) return nullptr;
        if (wanted(*stanza)) return stanza;
    }
}

bool Contains(const XmlElement& element, const std::string& part)
{
    return Serialize(element).find(part) != std::string::npos;
}

// The server's roster of client's user, serialised.
std::string ServerRoster(Client& client, unsigned& counter)
{
    XmlElement get;
    MakeIq(&get, "get", 1000 + ++counter);
    AddQuery(&get, "jabber:iq:roster");
    std::unique_ptr<XmlElement> roster = XmppTest::Ask(client, get);
    return roster ? Serialize(*roster) : "(none)";
}

class EjabberdRosterTest : public PeerTest::SharedPeers<RosterPeers> {
protected:
    EjabberdRosterTest() : host(bus), events(bus) { plugin.SetTimings(300, 0); }
    ~EjabberdRosterTest() override { plugin.SetTimings(15000, 60000); }

    IContactListData& List() { return *host.contactList; }
    Rows RowsOf(unsigned id) { return JabberTest::ListRows(List(), id); }
    bool WaitRows(unsigned id, const Rows& expected)
    {
        return TestSupport::WaitUntil([&] { return RowsOf(id) == expected; }, 10000);
    }
    int Status(unsigned id, int contactId)
    {
        StatusInfo info;
        host.manager->GetContactIcons(id, contactId, &info);
        return info.status;
    }

    PluginLibrary plugin;
    Services::CServicesManager bus;
    Host host;
    ContactListEvents events;
};

TEST_F(EjabberdRosterTest, RosterPresenceSubscriptionsAndMessagesEndToEnd)
{
    ASSERT_TRUE(plugin.Loaded());
    ASSERT_TRUE(peers->failures.empty()) << peers->failures;
    const int port = peers->server.Port();
    host.contactList->SetAntispamEnable(false);

    // The rest of alice's roster, made by another login of hers: no group, several groups, a name
    // with markup.
    {
        std::unique_ptr<Client> prep = RawLogin(port, "alice", "alicepw", "prep", false);
        ASSERT_TRUE(prep);
        unsigned counter = 0;
        for (const char* item : {"<item jid='carol@localhost' name='C &amp; &quot;Q&quot;'/>",
                                 "<item jid='dave@localhost'><group>G1</group><group>G2</group></item>"}) {
            ASSERT_TRUE(prep->SendText("<iq type='set' id='prep" + std::to_string(++counter) +
                                       "'><query xmlns='jabber:iq:roster'>" + item + "</query></iq>"));
            ASSERT_TRUE(WaitStanza(*prep, "iq", [&](const XmlElement& iq) {
                return *GetAttribute(&iq, "id") == "prep" + std::to_string(counter);
            }));
        }
    }

    unsigned id = host.CreateAccount(GUID_XMPP_PROTOCOL);
    host.Configure(id, L"alice", L"alicepw", port);
    host.SetStatus(id, AccountStatus::Online);
    ASSERT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Online}))
        << ::testing::PrintToString(host.Statuses(id));
    ASSERT_TRUE(WaitRows(id, {"Friends", "Friends|bob@localhost|Bob|3", "G1", "G1|dave@localhost|dave|0", "General",
                              "General|carol@localhost|C & \"Q\"|0"}))
        << ::testing::PrintToString(RowsOf(id));
    const int bob = JabberTest::ContactByJid(List(), id, "bob@localhost");
    const int carol = JabberTest::ContactByJid(List(), id, "carol@localhost");
    const int dave = JabberTest::ContactByJid(List(), id, "dave@localhost");

    // Pushes caused by a second login of the account.
    std::unique_ptr<Client> second = RawLogin(port, "alice", "alicepw", "second", false);
    ASSERT_TRUE(second);
    unsigned counter = 0;
    auto secondSets = [&](const std::string& item) {
        const std::string iqId = "s" + std::to_string(++counter);
        ASSERT_TRUE(second->SendText("<iq type='set' id='" + iqId + "'><query xmlns='jabber:iq:roster'>" + item +
                                     "</query></iq>"));
        ASSERT_TRUE(WaitStanza(*second, "iq", [&](const XmlElement& iq) { return *GetAttribute(&iq, "id") == iqId; }));
    };
    secondSets("<item jid='erin@localhost' name='Erin'><group>Work</group></item>");
    secondSets("<item jid='carol@localhost' name='Carol'/>");
    secondSets("<item jid='dave@localhost'><group>G3</group></item>");
    ASSERT_TRUE(WaitRows(id, {"Friends", "Friends|bob@localhost|Bob|3", "G1", "G3", "G3|dave@localhost|dave|0",
                              "General", "General|carol@localhost|Carol|0", "Work", "Work|erin@localhost|Erin|0"}))
        << ::testing::PrintToString(RowsOf(id));
    secondSets("<item jid='erin@localhost' subscription='remove'/>");
    ASSERT_TRUE(WaitRows(id, {"Friends", "Friends|bob@localhost|Bob|3", "G1", "G3", "G3|dave@localhost|dave|0",
                              "General", "General|carol@localhost|Carol|0", "Work"}))
        << ::testing::PrintToString(RowsOf(id));

    // The user's commands leave the server's roster as they say.
    CProtocolsManager& manager = *host.manager;
    manager.AddGroup(id, CZELString(L"New & \"g\""));
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return JabberTest::GroupByName(List(), id, "New & \"g\"") != 0; }, 5000));
    manager.MoveContact(id, carol, JabberTest::GroupByName(List(), id, "New & \"g\""));
    manager.RenameContact(id, bob, CZELString(L"Bobby & 'co'"));
    manager.DeleteContact(id, dave);
    host.Settle(id);
    EXPECT_TRUE(TestSupport::WaitUntil(
        [&] {
            const std::string roster = ServerRoster(*second, counter);
            return roster.find("name='Bobby &amp; &apos;co&apos;'") != std::string::npos &&
                   roster.find("<group>New &amp; &quot;g&quot;</group>") != std::string::npos &&
                   roster.find("dave@localhost") == std::string::npos;
        },
        10000))
        << ServerRoster(*second, counter);
    second.reset();

    // Presence: bob's show, priority and extended status; two resources folded.
    std::unique_ptr<Client> bobClient = RawLogin(port, "bob", "bobpw", "b1", false);
    ASSERT_TRUE(bobClient);
    ASSERT_TRUE(bobClient->SendText("<presence><show>dnd</show><priority>5</priority>"
                                    "<x xmlns='zel:x:status' value='8'/></presence>"));
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return Status(id, bob) == AccountStatus::Occupied; }, 10000))
        << Status(id, bob);
    std::unique_ptr<Client> bobOther = RawLogin(port, "bob", "bobpw", "b2", false);
    ASSERT_TRUE(bobOther);
    ASSERT_TRUE(bobOther->SendText("<presence><show>away</show></presence>"));
    ASSERT_TRUE(bobClient->SendText("<presence type='unavailable'/>"));
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return Status(id, bob) == AccountStatus::Away; }, 10000))
        << Status(id, bob);
    bobClient.reset();

    // Ours: Lunch reaches bob as "away" with extended status 10.
    host.SetStatus(id, AccountStatus::Lunch);
    EXPECT_TRUE(WaitStanza(*bobOther, "presence", [](const XmlElement& p) {
        return Contains(p, "from='alice@localhost/") && Contains(p, "<show>away</show>") &&
               Contains(p, "<x xmlns='zel:x:status' value='10'/>");
    })) << ::testing::PrintToString(bobOther->PassedOver());

    // Messages from bob: up to 4,000 characters, outside ASCII and with markup, asking for a
    // receipt and the "delivered" event; both are answered.
    std::string body = "<&> \xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 ";
    while (body.size() < 4000) body += 'x';
    XmlElement message("message");
    SetAttribute(&message, "to", "alice@localhost");
    SetAttribute(&message, "type", "chat");
    SetAttribute(&message, "id", "b-1");
    AddTextChild(&message, "body", body);
    SetAttribute(AddChild(&message, "request"), "xmlns", "urn:xmpp:receipts");
    XmlElement* event = AddChild(&message, "x");
    SetAttribute(event, "xmlns", "jabber:x:event");
    AddChild(event, "delivered");
    AddChild(event, "composing");
    ASSERT_TRUE(bobOther->Send(message));
    ASSERT_TRUE(events.WaitFor(CLE_INCOMING_MESSAGE, bob));
    const CZELString got = events.Events(CLE_INCOMING_MESSAGE).back().message.text;
    EXPECT_EQ(Utf8FromWide(got.GetBuffer(), got.GetLength()), body);
    bool receipt = false, delivered = false;
    EXPECT_TRUE(WaitStanza(*bobOther, "message", [&](const XmlElement& m) {
        receipt = receipt || Contains(m, "<received xmlns='urn:xmpp:receipts' id='b-1'/>");
        delivered = delivered || Contains(m, "<x xmlns='jabber:x:event'><delivered/><id>b-1</id></x>");
        return receipt && delivered;
    }));
    ASSERT_TRUE(bobOther->SendText("<message to='alice@localhost'><composing "
                                   "xmlns='http://jabber.org/protocol/chatstates'/></message>"));
    EXPECT_TRUE(events.WaitFor(CLE_TYPING, bob));

    // To bob, acknowledged by his "delivered".
    MessageRecord out;
    out.contactId = bob;
    out.messageNumber = 4242;
    out.text = CZELString(L"hello <bob> & \x043f");
    manager.SendInstantMessage(id, out, true);
    std::unique_ptr<XmlElement> arrived =
        WaitStanza(*bobOther, "message", [](const XmlElement& m) { return FindChild(&m, "body") != nullptr; });
    ASSERT_TRUE(arrived);
    EXPECT_EQ(FindChild(arrived.get(), "body")->text, "hello <bob> & \xd0\xbf");
    EXPECT_EQ(*GetAttribute(arrived.get(), "to"), "bob@localhost/b2");
    ASSERT_TRUE(bobOther->SendText("<message to='alice@localhost'><x xmlns='jabber:x:event'><delivered/><id>" +
                                   *GetAttribute(arrived.get(), "id") + "</id></x></message>"));
    ASSERT_TRUE(events.WaitFor(CLE_MESSAGE_ACK, bob));
    EXPECT_EQ(events.Events(CLE_MESSAGE_ACK).back().value, 4242);

    // Subscriptions with carol: her request arrives as a message, accepting reaches her; ours,
    // granted, clears the not-authorised mark.
    std::unique_ptr<Client> carolClient = RawLogin(port, "carol", "carolpw", "c1");
    ASSERT_TRUE(carolClient);
    ASSERT_TRUE(carolClient->SendText("<presence to='alice@localhost' type='subscribe'/>"));
    ASSERT_TRUE(TestSupport::WaitUntil(
        [&] {
            for (const ContactListEvents::Event& e : events.Events(CLE_INCOMING_MESSAGE))
                if (e.id == carol && Narrow(e.message.text) == "Authorization request: ") return true;
            return false;
        },
        10000));
    JabberTest::ContactAction(JabberAccount::ActionAcceptAuth)(0, JabberTest::ContactActionArgument(id, carol));
    EXPECT_TRUE(WaitStanza(*carolClient, "presence", [](const XmlElement& p) {
        return Contains(p, "from='alice@localhost'") && Contains(p, "type='subscribed'");
    })) << ::testing::PrintToString(carolClient->PassedOver());

    StatusInfo marked;
    manager.GetContactIcons(id, carol, &marked);
    EXPECT_EQ(marked.images.GetCount(), 1);
    JabberTest::ContactAction(JabberAccount::ActionRequestAuth)(0, JabberTest::ContactActionArgument(id, carol));
    ASSERT_TRUE(WaitStanza(*carolClient, "presence", [](const XmlElement& p) {
        return Contains(p, "from='alice@localhost'") && Contains(p, "type='subscribe'");
    }));
    ASSERT_TRUE(carolClient->SendText("<presence to='alice@localhost' type='subscribed'/>"));
    EXPECT_TRUE(TestSupport::WaitUntil(
        [&] {
            StatusInfo info;
            manager.GetContactIcons(id, carol, &info);
            return info.images.GetCount() == 0;
        },
        10000));

    // A group renamed and deleted: its contacts' items follow, then go.
    std::unique_ptr<Client> third = RawLogin(port, "alice", "alicepw", "third", false);
    ASSERT_TRUE(third);
    manager.RenameGroup(id, JabberTest::GroupByName(List(), id, "Friends"), CZELString(L"Pals & \"co\""));
    EXPECT_TRUE(TestSupport::WaitUntil(
        [&] {
            return ServerRoster(*third, counter).find("<group>Pals &amp; &quot;co&quot;</group>") != std::string::npos;
        },
        10000))
        << ServerRoster(*third, counter);
    manager.DeleteGroup(id, JabberTest::GroupByName(List(), id, "Pals & \"co\""));
    EXPECT_TRUE(TestSupport::WaitUntil(
        [&] { return ServerRoster(*third, counter).find("bob@localhost") == std::string::npos; }, 10000))
        << ServerRoster(*third, counter);
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return JabberTest::ContactByJid(List(), id, "bob@localhost") == 0; }, 10000));

    host.SetStatus(id, AccountStatus::Offline);
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return Status(id, carol) == 0; }, 10000));
}

}  // namespace
