// The session through the real bus, protocols manager and connection service against the fake
// redirector and session server: login, pings, status changes, losses and refusals.
#include "Dax/tests/DaxHost.h"

#include "Dax/proto/MrimCommands.h"
#include "Dax/proto/MrimRequests.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/plugin/PopupMenu.h"

#include <thread>

using namespace MrimTest;

namespace {

Bytes ExpectedLogin(unsigned value, const std::string& uri)
{
    return Wire().Lps("me@example.org").Lps("secret").U32(value).Lps(uri).U32(0).U32(0)
        .U32(0x3FF).Lps("client=\"ZEL PDA WM\" version=\"2.0\" build=\"2140\"").Lps("ru")
        .Lps("ZEL PDA Symbian (build 2140);");
}

} // namespace

class DaxSessionTest : public DaxHostTest {};

TEST_F(DaxSessionTest, RedirectorSessionLoginOnline)
{
    unsigned id = CreateAccount();
    ASSERT_NE(0u, id);
    manager->SetStatus(id, AccountStatus::Online);
    ReceivedPacket login;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdLogin, login));
    EXPECT_EQ(ToHex(ExpectedLogin(1, "STATUS_ONLINE")), ToHex(login.body));
    std::vector<ReceivedPacket> received = server->Received();
    ASSERT_GE(received.size(), 2u);
    EXPECT_EQ(unsigned(Mrim::CmdHello), received[0].header.command);
    EXPECT_EQ(0u, received[0].header.bodyLength);
    EXPECT_EQ(received[0].header.sequence + 1, login.header.sequence);
    EXPECT_TRUE(WaitStatus(id, AccountStatus::Online));
    EXPECT_EQ(1, redirector->served.load());

    // Away while online goes out at once.
    manager->SetStatus(id, AccountStatus::Away);
    ReceivedPacket change;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdChangeStatus, change));
    EXPECT_EQ(ToHex(Wire().U32(2).Lps("STATUS_AWAY").U32(0).U32(0).U32(0x3FF)), ToHex(change.body));
    EXPECT_TRUE(WaitStatus(id, AccountStatus::Away));
}

TEST_F(DaxSessionTest, RedirectorAnswerSplitAcrossWritesIsReadToItsLineEnd)
{
    unsigned id = CreateAccount(FakeRedirector::Split);
    EXPECT_TRUE(GoOnline(id));
}

TEST_F(DaxSessionTest, RedirectorWithoutAnAnswerFailsTheConnectAndRetries)
{
    for (FakeRedirector::Mode mode : {FakeRedirector::Nothing, FakeRedirector::Garbage}) {
        SCOPED_TRACE(int(mode));
        redirector.reset();
        server.reset();
        unsigned id = CreateAccount(mode);
        manager->SetStatus(id, AccountStatus::Online);
        // Each failure goes offline and asks again after the (shortened) wait.
        EXPECT_TRUE(BusTest::WaitUntil([&]() { return redirector->served >= 3; }, 10000));
        EXPECT_NE(AccountStatus::Online, Status(id));
        EXPECT_EQ(0, server->Connections());
        manager->SetStatus(id, AccountStatus::Offline);
        EXPECT_TRUE(WaitStatus(id, AccountStatus::Offline));
    }
}

TEST_F(DaxSessionTest, StatusChosenWhileConnectingWaitsForTheLogin)
{
    unsigned id = CreateAccount();
    server->pingInterval = 0;
    manager->SetStatus(id, AccountStatus::Online);
    manager->SetStatus(id, AccountStatus::DoNotDisturb);
    ASSERT_TRUE(WaitStatus(id, AccountStatus::DoNotDisturb));
    ReceivedPacket login;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdLogin, login));
    // Nothing but hello and login went out before the login was accepted.
    std::vector<ReceivedPacket> received = server->Received();
    EXPECT_EQ(unsigned(Mrim::CmdHello), received[0].header.command);
    EXPECT_EQ(unsigned(Mrim::CmdLogin), received[1].header.command);
    for (const AccountTest::Event& event : recorder->Events(PMEV_STATUS_CHANGED)) {
        if (event.v1 != intptr_t(id)) continue;
        // Connecting, then the chosen status; never a connected status before the login.
        EXPECT_TRUE(event.status == AccountStatus::Connecting || event.status == AccountStatus::DoNotDisturb ||
                    event.status == AccountStatus::Offline)
            << event.status;
    }
}

TEST_F(DaxSessionTest, PingsAtTheIntervalWhileOnline)
{
    unsigned id = CreateAccount();
    server->pingInterval = 45;
    ASSERT_TRUE(GoOnline(id));
    Settle();
    std::vector<AccountTest::Event> timers = recorder->Events(PMEV_TIMER_SET);
    ASSERT_FALSE(timers.empty());
    AccountTest::Event timer = timers.back();
    ASSERT_NE(nullptr, timer.callback);
    EXPECT_EQ(45000u, timer.callback(timer.context));
    ReceivedPacket ping;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdPing, ping));
    EXPECT_EQ(0u, ping.header.bodyLength);

    // A new interval restarts the timer.
    server->SendPacket(Mrim::CmdConnectionParams, 0, Wire().U32(90));
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        return recorder->Events(PMEV_TIMER_CANCEL).size() >= 1 && recorder->Events(PMEV_TIMER_SET).size() >= 2;
    }));
    EXPECT_EQ(90000u, timer.callback(timer.context));

    // Offline, the tick stops the timer.
    manager->SetStatus(id, AccountStatus::Offline);
    ASSERT_TRUE(WaitStatus(id, AccountStatus::Offline));
    EXPECT_EQ(0u, timer.callback(timer.context));
}

TEST_F(DaxSessionTest, ComesBackAfterTheServerDropsIt)
{
    unsigned id = CreateAccount();
    ASSERT_TRUE(GoOnline(id));
    server->Drop();
    ASSERT_TRUE(WaitStatus(id, AccountStatus::Offline));
    EXPECT_TRUE(WaitStatus(id, AccountStatus::Online));
    EXPECT_EQ(2, server->Connections());
    EXPECT_EQ(2, redirector->served.load());
}

TEST_F(DaxSessionTest, OversizedPacketDropsTheSessionAndComesBack)
{
    unsigned id = CreateAccount();
    ASSERT_TRUE(GoOnline(id));
    server->Send(Wire().U32(0xDEADBEEF).U32(0x00010013).U32(1).U32(0x1009).U32(0xFFFFFFF0).Raw(Bytes(24, 0)));
    ASSERT_TRUE(WaitStatus(id, AccountStatus::Offline));
    EXPECT_TRUE(WaitStatus(id, AccountStatus::Online));
}

TEST_F(DaxSessionTest, RejectedLoginStaysOfflineWithTheReason)
{
    unsigned id = CreateAccount();
    server->acceptLogin = false;
    server->rejectReason = "Invalid password";
    manager->SetStatus(id, AccountStatus::Online);
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        return !Warnings().empty();
    }));
    EXPECT_EQ(L"Invalid password", Warnings()[0]);
    EXPECT_TRUE(WaitStatus(id, AccountStatus::Offline));
    Sleep(800);
    EXPECT_EQ(1, server->Connections());
    EXPECT_EQ(AccountStatus::Offline, Status(id));
}

TEST_F(DaxSessionTest, LogoutForALoginElsewhereStaysOffline)
{
    unsigned id = CreateAccount();
    ASSERT_TRUE(GoOnline(id));
    server->SendPacket(Mrim::CmdLogout, 0, Wire().U32(0x10));
    ASSERT_TRUE(WaitStatus(id, AccountStatus::Offline));
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        return !Warnings().empty();
    }));
    EXPECT_EQ(L"Account being used on another computer", Warnings()[0]);
    Sleep(800);
    EXPECT_EQ(1, server->Connections());
}

TEST_F(DaxSessionTest, MailCountersAndWebSession)
{
    unsigned id = CreateAccount();
    ASSERT_TRUE(GoOnline(id));
    server->SendPacket(Mrim::CmdUserInfo, 0, Wire().Lps("MESSAGES.TOTAL").Lps16(L"9").Lps("MESSAGES.UNREAD").Lps16(L"3"));
    ReceivedPacket request;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdWebSessionRequest, request));
    server->SendPacket(Mrim::CmdWebSessionKey, request.header.sequence, Wire().U32(1).Lps("K+1"));
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        return !recorder->Events(PMEV_SHOW_TITLED_TEXT).empty();
    }));
    AccountTest::Event notice = recorder->Events(PMEV_SHOW_TITLED_TEXT)[0];
    EXPECT_EQ(L"Acc.: me@example.org\r\nIn your mailbox 3 unread messages", notice.text);
    // The account's name and the key are encoded in the link.
    EXPECT_EQ(L"http://auth.test/cgi-bin/auth?Login=me%40example.org&agent=K%2B1&page=http://mail.test/inbox", notice.link);
}

TEST_F(DaxSessionTest, HostilePacketsOfEveryCommandLeaveTheSessionWorking)
{
    unsigned id = CreateAccount();
    server->afterLogin = {Packet(Mrim::CmdContactList, 0,
                                 ContactListBody({L"Work"}, {{"bob@example.org", L"Bob", 0, 1}}))};
    ASSERT_TRUE(GoOnline(id));
    const Bytes bodies[] = {
        Bytes(),
        Wire().U32(1),
        Wire().U32(0).U32(0xFFFFFFFF),
        Wire().U32(1).U32(1).Lps("bob@example.org").U32(0x7FFFFFFF),
        Wire().U32(0x08).U32(0x08).Lps("bob@example.org").Lps("////").U32(0),
        Wire().U32(1).U32(0xFFFFFFFF).U32(0xFFFFFFFF).U32(0).Lps("x"),
        Hex("01 02 03 04 05 06 07"),
    };
    for (const Mrim::CommandInfo& row : Mrim::CommandTable) {
        if (row.direction != Mrim::Direction::FromServer || row.code == Mrim::CmdLogout ||
            row.code == Mrim::CmdLoginRejected)
            continue;
        for (const Bytes& body : bodies) server->SendPacket(row.code, 0x90000001, body);
    }
    server->SendPacket(0x7777, 0, Wire().U32(1));
    // Still online and still reading: a mail count that asks for a web session is answered.
    server->SendPacket(Mrim::CmdUserInfo, 0, Wire().Lps("MESSAGES.UNREAD").Lps16(L"2"));
    ReceivedPacket request;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdWebSessionRequest, request));
    EXPECT_EQ(AccountStatus::Online, Status(id));
    EXPECT_EQ(1, server->Connections());
    EXPECT_NE(0, ContactByEmail(id, L"bob@example.org"));
}

// However the redirector's line ends (its line end, or only its close), the address is taken.
TEST_F(DaxSessionTest, RedirectorAnswerIsTakenUpToItsLineEndOrItsClose)
{
    for (FakeRedirector::Mode mode : {FakeRedirector::Whole, FakeRedirector::Split, FakeRedirector::NoLineEnd}) {
        SCOPED_TRACE(int(mode));
        redirector.reset();
        server.reset();
        unsigned id = CreateAccount(mode);
        ASSERT_TRUE(GoOnline(id));
        EXPECT_EQ(1, redirector->served.load());
        EXPECT_EQ(1, server->Connections());
        manager->SetStatus(id, AccountStatus::Offline);
        ASSERT_TRUE(WaitStatus(id, AccountStatus::Offline));
    }
}

// Offline and straight back online, again and again: the notices of each earlier connection (the
// session's last data and close, and the redirector's close, which arrives after the session's
// connection was made and may share its address) reach the account late and must change nothing.
TEST_F(DaxSessionTest, NoticesOfEarlierConnectionsChangeNothing)
{
    unsigned id = CreateAccount();
    server->pingInterval = 0;
    ASSERT_TRUE(GoOnline(id));
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        // The old session still talks while the account leaves it.
        for (int i = 0; i < 5; ++i) server->SendPacket(Mrim::CmdMailboxStatus, 0, Wire().U32(unsigned(i)));
        manager->SetStatus(id, AccountStatus::Offline);
        manager->SetStatus(id, AccountStatus::Online);
        ASSERT_TRUE(BusTest::WaitUntil([&]() { return server->Connections() == round + 2; }));
        ReceivedPacket login;
        ASSERT_TRUE(server->WaitFor(Mrim::CmdLogin, login, round + 2));
        ASSERT_TRUE(WaitStatus(id, AccountStatus::Online));
        // Time for any late notice to arrive: still online, on this one connection, no retry.
        Sleep(400);
        Settle();
        EXPECT_EQ(AccountStatus::Online, Status(id));
        EXPECT_EQ(round + 2, server->Connections());
        EXPECT_EQ(round + 2, redirector->served.load());
    }
    // The current session is the one that answers.
    server->SendPacket(Mrim::CmdUserInfo, 0, Wire().Lps("MESSAGES.UNREAD").Lps16(L"2"));
    ReceivedPacket request;
    EXPECT_TRUE(server->WaitFor(Mrim::CmdWebSessionRequest, request));
}

// An account with no redirector set goes nowhere; with no port set (or one out of range) it asks the
// redirector at 2042.
TEST_F(DaxSessionTest, SettingsDefaultToPort2042AndNoRedirectorHost)
{
    server.reset(new FakeSessionServer());
    redirector.reset(new FakeRedirector(server->Port(), FakeRedirector::Whole, 2042));
    if (redirector->Port() != 2042) GTEST_SKIP() << "port 2042 is taken here";
    struct Case {
        const char* name;
        const wchar_t* host;  // null: not set
        int port;             // -1: not set
        bool reachesTheRedirector;
    } cases[] = {
        {"nothing set", nullptr, -1, false},
        {"host only", L"127.0.0.1", -1, true},
        {"port zero", L"127.0.0.1", 0, true},
        {"port out of range", L"127.0.0.1", 70000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = redirector->served;
        unsigned id = manager->CreateAccount(GUID_DAX_PROTOCOL);
        ASSERT_NE(0u, id);
        manager->SetAccountString(id, CZELString(L"Account name"), CZELString(L"me@example.org"), 0);
        manager->SetAccountString(id, CZELString(L"Account password"), CZELString(L"secret"), 1);
        if (c.host) manager->SetAccountString(id, CZELString(L"Server host"), CZELString(c.host), 0);
        int port = c.port;
        if (c.port >= 0) manager->SetAccountInt(id, CZELString(L"Server port"), &port);
        CZELArray<ContactListItemPair> items;
        ASSERT_TRUE(BusTest::WaitUntil([&]() { return contactList->GetAccountItems(id, items); }));
        manager->SetStatus(id, AccountStatus::Online);
        if (c.reachesTheRedirector) {
            EXPECT_TRUE(WaitStatus(id, AccountStatus::Online));
            EXPECT_EQ(before + 1, redirector->served.load());
        } else {
            Sleep(800);
            Settle();
            EXPECT_NE(AccountStatus::Online, Status(id));
            EXPECT_EQ(before, redirector->served.load());
        }
        manager->SetStatus(id, AccountStatus::Offline);
        ASSERT_TRUE(WaitStatus(id, AccountStatus::Offline));
    }
}

// The ping timer and the menus call in from threads of their own while the server talks: every one of
// them only posts to the account's queue, so the packets leave whole, one at a time, each with the
// next sequence number, and every incoming message gets its receipt.
TEST_F(DaxSessionTest, TicksAndMenuActionsFromOtherThreadsGoThroughTheAccountsQueue)
{
    unsigned id = CreateAccount();
    server->pingInterval = 30;
    server->afterLogin = {Packet(Mrim::CmdContactList, 0, ContactListBody({L"Work"}, {{"bob@example.org", L"Bob", 0, 1}}))};
    ASSERT_TRUE(GoOnline(id));
    ASSERT_TRUE(BusTest::WaitUntil([&]() { return ContactByEmail(id, L"bob@example.org") != 0; }));
    const int bob = ContactByEmail(id, L"bob@example.org");
    Settle();
    ASSERT_FALSE(recorder->Events(PMEV_TIMER_SET).empty());
    const AccountTest::Event timer = recorder->Events(PMEV_TIMER_SET).back();
    ASSERT_NE(nullptr, timer.callback);

    CPopupMenu chat;
    manager->FillChatMenu(id, bob, &chat);
    const CMenuItem* wakeUp = nullptr;
    for (int i = 0; i < chat.GetCount(); ++i)
        if (Text(chat.items[i].text) == L"Wakeup") wakeUp = &chat.items[i];
    ASSERT_NE(nullptr, wakeUp);
    CPopupMenu statuses;
    manager->GetStatusMenu(id, 0, &statuses);
    ASSERT_EQ(L"Away", Text(statuses.items[7].text));
    ASSERT_EQ(L"Online", Text(statuses.items[12].text));
    server->Clear();

    const int threads = 4, rounds = 40, messages = 120;
    std::atomic<int> tickAnswers{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t]() {
            for (int round = 0; round < rounds; ++round) {
                if (timer.callback(timer.context) == 30000u) ++tickAnswers;
                wakeUp->callback(intptr_t(id), wakeUp->argument);
                const CMenuItem& status = statuses.items[(t + round) % 2 ? 7 : 12];
                status.callback(intptr_t(id), status.argument);
            }
        });
    for (int i = 0; i < messages; ++i)
        server->SendPacket(Mrim::CmdMessageIncoming, 0,
                           Wire().U32(1000 + unsigned(i)).U32(0x00100000).Lps("bob@example.org").Lps16(L"hi").U32(0));
    for (std::thread& worker : workers) worker.join();
    EXPECT_EQ(threads * rounds, tickAnswers.load());

    const int each = threads * rounds;
    EXPECT_TRUE(BusTest::WaitUntil([&]() {
        return server->Count(Mrim::CmdPing) == each && server->Count(Mrim::CmdMessage) == each &&
               server->Count(Mrim::CmdChangeStatus) == each && server->Count(Mrim::CmdMessageReceived) == messages;
    }, 20000)) << server->Count(Mrim::CmdPing) << " " << server->Count(Mrim::CmdMessage) << " "
               << server->Count(Mrim::CmdChangeStatus) << " " << server->Count(Mrim::CmdMessageReceived);
    std::vector<ReceivedPacket> received = server->Received();
    ASSERT_EQ(size_t(3 * each + messages), received.size());
    std::vector<bool> receipted(messages, false);
    for (size_t i = 0; i < received.size(); ++i) {
        const ReceivedPacket& packet = received[i];
        if (i > 0) EXPECT_EQ(received[i - 1].header.sequence + 1, packet.header.sequence) << i;
        switch (packet.header.command) {
        case Mrim::CmdPing: EXPECT_EQ(0u, packet.header.bodyLength); break;
        case Mrim::CmdMessage: EXPECT_EQ(ToHex(Mrim::WakeUpBody(L"bob@example.org")), ToHex(packet.body)); break;
        case Mrim::CmdChangeStatus: break;
        case Mrim::CmdMessageReceived: {
            ASSERT_EQ(23u, packet.body.size());
            const unsigned n = packet.body[19] | packet.body[20] << 8;
            ASSERT_TRUE(n >= 1000 && n < 1000u + messages) << n;
            EXPECT_FALSE(receipted[n - 1000]) << n;
            receipted[n - 1000] = true;
            break;
        }
        default: ADD_FAILURE() << "command " << packet.header.command;
        }
    }
    EXPECT_EQ(1, server->Connections());
    EXPECT_NE(AccountStatus::Offline, Status(id));
}

// A status chosen while the reconnection waits stops it: the waiting thread ends when told (the
// choice is not held up by it) and never asks for its status later.
TEST_F(DaxSessionTest, ChoosingAStatusStopsAWaitingReconnection)
{
    typedef void (*SetDelay)(unsigned);
    SetDelay setDelay = reinterpret_cast<SetDelay>(reinterpret_cast<void*>(GetProcAddress(plugin, "DaxSetReconnectDelay")));
    ASSERT_NE(nullptr, setDelay);
    setDelay(3000);
    unsigned id = CreateAccount();
    ASSERT_TRUE(GoOnline(id));
    server->Drop();
    ASSERT_TRUE(WaitStatus(id, AccountStatus::Offline));
    const DWORD start = GetTickCount();
    manager->SetStatus(id, AccountStatus::Away);
    ASSERT_TRUE(WaitStatus(id, AccountStatus::Away));
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(2, redirector->served.load());
    // Past the wait the stopped thread would have ended: nothing more was asked.
    Sleep(3500);
    Settle();
    EXPECT_EQ(2, redirector->served.load());
    EXPECT_EQ(2, server->Connections());
    EXPECT_EQ(AccountStatus::Away, Status(id));
    setDelay(300);
}
