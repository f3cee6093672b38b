// The plug-in as the program runs it: Wex.dll loaded from the program's "Protos\" folder by the real
// protocols manager, over the real bus, settings store and connection service, signing on against
// the fake servers on 127.0.0.1.
#include "CaptureFile.h"
#include "Dissector.h"
#include "WexAccountFixture.h"

#include "Zel/core/plugin/PopupMenu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

using namespace WexTest;

namespace {

class WexAccountTest : public WexAccountFixture {};

}  // namespace

TEST_F(WexAccountTest, SignsOnKeepsAliveAndGoesOffline)
{
    unsigned id = CreateAccount();
    ASSERT_NE(id, 0u);
    EXPECT_EQ(Status(id), AccountStatus::Offline);
    SignOn(id);
    EXPECT_EQ(server.GoodLogins(), 1);
    EXPECT_EQ(server.BadDigests(), 0);
    EXPECT_EQ(server.CookiesAccepted(), 1);
    EXPECT_EQ(server.LastStatusWord(), 0x0000);
    ASSERT_TRUE(BusTest::WaitUntil([&] { return !StatusesSeen(id).empty() && StatusesSeen(id).back() == 2; }));
    std::vector<int> statuses = StatusesSeen(id);
    EXPECT_EQ(statuses.front(), AccountStatus::Connecting);
    EXPECT_EQ(statuses.back(), AccountStatus::Online);

    // The program's timer would call back in 120 s; the test calls it now, from its own thread.
    Event timer;
    ASSERT_TRUE(TimerSet(timer));
    EXPECT_EQ(timer.context, intptr_t(id));
    EXPECT_EQ(timer.callback(timer.context), 120000u);
    EXPECT_TRUE(server.WaitUntil([&] { return server.KeepAlives() == 1; }));
    EXPECT_EQ(timer.callback(timer.context), 120000u);
    EXPECT_TRUE(server.WaitUntil([&] { return server.KeepAlives() == 2; }));

    Manager().SetStatus(id, AccountStatus::Offline);
    ASSERT_TRUE(WaitForStatus(id, AccountStatus::Offline));
    // Offline ends the timer.
    EXPECT_EQ(timer.callback(timer.context), 0u);
    EXPECT_TRUE(BusTest::WaitUntil([&] { return StatusesSeen(id).back() == AccountStatus::Offline; }));
    ExpectNoFaults();
}

TEST_F(WexAccountTest, StatusChangesGoOutAsTheirNetworkWords)
{
    unsigned id = CreateAccount();
    SignOn(id);
    const struct {
        int status;
        int word;  // as the codec writes it, low byte first
    } cases[] = {{11, 0x0100}, {13, 0x1000}, {5, 0x0000}, {10, 0x0100}, {3, 0x0001}, {2, 0x0000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        Manager().SetStatus(id, c.status);
        EXPECT_TRUE(WaitForStatus(id, c.status)) << "status " << Status(id);
        EXPECT_EQ(server.LastStatusWord(), c.word);
    }
    ExpectNoFaults();
}

// The servers' answers reach the account whole, merged into one read, and cut into pieces of every
// size up to a few bytes, so every frame boundary and every offset inside a frame falls inside a read.
TEST_F(WexAccountTest, SignsOnWhateverWayTheBytesArriveCut)
{
    unsigned id = CreateAccount();
    const struct {
        const char* name;
        FakeWexServer::Delivery delivery;
        size_t piece;
    } cases[] = {
        {"each frame alone", FakeWexServer::Delivery::EachFrame, 0},
        {"each answer merged", FakeWexServer::Delivery::Merged, 0},
        {"one byte a read", FakeWexServer::Delivery::Pieces, 1},
        {"three bytes a read", FakeWexServer::Delivery::Pieces, 3},
        {"seven bytes a read", FakeWexServer::Delivery::Pieces, 7},
        {"ten bytes a read", FakeWexServer::Delivery::Pieces, 10},
    };
    int logins = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.SetDelivery(c.delivery, c.piece);
        SignOn(id);
        EXPECT_EQ(server.GoodLogins(), ++logins);
        Manager().SetStatus(id, AccountStatus::Offline);
        ASSERT_TRUE(WaitForStatus(id, AccountStatus::Offline));
    }
    ExpectNoFaults();
}

TEST_F(WexAccountTest, ReconnectsAfterTheMainServerDropsIt)
{
    unsigned id = CreateAccount();
    SignOn(id, AccountStatus::Occupied);
    server.DropMainConnections();
    ASSERT_TRUE(WaitForStatus(id, AccountStatus::Offline));
    // After the reconnection delay the account asks for the status it had.
    ASSERT_TRUE(WaitForStatus(id, AccountStatus::Occupied, 30000)) << "status " << Status(id);
    EXPECT_EQ(server.GoodLogins(), 2);
    EXPECT_EQ(server.MainConnections(), 2);
    ExpectNoFaults();
}

// Offline and straight back online: the first connection's last notice arrives while the second
// connects, and must not end it.
TEST_F(WexAccountTest, AnEarlierConnectionsNoticeLeavesTheNewOneAlone)
{
    unsigned id = CreateAccount();
    SignOn(id);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        Manager().SetStatus(id, AccountStatus::Offline);
        Manager().SetStatus(id, AccountStatus::Online);
        ASSERT_TRUE(server.WaitUntil([&] { return server.GoodLogins() == round + 2; }));
        ASSERT_TRUE(WaitForStatus(id, AccountStatus::Online));
        ASSERT_TRUE(server.WaitUntil([&] { return server.ClientReadies() == round + 2; }));
        // Time for a stale notice to arrive; the account stays where it is.
        Sleep(300);
        EXPECT_EQ(Status(id), AccountStatus::Online);
    }
    EXPECT_EQ(server.MainConnections(), 4);
    ExpectNoFaults();
}

// The keep-alive timer outlives the account in the program (its cancel travels through two
// queues): a late call finds no account and ends the timer.
TEST_F(WexAccountTest, KeepAliveAfterTheAccountIsGoneEndsTheTimer)
{
    unsigned id = CreateAccount();
    SignOn(id);
    Event timer;
    ASSERT_TRUE(TimerSet(timer));
    // The program keeps the library while its timers may still run; here the test holds it.
    HMODULE library = LoadLibraryW((PluginTree::ProgramFolder() + L"Protos\\Wex\\Wex.dll").c_str());
    ASSERT_NE(library, nullptr);
    ASSERT_EQ(Manager().RemoveAccount(id), 0);
    ASSERT_TRUE(BusTest::WaitUntil([&] { return Manager().GetAccountCount() == 0; }));
    EXPECT_EQ(timer.callback(timer.context), 0u);
    FreeLibrary(library);
}

TEST_F(WexAccountTest, FailuresEndTheConnectionWithTheirTexts)
{
    unsigned id = CreateAccount();
    const struct {
        const char* name;
        unsigned short loginError;
        unsigned short closeError;
        unsigned short closeReason;
        const wchar_t* text;
    } cases[] = {
        {"login refused", 1, 0, 0, L"Invalid UIN or password"},
        {"closed with an error", 0, 16, 0, L"Service temporarily offline"},
        {"signed on elsewhere", 0, 0, 1, L"Your account used on another computer"},
        {"closed for another reason", 0, 0, 7, L"Server error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recorder->Clear();
        server.SetLoginError(c.loginError);
        Manager().SetStatus(id, AccountStatus::Online);
        if (!c.loginError) {
            ASSERT_TRUE(WaitForStatus(id, AccountStatus::Online));
            server.SendCloseFrame(c.closeError, c.closeReason);
        }
        ASSERT_TRUE(recorder->WaitFor(PMEV_SHOW_TEXT));
        EXPECT_TRUE(WaitForStatus(id, AccountStatus::Offline));
        std::vector<std::wstring> warnings = Warnings();
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(warnings[0], c.text);
        server.SetLoginError(0);
    }
}

TEST_F(WexAccountTest, AWrongPasswordIsRefusedByTheDigest)
{
    unsigned id = CreateAccount([](ValueRecordList& values) {
        Wex::Md5Digest wrong{};
        wrong[0] = 1;
        Put(values, WexKeys::AccountPassword).WriteBlob(wrong.data(), unsigned(wrong.size()));
    });
    Manager().SetStatus(id, AccountStatus::Online);
    ASSERT_TRUE(recorder->WaitFor(PMEV_SHOW_TEXT));
    EXPECT_TRUE(WaitForStatus(id, AccountStatus::Offline));
    EXPECT_EQ(server.BadDigests(), 1);
    EXPECT_EQ(server.GoodLogins(), 0);
    EXPECT_EQ(Warnings(), std::vector<std::wstring>{L"Mismatch UIN or password, re-enter"});
}

// What Unload stores is what Load reads in the next run; a stored value that does not fit (a
// password longer than a digest) comes back as its default.
TEST_F(WexAccountTest, SettingsSurviveARunAndMissingOnesTakeTheirDefaults)
{
    unsigned id = CreateAccount([](ValueRecordList& values) {
        unsigned char tooLong[20] = {1, 2, 3};
        Put(values, WexKeys::AccountPassword).WriteBlob(tooLong, sizeof tooLong);
        Put(values, WexKeys::TypingNotification).WriteByte(0);
        Put(values, WexKeys::ShowStandardIcon).WriteByte(1);
        Put(values, WexKeys::XStatus).WriteByte(7);
        Put(values, WexKeys::XStatusTitle(6).GetBuffer()).WriteString(CZELString(L"Coffee"), false);
        Put(values, WexKeys::XStatusDescription(6).GetBuffer()).WriteString(CZELString(L"A long one"), false);
    });
    StopProgram();  // Unload stores what Load read
    StartProgram();
    ASSERT_EQ(Manager().GetAccountCount(), 1);
    id = Manager().GetAccountId(0);
    CZELString name;
    EXPECT_EQ(L"100200300", Text(Manager().GetAccountName(name, id, false)));
    unsigned char password[16];
    unsigned length = sizeof password;
    ASSERT_TRUE(Manager().GetAccountBlob(id, WexKeys::AccountPassword, password, &length));
    EXPECT_EQ(length, 16u);
    EXPECT_EQ(std::vector<unsigned char>(password, password + 16), std::vector<unsigned char>(16, 0));
    const std::map<std::wstring, bool> switches = {
        {WexKeys::ShowStandardIcon, true},  {WexKeys::ShowXStatusInStatusbar, true},
        {WexKeys::ShowPrivStatusInStatusbar, true}, {WexKeys::ShowClientsIcons, true},
        {WexKeys::TypingNotification, false}, {WexKeys::XStatusAutoRequest, true},
    };
    for (const auto& entry : switches) {
        SCOPED_TRACE(std::string(entry.first.begin(), entry.first.end()));
        bool value = !entry.second;
        EXPECT_TRUE(Manager().GetAccountBool(id, entry.first.c_str(), &value));
        EXPECT_EQ(value, entry.second);
    }
    char xStatus = 0;
    EXPECT_TRUE(Manager().GetAccountByte(id, WexKeys::XStatus, &xStatus));
    EXPECT_EQ(xStatus, 7);
    CZELString title, description, empty(L"unset");
    EXPECT_TRUE(Manager().GetAccountString(id, WexKeys::XStatusTitle(6), title, 0));
    EXPECT_TRUE(Manager().GetAccountString(id, WexKeys::XStatusDescription(6), description, 0));
    EXPECT_EQ(L"Coffee", Text(title));
    EXPECT_EQ(L"A long one", Text(description));
    EXPECT_TRUE(Manager().GetAccountString(id, WexKeys::XStatusTitle(34), empty, 0));
    EXPECT_TRUE(empty.IsEmpty());
}

TEST_F(WexAccountTest, StatusMenuListsOfflineLastAndMarksTheRequestedStatus)
{
    unsigned id = CreateAccount();
    CPopupMenu menu;
    ASSERT_EQ(Manager().GetStatusMenu(id, 0, &menu), 0);
    EXPECT_EQ(L"WEX 100200300", Text(menu.title));
    // Both status-bar switches are on by default: no sub-menus.
    std::vector<int> order;
    for (int i = 0; i < menu.GetCount(); ++i)
        order.push_back(menu.items[i].kind == MENU_ITEM_SEPARATOR ? -1 : int(menu.items[i].argument));
    EXPECT_EQ(order, (std::vector<int>{5, 6, 7, 8, 9, -1, 10, 11, 12, 13, 14, -1, 2, 3, 4, -1, 0}));
    EXPECT_EQ(L"Free for chat", Text(menu.items[0].text));
    EXPECT_EQ(menu.items[16].checked, 1);  // offline is what was asked for last
    for (int i = 0; i < 16; ++i) EXPECT_EQ(menu.items[i].checked, 0);

    CPopupMenu xStatus, privacy, none;
    ASSERT_EQ(Manager().GetStatusMenu(id, 1, &xStatus), 0);
    EXPECT_EQ(xStatus.GetCount(), 36);
    ASSERT_EQ(Manager().GetStatusMenu(id, 2, &privacy), 0);
    std::vector<int> modes;
    for (int i = 0; i < privacy.GetCount(); ++i) modes.push_back(int(privacy.items[i].argument));
    EXPECT_EQ(modes, (std::vector<int>{1, 3, 4, 5, 2}));
    ASSERT_EQ(Manager().GetStatusMenu(id, 3, &none), 0);
    EXPECT_EQ(none.GetCount(), 0);
}

// The frames of one whole sign-on, as the account sent them and the fake servers answered, read by
// Debian's tshark from a capture file: every frame recognised with the header it was written with,
// none malformed beyond the dissector's documented quirks.
TEST_F(WexAccountTest, TsharkRecognisesEveryFrameOfARealSignOn)
{
    unsigned id = CreateAccount();
    SignOn(id);
    Event timer;
    ASSERT_TRUE(TimerSet(timer));
    timer.callback(timer.context);
    ASSERT_TRUE(server.WaitUntil([&] { return server.KeepAlives() == 1; }));
    Manager().SetStatus(id, AccountStatus::Offline);
    ASSERT_TRUE(WaitForStatus(id, AccountStatus::Offline));

    const unsigned short kServerPort = 5190;
    CaptureFile capture;
    std::vector<SeenFrame> expected;
    std::vector<bool> disputed;
    std::map<int, unsigned short> clientPorts;
    for (const FakeWexServer::Frame& frame : server.Frames()) {
        if (!clientPorts.count(frame.connection)) {
            clientPorts[frame.connection] = (unsigned short)(40000 + frame.connection);
            capture.Open(clientPorts[frame.connection], kServerPort);
        }
        const unsigned short clientPort = clientPorts[frame.connection];
        capture.Send(clientPort, frame.fromClient, frame.bytes);
        expected.push_back(Written(frame.fromClient ? clientPort : kServerPort, frame.bytes));
        disputed.push_back(DissectorReadsOtherwise(frame.bytes));
    }
    ASSERT_EQ(clientPorts.size(), 2u);

    Dissection seen;
    std::string failure;
    ASSERT_TRUE(Dissect(capture.Get(), kServerPort, "account-sign-on", seen, failure)) << failure;
    ASSERT_EQ(expected.size(), seen.frames.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(expected[i], seen.frames[i]) << "frame " << i;
    EXPECT_EQ(ExpectedProblems(seen.packets, disputed), seen.problems);
}
