// Jabber.dll through the program's services and connection service against a scripted server on a
// loopback socket, for what a real server never does: a stream header from before XMPP 1.0, no
// usable mechanism, silence, requests for the client's own services, hostile stanzas.
#include "Jabber/tests/FakeServerTransports.h"
#include "Jabber/tests/JabberTestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace {

using JabberTest::FakeXmppServer;
using JabberTest::Host;
using JabberTest::PluginLibrary;
using JabberTest::ServerScript;
using JabberTest::TcpFakeServer;
using PluginTree::Wide;

const int kReconnectMs = 300;

class FakeServerTest : public ::testing::Test {
protected:
    FakeServerTest() : host(bus) { plugin.SetTimings(kReconnectMs, 0); }
    ~FakeServerTest() override { plugin.SetTimings(15000, 60000); }

    unsigned Account(const TcpFakeServer& server)
    {
        unsigned id = host.CreateAccount(GUID_XMPP_PROTOCOL);
        EXPECT_NE(id, 0u);
        host.Configure(id, L"alice", L"alicepw", server.Port());
        return id;
    }

    // The session of connection n, once the account has come on line through it.
    std::shared_ptr<FakeXmppServer> OnlineSession(TcpFakeServer& server, size_t n)
    {
        std::shared_ptr<FakeXmppServer> session;
        TestSupport::WaitUntil([&] { return (session = server.Session(n)) && session->Online(); }, 20000);
        return session && session->Online() ? session : nullptr;
    }

    PluginLibrary plugin;
    Services::CServicesManager bus;
    Host host;
};

// A pre-1.0 server sends no features: legacy authentication starts at its header. The next
// connection, to a server that speaks XMPP 1.0, is judged by its own header.
TEST_F(FakeServerTest, PreOneZeroServerGetsLegacyAuthAndTheNextConnectionIsJudgedAfresh)
{
    ASSERT_TRUE(plugin.Loaded());
    ServerScript old;
    old.preOneZero = true;
    TcpFakeServer server({old, ServerScript()});
    ASSERT_NE(server.Port(), 0);
    unsigned id = Account(server);
    host.SetStatus(id, AccountStatus::Away);
    ASSERT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Away}))
        << ::testing::PrintToString(host.Statuses(id));
    std::shared_ptr<FakeXmppServer> first = OnlineSession(server, 0);
    ASSERT_TRUE(first);
    std::vector<std::string> auth = first->SentWith("jabber:iq:auth");
    ASSERT_EQ(auth.size(), 2u);
    EXPECT_NE(auth[0].find("type='get'"), std::string::npos) << auth[0];
    EXPECT_NE(auth[0].find("<username>alice</username>"), std::string::npos) << auth[0];
    // The digest of the stream id and the password, and the resource it offered to take.
    EXPECT_NE(auth[1].find("<digest>" + Sasl::LegacyAuthDigest("fake-stream-1", "alicepw") + "</digest>"),
              std::string::npos) << auth[1];
    EXPECT_NE(auth[1].find("<resource>ZEL PDA</resource>"), std::string::npos) << auth[1];
    EXPECT_TRUE(first->SentWith("<auth ").empty());
    EXPECT_EQ(first->SentWith("jabber:iq:roster").size(), 1u);

    // The server goes away; the account comes back on its own, to a server of today.
    server.Close(0);
    std::shared_ptr<FakeXmppServer> second = OnlineSession(server, 1);
    ASSERT_TRUE(second) << ::testing::PrintToString(host.Statuses(id));
    EXPECT_TRUE(second->SentWith("jabber:iq:auth").empty());
    EXPECT_EQ(second->SentWith("mechanism='PLAIN'").size(), 1u);
    EXPECT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Away, AccountStatus::Offline,
                                          AccountStatus::Connecting, AccountStatus::Away}))
        << ::testing::PrintToString(host.Statuses(id));
    EXPECT_TRUE(host.Warnings(id).empty());
}

// Legacy authentication with the password in clear when the server offers no digest.
TEST_F(FakeServerTest, LegacyAuthWithThePasswordWhenNoDigestIsOffered)
{
    ASSERT_TRUE(plugin.Loaded());
    ServerScript script;
    script.mechanisms.clear();
    script.legacyAuth = true;
    script.legacyDigest = false;
    TcpFakeServer server({script});
    unsigned id = Account(server);
    host.SetStatus(id, AccountStatus::Online);
    std::shared_ptr<FakeXmppServer> session = OnlineSession(server, 0);
    ASSERT_TRUE(session) << ::testing::PrintToString(host.Statuses(id));
    std::vector<std::string> auth = session->SentWith("jabber:iq:auth");
    ASSERT_EQ(auth.size(), 2u);
    EXPECT_NE(auth[1].find("<password>alicepw</password>"), std::string::npos) << auth[1];
    EXPECT_EQ(auth[1].find("<digest>"), std::string::npos) << auth[1];
    EXPECT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Online}));
}

// The requests the client answers itself, each by its id and to its sender.
TEST_F(FakeServerTest, ServiceRequestsGetTheirAnswers)
{
    ASSERT_TRUE(plugin.Loaded());
    TcpFakeServer server({ServerScript()});
    unsigned id = Account(server);
    host.SetStatus(id, AccountStatus::Online);
    std::shared_ptr<FakeXmppServer> session = OnlineSession(server, 0);
    ASSERT_TRUE(session) << ::testing::PrintToString(host.Statuses(id));
    const std::string from = "from='bob@localhost/pc' ";
    const std::string disco = "http://jabber.org/protocol/disco#info";
    server.Send(0, "<iq type='get' " + from + "id='v1'><query xmlns='jabber:iq:version'/></iq>"
                   "<iq type='get' id='v2'><query xmlns='jabber:iq:version'/></iq>"
                   "<iq type='get' " + from + "id='p1'><ping xmlns='urn:xmpp:ping'/></iq>"
                   "<iq type='get' " + from + "id='d1'><query xmlns='" + disco + "'/></iq>"
                   "<iq type='get' " + from + "id='d2'><query xmlns='" + disco + "' node='http://zel.invalid/caps#cmds'/></iq>"
                   "<iq type='get' " + from + "id='d3'><query xmlns='" + disco + "' node='http://zel.invalid/caps#0.2.1.1'/></iq>"
                   "<iq type='get' " + from + "id='d4'><query xmlns='" + disco + "' node='http://zel.invalid/caps#nope'/></iq>"
                   "<iq type='GET' " + from + "id='u1'><query xmlns='jabber:iq:last'/></iq>"
                   "<iq type='set' " + from + "id='u2'><unknown xmlns='urn:example:none'/></iq>"
                   "<iq type='get' " + from + "id='u3'/>"
                   "<iq type='result' " + from + "id='zel_999'/>"
                   "<iq type='error' " + from + "id='e1'><query xmlns='jabber:iq:version'/></iq>"
                   "<iq type='get' " + from + "id='last'><ping xmlns='urn:xmpp:ping'/></iq>");
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return !session->SentWith("id='last'").empty(); }, 10000));

    auto reply = [&](const std::string& requestId) {
        std::vector<std::string> found = session->SentWith("id='" + requestId + "'");
        return found.size() == 1 ? found[0] : "(" + std::to_string(found.size()) + " replies)";
    };
    const std::string to = "<iq type='result' to='bob@localhost/pc' ";
    EXPECT_EQ(reply("v1"), to + "id='v1'><query xmlns='jabber:iq:version'><name>ZEL PDA WM</name>"
                                "<version>2140</version><os>WM</os></query></iq>");
    EXPECT_EQ(reply("p1"), to + "id='p1'/>");
    const std::string identity = "<identity category='client' type='pda' name='ZEL PDA WM'/>";
    std::string full = to + "id='d1'><query xmlns='" + disco + "'>" + identity;
    for (const char* ns : {"http://jabber.org/protocol/disco#info", "http://jabber.org/protocol/si",
                           "http://jabber.org/protocol/si/profile/file-transfer",
                           "http://jabber.org/protocol/bytestreams", "http://jabber.org/protocol/ibb", "jabber:iq:oob",
                           "http://jabber.org/protocol/commands", "jabber:iq:version", "urn:xmpp:ping", "vcard-temp",
                           "urn:xmpp:receipts"})
        full += "<feature var='" + std::string(ns) + "'/>";
    EXPECT_EQ(reply("d1"), full + "</query></iq>");
    EXPECT_EQ(reply("d2"), to + "id='d2'><query xmlns='" + disco + "' node='http://zel.invalid/caps#cmds'>" + identity +
                               "<feature var='http://jabber.org/protocol/commands'/></query></iq>");
    EXPECT_NE(reply("d3").find("<feature var='urn:xmpp:receipts'/>"), std::string::npos) << reply("d3");
    EXPECT_EQ(reply("d3").find("commands"), std::string::npos) << reply("d3");
    EXPECT_EQ(reply("d4"), "<iq type='error' to='bob@localhost/pc' id='d4'><error code='404' type='cancel'>"
                           "<item-not-found xmlns='urn:ietf:params:xml:ns:xmpp-stanzas'/></error></iq>");
    for (const char* unserved : {"u1", "u2", "u3"})
        EXPECT_EQ(reply(unserved), "<iq type='error' to='bob@localhost/pc' id='" + std::string(unserved) +
                                       "'><error type='cancel'><service-unavailable "
                                       "xmlns='urn:ietf:params:xml:ns:xmpp-stanzas'/></error></iq>");
    // No answer: a version request from nobody, a reply nobody waits for, an error.
    EXPECT_EQ(reply("v2"), "(0 replies)");
    EXPECT_EQ(reply("zel_999"), "(0 replies)");
    EXPECT_EQ(reply("e1"), "(0 replies)");
    EXPECT_EQ(host.AskStatus(id), AccountStatus::Online);
}

// The server offers no mechanism the client knows and no legacy authentication: the attempt ends
// with a warning and is not repeated.
TEST_F(FakeServerTest, NoUsableMechanismEndsWithoutReconnecting)
{
    ASSERT_TRUE(plugin.Loaded());
    ServerScript script;
    script.mechanisms = {"SCRAM-SHA-1", "X-OAUTH2"};
    TcpFakeServer server({script});
    unsigned id = Account(server);
    host.SetStatus(id, AccountStatus::Online);
    ASSERT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Offline}))
        << ::testing::PrintToString(host.Statuses(id));
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return !host.Warnings(id).empty(); }, 5000));
    EXPECT_NE(host.Warnings(id)[0].find(L"invalid-mechanism"), std::wstring::npos);
    Sleep(3 * kReconnectMs);
    EXPECT_EQ(server.Accepted(), 1);
    EXPECT_EQ(host.Statuses(id).size(), 2u);
    std::shared_ptr<FakeXmppServer> session = server.Session(0);
    EXPECT_TRUE(session->SentWith("<auth ").empty());
    EXPECT_FALSE(session->SentWith("</stream:stream>").empty());
}

// A server that accepts and says nothing: the negotiation's time limit ends the attempt, and the
// account tries again.
TEST_F(FakeServerTest, SilenceTimesOutAndTriesAgain)
{
    ASSERT_TRUE(plugin.Loaded());
    plugin.SetTimings(kReconnectMs, 500);
    ServerScript script;
    script.silent = true;
    TcpFakeServer server({script});
    unsigned id = Account(server);
    host.SetStatus(id, AccountStatus::Online);
    ASSERT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Offline, AccountStatus::Connecting},
                                     10000))
        << ::testing::PrintToString(host.Statuses(id));
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return server.Accepted() >= 2; }, 5000));
    host.SetStatus(id, AccountStatus::Offline);
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return host.AskStatus(id) == 0; }, 5000));
    const int accepted = server.Accepted();
    Sleep(3 * kReconnectMs + 500);
    EXPECT_EQ(server.Accepted(), accepted);
}

// What a hostile server may send once the account is on line. Each ends the connection (with a
// warning where the client found the fault) and the account comes back on the next one.
TEST_F(FakeServerTest, HostileStanzasEndTheConnectionAndTheAccountComesBack)
{
    ASSERT_TRUE(plugin.Loaded());
    struct Case {
        const char* name;
        std::string text;
        const wchar_t* warning;  // null: none
    } cases[] = {
        {"a stanza past the limit", "<message><body>" + std::string(5 << 20, 'x') + "</body></message>",
         L"policy-violation: stanza too large\n"},
        {"a stanza of too many elements", "<iq type='result'>" + [] {
             std::string many;
             for (int i = 0; i < 210000; ++i) many += "<a/>";
             return many;
         }() + "</iq>", L"policy-violation: stanza too large\n"},
        {"crossed tags", "<message><body></message></body>", L"not-well-formed: malformed XML\n"},
        {"a document type", "<!DOCTYPE x [<!ENTITY a 'b'>]><message/>", L"restricted-xml: forbidden markup\n"},
        {"a stream error", "<stream:error><system-shutdown xmlns='urn:ietf:params:xml:ns:xmpp-streams'/>"
                           "<text xmlns='urn:ietf:params:xml:ns:xmpp-streams'>bye</text></stream:error>",
         L"system-shutdown: \ntext: bye\n"},
        {"an empty stream error", "<stream:error/>", nullptr},
        {"the end of the stream", "</stream:stream>", nullptr},
    };
    TcpFakeServer server({ServerScript()});
    unsigned id = Account(server);
    host.SetStatus(id, AccountStatus::Online);
    size_t connection = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(OnlineSession(server, connection)) << ::testing::PrintToString(host.Statuses(id));
        ASSERT_TRUE(TestSupport::WaitUntil([&] { return host.AskStatus(id) == AccountStatus::Online; }, 5000));
        const size_t warnings = host.Warnings(id).size();
        server.Send(connection, c.text);
        ++connection;
        // The account is back on the next connection, and the stanza did not stay in memory.
        ASSERT_TRUE(OnlineSession(server, connection)) << ::testing::PrintToString(host.Statuses(id));
        std::vector<std::wstring> got = host.Warnings(id);
        if (c.warning) {
            ASSERT_EQ(got.size(), warnings + 1);
            EXPECT_EQ(got.back(), c.warning);
        } else {
            EXPECT_EQ(got.size(), warnings);
        }
    }
    std::vector<int> statuses = host.Statuses(id);
    EXPECT_EQ(size_t(std::count(statuses.begin(), statuses.end(), int(AccountStatus::Offline))), std::size(cases));
}

}  // namespace
