// Jabber.dll's accounts against real ejabberd servers that the tests start on 127.0.0.1, through the
// program's bus, protocols manager and connection service: every way of signing in, direct TLS for
// the kind that defaults to it, a wrong password, a login the server kicks out, a second login that
// takes the account's resource, and keep-alive ticks from other threads on a compressed stream.
// Where the stream is not encrypted, a relay reads what the server answered.
#include "Zel/net/tests/PeerSupport.h"

#include "Jabber/tests/JabberTestHost.h"
#include "Jabber/tests/XmppRelay.h"
#include "Jabber/tests/XmppTestSession.h"

#include "Jabber/account/AccountSettings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

using JabberTest::Host;
using JabberTest::PluginLibrary;
using PluginTree::Wide;
using XmppTest::XmppRelay;

const int kReconnectMs = 300;
// "тест", a user name outside ASCII.
const char kCyrillicUser[] = "\xd1\x82\xd0\xb5\xd1\x81\xd1\x82";
const wchar_t kCyrillicUserWide[] = L"\x0442\x0435\x0441\x0442";

struct AccountPeers {
    PeerTest::LinuxPeer zlib, plain, legacy, tls;
    std::string failures;

    AccountPeers()
    {
        const std::string alice = "user=alice:alicepw";
        struct Start {
            PeerTest::LinuxPeer* peer;
            std::vector<std::string> options;
        } starts[] = {
            {&zlib, {"zlib", "admin-extra", alice, "user=bob:bobpw"}},
            {&plain, {"no-digest-md5", alice}},
            {&legacy, {"no-digest-md5", "no-plain", alice}},
            {&tls, {"tls=" + PeerTest::TestCertDir() + "/localhost", alice}},
        };
        std::mutex lock;
        std::vector<std::thread> threads;
        for (const Start& start : starts) {
            threads.emplace_back([&, start] {
                if (start.peer->Start("ejabberd", start.options)) return;
                std::lock_guard<std::mutex> hold(lock);
                failures += start.peer->Failure() + "\n";
            });
        }
        for (std::thread& t : threads) t.join();
        // A name outside ASCII goes through a file, not a command line.
        std::string output;
        if (failures.empty() && !zlib.Control("register " + std::string(kCyrillicUser) + " localhost testpw", &output))
            failures += "cannot register the Cyrillic user: " + output + "\n";
    }

    ~AccountPeers()
    {
        std::vector<std::thread> stopping;
        for (PeerTest::LinuxPeer* peer : {&zlib, &plain, &legacy, &tls})
            stopping.emplace_back([peer] { peer->Stop(); });
        for (std::thread& t : stopping) t.join();
    }
};

class EjabberdAccountTest : public PeerTest::SharedPeers<AccountPeers> {
protected:
    EjabberdAccountTest() : host(bus) { plugin.SetTimings(kReconnectMs, 0); }
    ~EjabberdAccountTest() override { plugin.SetTimings(15000, 60000); }

    unsigned Account(int port, const std::wstring& user = L"alice", const std::wstring& password = L"alicepw",
                     const ZEL_GUID& protocol = GUID_XMPP_PROTOCOL)
    {
        unsigned id = host.CreateAccount(protocol);
        EXPECT_NE(id, 0u);
        host.Configure(id, user, password, port);
        return id;
    }

    // Sets status and waits until the account announced connecting, then status.
    ::testing::AssertionResult GoOnline(unsigned id, int status = AccountStatus::Online)
    {
        const size_t before = host.Statuses(id).size();
        host.SetStatus(id, status);
        if (!TestSupport::WaitUntil([&] { return host.Statuses(id).size() >= before + 2; }, 30000))
            return ::testing::AssertionFailure() << "statuses " << ::testing::PrintToString(host.Statuses(id));
        std::vector<int> got = host.Statuses(id);
        if (got[before] != AccountStatus::Connecting || got[before + 1] != status)
            return ::testing::AssertionFailure() << "statuses " << ::testing::PrintToString(got);
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult GoOffline(unsigned id)
    {
        host.SetStatus(id, AccountStatus::Offline);
        if (!TestSupport::WaitUntil([&] { return !host.Statuses(id).empty() && host.Statuses(id).back() == 0; }, 10000))
            return ::testing::AssertionFailure() << "statuses " << ::testing::PrintToString(host.Statuses(id));
        return ::testing::AssertionSuccess();
    }

    PluginLibrary plugin;
    Services::CServicesManager bus;
    Host host;
};

TEST_F(EjabberdAccountTest, SignsInEveryWayAsksForTheRosterAndGoesOffline)
{
    ASSERT_TRUE(plugin.Loaded());
    struct Case {
        const char* name;
        PeerTest::LinuxPeer* server;
        bool compression;
        const wchar_t* user;
        const wchar_t* password;
        int status;
        const char* serverShows;  // a sign of the way in, in the server's events
        const char* cut;          // taken out of what the server offers
    } cases[] = {
        {"DIGEST-MD5 with zlib", &peers->zlib, true, L"alice", L"alicepw", AccountStatus::Online, "<compressed ", ""},
        {"DIGEST-MD5 for a Cyrillic name", &peers->zlib, true, kCyrillicUserWide, L"testpw", AccountStatus::Away,
         "<challenge ", ""},
        {"PLAIN", &peers->plain, false, L"alice", L"alicepw", AccountStatus::FreeForChat, "<success ", ""},
        {"legacy digest", &peers->legacy, false, L"alice", L"alicepw", AccountStatus::Occupied, "<digest>", ""},
        // The server offers the digest whenever it stores passwords as they are: without it in the
        // offer the password goes in clear.
        {"legacy password", &peers->legacy, false, L"alice", L"alicepw", AccountStatus::Online, "<password>",
         "<digest/>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XmppRelay relay(c.server->Port(), c.cut);
        ASSERT_NE(relay.Port(), 0);
        unsigned id = Account(relay.Port(), c.user, c.password);
        host.SetByte(id, L"Compression", c.compression ? 1 : 0);
        ASSERT_TRUE(GoOnline(id, c.status)) << ::testing::PrintToString(relay.ServerEvents())
                                            << ::testing::PrintToString(host.Warnings(id));
        EXPECT_EQ(host.AskStatus(id), c.status);
        EXPECT_FALSE(relay.ServerEventsWith(c.serverShows).empty()) << ::testing::PrintToString(relay.ServerEvents());
        if (*c.cut) {
            EXPECT_TRUE(relay.ServerEventsWith("<digest>").empty());
        }
        // The roster was asked for and answered.
        EXPECT_TRUE(TestSupport::WaitUntil(
            [&] { return !relay.ServerEventsWith("<query xmlns=\"jabber:iq:roster\"").empty(); }, 10000))
            << ::testing::PrintToString(relay.ServerEvents());
        EXPECT_TRUE(relay.ServerEventsWith("failure").empty());
        EXPECT_TRUE(relay.ServerEventsWith("stream:error").empty());
        ASSERT_TRUE(GoOffline(id));
        EXPECT_EQ(host.Statuses(id).size(), 3u);
        EXPECT_TRUE(host.Warnings(id).empty()) << ::testing::PrintToString(host.Warnings(id));
        // The keep-alive timer was started on line and stopped off line.
        EXPECT_EQ(host.EventsOf(id, PMEV_TIMER_SET).size(), 1u);
        EXPECT_EQ(host.EventsOf(id, PMEV_TIMER_CANCEL).size(), 1u);
    }
}

// The kind whose accounts default to a secure socket on port 5223; the test's server listens
// elsewhere.
TEST_F(EjabberdAccountTest, GoogleTalkKindConnectsOverDirectTls)
{
    ASSERT_TRUE(plugin.Loaded());
    ASSERT_TRUE(PeerTest::IsTestCATrusted()) << PeerTest::TestCAFailure();
    unsigned id = host.CreateAccount(GUID_XMPP_GTALK_PROTOCOL);
    ASSERT_NE(id, 0u);
    AccountSettings settings(&bus, id, KindGoogleTalk);
    EXPECT_TRUE(settings.GetUseSsl());
    EXPECT_EQ(settings.GetManualPort(), 5223);
    host.Configure(id, L"alice", L"alicepw", peers->tls.Port());
    ASSERT_TRUE(GoOnline(id));
    ASSERT_TRUE(GoOffline(id));
    EXPECT_TRUE(host.Warnings(id).empty()) << ::testing::PrintToString(host.Warnings(id));

    // Without the secure socket the server's TLS listener does not get a stream from us.
    host.SetByte(id, L"SSL", 0);
    host.SetStatus(id, AccountStatus::Online);
    EXPECT_FALSE(TestSupport::WaitUntil([&] { return host.AskStatus(id) == AccountStatus::Online; }, 3000));
    host.SetStatus(id, AccountStatus::Offline);
}

TEST_F(EjabberdAccountTest, AWrongPasswordWarnsAndIsNotTriedAgain)
{
    ASSERT_TRUE(plugin.Loaded());
    for (PeerTest::LinuxPeer* server : {&peers->zlib, &peers->legacy}) {
        SCOPED_TRACE(server->Port());
        unsigned id = Account(server->Port(), L"alice", L"wrong");
        host.SetStatus(id, AccountStatus::Online);
        ASSERT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Offline}))
            << ::testing::PrintToString(host.Statuses(id));
        ASSERT_TRUE(TestSupport::WaitUntil([&] { return !host.Warnings(id).empty(); }, 5000));
        EXPECT_EQ(host.Warnings(id), std::vector<std::wstring>{L"Invalid account name or password"});
        Sleep(3 * kReconnectMs);
        host.Settle(id);
        EXPECT_EQ(host.Statuses(id).size(), 2u);
        EXPECT_EQ(host.AskStatus(id), 0);
    }
}

TEST_F(EjabberdAccountTest, AKickedLoginComesBack)
{
    ASSERT_TRUE(plugin.Loaded());
    unsigned id = Account(peers->zlib.Port());
    host.SetByte(id, L"Compression", 1);
    host.SetString(id, L"Account resource", L"kicked");
    ASSERT_TRUE(GoOnline(id));
    std::string output;
    ASSERT_TRUE(peers->zlib.Control("kick_user alice localhost", &output)) << output;
    EXPECT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Online, AccountStatus::Offline,
                                          AccountStatus::Connecting, AccountStatus::Online}))
        << ::testing::PrintToString(host.Statuses(id)) << ::testing::PrintToString(host.Warnings(id));
    EXPECT_EQ(host.Warnings(id), std::vector<std::wstring>{L"policy-violation: \ntext: has been kicked\n"});
    ASSERT_TRUE(GoOffline(id));
}

TEST_F(EjabberdAccountTest, ASecondLoginWithOurResourceEndsInConflict)
{
    ASSERT_TRUE(plugin.Loaded());
    unsigned id = Account(peers->zlib.Port());
    ASSERT_TRUE(GoOnline(id));
    XmppTest::Client other(XmppTest::Connect(peers->zlib.Port()));
    std::string failure;
    ASSERT_TRUE(XmppTest::SignIn(other, "PLAIN", failure)) << failure;
    unsigned counter = 0;
    EXPECT_EQ(XmppTest::BindAndOpenSession(other, counter, "ZEL PDA"), "alice@localhost/ZEL PDA");
    ASSERT_TRUE(host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Online, AccountStatus::Offline}))
        << ::testing::PrintToString(host.Statuses(id));
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return !host.Warnings(id).empty(); }, 5000));
    EXPECT_EQ(host.Warnings(id)[0].substr(0, 10), L"conflict: ") << Wide(CZELString(host.Warnings(id)[0].c_str()));
    Sleep(3 * kReconnectMs);
    host.Settle(id);
    EXPECT_EQ(host.Statuses(id).size(), 3u);
}

// The keep-alive timer fires on the user interface's thread; here on several threads at once,
// while the account answers requests on its own. Every blank goes through the account's one
// deflater on its own thread, so the compressed stream stays whole.
TEST_F(EjabberdAccountTest, KeepAliveTicksFromOtherThreadsLeaveTheCompressedStreamIntact)
{
    ASSERT_TRUE(plugin.Loaded());
    XmppRelay relay(peers->zlib.Port());
    unsigned id = Account(relay.Port());
    host.SetByte(id, L"Compression", 1);
    ASSERT_TRUE(GoOnline(id));
    ASSERT_FALSE(relay.ServerEventsWith("<compressed ").empty());
    // The timer's request reaches the recorder through the manager's queue, after the status.
    TestSupport::WaitUntil([&] { return !host.EventsOf(id, PMEV_TIMER_SET).empty(); }, 10000);
    host.Settle(id);
    std::vector<AccountTest::Event> timers = host.EventsOf(id, PMEV_TIMER_SET);
    ASSERT_EQ(timers.size(), 1u);
    AccountTimerCallback tick = timers[0].callback;
    const intptr_t context = timers[0].context;
    ASSERT_TRUE(tick);
    EXPECT_EQ(tick(context), 120000u);

    XmppTest::Client bob(XmppTest::Connect(peers->zlib.Port()));
    std::string failure;
    ASSERT_TRUE(XmppTest::SignIn(bob, "DIGEST-MD5", failure, "bob", "bobpw")) << failure;
    unsigned counter = 0;
    ASSERT_EQ(XmppTest::BindAndOpenSession(bob, counter), "bob@localhost/zel");
    auto askVersion = [&] {
        XmlElement get;
        const std::string alice = "alice@localhost/ZEL PDA";
        MakeIq(&get, "get", ++counter, &alice);
        AddQuery(&get, "jabber:iq:version");
        std::unique_ptr<XmlElement> reply = XmppTest::Ask(bob, get);
        const XmlElement* name = FindChild(FindChild(reply.get(), "query"), "name");
        return name ? name->text : "(" + bob.Failure() + ")";
    };

    std::atomic<bool> stop{false};
    std::atomic<int> ticks{0};
    std::vector<std::thread> timersThreads;
    for (int t = 0; t < 4; ++t) {
        timersThreads.emplace_back([&] {
            for (int i = 0; i < 200 && !stop; ++i) {
                if (tick(context) == 120000u) ++ticks;
            }
        });
    }
    for (int i = 0; i < 20; ++i) EXPECT_EQ(askVersion(), "ZEL PDA WM") << i;
    for (std::thread& t : timersThreads) t.join();
    EXPECT_EQ(ticks, 800);
    host.Settle(id);
    EXPECT_EQ(askVersion(), "ZEL PDA WM");
    EXPECT_EQ(host.Statuses(id), (std::vector<int>{AccountStatus::Connecting, AccountStatus::Online}));
    EXPECT_TRUE(relay.ServerEventsWith("stream:error").empty()) << ::testing::PrintToString(relay.ServerEvents());

    ASSERT_TRUE(GoOffline(id));
    EXPECT_EQ(tick(context), 0u);
}

}  // namespace
