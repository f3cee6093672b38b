// Notifications through the real core and a fake account: an incoming message raises its bubble
// (title, text with its markup shown as text, both keys on screen), waits after its time, "Open"
// opens the contact's chat; every message plays its alert.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Zel/shell/alerts/AlertPlayer.h"
#include "Zel/shell/alerts/SoundPlayer.h"
#include "Zel/shell/alerts/VibraPlayer.h"
#include "Zel/shell/notify/Notifier.h"
#include "Zel/chat/ChatLogView.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "Zel/shell/tests/AlertTestSupport.h"
#include "ZELCommon/tests/WindowScreenshot.h"
#include "Handheld/BubbleHtml.h"
#include "Handheld/Notification.h"

using namespace AppTest;

namespace {

HandheldNotificationLog Bubble()
{
    HandheldNotificationLog log;
    HandheldGetNotificationLog(&log);
    return log;
}

// Pixels far from the bubble's background inside the rectangle.
int InkIn(const TestSupport::Image& image, int left, int top, int right, int bottom)
{
    uint32_t background = TestSupport::Rgb(GetSysColor(COLOR_INFOBK));
    uint32_t face = TestSupport::Rgb(GetSysColor(COLOR_BTNFACE));
    int ink = 0;
    for (int y = std::max(0, top); y < std::min(image.height, bottom); ++y)
        for (int x = std::max(0, left); x < std::min(image.width, right); ++x) {
            uint32_t pixel = image.At(x, y);
            if (pixel == background || pixel == face) continue;
            int r = int(pixel >> 16), g = int((pixel >> 8) & 0xFF), b = int(pixel & 0xFF);
            if (r + g + b < 3 * 96) ++ink;
        }
    return ink;
}

}  // namespace

TEST(AppNotifications, AMessageBubbleWaitsAndOpensItsChat)
{
    ZEL_REQUIRE_DISPLAY();
    RecordingAudio audio;
    AppFolder folder(L"AppNotificationsTest");
    AccountTest::FakePlugin fake(L"Accounts", L"FakeA");
    AppRun run(folder);
    ASSERT_TRUE(run.started);
    CApplication& app = run.App();
    AlertTest::GiveEventSounds(app.Settings());
    app.Settings().showMessages = true;
    app.Settings().dontShowIfActive = false;
    app.Settings().turnOffEvents = false;
    unsigned account = run.NewAccount(L"alice");
    ASSERT_NE(account, 0u);
    int contact = run.NewContact(account, L"bob", L"Bob");
    CNotifier& notifier = app.Resources()->Notifier();
    // The alert players' hidden windows belong to the main window.
    EXPECT_EQ(GetParent(app.Resources()->Alerts().Sound()), run.Window());
    EXPECT_EQ(GetParent(app.Resources()->Alerts().Vibra()), run.Window());
    int number = 0;
    auto receive = [&](const wchar_t* text) {
        MessageRecord message;
        message.contactId = contact;
        message.messageNumber = ++number;
        message.flags = 0;
        message.kind = -1;
        message.text = text;
        return ContactListDataService->PostIncomingMessage(contact, message);
    };

    ASSERT_TRUE(receive(L"Hello <b>there</b>"));
    ASSERT_TRUE(PumpUntil([] { return Bubble().popup != FALSE; }));
    HandheldNotificationLog log = Bubble();
    EXPECT_EQ(std::wstring(log.title), L"Bob");
    EXPECT_EQ(std::wstring(log.html), L"Hello &lt;b&gt;there&lt;/b&gt;");
    std::vector<BubbleHtml::Run> runs = BubbleHtml::Parse(log.html, 0);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].text, L"Hello <b>there</b>");
    EXPECT_FALSE(runs[0].bold);
    EXPECT_EQ(AlertTest::PlayedCount(audio, 0), 1);

    // On screen: ink in the title, the text and each key.
    PumpFor(100);
    UpdateWindow(log.bubble);
    TestSupport::SaveScreenshot(log.bubble, false, L"AppNotificationsBubble.png");
    TestSupport::Image image;
    ASSERT_TRUE(TestSupport::CaptureWindow(log.bubble, false, &image));
    int w = image.width, h = image.height;
    int keyTop = h - h / 5;
    EXPECT_GT(InkIn(image, w / 8, 0, w, h / 5), 10) << "title";
    EXPECT_GT(InkIn(image, 0, h / 4, w, keyTop - 2), 10) << "text";
    EXPECT_GT(InkIn(image, w / 8, keyTop + 3, w / 2 - w / 8, h - 3), 5) << "Open";
    EXPECT_GT(InkIn(image, w / 2 + w / 8, keyTop + 3, w - w / 8, h - 3), 5) << "Hide";

    // After its time the message waits (in the tray, with "Show msg" on).
    SendMessageW(notifier.TargetWindow(), WM_TIMER, CNotifier::CloseTimer, 0);
    ASSERT_EQ(notifier.CurrentIndex(), 0);
    EXPECT_EQ(notifier.Entries()[0].kind, int(NK_MESSAGE_WAITING));
    EXPECT_FALSE(Bubble().popup);

    // A second message pops up over it; a click on "Open" opens Bob's chat.
    ASSERT_TRUE(receive(L"again"));
    ASSERT_TRUE(PumpUntil([] { return Bubble().popup != FALSE; }));
    HWND bubble = Bubble().bubble;
    RECT client;
    GetClientRect(bubble, &client);
    SendMessageW(bubble, WM_LBUTTONUP, 0, MAKELPARAM(client.right / 4, client.bottom - 3));
    ASSERT_TRUE(PumpUntil([&] { return app.ChatWindow()->HasTab(contact) && app.ChatWindow()->IsVisible(); }));
    EXPECT_EQ(app.ChatWindow()->GetCurrentPageId(), contact);

    EXPECT_EQ(AlertTest::PlayedCount(audio, 0), 2);
}

TEST(AppNotifications, AMessageForTheChatInFrontRaisesNoBubble)
{
    ZEL_REQUIRE_DISPLAY();
    RecordingAudio audio;
    AppFolder folder(L"AppChatInFrontTest");
    AccountTest::FakePlugin fake(L"Accounts", L"FakeA");
    AppRun run(folder);
    ASSERT_TRUE(run.started);
    CApplication& app = run.App();
    app.Settings().showMessages = true;
    app.Settings().dontShowIfActive = false;
    app.Settings().turnOffEvents = false;
    unsigned account = run.NewAccount(L"alice");
    ASSERT_NE(account, 0u);
    int bob = run.NewContact(account, L"bob", L"Bob");
    int carol = run.NewContact(account, L"carol", L"Carol");
    CNotifier& notifier = app.Resources()->Notifier();
    int number = 0;
    auto receive = [&](int contact, const wchar_t* text) {
        MessageRecord message;
        message.contactId = contact;
        message.messageNumber = ++number;
        message.flags = 0;
        message.kind = -1;
        message.text = text;
        return ContactListDataService->PostIncomingMessage(contact, message);
    };
    auto arrived = [&](int contact, int count) {
        const CChatDlg::Tab* tab = app.ChatWindow()->FindTab(contact);
        return tab && tab->entries.GetCount() == count;
    };

    CChatDlg* chat = app.ChatWindow();
    ASSERT_NE(chat->GetWindow(), nullptr);
    EXPECT_EQ(GetWindow(chat->GetWindow(), GW_OWNER), run.Window());
    EXPECT_FALSE(IsWindowVisible(chat->GetWindow()));
    app.OpenChat(bob);
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == chat->GetWindow(); }));
    ASSERT_TRUE(chat->IsInFront(bob));
    int bubbles = notifier.Entries().GetCount();

    // Bob's own tab is in front: his message shows there and raises nothing.
    ASSERT_TRUE(receive(bob, L"you see this"));
    ASSERT_TRUE(PumpUntil([&] { return arrived(bob, 1); }));
    PumpFor(100);
    EXPECT_EQ(notifier.Entries().GetCount(), bubbles);
    // The line stands in Bob's log, painted in the scheme's incoming name and text colours.
    CChatLogView* log = chat->FindTab(bob)->log;
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->GetParagraphCount(), 1);
    UpdateWindow(*log);
    TestSupport::SaveScreenshot(chat->GetWindow(), false, L"ChatWindowIncoming.png");
    TestSupport::Image image;
    ASSERT_TRUE(TestSupport::CaptureWindow(*log, false, &image));
    auto inked = [&](COLORREF colour) {
        int n = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) n += image.At(x, y) == TestSupport::Rgb(colour);
        return n;
    };
    EXPECT_GT(inked(GetSchemeColor(12)), 5) << "name";
    EXPECT_GT(inked(GetSchemeColor(14)), 5) << "text";

    // Carol has no tab in front: her message raises its bubble.
    ASSERT_TRUE(receive(carol, L"and this?"));
    ASSERT_TRUE(PumpUntil([&] { return notifier.Entries().GetCount() == bubbles + 1; }));

    // Closing the window only hides it; Bob's next message raises a bubble too.
    SendMessageW(chat->GetWindow(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(chat->GetWindow()));
    EXPECT_TRUE(chat->HasTab(bob));
    ASSERT_TRUE(receive(bob, L"still there?"));
    ASSERT_TRUE(PumpUntil([&] { return notifier.Entries().GetCount() == bubbles + 2; }));
}
