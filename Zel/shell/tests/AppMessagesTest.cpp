// Messages through the real core and a fake account: an incoming message event is written to the
// history and kept for the chat, opening the chat shows it (from the history or the pending list, as
// the settings say), sending goes to a connected account only, and the account statuses come back
// after a restart.
#include "Zel/shell/tests/AppTestSupport.h"
#include "Zel/chat/ChatLogView.h"
#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/app/GuiResources.h"
#include "ZELCommon/tests/WindowScreenshot.h"

#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/shell/alerts/AlertPlayer.h"
#include "Zel/shell/notify/Notifier.h"
#include "Zel/shell/tests/AlertTestSupport.h"

#include <ctime>
#include <string>
#include <vector>

using namespace AppTest;

namespace {

class AppMessages : public ::testing::Test {
protected:
    AppMessages() : folder(L"AppMessagesTest") {}
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        run.reset(new AppRun(folder));
        ASSERT_TRUE(run->started);
        AlertTest::GiveEventSounds(App().Settings());
        ASSERT_TRUE(fake.Loaded());
        account = run->NewAccount(L"alice");
        ASSERT_NE(account, 0u);
        contact = run->NewContact(account, L"bob", L"Bob");
    }

    CApplication& App() { return run->App(); }

    // The contact-list data relays an incoming message through its own queue.
    void Receive(const wchar_t* text, int flags = 0, int icon = -1)
    {
        MessageRecord message;
        message.contactId = contact;
        message.messageNumber = ++number;
        message.flags = flags;
        message.kind = icon;
        message.text = text;
        message.secondText = L"second";
        ASSERT_TRUE(ContactListDataService->PostIncomingMessage(contact, message));
    }

    std::vector<std::wstring> History()
    {
        CZELArray<ChatLogEntry> entries;
        run->History().LoadAll(contact, entries);
        std::vector<std::wstring> texts;
        for (int i = 0; i < entries.GetCount(); ++i) texts.push_back(Wide(entries[i].text));
        return texts;
    }

    // The chat tab's lines: text, or "--" for the separator.
    std::vector<std::wstring> Tab()
    {
        std::vector<std::wstring> lines;
        const CChatDlg::Tab* tab = App().ChatWindow()->FindTab(contact);
        if (!tab) return lines;
        for (int i = 0; i < tab->entries.GetCount(); ++i)
            lines.push_back(tab->entries[i].direction == ChatLineSeparator ? L"--" : Wide(tab->entries[i].text));
        return lines;
    }

    int PlayedCount(int event) { return AlertTest::PlayedCount(audio, event); }

    RecordingAudio audio;
    AppFolder folder;
    std::unique_ptr<AppRun> run;
    AccountTest::FakePlugin fake{L"Accounts", L"FakeA"};
    unsigned account = 0;
    int contact = 0;
    int number = 0;
};

}  // namespace

TEST_F(AppMessages, AnIncomingMessageIsWrittenOnceAndKeptUntilTheChatOpens)
{
    Receive(L"hello");
    ASSERT_TRUE(PumpUntil([&] { return App().PendingMessages().GetCount() == 1; }));
    EXPECT_EQ(History(), std::vector<std::wstring>{L"hello"});
    const PendingMessage& pending = App().PendingMessages()[0];
    EXPECT_EQ(pending.contact, contact);
    EXPECT_EQ(pending.entry.direction, int(ChatLineIncoming));
    EXPECT_EQ(pending.entry.kind, 24);
    EXPECT_EQ(Wide(pending.entry.name), L"Bob");
    EXPECT_EQ(Wide(pending.entry.timeText).front(), L'(');
    EXPECT_EQ(App().ContactList()->UnreadCount(contact), 1);
    EXPECT_EQ(PlayedCount(AE_MESSAGE_IN), 1);
    ASSERT_EQ(App().Resources()->Notifier().Entries().GetCount(), 1);
    EXPECT_EQ(App().Resources()->Notifier().Entries()[0].kind, int(NK_MESSAGE));
    EXPECT_EQ(App().Resources()->Notifier().Entries()[0].contact, contact);

    // The default picture: 27 for an offline message (flags 1), 24 otherwise; a given one stays.
    Receive(L"offline", 1);
    Receive(L"pictured", 0, 40);
    ASSERT_TRUE(PumpUntil([&] { return App().PendingMessages().GetCount() == 3; }));
    EXPECT_EQ(App().PendingMessages()[1].entry.kind, 27);
    EXPECT_EQ(App().PendingMessages()[2].entry.kind, 40);

    // A service line opens the chat and shows as an event line, without history or alert.
    Receive(L"service", 2, 5);
    ASSERT_TRUE(PumpUntil([&] { return App().ChatWindow()->HasTab(contact) && Tab().size() >= 4; }));
    const CChatDlg::Tab* tab = App().ChatWindow()->FindTab(contact);
    const ChatLogEntry& line = tab->entries[tab->entries.GetCount() - 1];
    EXPECT_EQ(line.direction, int(ChatLineEvent));
    EXPECT_EQ(Wide(line.name), L"service");
    EXPECT_EQ(Wide(line.timeText), L"second");
    EXPECT_EQ(History().size(), 3u);
    EXPECT_EQ(PlayedCount(AE_MESSAGE_IN), 3);
    EXPECT_EQ(App().PendingMessages().GetCount(), 0);
}

TEST_F(AppMessages, OpeningTheChatShowsHistoryAndPendingMessagesAsTheSettingsSay)
{
    struct {
        const char* name;
        bool save;
        bool show;
        std::vector<std::wstring> lines;
        std::vector<std::wstring> history;
    } cases[] = {
        {"history kept and shown: the last records with a separator before the new",
         true, true, {L"old 2", L"old 3", L"--", L"new 1", L"new 2"}, {L"old 1", L"old 2", L"old 3", L"new 1", L"new 2"}},
        {"history kept, not shown: the new messages themselves",
         true, false, {L"new 1", L"new 2"}, {L"old 1", L"old 2", L"old 3", L"new 1", L"new 2"}},
        {"no history kept: the new messages", false, true, {L"new 1", L"new 2"}, {L"old 1", L"old 2", L"old 3"}},
        {"no history at all", false, false, {L"new 1", L"new 2"}, {L"old 1", L"old 2", L"old 3"}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        run->History().Delete(contact);
        for (const wchar_t* old : {L"old 1", L"old 2", L"old 3"})
            run->History().Append(contact, 1, 0, 0, unsigned(time(nullptr)), old);
        App().Settings().histSaveHistory = test.save;
        App().Settings().histShowInChat = test.show;
        App().Settings().histMessagesToShow = 2;
        Receive(L"new 1");
        Receive(L"new 2");
        ASSERT_TRUE(PumpUntil([&] { return App().PendingMessages().GetCount() == 2; }));
        App().OpenChat(contact);
        EXPECT_EQ(Tab(), test.lines);
        // The log shows each line, the separator included.
        const CChatDlg::Tab* shown = App().ChatWindow()->FindTab(contact);
        ASSERT_NE(shown->log, nullptr);
        EXPECT_EQ(shown->log->GetParagraphCount(), int(test.lines.size()));
        EXPECT_EQ(App().PendingMessages().GetCount(), 0);
        EXPECT_EQ(History(), test.history);
        EXPECT_TRUE(App().ChatWindow()->IsVisible());
        EXPECT_EQ(App().ChatWindow()->GetCurrentPageId(), contact);
        // With the tab open, a message goes straight to it.
        Receive(L"live");
        ASSERT_TRUE(PumpUntil([&] { return !Tab().empty() && Tab().back() == L"live"; }));
        EXPECT_EQ(App().PendingMessages().GetCount(), 0);
        App().ChatWindow()->CloseTab(contact);
    }
}

TEST_F(AppMessages, SendingGoesToAConnectedAccountAndComesBackAsHistory)
{
    EXPECT_EQ(App().SendMessageToContact(contact, L"too early"), 0);
    EXPECT_EQ(PlayedCount(AE_MESSAGE_OUT), 0);
    ProtocolsManagerService->SetStatus(account, AccountStatus::Connecting);
    ASSERT_TRUE(PumpUntil([&] {
        int status = -1;
        return ProtocolsManagerService->GetStatus(account, &status) == 0 && status == AccountStatus::Connecting;
    }));
    EXPECT_EQ(App().SendMessageToContact(contact, L"still connecting"), 0);

    ProtocolsManagerService->SetStatus(account, AccountStatus::Online);
    ASSERT_TRUE(PumpUntil([&] {
        int status = -1;
        return ProtocolsManagerService->GetStatus(account, &status) == 0 && status == AccountStatus::Online;
    }));
    App().OpenChat(contact);
    EXPECT_EQ(App().SendMessageToContact(contact, L"hi there"), 1);
    EXPECT_EQ(PlayedCount(AE_MESSAGE_OUT), 1);
    ASSERT_TRUE(PumpUntil([&] { return fake.Count(account, PM_SEND_MESSAGE) == 1; }));
    for (const FakeLogEntry& entry : fake.Log(account)) {
        if (entry.code == PM_SEND_MESSAGE) {
            EXPECT_EQ(std::wstring(entry.text), L"hi there");
        }
    }
    // The manager's "message sent" event writes the history and shows the line in the open tab.
    ASSERT_TRUE(PumpUntil([&] { return History() == std::vector<std::wstring>{L"hi there"}; }));
    ASSERT_TRUE(PumpUntil([&] { return Tab() == std::vector<std::wstring>{L"hi there"}; }));
    const CChatDlg::Tab* tab = App().ChatWindow()->FindTab(contact);
    EXPECT_EQ(tab->entries[0].direction, int(ChatLineOutgoing));
    EXPECT_EQ(Wide(tab->entries[0].name), L"I");

    // The plug-in's acknowledgement marks the line.
    ASSERT_TRUE(PumpUntil([&] { return App().ChatWindow()->FindTab(contact)->entries[0].kind == 26; }));
    CChatLogView* log = tab->log;
    ASSERT_NE(log, nullptr);
    ASSERT_EQ(log->Icons().size(), 1u);
    EXPECT_EQ(log->Icons()[0]->image, 26);

    // Typed into the composer: typing is reported, Enter sends without the line break, the composer
    // empties, and the quiet timer reports the stop.
    HWND composer = tab->composer;
    ASSERT_NE(composer, nullptr);
    int typing = fake.Count(account, PM_SET_TYPING);
    for (wchar_t c : std::wstring(L"hi")) SendMessageW(composer, WM_CHAR, c, 0);
    ASSERT_TRUE(PumpUntil([&] { return fake.Count(account, PM_SET_TYPING) > typing; }));
    SendMessageW(composer, WM_CHAR, L'\r', 0);
    ASSERT_TRUE(PumpUntil([&] { return fake.Count(account, PM_SEND_MESSAGE) == 2; }));
    std::wstring last;
    for (const FakeLogEntry& entry : fake.Log(account))
        if (entry.code == PM_SEND_MESSAGE) last = entry.text;
    EXPECT_EQ(last, L"hi");
    EXPECT_EQ(GetWindowTextLengthW(composer), 0);
    ASSERT_TRUE(PumpUntil([&] { return log->GetParagraphCount() == 2; }));
    int beforeStop = fake.Count(account, PM_SET_TYPING);
    SendMessageW(*tab, WM_TIMER, CChatDlg::TIMER_TYPING, 0);
    ASSERT_TRUE(PumpUntil([&] { return fake.Count(account, PM_SET_TYPING) > beforeStop; }));
    // Typing went as "typing" (0), the quiet timer's as "stopped" (1).
    std::vector<intptr_t> typingValues;
    for (const FakeLogEntry& entry : fake.Log(account))
        if (entry.code == PM_SET_TYPING) typingValues.push_back(entry.v2);
    ASSERT_EQ(typingValues.size(), size_t(beforeStop + 1));
    ASSERT_GT(beforeStop, typing);
    EXPECT_EQ(typingValues[size_t(typing)], 0);
    EXPECT_EQ(typingValues.back(), 1);

    // A composer holding only a line break has nothing to send.
    SetWindowTextW(composer, L"\r\n");
    App().ChatWindow()->SendCurrentMessage();
    PumpFor(100);
    EXPECT_EQ(fake.Count(account, PM_SEND_MESSAGE), 2);

    // The bar's send button sends too (the settings show it on demand).
    CMessageBarWnd* bar = App().ChatWindow()->Bar();
    ASSERT_NE(bar, nullptr);
    SetWindowTextW(composer, L"by the button");
    SendMessageW(bar->SendButton(), WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));
    SendMessageW(bar->SendButton(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    ASSERT_TRUE(PumpUntil([&] { return fake.Count(account, PM_SEND_MESSAGE) == 3; }));

    // With Enter writing line breaks, the composer grows with each line up to three, then scrolls.
    App().ChatWindow()->GetSettings()->sendOnEnter = 0;
    SetWindowTextW(composer, L"");
    std::vector<int> heights;
    for (int line = 0; line < 4; ++line) {
        if (line) SendMessageW(composer, WM_CHAR, L'\r', 0);
        SendMessageW(composer, WM_CHAR, L'x', 0);
        RECT r;
        GetWindowRect(composer, &r);
        heights.push_back(r.bottom - r.top);
    }
    EXPECT_LT(heights[0], heights[1]);
    EXPECT_LT(heights[1], heights[2]);
    EXPECT_EQ(heights[2], heights[3]);
    TestSupport::SaveScreenshot(App().ChatWindow()->GetWindow(), false, L"ChatComposerThreeLines.png");
    EXPECT_EQ(fake.Count(account, PM_SEND_MESSAGE), 3);

    // The composer's menu: the replies first, then what the log offers; a reply goes in at the caret.
    struct Script {
        std::vector<int> ids;
        std::wstring firstText;
        int pick;
    } script{{}, L"", 7};
    SetPopupMenuRunner(
        [](void* context, const CPopupMenu& menu, const RECT&, const POINT&, int) {
            Script* s = static_cast<Script*>(context);
            s->ids.clear();
            for (int i = 0; i < menu.GetCount(); ++i) s->ids.push_back(menu.items[i].commandId);
            s->firstText = menu.items[0].text.GetBuffer();
            return PopupMenuResult{nullptr, s->pick, 0};
        },
        &script);
    SetWindowTextW(composer, L"");
    SendMessageW(composer, WM_CONTEXTMENU, WPARAM(composer), MAKELPARAM(5, 5));
    ASSERT_GE(script.ids.size(), 6u);
    EXPECT_EQ(std::vector<int>(script.ids.begin(), script.ids.begin() + 3), (std::vector<int>{7, 8, 9}));
    EXPECT_EQ(script.ids[4], 1);  // "Quote last": the log has lines
    std::vector<wchar_t> typed(64);
    GetWindowTextW(composer, typed.data(), 64);
    EXPECT_STREQ(typed.data(), L"Hi");
    // "Quote last" puts the newest line in quoted form into the composer.
    SetWindowTextW(composer, L"");
    script.pick = 1;
    SendMessageW(composer, WM_CONTEXTMENU, WPARAM(composer), MAKELPARAM(5, 5));
    GetWindowTextW(composer, typed.data(), 64);
    EXPECT_EQ(std::wstring(typed.data()).substr(0, 2), L"> ");
    // Replies off the menu's top go into their own submenu.
    App().ChatWindow()->GetSettings()->repliesInContextMenu = 0;
    script.pick = -1;
    SendMessageW(composer, WM_CONTEXTMENU, WPARAM(composer), MAKELPARAM(5, 5));
    EXPECT_EQ(script.firstText, std::wstring(GuiText(129).GetBuffer()));
    SetPopupMenuRunner(nullptr, nullptr);
}

TEST_F(AppMessages, TabsFollowTheContactsStatusTypingAliasAndRemoval)
{
    App().OpenChat(contact);
    ContactListDataService->PostTypingNotify(contact, 0);
    ASSERT_TRUE(PumpUntil([&] {
        const TabPage* tab = App().ChatWindow()->FindPage(contact);
        return tab->icons.GetCount() == 1 && tab->icons[0] == 49;
    }));
    // Typing over: the contact's own icons from its account (the fake gives its id's low byte).
    ContactListDataService->PostTypingNotify(contact, 1);
    ASSERT_TRUE(PumpUntil([&] {
        const TabPage* tab = App().ChatWindow()->FindPage(contact);
        return tab->icons.GetCount() == 1 && tab->icons[0] == (contact & 0xFF);
    }));
    ContactListDataService->SetPropertyString(contact, CZELString(L"CL Alias"), CZELString(L"Robert"));
    ContactListDataService->NotifyContactChanged(contact);
    ASSERT_TRUE(PumpUntil([&] { return Wide(App().ChatWindow()->FindPage(contact)->caption) == L"Robert"; }));
    ContactListDataService->RemoveContact(contact);
    ASSERT_TRUE(PumpUntil([&] { return !App().ChatWindow()->HasTab(contact); }));
}

TEST_F(AppMessages, AccountStatusesComeBackAfterARestart)
{
    ProtocolsManagerService->SetStatus(account, AccountStatus::FreeForChat);
    ASSERT_TRUE(PumpUntil([&] {
        int status = -1;
        return ProtocolsManagerService->GetStatus(account, &status) == 0 && status == AccountStatus::FreeForChat;
    }));
    run->Close();
    run.reset();
    fake.clearLog();

    AppRun again(folder);
    ASSERT_TRUE(again.started);
    ASSERT_EQ(ProtocolsManagerService->GetAccountCount(), 1);
    unsigned restored = ProtocolsManagerService->GetAccountId(0);
    ASSERT_TRUE(PumpUntil([&] { return fake.Count(restored, PM_SET_STATUS) == 1; }));
    for (const FakeLogEntry& entry : fake.Log(restored)) {
        if (entry.code == PM_SET_STATUS) {
            EXPECT_EQ(entry.v1, intptr_t(AccountStatus::FreeForChat));
        }
    }
    char stored = 0;
    EXPECT_TRUE(ProtocolsManagerService->GetAccountByte(restored, L"Status", &stored));
    EXPECT_EQ(stored, char(AccountStatus::FreeForChat));
}

TEST_F(AppMessages, TheGlobalStatusTableTakesTheCurrentLanguage)
{
    CZELString title;
    CZELArray<StatusEntry> table;
    App().FillGlobalStatusTable(title, table);
    EXPECT_EQ(Wide(title), L"Global status");
    ASSERT_EQ(table.GetCount(), 15);
    int order[] = {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 2, 3, 4, 1, 0};
    for (int i = 0; i < 15; ++i) EXPECT_EQ(table[i].status, order[i]);
    EXPECT_EQ(Wide(table[0].name), L"Free for Chat");
    EXPECT_EQ(table[0].images.GetCount(), 2);
    EXPECT_EQ(table[12].images[0], 8);
    EXPECT_EQ(table[10].images.GetCount(), 1);
    EXPECT_EQ(table[14].images[0], 13);

    // A language change reaches the manager, which asks for the table again.
    App().Settings().language = L"Test";
    App().Resources()->OnOptionChanged(OPT_LANGUAGE);
    App().ApplyOption(OPT_LANGUAGE);
    ASSERT_TRUE(PumpUntil([&] {
        StatusEntry offline;
        ProtocolsManagerService->GetStatusInfo(0, 0, &offline);
        return Wide(offline.name) == L"\x0412\x044b\x043a\x043b\x044e\x0447\x0435\x043d";
    }));
    App().Settings().language = L"English";
    App().Resources()->OnOptionChanged(OPT_LANGUAGE);
}
