// Messages both ways with their acknowledgements, and offline messages.
#include "Dax/tests/DaxHost.h"

#include "Dax/proto/MrimCommands.h"
#include "Dax/proto/MrimRequests.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/plugin/PopupMenu.h"

#include <tlhelp32.h>

#include <chrono>

using namespace MrimTest;

class DaxMessagesTest : public DaxHostTest {
protected:
    unsigned OnlineWithBob()
    {
        unsigned id = CreateAccount();
        server->afterLogin = {Packet(Mrim::CmdContactList, 0,
                                     ContactListBody({L"Work"}, {{"bob@example.org", L"Bob", 0, 1, 0, 1}}))};
        EXPECT_TRUE(GoOnline(id));
        EXPECT_TRUE(BusTest::WaitUntil([&]() { return ContactByEmail(id, L"bob@example.org") != 0; }));
        bob = ContactByEmail(id, L"bob@example.org");
        return id;
    }

    MessageRecord WaitMessage(size_t n)
    {
        EXPECT_TRUE(BusTest::WaitUntil([&]() { return listEvents->Events(CLE_INCOMING_MESSAGE).size() >= n; }));
        std::vector<ContactListEvents::Event> events = listEvents->Events(CLE_INCOMING_MESSAGE);
        return events.size() >= n ? events[n - 1].message : MessageRecord();
    }

    int bob = 0;
};

TEST_F(DaxMessagesTest, IncomingTextsAreDeliveredAndAcknowledged)
{
    unsigned id = OnlineWithBob();
    ASSERT_NE(0u, id);
    server->SendPacket(Mrim::CmdMessageIncoming, 0,
                       Wire().U32(501).U32(0x00100000).Lps("bob@example.org").Lps16(L"\u041F\u0440\u0438<smile>id=426</smile>").U32(0));
    MessageRecord first = WaitMessage(1);
    EXPECT_EQ(L"\u041F\u0440\u0438:-)", Text(first.text));
    EXPECT_EQ(0, first.flags);
    ReceivedPacket receipt;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdMessageReceived, receipt));
    EXPECT_EQ(ToHex(Wire().Lps("bob@example.org").U32(501)), ToHex(receipt.body));

    // Code page 1251, and a sender that wants no receipt.
    server->SendPacket(Mrim::CmdMessageIncoming, 0,
                       Wire().U32(502).U32(0x05).Lps("bob@example.org").Lps("\xCF\xF0\xE8\xE2\xE5\xF2").U32(0));
    MessageRecord second = WaitMessage(2);
    EXPECT_EQ(L"\u041F\u0440\u0438\u0432\u0435\u0442", Text(second.text));
    // A typing notice delivers nothing and gets no receipt; a wake-up is a service message.
    server->SendPacket(Mrim::CmdMessageIncoming, 0, Wire().U32(503).U32(0x400).Lps("bob@example.org").Lps(" ").U32(0));
    server->SendPacket(Mrim::CmdMessageIncoming, 0, Wire().U32(504).U32(0x4004).Lps("bob@example.org").Lps(" ").U32(0));
    MessageRecord wake = WaitMessage(3);
    EXPECT_EQ(L"Contact trying to wake you", Text(wake.text));
    EXPECT_EQ(2, wake.flags);
    EXPECT_TRUE(listEvents->WaitFor(CLE_TYPING, bob));
    EXPECT_EQ(1, server->Count(Mrim::CmdMessageReceived));
}

TEST_F(DaxMessagesTest, OutgoingTextTypingAndDelivery)
{
    unsigned id = OnlineWithBob();
    MessageRecord record;
    record.contactId = bob;
    record.messageNumber = 0x4242;
    record.text = L"Hi \u044F";
    manager->SendInstantMessage(id, record, true);
    ReceivedPacket sent;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdMessage, sent));
    EXPECT_EQ(0x4242u, sent.header.sequence);
    EXPECT_EQ(ToHex(Wire().U32(0x00100000).Lps("bob@example.org").Lps16(L"Hi \u044F").U32(0)), ToHex(sent.body));
    server->SendPacket(Mrim::CmdMessageStatus, 0x4242, Wire().U32(0));
    ASSERT_TRUE(listEvents->WaitFor(CLE_MESSAGE_ACK, bob));

    manager->SetTyping(id, bob, false);
    ReceivedPacket typing;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdMessage, typing, 2));
    EXPECT_EQ(ToHex(Wire().U32(0x00200400).Lps("bob@example.org").Lps(" ").U32(0)), ToHex(typing.body));
}

TEST_F(DaxMessagesTest, OfflineMessagesAreShownThenDeleted)
{
    unsigned id = OnlineWithBob();
    ASSERT_NE(0u, id);
    const std::string key = "\x01\x02\x03\x04\x05\x06\x07\x08";
    struct Case {
        const char* name;
        std::string text;
        std::wstring shown;
    } cases[] = {
        {"multipart", "From: bob@example.org\nDate: Tue, 2 Feb 2010\nX-MRIM-Flags: 00000000\n"
                      "Content-Type: multipart/alternative; boundary=B\n\n--B\nContent-Type: text/plain\n\nz/Do4uXy\n--B--\n",
         L"Offline message (Tue, 2 Feb 2010)\r\n\u041F\u0440\u0438\u0432\u0435\u0442"},
        {"plain CR LF", "From: bob@example.org\r\nDate: D\r\nX-MRIM-Flags: 00100000\r\nContent-Type: text/plain\r\n\r\n"
                        "SABpAA==\r\n",
         L"Offline message (D)\r\nHi"},
        {"unreadable", "From: bob@example.org\nDate: D\nContent-Type: text/plain\n\nSABpAA==\n",
         L"Offline message (D)\r\nFrom: bob@example.org\nDate: D\nContent-Type: text/plain\n\nSABpAA==\n"},
    };
    size_t n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ++n;
        server->SendPacket(Mrim::CmdOfflineMessage, 0, Wire().Text(key).U32(unsigned(c.text.size())).Text(c.text));
        MessageRecord shown = WaitMessage(n);
        EXPECT_EQ(c.shown, Text(shown.text));
        EXPECT_EQ(1, shown.flags);
        ReceivedPacket deleted;
        ASSERT_TRUE(server->WaitFor(Mrim::CmdDeleteOfflineMessage, deleted, int(n)));
        EXPECT_EQ(ToHex(Bytes(key.begin(), key.end())), ToHex(deleted.body));
    }
}

TEST_F(DaxMessagesTest, AuthorisationAndWakeUpThroughTheChatMenu)
{
    unsigned id = OnlineWithBob();
    Bytes base64 = Mrim::ToBase64(Wire().U32(2).Lps("bob").Lps("\xCF\xF0\xE8\xE2"));
    server->SendPacket(Mrim::CmdMessageIncoming, 0, Wire().U32(9).U32(0x0C).Lps("bob@example.org").Lps(base64).U32(0));
    MessageRecord request = WaitMessage(1);
    EXPECT_EQ(L"\u041F\u0440\u0438\u0432", Text(request.text));
    EXPECT_EQ(0, server->Count(Mrim::CmdMessageReceived));

    CPopupMenu menu;
    for (int command = 1; command <= 3; ++command)
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"host"), command, nullptr, 0, false));
    manager->FillChatMenu(id, bob, &menu);
    ASSERT_EQ(5, menu.GetCount());
    EXPECT_EQ(L"Authorization", Text(menu.items[2].text));
    EXPECT_EQ(L"Wakeup", Text(menu.items[3].text));
    ASSERT_NE(nullptr, menu.items[2].subMenu);
    ASSERT_EQ(3, menu.items[2].subMenu->GetCount());
    const CMenuItem& accept = menu.items[2].subMenu->items[0];
    EXPECT_EQ(L"Accept", Text(accept.text));
    accept.callback(0, accept.argument);
    ReceivedPacket grant;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdAuthorize, grant));
    EXPECT_EQ(ToHex(Wire().Lps("bob@example.org")), ToHex(grant.body));

    menu.items[3].callback(0, menu.items[3].argument);
    ReceivedPacket wake;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdMessage, wake));
    EXPECT_EQ(ToHex(Mrim::WakeUpBody(L"bob@example.org")), ToHex(wake.body));

    // Bob grants us in turn: his waiting mark goes and a service line says so.
    server->SendPacket(Mrim::CmdAuthorizeAck, 0, Wire().Lps("bob@example.org"));
    MessageRecord granted = WaitMessage(2);
    EXPECT_EQ(L"Bob\nAccepted your authorization", Text(granted.text));
    char mark = 1;
    contactList->GetPropertyByte(bob, CZELString(L"Auth req"), &mark);
    EXPECT_EQ(0, mark);
}

TEST_F(DaxMessagesTest, TypingEndsAfterTenQuietSeconds)
{
    OnlineWithBob();
    auto typing = [&](intptr_t flag) {
        size_t count = 0;
        for (const ContactListEvents::Event& event : listEvents->Events(CLE_TYPING))
            count += event.id == bob && event.value == flag;
        return count;
    };
    server->SendPacket(Mrim::CmdMessageIncoming, 0, Wire().U32(1).U32(0x00200400).Lps("bob@example.org").Lps(" ").U32(0));
    ASSERT_TRUE(BusTest::WaitUntil([&]() { return typing(0) == 1; }));
    Sleep(4000);
    server->SendPacket(Mrim::CmdMessageIncoming, 0, Wire().U32(2).U32(0x00200400).Lps("bob@example.org").Lps(" ").U32(0));
    ASSERT_TRUE(BusTest::WaitUntil([&]() { return typing(0) == 2; }));
    // The second notice kept the display: nothing ends it within ten seconds of the first.
    Sleep(7500);
    EXPECT_EQ(0u, typing(1));
    EXPECT_TRUE(BusTest::WaitUntil([&]() { return typing(1) == 1; }, 6000));
}

namespace {

int ThreadsOfThisProcess()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

} // namespace

// Each typing notice starts the watch that ends a silent contact's typing, and the message that follows
// stops it: told to stop, the watch ends by itself at once (the account's queue never waits out its
// tick, and no thread is left behind or killed with the watch's lock held), so typing still works
// after many rounds.
TEST_F(DaxMessagesTest, TypingWatchEndsWhenToldAndStartsAgain)
{
    unsigned id = OnlineWithBob();
    ASSERT_NE(0u, id);
    Settle();
    const int threadsBefore = ThreadsOfThisProcess();
    const int rounds = 12;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(round);
        listEvents->Clear();
        server->SendPacket(Mrim::CmdMessageIncoming, 0,
                           Wire().U32(600 + unsigned(round)).U32(0x400).Lps("bob@example.org").Lps(" ").U32(0));
        ASSERT_TRUE(listEvents->WaitFor(CLE_TYPING, bob));
        server->SendPacket(Mrim::CmdMessageIncoming, 0,
                           Wire().U32(700 + unsigned(round)).U32(0x00100000).Lps("bob@example.org").Lps16(L"done").U32(0));
        ReceivedPacket receipt;
        ASSERT_TRUE(server->WaitFor(Mrim::CmdMessageReceived, receipt, round + 1));
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    // Far below a watch tick per round, let alone a forced end's wait.
    EXPECT_LT(elapsed.count(), rounds * 500) << elapsed.count();
    Sleep(200);
    if (threadsBefore > 0) EXPECT_LE(ThreadsOfThisProcess(), threadsBefore + 1);
    EXPECT_EQ(AccountStatus::Online, Status(id));
}
