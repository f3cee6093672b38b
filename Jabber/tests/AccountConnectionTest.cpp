// Going on line and off line, with the connection service played by the test: how each failure of
// Connect leaves the account, that no thread of the account outlives its connection, that a stream
// comes in whole however the service chunks it, and that a compressed send that fails ends the
// connection and brings it back.
#include "Jabber/tests/FakeServerTransports.h"
#include "Jabber/tests/JabberTestHost.h"

#include "Jabber/account/DelayedPost.h"
#include "Jabber/account/JabberAccount.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using JabberTest::FakeConnectionService;
using JabberTest::Host;
using JabberTest::PluginLibrary;
using JabberTest::ServerScript;
using PluginTree::Wide;

const int kEFail = int(0x80004005);

// Every failure of Connect leaves the account off line, announcing nothing, with no thread of its
// own running; a connect that starts runs the request sweep until the connection ends, by
// Disconnect or with the account.
TEST(AccountConnection, NoThreadOutlivesAFailedOrEndedConnect)
{
    struct Case {
        const char* name;
        bool service;
        bool refuse;
        int connectFailure;
        int result;
    } cases[] = {
        {"no connection service", false, false, 0, -3},
        {"no connection to be had", true, true, 0, -4},
        {"the service cannot start", true, false, kEFail, kEFail},
        {"the service refuses the connection", true, false, -2, -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Services::CServicesManager bus;
        std::unique_ptr<FakeConnectionService> service;
        if (c.service) service.reset(new FakeConnectionService(bus));
        if (service) {
            service->refuseConnections = c.refuse;
            service->connectFailure = c.connectFailure;
        }
        std::unique_ptr<JabberAccount> account(new JabberAccount(KindPlainXmpp, &bus, 0x10000001, 0));
        EXPECT_EQ(account->Connect(AccountStatus::Online), c.result);
        EXPECT_EQ(account->GetStatus(), 0);
        EXPECT_EQ(DelayedPost::LiveThreads(), 0);
        // Tried again, the same; and Disconnect leaves nothing behind.
        EXPECT_EQ(account->Connect(AccountStatus::Online), c.result);
        account->Disconnect();
        EXPECT_EQ(DelayedPost::LiveThreads(), 0);
    }

    Services::CServicesManager bus;
    FakeConnectionService service(bus);
    std::unique_ptr<JabberAccount> account(new JabberAccount(KindPlainXmpp, &bus, 0x10000001, 0));
    ASSERT_EQ(account->Connect(AccountStatus::Away), 0);
    EXPECT_EQ(account->GetStatus(), AccountStatus::Connecting);
    EXPECT_EQ(DelayedPost::LiveThreads(), 1);
    // The account's defaults: plain XMPP, no preset host, port 5222, no secure socket.
    ConnectionSettings used = service.LastSettings();
    EXPECT_TRUE(used.host.IsEmpty());
    EXPECT_EQ(used.port, 5222);
    EXPECT_EQ(used.secureMode, SECURE_NONE);
    account->Disconnect();
    EXPECT_EQ(DelayedPost::LiveThreads(), 0);
    EXPECT_EQ(service.Destroyed(), 1);
    EXPECT_EQ(account->GetStatus(), 0);

    ASSERT_EQ(account->Connect(AccountStatus::Online), 0);
    EXPECT_EQ(DelayedPost::LiveThreads(), 1);
    account.reset();
    EXPECT_EQ(DelayedPost::LiveThreads(), 0);
    EXPECT_EQ(service.Destroyed(), 2);
}

// The program's services with the test's connection service, and Jabber.dll with short waits.
class FakeServiceTest : public ::testing::Test {
protected:
    FakeServiceTest() : service(bus), host(bus, false)
    {
        plugin.SetTimings(300, 0);
        script.compression = true;
    }
    ~FakeServiceTest() override { plugin.SetTimings(15000, 60000); }

    unsigned Account(bool compression)
    {
        unsigned id = host.CreateAccount(GUID_XMPP_PROTOCOL);
        EXPECT_NE(id, 0u);
        host.Configure(id, L"alice", L"alicepw", 5222);
        host.SetByte(id, L"Compression", compression ? 1 : 0);
        return id;
    }

    // A new account asked for status, once it has come on line with it and done what follows (the
    // roster is asked for right after the status is announced); 0 when it did not.
    unsigned OnLine(bool compression, int status = AccountStatus::Online)
    {
        unsigned id = Account(compression);
        host.SetStatus(id, status);
        if (!host.WaitForStatuses(id, {AccountStatus::Connecting, status})) {
            ADD_FAILURE() << ::testing::PrintToString(host.Statuses(id));
            return 0;
        }
        host.Settle(id);
        return id;
    }

    PluginLibrary plugin;
    Services::CServicesManager bus;
    FakeConnectionService service;
    Host host;
    ServerScript script;
};

// The server's bytes come a few at a time, each burst announced once: everything queued is read,
// inflated and parsed before the account waits again.
TEST_F(FakeServiceTest, ACompressedStreamInTinyChunksIsReadWhole)
{
    ASSERT_TRUE(plugin.Loaded());
    service.chunkBytes = 3;
    service.Serve(script);
    unsigned id = OnLine(true, AccountStatus::FreeForChat);
    ASSERT_NE(id, 0u);
    std::shared_ptr<JabberTest::FakeXmppServer> server = service.Session(0);
    ASSERT_TRUE(server);
    EXPECT_TRUE(server->Compressed());
    std::vector<std::string> sent = server->Sent();
    ASSERT_GE(sent.size(), 8u);
    EXPECT_EQ(sent[0].substr(0, 20), "open <stream:stream ");
    EXPECT_NE(sent[0].find("to='localhost'"), std::string::npos) << sent[0];
    EXPECT_NE(sent[1].find("<compress xmlns='http://jabber.org/protocol/compress'><method>zlib</method>"),
              std::string::npos) << sent[1];
    EXPECT_EQ(sent[2].substr(0, 20), "open <stream:stream ");
    EXPECT_NE(sent[3].find("mechanism='PLAIN'"), std::string::npos) << sent[3];
    EXPECT_EQ(server->SentWith("xmpp-bind").size(), 1u);
    EXPECT_EQ(server->SentWith("xmpp-session").size(), 1u);
    ASSERT_EQ(server->SentWith("jabber:iq:roster").size(), 1u);
    // Every iq carries one of the account's ids.
    for (const std::string& iq : server->SentWith("<iq "))
        EXPECT_NE(iq.find(" id='zel_"), std::string::npos) << iq;

    // Fifty pings in one burst of one-byte chunks, announced once: fifty answers.
    service.chunkBytes = 1;
    std::string pings;
    for (int i = 0; i < 50; ++i)
        pings += "<iq type='get' from='localhost' id='p" + std::to_string(i) + "'><ping xmlns='urn:xmpp:ping'/></iq>";
    service.ServerSends(pings);
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return server->SentWith("id='p").size() >= 50; }, 10000))
        << server->SentWith("id='p").size();
    for (int i : {0, 49})
        EXPECT_EQ(server->SentWith("<iq type='result' to='localhost' id='p" + std::to_string(i) + "'/>").size(),
                  1u);

    host.SetStatus(id, AccountStatus::Offline);
    EXPECT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::FreeForChat, AccountStatus::Offline}));
    EXPECT_EQ(service.Session(1), nullptr);
}

// Part of a compressed stream lost: the server's inflater cannot go on, so the connection ends
// and, since the user still wants to be on line, comes back.
TEST_F(FakeServiceTest, AFailedCompressedSendEndsTheConnectionAndReconnects)
{
    ASSERT_TRUE(plugin.Loaded());
    service.failCompressedSends = true;
    service.Serve(script);
    unsigned id = Account(true);
    host.SetStatus(id, AccountStatus::Online);
    ASSERT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Offline, AccountStatus::Connecting}))
        << ::testing::PrintToString(host.Statuses(id));
    EXPECT_GE(service.FailedSends(), 1);
    EXPECT_GE(service.Created(), 2);

    // Now the sends go through: the next attempt comes on line.
    service.failCompressedSends = false;
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return host.AskStatus(id) == AccountStatus::Online; }, 10000))
        << ::testing::PrintToString(host.Statuses(id));
    host.SetStatus(id, AccountStatus::Offline);
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return host.AskStatus(id) == 0; }, 5000));
}

// A refused compression: the account carries on without it, with the features it passed over.
TEST_F(FakeServiceTest, ARefusedCompressionCarriesOnUncompressed)
{
    ASSERT_TRUE(plugin.Loaded());
    script.refuseCompression = true;
    service.Serve(script);
    unsigned id = OnLine(true);
    ASSERT_NE(id, 0u);
    std::shared_ptr<JabberTest::FakeXmppServer> server = service.Session(0);
    EXPECT_FALSE(server->Compressed());
    EXPECT_EQ(server->SentWith("<compress ").size(), 1u);
    EXPECT_EQ(server->SentWith("mechanism='PLAIN'").size(), 1u);
    EXPECT_EQ(server->SentWith("jabber:iq:roster").size(), 1u);
    EXPECT_TRUE(host.Warnings(id).empty());
}

// A status chosen while the account connects only changes what it will be once on line.
TEST_F(FakeServiceTest, AStatusChosenWhileConnectingIsTheOneReached)
{
    ASSERT_TRUE(plugin.Loaded());
    service.Serve(script);
    unsigned id = Account(false);
    host.SetStatus(id, AccountStatus::Online);
    host.SetStatus(id, AccountStatus::Invisible);
    ASSERT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Invisible}))
        << ::testing::PrintToString(host.Statuses(id));
    host.Settle(id);
    EXPECT_EQ(host.Statuses(id).size(), 2u);
    EXPECT_EQ(host.AskStatus(id), AccountStatus::Invisible);
    EXPECT_EQ(service.Created(), 1);
}

// A connection that fails to come up is tried again, except when the service says -3.
TEST_F(FakeServiceTest, AFailedConnectIsTriedAgainExceptForMinusThree)
{
    ASSERT_TRUE(plugin.Loaded());
    struct Case {
        int outcome;
        bool again;
    } cases[] = {{-3, false}, {-5, true}, {10061, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outcome);
        service.connectOutcome = c.outcome;
        const int before = service.Connects();
        unsigned id = Account(false);
        host.SetStatus(id, AccountStatus::Online);
        ASSERT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Offline}))
            << ::testing::PrintToString(host.Statuses(id));
        if (c.again) {
            EXPECT_TRUE(TestSupport::WaitUntil([&] { return service.Connects() >= before + 2; }, 5000));
            host.SetStatus(id, AccountStatus::Offline);
        } else {
            Sleep(1000);
            EXPECT_EQ(service.Connects(), before + 1);
        }
        host.Settle(id);
        EXPECT_EQ(host.AskStatus(id), 0);
    }
}

// With the account's "Compression" off, what the server offers is not taken.
TEST_F(FakeServiceTest, CompressionOffIsNotAskedFor)
{
    ASSERT_TRUE(plugin.Loaded());
    service.Serve(script);
    ASSERT_NE(OnLine(false), 0u);
    EXPECT_TRUE(service.Session(0)->SentWith("<compress ").empty());
}

}  // namespace
