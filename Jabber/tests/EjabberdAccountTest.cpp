// Jabber.dll's accounts against real ejabberd servers that the tests start on 127.0.0.1, through the
// program's bus, protocols manager and connection service: every way of signing in, direct TLS for
// the kind that defaults to it, a wrong password, a login the server kicks out, a second login that
// takes the account's resource, keep-alive ticks from other threads on a compressed stream, the
// settings pages' manual server and compression carried into the next connection, and menu actions
// amid messages and ticks. Where the stream is not encrypted, a relay reads what the server answered.
#include "Zel/net/tests/PeerSupport.h"

#include "Jabber/tests/ContactListView.h"
#include "Jabber/tests/JabberTestHost.h"
#include "Jabber/tests/MenuRows.h"
#include "Jabber/tests/SettingsPagesDriver.h"
#include "Jabber/tests/XmppRelay.h"
#include "Jabber/tests/XmppTestSession.h"

#include "Handheld/tests/DisplayRequirement.h"
#include "Jabber/JabberResources.h"
#include "Jabber/account/AccountSettings.h"
#include "Jabber/stream/StreamCompression.h"

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
            {&zlib,
             {"zlib", "admin-extra", alice, "user=bob:bobpw", "user=erin:erinpw",
              "ctl=add_rosteritem erin localhost bob localhost Bob Friends none"}},
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

// What the client sent through relay once its stream was compressed, inflated: the bytes after its
// request for compression (one connection's); "(...)" when there are none or they are corrupt.
std::string InflatedClientBytes(XmppRelay& relay)
{
    const std::string sent = relay.ClientBytes();
    const std::string request = "</compress>";
    const size_t at = sent.find(request);
    if (at == std::string::npos) return "(no compression asked for)";
    StreamCompression compression;
    if (!compression.Start()) return "(no inflater)";
    compression.Put(sent.data() + at + request.size(), sent.size() - at - request.size());
    std::string text;
    char piece[4096];
    int n;
    while ((n = compression.Decompress(piece, sizeof piece)) > 0) text.append(piece, size_t(n));
    return n < 0 ? "(corrupt)" : text;
}

size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

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

    // The account's one keep-alive timer, as it asked the program for it after going online; null
    // (with a failure) when it asked for none or more than one.
    AccountTest::Event KeepAliveTimer(unsigned id)
    {
        // The request reaches the recorder through the manager's queue, after the status.
        TestSupport::WaitUntil([&] { return !host.EventsOf(id, PMEV_TIMER_SET).empty(); }, 10000);
        host.Settle(id);
        std::vector<AccountTest::Event> timers = host.EventsOf(id, PMEV_TIMER_SET);
        EXPECT_EQ(timers.size(), 1u);
        return timers.size() == 1 ? timers[0] : AccountTest::Event();
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
    const AccountTest::Event timer = KeepAliveTimer(id);
    AccountTimerCallback tick = timer.callback;
    const intptr_t context = timer.context;
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

// After "OK" on the settings pages, the next connection goes where they say: the manual host and
// port typed on the expert page (the stored ones lead nowhere), and with compression ticked the
// account asks for it and sends nothing but deflated bytes from then on.
TEST_F(EjabberdAccountTest, TheSettingsPagesManualServerAndCompressionCarryTheNextConnection)
{
    ZEL_REQUIRE_DISPLAY();
    ASSERT_TRUE(plugin.Loaded());
    XmppRelay relay(peers->zlib.Port());
    unsigned id = Account(1);
    host.SetString(id, L"Manual connection server", L"127.0.0.2");
    host.SetByte(id, L"Compression", 0);
    {
        JabberTest::SettingsPagesDriver pages(*host.manager);
        std::vector<HWND> windows = pages.Open(id);
        ASSERT_EQ(windows.size(), 2u);
        HWND expert = windows[1];
        if (IsDlgButtonChecked(expert, IDC_JB_MANUAL) != BST_CHECKED)
            SendDlgItemMessageW(expert, IDC_JB_MANUAL, BM_CLICK, 0, 0);
        JabberTest::TypeInto(GetDlgItem(expert, IDC_JB_SERVER), L"127.0.0.1");
        JabberTest::TypeInto(GetDlgItem(expert, IDC_JB_PORT), std::to_wstring(relay.Port()));
        SendDlgItemMessageW(expert, IDC_JB_COMPRESSION, BM_CLICK, 0, 0);
        ASSERT_EQ(IsDlgButtonChecked(expert, IDC_JB_COMPRESSION), BST_CHECKED);
        ASSERT_TRUE(pages.Save());
    }
    host.Settle(id);
    ASSERT_TRUE(GoOnline(id));

    const std::string sent = relay.ClientBytes();
    const size_t request = sent.find("<compress xmlns='http://jabber.org/protocol/compress'><method>zlib</method></compress>");
    ASSERT_NE(request, std::string::npos) << sent;
    EXPECT_NE(sent.find("<stream:stream"), std::string::npos);
    ASSERT_FALSE(relay.ServerEventsWith("<compressed ").empty()) << ::testing::PrintToString(relay.ServerEvents());
    // Past the request nothing is readable: the restarted stream and the binding are in the deflated
    // bytes only.
    EXPECT_EQ(sent.find("<stream:stream", request), std::string::npos);
    EXPECT_EQ(sent.find("xmpp-bind", request), std::string::npos);
    const std::string inflated = InflatedClientBytes(relay);
    EXPECT_EQ(inflated.compare(0, 5, "<?xml"), 0) << inflated;
    EXPECT_NE(inflated.find("<stream:stream to='localhost'"), std::string::npos) << inflated;
    EXPECT_NE(inflated.find("urn:ietf:params:xml:ns:xmpp-bind"), std::string::npos) << inflated;
    ASSERT_TRUE(GoOffline(id));
}

// The contact menu's authorisation items chosen 200 times while the other party and the account
// exchange messages and keep-alive ticks fire on other threads: every presence goes through the
// account's one deflater on its own queue, so the compressed stream stays whole and each one, and
// each message, arrives.
TEST_F(EjabberdAccountTest, MenuActionsAmidMessagesAndTicksLeaveTheCompressedStreamIntact)
{
    ASSERT_TRUE(plugin.Loaded());
    JabberTest::ContactListEvents events(bus);
    host.contactList->SetAntispamEnable(false);
    XmppRelay relay(peers->zlib.Port());
    unsigned id = Account(relay.Port(), L"erin", L"erinpw");
    host.SetByte(id, L"Compression", 1);
    ASSERT_TRUE(GoOnline(id));
    ASSERT_FALSE(relay.ServerEventsWith("<compressed ").empty());
    int contact = 0;
    ASSERT_TRUE(TestSupport::WaitUntil(
        [&] { return (contact = JabberTest::ContactByJid(*host.contactList, id, "bob@localhost")) != 0; }, 10000));
    const AccountTest::Event timer = KeepAliveTimer(id);
    AccountTimerCallback tick = timer.callback;
    const intptr_t context = timer.context;
    ASSERT_TRUE(tick);

    XmppTest::Client bob(XmppTest::Connect(peers->zlib.Port()));
    std::string failure;
    ASSERT_TRUE(XmppTest::SignIn(bob, "DIGEST-MD5", failure, "bob", "bobpw")) << failure;
    unsigned counter = 0;
    ASSERT_EQ(XmppTest::BindAndOpenSession(bob, counter, "menus"), "bob@localhost/menus");
    ASSERT_TRUE(bob.SendText("<presence/>"));  // available, so messages to the bare JID reach it

    // Two timer threads tick until the scope ends, however it ends.
    struct Tickers {
        std::atomic<bool> stop{false};
        std::atomic<int> ticks{0};
        std::vector<std::thread> threads;
        Tickers(AccountTimerCallback tick, intptr_t context)
        {
            for (int t = 0; t < 2; ++t)
                threads.emplace_back([this, tick, context] {
                    while (!stop) {
                        if (tick(context) == 120000u) ++ticks;
                        Sleep(1);  // about as often as the actions, not a flood of blanks
                    }
                });
        }
        ~Tickers() { Stop(); }
        void Stop()
        {
            stop = true;
            for (std::thread& t : threads)
                if (t.joinable()) t.join();
        }
    } tickers(tick, context);

    const int kActions = 200, kMessageEvery = 10;
    const char* const kItems[] = {"Request authorization", "Grant authorization", "Revoke authorization"};
    int chosen = 0, sentMessages = 0;
    for (int i = 0; i < kActions; ++i) {
        // Whatever the latest roster push left on the menu, one of its authorisation items.
        const CPopupMenu menu = JabberTest::ContactMenuOf(*host.manager, id, contact);
        for (int k = 0; k < 3; ++k)
            if (JabberTest::Choose(menu, kItems[(i + k) % 3])) {
                ++chosen;
                break;
            }
        ASSERT_TRUE(bob.SendText("<message to='erin@localhost' type='chat'><body>bob " + std::to_string(i) +
                                 "</body></message>"));
        if (i % kMessageEvery == 0) {
            MessageRecord message;
            message.contactId = contact;
            message.text = CZELString(std::to_wstring(++sentMessages).c_str());
            host.manager->SendInstantMessage(id, message, true);
        }
    }
    EXPECT_EQ(chosen, kActions);

    // Every message of bob's reaches the account; every one of the account's reaches bob, in order.
    EXPECT_TRUE(TestSupport::WaitUntil(
        [&] {
            size_t from = 0;
            for (const JabberTest::ContactListEvents::Event& e : events.Events(CLE_INCOMING_MESSAGE))
                from += JabberTest::Narrow(e.message.text).compare(0, 4, "bob ") == 0;
            return from == size_t(kActions);
        },
        30000));
    for (int n = 1; n <= sentMessages; ++n) {
        std::unique_ptr<XmlElement> message;
        while ((message = bob.NextStanza("message")) && !FindChild(message.get(), "body")) {
        }
        ASSERT_TRUE(message) << n << " " << bob.Failure();
        EXPECT_EQ(FindChild(message.get(), "body")->text, std::to_string(n));
    }
    tickers.Stop();
    EXPECT_GT(tickers.ticks, 0);
    host.Settle(id);

    // The stream, read as the server read it: whole, with every presence the items stand for (the
    // relay may still be passing the last ones on).
    const std::string presence = "<presence to='bob@localhost' type=";
    EXPECT_TRUE(TestSupport::WaitUntil(
        [&] { return Occurrences(InflatedClientBytes(relay), presence) == size_t(kActions); }, 5000));
    const std::string inflated = InflatedClientBytes(relay);
    EXPECT_EQ(inflated.compare(0, 5, "<?xml"), 0) << inflated;
    EXPECT_EQ(Occurrences(inflated, presence), size_t(kActions)) << inflated;
    EXPECT_EQ(host.Statuses(id), (std::vector<int>{AccountStatus::Connecting, AccountStatus::Online}));
    EXPECT_TRUE(relay.ServerEventsWith("stream:error").empty()) << ::testing::PrintToString(relay.ServerEvents());
    ASSERT_TRUE(GoOffline(id));
}

}  // namespace
