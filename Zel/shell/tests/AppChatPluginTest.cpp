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
        const CChatDlg::Tab* t = chat->FindTab(contact);
        return t->icons.GetCount() == 1 && t->icons[0] == 49;
    }));
    ASSERT_EQ(fake.notify(account, FAKE_TYPING, contact, nullptr, 1), 1);
    ASSERT_TRUE(PumpUntil([&] {
        const CChatDlg::Tab* t = chat->FindTab(contact);
        return t->icons.GetCount() == 1 && t->icons[0] == (contact & 0xFF);
    }));

    // A message for a tab behind another alerts it; turning to the tab clears the alert.
    int other = run.NewContact(account, L"carol", L"Carol");
    run.App().OpenChat(other);
    ASSERT_EQ(chat->GetCurrentPageId(), other);
    ASSERT_EQ(fake.notify(account, FAKE_INCOMING_MESSAGE, contact, L"are you there?", 8), 1);
    ASSERT_TRUE(PumpUntil([&] { return chat->FindTab(contact)->alert != -1; }));
    chat->ShowTab(contact);
    EXPECT_EQ(chat->FindTab(contact)->alert, -1);
}
