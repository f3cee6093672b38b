// The notifier against the shell layer's recorder: which entry the bubble shows as notifications
// arrive, close and are answered; the tray rules; "Turn off"; the blinking icon and the LED; and
// the HTML builders, whose escaping keeps a peer's text from adding markup.
#include "Zel/shell/notify/Notifier.h"

#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/alerts/NotificationLed.h"
#include "Zel/shell/notify/GlobalStatusQuery.h"
#include "Zel/shell/notify/NotifyHtml.h"
#include "ZELCommon/tests/UiTestSupport.h"
#include "Handheld/Nled.h"
#include "Handheld/Notification.h"
#include "Handheld/Shell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring W(const CZELString& text)
{
    return std::wstring(text.GetBuffer() ? text.GetBuffer() : L"", size_t(text.GetLength()));
}

struct Callbacks : INotifierCallbacks {
    void OpenContact(int item, bool open) override { calls.push_back(L"open " + std::to_wstring(item) + (open ? L" 1" : L" 0")); }
    void OnUpdateReady(int build, bool download) override
    {
        calls.push_back(L"update " + std::to_wstring(build) + (download ? L" download" : L" install"));
    }
    std::vector<std::wstring> calls;
};

// The notifier with the program's answers replaced.
class TestNotifier : public CNotifier {
public:
    TestNotifier(INotifierCallbacks* callbacks, GlobalSettings& settings) : CNotifier(callbacks, settings) {}
    bool inFront = false;

protected:
    CZELString ContactAlias(int contact) override { return CZELString((L"Contact" + std::to_wstring(contact)).c_str()); }
    CZELString StatusBody(int contact, bool online) override
    {
        return NotifyHtml::StatusHtml(ContactAlias(contact), online, CZELString(online ? L"Online" : L"Offline"),
                                      CZELString(L"Wex"), CZELString(L"me"));
    }
    bool MainWindowInFront() override { return inFront; }
};

int g_globalStatus = 2;
bool GlobalStatus(int* status)
{
    *status = g_globalStatus;
    return true;
}

class Notifier : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        settings.showMessages = true;
        settings.notifySignOn = settings.notifySignOff = true;
        settings.useBlinking = true;
        settings.blinkLed = settings.vibraLed = 255;
        const LONG devices[] = {0, -1};
        HandheldSetNledDevices(devices, 2);
        ForgetNotificationLed();
        g_globalStatus = 2;
        SetGlobalStatusQuery(GlobalStatus);
        HandheldResetNotificationLog();
        notifier.reset(new TestNotifier(&callbacks, settings));
        ASSERT_NE(notifier->TargetWindow(), nullptr);
    }
    void TearDown() override
    {
        notifier.reset();
        SetGlobalStatusQuery(nullptr);
    }

    HandheldNotificationLog Log()
    {
        HandheldNotificationLog log;
        HandheldGetNotificationLog(&log);
        return log;
    }
    // The shown entry's kind, -1 for none.
    int ShownKind() { return notifier->CurrentIndex() < 0 ? -1 : notifier->Entries()[notifier->CurrentIndex()].kind; }
    void Send(UINT message, WPARAM wParam) { SendMessageW(notifier->TargetWindow(), message, wParam, 0); }
    void CloseTime() { Send(WM_TIMER, CNotifier::CloseTimer); }
    void Blink() { Send(WM_TIMER, CNotifier::BlinkTimer); }
    void Key(int command) { Send(WM_COMMAND, WPARAM(command)); }
    int LedState()
    {
        NLED_SETTINGS_INFO state = {};
        HandheldGetNledState(0, &state);
        return state.OffOnBlink;
    }

    GlobalSettings settings;
    Callbacks callbacks;
    std::unique_ptr<TestNotifier> notifier;
};

}  // namespace

TEST(NotifyHtml, BuildersEscapeBeforeMarkup)
{
    struct Case {
        const char* name;
        const wchar_t* text;
        const wchar_t* html;
    } cases[] = {
        {"plain", L"hello", L"hello"},
        {"empty", L"", L""},
        {"line breaks", L"a\r\nb\r\n", L"a<br>b<br>"},
        {"lone breaks stay", L"a\nb\rc", L"a\nb\rc"},
        {"markup as text", L"<b>bold</b>", L"&lt;b&gt;bold&lt;/b&gt;"},
        {"ampersand and quotes", L"Tom & \"Jerry\"", L"Tom &amp; &quot;Jerry&quot;"},
        {"entity stays literal", L"&lt;", L"&amp;lt;"},
        {"tag built from breaks", L"<\r\nbr>", L"&lt;<br>br&gt;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(W(NotifyHtml::TextToHtml(CZELString(c.text))), c.html);
        EXPECT_EQ(W(NotifyHtml::MessageToHtml(CZELString(c.text))), c.html);
    }
    EXPECT_EQ(W(NotifyHtml::StatusHtml(CZELString(L"Ann <3"), true, CZELString(L"Online"), CZELString(L"Wex"),
                                       CZELString(L"a&b"))),
              L"<center><B>[ Ann &lt;3 ]</B></center><center><font color=\"#000088\"><B>Online</B></font></center>"
              L"<br><center>Wex a&amp;b</center>");
    EXPECT_EQ(W(NotifyHtml::StatusHtml(CZELString(L"Bob"), false, CZELString(L"Offline"), CZELString(L"X"),
                                       CZELString(L"y"))),
              L"<center><B>[ Bob ]</B></center><center><font color=\"#880000\"><B>Offline</B></font></center>"
              L"<br><center>X y</center>");
}

TEST(NotifierRules, WhatGoesStraightToTheTray)
{
    struct Case {
        const char* name;
        int kind;
        bool showMessages, dontShowIfOccupied;
        int status;  // -1: unknown
        bool dontShowIfActive, inFront;
        bool tray;
    } cases[] = {
        {"message pops up", NK_MESSAGE, true, false, 2, false, false, false},
        {"waiting message in the tray", NK_MESSAGE_WAITING, true, false, 2, false, false, true},
        {"status pops up", NK_STATUS, true, false, 2, false, false, false},
        {"show msg off: message to tray", NK_MESSAGE, false, false, 2, false, false, true},
        {"show msg off: warning to tray", NK_WARNING, false, false, 2, false, false, true},
        {"show msg off: mail to tray", NK_MAIL, false, false, 2, false, false, true},
        {"show msg off: update offers pop up", NK_UPDATE_AVAILABLE, false, false, 2, false, false, false},
        {"show msg off: ready update pops up", NK_UPDATE_READY, false, false, 2, false, false, false},
        {"occupied 13", NK_MESSAGE, true, true, 13, false, false, true},
        {"not available 12", NK_MESSAGE, true, true, 12, false, false, true},
        {"online 2 while occupied rule on", NK_MESSAGE, true, true, 2, false, false, false},
        {"status unknown", NK_MESSAGE, true, true, -1, false, false, false},
        {"occupied rule off", NK_MESSAGE, true, false, 13, false, false, false},
        {"occupied rule only for messages", NK_STATUS, true, true, 13, false, false, false},
        {"active: main window in front", NK_MESSAGE, true, false, 2, true, true, true},
        {"active: elsewhere pops up", NK_MESSAGE, true, false, 2, true, false, false},
        {"active decides over occupied", NK_MESSAGE, true, true, 13, true, false, false},
        {"active and occupied, in front", NK_MESSAGE, true, true, 13, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CNotifier::GoesToTray(c.kind, c.showMessages, c.dontShowIfOccupied, c.status >= 0, c.status,
                                        c.dontShowIfActive, c.inFront),
                  c.tray);
    }
}

TEST_F(Notifier, ArrivalsChooseTheShownEntry)
{
    // A message while an update offer shows waits; the offer keeps the bubble until answered.
    notifier->ShowUpdate(4321, true);
    notifier->ShowMessage(7, 24, 5, CZELString(L"hi"));
    EXPECT_EQ(ShownKind(), int(NK_UPDATE_AVAILABLE));
    HandheldNotificationLog log = Log();
    EXPECT_EQ(std::wstring(log.title), L"Information");
    EXPECT_NE(std::wstring(log.html).find(L"(4321)"), std::wstring::npos);
    EXPECT_EQ(log.softKeyCount, 2);
    EXPECT_EQ(log.softKeyCommand[0], DWORD(CNotifier::CommandOpen));
    EXPECT_EQ(std::wstring(log.softKeyTitle[0]), L"OK");
    EXPECT_EQ(log.duration, 0xFFFFFFFFu);
    EXPECT_EQ(log.id, 1001u);
    EXPECT_EQ(log.priority, SHNP_INFORM);
    EXPECT_EQ(log.flags, SHNF_SILENT);
    EXPECT_EQ(std::wstring(log.todayKey), L"ZEL");
    EXPECT_EQ(log.sink, notifier->TargetWindow());
    Key(CNotifier::CommandOpen);
    EXPECT_EQ(callbacks.calls.back(), L"update 4321 download");

    // The message now shows; 7 s later it waits (in the tray, "Show msg" on).
    EXPECT_EQ(ShownKind(), int(NK_MESSAGE));
    log = Log();
    EXPECT_EQ(std::wstring(log.title), L"Contact5");
    EXPECT_EQ(std::wstring(log.softKeyTitle[0]), L"Open");
    EXPECT_EQ(std::wstring(log.softKeyTitle[1]), L"Hide");
    EXPECT_TRUE(log.popup);
    CloseTime();
    EXPECT_EQ(ShownKind(), int(NK_MESSAGE_WAITING));
    EXPECT_TRUE(Log().present);
    EXPECT_FALSE(Log().popup);

    // A new message takes the bubble from the waiting one, which stays pending.
    notifier->ShowMessage(8, 24, 6, CZELString(L"second"));
    EXPECT_EQ(ShownKind(), int(NK_MESSAGE));
    EXPECT_EQ(notifier->Entries()[notifier->CurrentIndex()].contact, 6);
    EXPECT_EQ(notifier->Entries().GetCount(), 2);

    // "Open" opens the contact's chat (not the message number).
    Key(CNotifier::CommandOpen);
    EXPECT_EQ(callbacks.calls.back(), L"open 6 1");
    EXPECT_EQ(ShownKind(), int(NK_MESSAGE_WAITING));
    // Hiding the only pending entry leaves no bubble and no timers.
    Key(CNotifier::CommandHide);
    EXPECT_EQ(notifier->Entries().GetCount(), 0);
    EXPECT_EQ(notifier->CurrentIndex(), -1);
    EXPECT_FALSE(Log().present);
    EXPECT_FALSE(KillTimer(notifier->TargetWindow(), CNotifier::CloseTimer));
    EXPECT_FALSE(KillTimer(notifier->TargetWindow(), CNotifier::BlinkTimer));
}

TEST_F(Notifier, TwoMessagesInARowAndLowerKindsFirst)
{
    notifier->ShowMessage(1, 24, 5, CZELString(L"one"));
    notifier->ShowMessage(2, 24, 6, CZELString(L"two"));
    EXPECT_EQ(notifier->Entries()[notifier->CurrentIndex()].contact, 5);
    CloseTime();
    // The first waits; the second (lower kind) shows.
    EXPECT_EQ(ShownKind(), int(NK_MESSAGE));
    EXPECT_EQ(notifier->Entries()[notifier->CurrentIndex()].contact, 6);
    CloseTime();
    // Both wait now: the earliest shows.
    EXPECT_EQ(ShownKind(), int(NK_MESSAGE_WAITING));
    EXPECT_EQ(notifier->Entries()[notifier->CurrentIndex()].contact, 5);

    // Warnings, mail and status close for good on their time.
    notifier->ShowInfo(CZELString(L"careful"));
    EXPECT_EQ(ShownKind(), int(NK_WARNING));
    EXPECT_EQ(Log().softKeyCount, 1);
    EXPECT_EQ(Log().softKeyCommand[0], DWORD(CNotifier::CommandOk));
    notifier->ShowMail(CZELString(L"3 letters"), CZELString(L"http://mail.example/"));
    notifier->ShowContactOnline(9);
    EXPECT_EQ(ShownKind(), int(NK_WARNING));
    CloseTime();
    EXPECT_EQ(ShownKind(), int(NK_MAIL));
    EXPECT_EQ(std::wstring(Log().title), L"Email");
    CloseTime();
    EXPECT_EQ(ShownKind(), int(NK_STATUS));
    EXPECT_NE(std::wstring(Log().html).find(L"[ Contact9 ]"), std::wstring::npos);
    Key(CNotifier::CommandOk);
    EXPECT_EQ(ShownKind(), int(NK_MESSAGE_WAITING));
    EXPECT_EQ(notifier->Entries().GetCount(), 2);

    // The chat reports contact 5's messages seen: its entry goes, the other shows.
    notifier->RemoveContactNotifications(5);
    EXPECT_EQ(notifier->Entries().GetCount(), 1);
    EXPECT_EQ(notifier->Entries()[notifier->CurrentIndex()].contact, 6);
    notifier->RemoveContactNotifications(6);
    EXPECT_EQ(notifier->Entries().GetCount(), 0);
    EXPECT_FALSE(Log().present);
}

TEST_F(Notifier, MailOpensItsLinkAndKeysWithNothingPendingDoNothing)
{
    std::vector<std::wstring> opened;
    SetShellOpenInterceptor(
        [](LPCWSTR address, void* context) -> BOOL {
            static_cast<std::vector<std::wstring>*>(context)->push_back(address);
            return TRUE;
        },
        &opened);
    notifier->ShowMail(CZELString(L"new <mail>"), CZELString(L"http://mail.example/"));
    EXPECT_EQ(std::wstring(Log().html), L"new &lt;mail&gt;");
    Key(CNotifier::CommandOpen);
    SetShellOpenInterceptor(nullptr, nullptr);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], L"http://mail.example/");
    // Nothing pending: no key, timer or blink reads the empty list.
    for (int command : {CNotifier::CommandOpen, CNotifier::CommandHide, CNotifier::CommandOk}) Key(command);
    CloseTime();
    Blink();
    EXPECT_TRUE(callbacks.calls.empty());
    EXPECT_EQ(notifier->CurrentIndex(), -1);
}

TEST_F(Notifier, BlinkingIconAndLed)
{
    struct Case {
        const char* name;
        bool turnOff, dontBlink, useBlinking;
        bool bubble, iconBlinks, led;
    } cases[] = {
        {"all on", false, false, true, true, true, true},
        {"no LED", false, false, false, true, true, false},
        {"dont blinking: LED still", false, true, true, true, false, true},
        {"turn off: no bubble, LED still", true, false, true, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings.turnOffEvents = c.turnOff;
        settings.dontBlink = c.dontBlink;
        settings.useBlinking = c.useBlinking;
        HandheldResetNotificationLog();
        notifier->ShowMessage(1, 24, 5, CZELString(L"hi"));
        EXPECT_EQ(bool(Log().present), c.bubble);
        HICON shown = Log().icon;
        Blink();
        EXPECT_EQ(Log().icon != shown, c.iconBlinks);
        Blink();
        if (c.bubble) EXPECT_EQ(Log().icon, shown);
        EXPECT_EQ(LedState(), c.led ? 2 : 0);
        EXPECT_EQ(notifier->LedBlinking(), c.led);
        // Waiting keeps the LED; opening stops it.
        CloseTime();
        Blink();
        EXPECT_EQ(LedState(), c.led ? 2 : 0);
        Key(CNotifier::CommandOpen);
        EXPECT_EQ(LedState(), 0);
        EXPECT_FALSE(notifier->LedBlinking());
        EXPECT_FALSE(Log().present);
    }
    // "Turn off" silences sign-on and sign-off, not warnings.
    settings.turnOffEvents = true;
    notifier->ShowContactOnline(3);
    notifier->ShowContactOffline(3);
    EXPECT_EQ(notifier->Entries().GetCount(), 0);
    notifier->ShowInfo(CZELString(L"still"));
    EXPECT_TRUE(Log().present);
}

TEST_F(Notifier, BubbleGoesToTheTrayByTheSettings)
{
    struct Case {
        const char* name;
        bool showMessages, occupiedRule;
        int status;
        bool activeRule, inFront;
        bool popup;
    } cases[] = {
        {"pops up", true, false, 2, false, false, true},
        {"occupied 13", true, true, 13, false, false, false},
        {"not available 12", true, true, 12, false, false, false},
        {"online 2", true, true, 2, false, false, true},
        {"main window active", true, false, 2, true, true, false},
        {"show msg off", false, false, 2, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings.showMessages = c.showMessages;
        settings.dontShowIfOccupied = c.occupiedRule;
        settings.dontShowIfActive = c.activeRule;
        g_globalStatus = c.status;
        notifier->inFront = c.inFront;
        notifier->ShowMessage(1, 24, 5, CZELString(L"hi"));
        EXPECT_TRUE(Log().present);
        EXPECT_EQ(bool(Log().popup), c.popup);
        EXPECT_EQ((Log().flags & SHNF_STRAIGHTTOTRAY) != 0, !c.popup);
        Key(CNotifier::CommandHide);
    }
}

TEST_F(Notifier, TargetWindowWithoutItsNotifierIsAPlainWindow)
{
    // A window of the class made without a notifier gets the default handling throughout, its
    // creation included.
    HWND window = CreateWindowExW(0, L"ZELNotificationsTargetWindow", L"plain", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    wchar_t text[16] = L"";
    GetWindowTextW(window, text, 16);
    EXPECT_EQ(std::wstring(text), L"plain");
    SendMessageW(window, WM_TIMER, CNotifier::CloseTimer, 0);
    SendMessageW(window, WM_COMMAND, CNotifier::CommandOpen, 0);
    DestroyWindow(window);
    // The notifier's own window ends with it, and its bubble with it.
    notifier->ShowInfo(CZELString(L"x"));
    HWND target = notifier->TargetWindow();
    notifier.reset();
    EXPECT_FALSE(IsWindow(target));
    EXPECT_FALSE(Log().present);
}

TEST_F(Notifier, ManyPendingEntriesLeaveInAnyOrder)
{
    // Messages from 40 contacts, some waiting, with warnings between; then every contact's
    // messages are seen in a scrambled order. The shown entry always exists and is the bubble's.
    for (int i = 1; i <= 40; ++i) {
        notifier->ShowMessage(i, 24, i, CZELString(L"m"));
        if (i % 3 == 0) CloseTime();
        if (i % 7 == 0) notifier->ShowInfo(CZELString(L"w"));
    }
    for (int step = 0; step < 40; ++step) {
        int contact = (step * 17) % 40 + 1;
        notifier->RemoveContactNotifications(contact);
        for (int i = 0; i < notifier->Entries().GetCount(); ++i) ASSERT_NE(notifier->Entries()[i].contact, contact);
        int current = notifier->CurrentIndex();
        ASSERT_TRUE(current >= -1 && current < notifier->Entries().GetCount());
        EXPECT_EQ(current >= 0, bool(Log().present));
        if (current >= 0 && notifier->Entries()[current].kind >= NK_MESSAGE)
            EXPECT_EQ(std::wstring(Log().title), L"Contact" + std::to_wstring(notifier->Entries()[current].contact));
    }
    // Only the warnings are left (contact 0); closing them empties the list.
    while (notifier->CurrentIndex() >= 0) Key(CNotifier::CommandOk);
    EXPECT_EQ(notifier->Entries().GetCount(), 0);
    EXPECT_FALSE(Log().present);
}
