// A chat fed by the test plug-in from its own thread through the contact-list data, as a real
// protocol does: an incoming message fills the contact's open tab, a typing notice puts the typing
// picture on the tab, typing over gives the contact's icons back, and a tab behind another is
// alerted until the user turns to it.
#include "Zel/chat/ChatLogView.h"
#include "Zel/core/tests/plugins/FakeAccountPlugin.h"
#include "Zel/shell/tests/AppTestSupport.h"

#include <gtest/gtest.h>

using namespace AppTest;

TEST(AppChatPlugin, IncomingMessageAndTypingNoticeFromThePluginReachTheOpenTab)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder(L"AppChatPluginTest");
    AccountTest::FakePlugin fake(L"Accounts", L"FakeA");
    AppRun run(folder);
    ASSERT_TRUE(run.started);
    unsigned account = run.NewAccount(L"alice");
    ASSERT_NE(account, 0u);
    int contact = run.NewContact(account, L"bob", L"Bob");
    run.App().OpenChat(contact);
    CChatDlg* chat = run.App().ChatWindow();
    ASSERT_TRUE(chat->HasTab(contact));

    ASSERT_EQ(fake.notify(account, FAKE_INCOMING_MESSAGE, contact, L"hello from bob", 7), 1);
    ASSERT_TRUE(PumpUntil([&] {
        const CChatDlg::Tab* tab = chat->FindTab(contact);
        for (int i = 0; tab && i < tab->entries.GetCount(); ++i)
            if (tab->entries[i].direction == ChatLineIncoming && tab->entries[i].text == L"hello from bob") return true;
        return false;
    }));
    const CChatDlg::Tab* tab = chat->FindTab(contact);
    ASSERT_NE(tab->log, nullptr);
    EXPECT_GE(tab->log->GetParagraphCount(), 1);

    ASSERT_EQ(fake.notify(account, FAKE_TYPING, contact, nullptr, 0), 1);
    ASSERT_TRUE(PumpUntil([&] {
        const TabPage* t = chat->FindPage(contact);
        return t->icons.GetCount() == 1 && t->icons[0] == 49;
    }));
    ASSERT_EQ(fake.notify(account, FAKE_TYPING, contact, nullptr, 1), 1);
    ASSERT_TRUE(PumpUntil([&] {
        const TabPage* t = chat->FindPage(contact);
        return t->icons.GetCount() == 1 && t->icons[0] == (contact & 0xFF);
    }));

    // A message for a tab behind another alerts it; turning to the tab clears the alert.
    int other = run.NewContact(account, L"carol", L"Carol");
    run.App().OpenChat(other);
    ASSERT_EQ(chat->GetCurrentPageId(), other);
    ASSERT_EQ(fake.notify(account, FAKE_INCOMING_MESSAGE, contact, L"are you there?", 8), 1);
    ASSERT_TRUE(PumpUntil([&] { return chat->FindPage(contact)->alert != -1; }));
    chat->ShowTab(contact);
    EXPECT_EQ(chat->FindPage(contact)->alert, -1);
}

// The arrows at the composer's edges: the caret jumps to the text's start or end on the first or
// last line, and past either end the focus moves on to the window's next or previous control.
TEST(AppChatPlugin, ComposerArrowsJumpToTheEdgesThenMoveTheFocus)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder(L"AppChatComposerKeysTest");
    AccountTest::FakePlugin fake(L"Accounts", L"FakeA");
    AppRun run(folder);
    ASSERT_TRUE(run.started);
    unsigned account = run.NewAccount(L"alice");
    ASSERT_NE(account, 0u);
    int contact = run.NewContact(account, L"bob", L"Bob");
    run.App().OpenChat(contact);
    CChatDlg* chat = run.App().ChatWindow();
    ASSERT_NE(chat->Bar(), nullptr);
    HWND composer = chat->FindTab(contact)->composer;
    SetWindowTextW(composer, L"abc");
    SetFocus(composer);
    ASSERT_EQ(GetFocus(), composer);
    auto press = [&](int key) { SendMessageW(composer, WM_KEYDOWN, WPARAM(key), 0); };
    auto selection = [&] {
        DWORD from = 0, to = 0;
        SendMessageW(composer, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        return std::make_pair(int(from), int(to));
    };

    SendMessageW(composer, EM_SETSEL, 1, 1);
    press(VK_UP);
    EXPECT_EQ(selection(), std::make_pair(0, 0));
    EXPECT_EQ(GetFocus(), composer);
    SendMessageW(composer, EM_SETSEL, 1, 1);
    press(VK_DOWN);
    EXPECT_EQ(selection(), std::make_pair(3, 3));
    EXPECT_EQ(GetFocus(), composer);

    // At the end, Right leaves the composer; at the start, Left leaves it the other way.
    press(VK_RIGHT);
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() != composer; }));
    SetFocus(composer);
    SendMessageW(composer, EM_SETSEL, 0, 0);
    press(VK_LEFT);
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() != composer; }));
}
