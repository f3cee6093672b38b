// The application's main window in the test program: soft keys, the contact list over the status
// strip, the queue "GUI" and its events onto the window, the tray icon, and the shutdown.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/prefs/PreferencesDialog.h"
#include "Zel/shell/ZelResources.h"
#include "Handheld/Device.h"
#include "Handheld/Power.h"
#include "Handheld/Shell.h"
#include "Handheld/ShellUi.h"
#include "Zel/core/skin/SkinImages.h"
#include "Zel/core/tests/TestPictures.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "Zel/shell/alerts/AlertPlayer.h"
#include "Zel/shell/notify/Notifier.h"
#include "Zel/shell/tests/AlertTestSupport.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <mutex>
#include <vector>

using namespace AppTest;

namespace {

std::wstring SoftKeyText(HWND bar, int command, bool* enabled)
{
    wchar_t text[64] = L"";
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_TEXT | TBIF_STATE;
    info.pszText = text;
    info.cchText = 64;
    SendMessageW(bar, TB_GETBUTTONINFOW, WPARAM(command), LPARAM(&info));
    *enabled = (info.fsState & TBSTATE_ENABLED) != 0;
    return text;
}

int ThreadCount()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

// The tray's calls as the application made them, and on which thread.
struct TrayCall {
    DWORD message;
    UINT id;
    UINT callback;
    bool icon;
    DWORD thread;
};
std::mutex TrayLock;
std::vector<TrayCall> TrayCalls;

BOOL RecordTray(DWORD message, NOTIFYICONDATAW* data)
{
    std::lock_guard<std::mutex> hold(TrayLock);
    TrayCalls.push_back({message, data->uID, data->uCallbackMessage, data->hIcon != nullptr, GetCurrentThreadId()});
    return TRUE;
}

std::vector<TrayCall> Tray()
{
    std::lock_guard<std::mutex> hold(TrayLock);
    return TrayCalls;
}

class AppWindow : public ::testing::Test {
protected:
    AppWindow() : folder(L"AppWindowTest") {}
    void SetUp() override { ZEL_REQUIRE_DISPLAY(); }

    AppFolder folder;
};

}  // namespace

TEST_F(AppWindow, StandsWithItsSoftKeysAndTheStatusStripAboveThem)
{
    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        SetScreenLogPixels(dpi);
        AppRun run(folder);
        ASSERT_TRUE(run.started);
        HWND window = run.Window();
        EXPECT_EQ(FindWindowW(L"ZELWM_APPLICATION_CLASS", L"ZEL PDA"), window);
        EXPECT_EQ(g_HIDPI_LogPixelsY, dpi);
        HWND bar = run.App().GetMenuBar();
        ASSERT_NE(bar, nullptr);
        bool enabled = false;
        EXPECT_EQ(SoftKeyText(bar, IDM_SOFTKEY_LEFT, &enabled), L"Menu");
        EXPECT_TRUE(enabled);
        EXPECT_EQ(SoftKeyText(bar, IDM_SOFTKEY_RIGHT, &enabled), L"");
        EXPECT_FALSE(enabled);

        RECT client = {}, barRect = TestSupport::RectIn(bar, window);
        GetClientRect(window, &client);
        RECT list = TestSupport::RectIn(*run.App().ContactList(), window);
        RECT strip = TestSupport::RectIn(*run.App().TopPanel(), window);
        int height = (dpi * 28 + 48) / 96;
        EXPECT_EQ(strip.bottom, barRect.top);
        EXPECT_EQ(strip.bottom - strip.top, height);
        EXPECT_EQ(list.top, 0);
        EXPECT_EQ(list.bottom, strip.top);
        EXPECT_EQ(list.right - list.left, client.right);
        // A new size lays the children out again.
        SetWindowPos(window, nullptr, 0, 0, 300, 400, SWP_NOZORDER | SWP_NOMOVE);
        PumpFor(50);
        GetClientRect(window, &client);
        barRect = TestSupport::RectIn(bar, window);
        strip = TestSupport::RectIn(*run.App().TopPanel(), window);
        EXPECT_EQ(strip.bottom, barRect.top);
        EXPECT_EQ(strip.right, client.right);
        run.Close();
        EXPECT_EQ(FindWindowW(L"ZELWM_APPLICATION_CLASS", L"ZEL PDA"), nullptr);
    }
    SetScreenLogPixels(0);
}

TEST_F(AppWindow, MessagesBeforeTheApplicationIsKnownGoToTheDefaultProcedure)
{
    // The class's procedure before any window of it stored its application: creation succeeds.
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = CApplicationBase::MainWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"AppWindowTestNoApplication";
    ASSERT_TRUE(RegisterClassW(&windowClass));
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"x", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    EXPECT_NE(window, nullptr);
    if (window) DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
}

TEST_F(AppWindow, TheStatusPanelFollowsTheAccountsThroughTheQueue)
{
    AppRun run(folder);
    ASSERT_TRUE(run.started);
    AccountTest::FakePlugin fake(L"Accounts", L"FakeA");
    ASSERT_TRUE(fake.Loaded());
    unsigned account = run.NewAccount(L"alice");
    ASSERT_NE(account, 0u);
    CTopPanelWnd& panel = *run.App().TopPanel();
    ASSERT_TRUE(PumpUntil([&] { return panel.GetGroupOrder() == std::vector<unsigned>{account}; }));

    // The account's own icons, as the core relays them: add, set, remove.
    fake.notify(account, ACC_ICON_ADD, 14, nullptr, FAKE_NOTIFY_OWN);
    fake.notify(account, ACC_ICON_ADD, 30, nullptr, FAKE_NOTIFY_OWN);
    ASSERT_TRUE(PumpUntil([&] { return panel.GetAccountCells(account).size() == 2; }));
    fake.notify(account, ACC_ICON_SET, 1, nullptr, FAKE_NOTIFY_OWN);
    ASSERT_TRUE(PumpUntil([&] { return panel.GetAccountCells(account)[1] == std::vector<int>{1}; }));
    // The status replaces cell 0.
    fake.notify(account, ACC_STATUS_CHANGED, AccountStatus::Away, nullptr, FAKE_NOTIFY_OWN);
    ASSERT_TRUE(PumpUntil([&] { return panel.GetAccountCells(account)[0] == std::vector<int>{AccountStatus::Away}; }));
    fake.notify(account, ACC_ICON_REMOVE, 1, nullptr, FAKE_NOTIFY_OWN);
    ASSERT_TRUE(PumpUntil([&] { return panel.GetAccountCells(account).size() == 1; }));
    // The global status cell starts offline and follows the global status.
    EXPECT_EQ(panel.GetGlobalCells().size(), 1u);
    ProtocolsManagerService->RemoveAccount(account);
    ASSERT_TRUE(PumpUntil([&] { return panel.GetGroupOrder().empty(); }));
}

TEST_F(AppWindow, WithoutAccountsThePreferencesOpenAtTheAccountsPage)
{
    int opened = PreferencesOpened();
    AppRun run(folder, L"Missing");
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(PumpUntil([&] { return PreferencesOpened() > opened; }));
    EXPECT_EQ(LastPreferencesPage(), PreferencesAccountsPage);
}

TEST_F(AppWindow, TheTrayIconIsShownChangedOnTheWindowsThreadAndRemovedOnClose)
{
    {
        std::lock_guard<std::mutex> hold(TrayLock);
        TrayCalls.clear();
    }
    AppRun run(folder, L"Missing", [](AppStartRecord* start, const AppPlace& place) {
        CApplication* application = new CApplication(start, place);
        application->SetTrayNotify(RecordTray);
        return application;
    });
    ASSERT_TRUE(run.started);
    ASSERT_FALSE(Tray().empty());
    EXPECT_EQ(Tray()[0].message, DWORD(NIM_ADD));
    EXPECT_EQ(Tray()[0].id, 5999u);
    EXPECT_EQ(Tray()[0].callback, 1124u);
    EXPECT_TRUE(Tray()[0].icon);
    EXPECT_TRUE(run.App().TrayIconShown());

    // A global status change comes on the queue's thread; the icon changes on this one.
    StatusEntry entry;
    entry.status = AccountStatus::Online;
    entry.images.Add(14);
    run.bus.SendMessage(run.App().GuiQueue(), GUID_PROTOCOLS_MANAGER, PMEV_STATUS_CHANGED, NewValue(0),
                        new CAccountStatusPayload(entry), true);
    ASSERT_TRUE(PumpUntil([] { return Tray().size() == 2; }));
    EXPECT_EQ(Tray()[1].message, DWORD(NIM_MODIFY));
    EXPECT_EQ(Tray()[1].thread, GetCurrentThreadId());
    EXPECT_EQ(run.App().TopPanel()->GetGlobalCells()[0], std::vector<int>{14});

    // The option switches it off and on.
    run.App().Settings().trayIcon = false;
    run.App().ApplyOption(OPT_TRAY_ICON);
    EXPECT_FALSE(run.App().TrayIconShown());
    run.App().Settings().trayIcon = true;
    run.App().ApplyOption(OPT_TRAY_ICON);
    EXPECT_TRUE(run.App().TrayIconShown());
    size_t before = Tray().size();
    run.Close();
    ASSERT_EQ(Tray().size(), before + 1);
    EXPECT_EQ(Tray().back().message, DWORD(NIM_DELETE));
}

TEST_F(AppWindow, TheStatusIconIsMaskedWherePicturesDrew)
{
    AppRun run(folder, L"Missing");
    ASSERT_TRUE(run.started);
    // Bottom row green, top row transparent.
    run.App().Images().SetPicture(3, TestSupport::TwoByTwoPicture({0xFF00FF00, 0xFF00FF00, 0, 0}));
    HICON icon = run.App().BuildStatusIcon(CZELArray<int>(1, 3));
    ASSERT_NE(icon, nullptr);
    ICONINFO parts = {};
    ASSERT_TRUE(GetIconInfo(icon, &parts));
    int side = (g_HIDPI_LogPixelsX + 3) * 16 / 96;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, parts.hbmMask);
    EXPECT_EQ(GetPixel(dc, 1, side - 1), RGB(0, 0, 0));  // drawn: shown
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(255, 255, 255));   // transparent: not
    SelectObject(dc, parts.hbmColor);
    EXPECT_EQ(GetPixel(dc, 1, side - 1), RGB(0, 255, 0));
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(parts.hbmMask);
    DeleteObject(parts.hbmColor);
    DestroyIcon(icon);
    // No pictures, or a first picture of -1: an empty icon, all masked.
    HICON empty = run.App().BuildStatusIcon(CZELArray<int>(1, -1));
    EXPECT_NE(empty, nullptr);
    DestroyIcon(empty);
}

namespace {

// A status panel that looks, as it goes, whether the queue "GUI" that calls it is still there.
class WatchingPanel : public CTopPanelWnd {
public:
    WatchingPanel(IStatusMenuCallback* owner, Services::CServicesManager& bus, int queue, int* result)
        : CTopPanelWnd(owner), bus(bus), queue(queue), result(result)
    {
    }
    ~WatchingPanel() override { *result = bus.SendMessage(queue, GUID_GUI, 999, nullptr, nullptr, false); }

private:
    Services::CServicesManager& bus;
    int queue;
    int* result;
};

class WatchingApplication : public CApplication {
public:
    WatchingApplication(AppStartRecord* start, const AppPlace& place, int* result)
        : CApplication(start, place), result(result)
    {
    }

protected:
    CTopPanelWnd* NewTopPanel() override { return new WatchingPanel(this, Bus(), GuiQueue(), result); }

private:
    int* result;
};

}  // namespace

TEST_F(AppWindow, TheQueueStopsBeforeTheWindowsItCallsGo)
{
    int atPanelEnd = 0;
    AppRun run(folder, L"Missing", [&](AppStartRecord* start, const AppPlace& place) {
        return new WatchingApplication(start, place, &atPanelEnd);
    });
    ASSERT_TRUE(run.started);
    ASSERT_NE(run.App().GuiQueue(), 0);
    run.Close();
    EXPECT_EQ(atPanelEnd, Services::SM_NOT_FOUND);
}

TEST_F(AppWindow, ClosingStopsEveryThreadItStarted)
{
    int before = ThreadCount();
    {
        AppRun run(folder);
        ASSERT_TRUE(run.started);
        AccountTest::FakePlugin fake(L"Accounts", L"FakeA");
        ASSERT_NE(run.NewAccount(L"threads"), 0u);
        EXPECT_GT(ThreadCount(), before);
    }
    // Wine's own helper threads may come and go; none of ours stays.
    EXPECT_TRUE(PumpUntil([&] { return ThreadCount() <= before; }, 5000)) << ThreadCount() << " > " << before;
}

namespace {

std::vector<std::wstring> OpenedAddresses;

BOOL RecordAddress(LPCWSTR address, void*)
{
    OpenedAddresses.push_back(address);
    return TRUE;
}

}  // namespace

// The accounts' notifications, relayed by the core, reach the notifier, the alerts, the timers and
// the shell through the queue.
TEST_F(AppWindow, AccountNotificationsReachTheirWindows)
{
    RecordingAudio audio;
    AppRun run(folder);
    ASSERT_TRUE(run.started);
    AlertTest::GiveEventSounds(run.App().Settings());
    AccountTest::FakePlugin fake(L"Accounts", L"FakeA");
    unsigned account = run.NewAccount(L"notifying");
    ASSERT_NE(account, 0u);
    CGuiResources& resources = *run.App().Resources();
    const CZELArray<NotificationEntry>& entries = resources.Notifier().Entries();

    fake.notify(account, ACC_WARNING, 0, L"careful", FAKE_NOTIFY_OWN);
    ASSERT_TRUE(PumpUntil([&] { return entries.GetCount() == 1; }));
    EXPECT_EQ(entries[0].kind, int(NK_WARNING));
    EXPECT_EQ(Wide(entries[0].body), L"careful");
    EXPECT_EQ(AlertTest::PlayedCount(audio, AE_INFORMATION), 1);

    fake.notify(account, ACC_MAIL_NOTICE, 0, L"2 new letters", FAKE_NOTIFY_OWN);
    ASSERT_TRUE(PumpUntil([&] { return entries.GetCount() == 2; }));
    EXPECT_EQ(entries[1].kind, int(NK_MAIL));
    EXPECT_EQ(Wide(entries[1].body), L"2 new letters");
    EXPECT_EQ(Wide(entries[1].link), L"http://mail.example/");
    EXPECT_EQ(AlertTest::PlayedCount(audio, AE_MAIL), 1);

    OpenedAddresses.clear();
    SetShellOpenInterceptor(RecordAddress, nullptr);
    fake.notify(account, ACC_OPEN_URL, 0, L"http://example.org/page", FAKE_NOTIFY_OWN);
    ASSERT_TRUE(PumpUntil([] { return OpenedAddresses.size() == 1; }));
    SetShellOpenInterceptor(nullptr, nullptr);
    EXPECT_EQ(OpenedAddresses[0], L"http://example.org/page");

    // A keep-alive timer (due now; the fake's callback ends it) holds the unattended mode while it
    // exists.
    HandheldResetPowerLog();
    fake.notify(account, ACC_TIMER_START, 5, nullptr, FAKE_NOTIFY_OWN);
    ASSERT_TRUE(PumpUntil([] {
        HandheldPowerLog log;
        HandheldGetPowerLog(&log);
        return log.unattendedOnCalls == 1 && log.unattendedOffCalls == 1;
    }));
    EXPECT_EQ(run.App().Timers().GetCount(), 0);
}

TEST_F(AppWindow, FullScreenHidesTheTaskBarWhileActive)
{
    AppRun run(folder, L"Missing");
    ASSERT_TRUE(run.started);
    ShellResetFullScreenLog();
    SendMessageW(run.Window(), WM_ACTIVATE, WA_ACTIVE, 0);
    ShellFullScreenLog log;
    ShellGetFullScreenLog(&log);
    EXPECT_EQ(log.calls, 0);  // "GlobFullScreen" is off
    run.App().Settings().fullScreen = true;
    SendMessageW(run.Window(), WM_ACTIVATE, WA_ACTIVE, 0);
    ShellGetFullScreenLog(&log);
    EXPECT_EQ(log.lastFlags, DWORD(0x22));
    EXPECT_TRUE(log.taskBarHidden);
    SendMessageW(run.Window(), WM_ACTIVATE, WA_INACTIVE, 0);
    ShellGetFullScreenLog(&log);
    EXPECT_EQ(log.lastFlags, DWORD(0x11));
    EXPECT_EQ(log.lastWindow, run.Window());
    // A screen change places the window at the top left corner.
    SetWindowPos(run.Window(), nullptr, 50, 60, 200, 300, SWP_NOZORDER);
    SendMessageW(run.Window(), WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
    RECT rect = {};
    GetWindowRect(run.Window(), &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
}

TEST_F(AppWindow, TheSkinImageServiceTellsThePluginsTheSkinsBrushColourAndLanguage)
{
    AppRun run(folder, L"Missing");
    ASSERT_TRUE(run.started);
    CSkinImages* service = static_cast<CSkinImages*>(run.bus.GetService(GUID_SKIN_IMAGES));
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(service->GetBkBrush(), run.App().Resources()->GetBkBrush());
    EXPECT_NE(service->GetBkBrush(), nullptr);
    EXPECT_EQ(service->GetTextColor(), GetSchemeColor(22));
    CZELString language;
    service->GetLanguageName(language);
    EXPECT_EQ(Wide(language), L"English");
    // A plug-in's picture and a built-in one.
    EXPECT_EQ(service->AcquireImage(L"zel_stonline.png"), 14);
    EXPECT_GE(service->AcquireImage(L"wex_proto.png"), CSkinImageSet::BuiltInCount);
}
