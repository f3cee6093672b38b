// The preferences inside the running application: message 1036 opens them at the Accounts page
// with the application's observers, and the skin and colour codes repaint the main window, its top
// panel and the chat window.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Zel/chat/ChatDlg.h"
#include "Zel/prefs/PreferencesDialog.h"
#include "Zel/shell/toppanel/TopPanelWnd.h"

#include <commctrl.h>

using namespace AppTest;

namespace {

struct Opened {
    int page = -1;
    int runs = 0;
    std::function<void(PreferencesDialog&)> act;
};

int RecordRun(void* context, PreferencesDialog& dialog, HWND owner)
{
    Opened& opened = *static_cast<Opened*>(context);
    opened.page = dialog.StartPage();
    ++opened.runs;
    EXPECT_NE(owner, nullptr);
    if (opened.act) opened.act(dialog);
    return IDCANCEL;
}

bool NeedsPaint(HWND window)
{
    RECT rect = {};
    return GetUpdateRect(window, &rect, FALSE) != FALSE;
}

// Counts a window's paints.
LRESULT CALLBACK CountPaints(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR count)
{
    if (message == WM_PAINT) ++*reinterpret_cast<int*>(count);
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

TEST(PreferencesApp, SkinAndColourCodesRepaintTheMainWindow)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder{L"PreferencesAppTest"};
    AppRun run(folder, L"Missing");
    ASSERT_TRUE(run.started);
    Opened opened;
    SetPreferencesRunner(&RecordRun, &opened);
    PostMessageW(run.Window(), CApplication::WM_APP_NO_ACCOUNTS, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return opened.runs > 0; }));
    EXPECT_EQ(opened.page, PreferencesAccountsPage);

    for (int code : {PrefSkin, PrefColors}) {
        SCOPED_TRACE(code);
        UpdateWindow(run.Window());
        RedrawWindow(run.Window(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        ASSERT_FALSE(NeedsPaint(run.Window()));
        opened.act = [code](PreferencesDialog& dialog) { dialog.NotifyListeners(code); };
        run.App().OpenPreferences(PreferencesInterfacePage);
        EXPECT_EQ(opened.page, PreferencesInterfacePage);
        EXPECT_TRUE(NeedsPaint(run.Window()));
    }
}

TEST(PreferencesApp, SkinAndColourCodesRepaintTheTopPanelAndTheChatWindow)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder{L"PreferencesAppRepaint"};
    AppRun run(folder, L"Accounts");
    ASSERT_TRUE(run.started);
    const unsigned account = run.NewAccount(L"me");
    ASSERT_NE(account, 0u);
    const int contact = run.NewContact(account, L"peer@fake", L"Peer");
    run.App().OpenChat(contact);
    ASSERT_NE(run.App().ChatWindow(), nullptr);
    HWND chat = run.App().ChatWindow()->GetWindow();
    HWND panel = *run.App().TopPanel();
    ASSERT_TRUE(IsWindowVisible(chat));
    int chatPaints = 0, panelPaints = 0;
    SetWindowSubclass(chat, CountPaints, 1, DWORD_PTR(&chatPaints));
    SetWindowSubclass(panel, CountPaints, 1, DWORD_PTR(&panelPaints));
    Opened opened;
    SetPreferencesRunner(&RecordRun, &opened);
    for (int code : {PrefSkin, PrefColors}) {
        SCOPED_TRACE(code);
        RedrawWindow(chat, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        RedrawWindow(panel, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        PumpFor(100);
        // Left alone, neither window paints.
        chatPaints = panelPaints = 0;
        PumpFor(200);
        EXPECT_EQ(chatPaints + panelPaints, 0);
        opened.act = [code](PreferencesDialog& dialog) { dialog.NotifyListeners(code); };
        run.App().OpenPreferences(PreferencesInterfacePage);
        EXPECT_TRUE(PumpUntil([&] { return chatPaints > 0 && panelPaints > 0; }));
    }
    RemoveWindowSubclass(chat, CountPaints, 1);
    RemoveWindowSubclass(panel, CountPaints, 1);
}

// With no account the preferences open at the Accounts page, but only once the main window has
// painted: opened from the queue before its first paint, their modal loop left it blank behind them.
// The program's own message loop, run to the end.
TEST(PreferencesApp, WithNoAccountThePreferencesOpenOverAPaintedWindow)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder{L"PreferencesAppFirstStart"};
    Services::CServicesManager bus;
    AppStartRecord start = {GetModuleHandleW(nullptr), L"ZELWM_APPLICATION_CLASS", L"ZEL PDA", SW_SHOW};
    AppPlace place;
    place.bus = &bus;
    place.settingsFile = (folder.path + L"settings.zel").c_str();
    place.protosFolder = PluginTree::ProtosFolder(L"Missing");
    place.historyFolder = (folder.path + L"History\\").c_str();
    place.appFolder = folder.path.c_str();
    struct Seen {
        HWND main = nullptr;
        int runs = 0;
        int page = -1;
        bool blank = true;
    } seen;
    SetPreferencesRunner(
        [](void* context, PreferencesDialog& dialog, HWND) {
            Seen& seen = *static_cast<Seen*>(context);
            ++seen.runs;
            seen.page = dialog.StartPage();
            seen.blank = NeedsPaint(seen.main);
            PostMessageW(seen.main, WM_CLOSE, 0, 0);
            return IDCANCEL;
        },
        &seen);
    {
        CApplication application(&start, place);
        application.SetTrayNotify(QuietTray);
        ASSERT_TRUE(InitInstance(application, L""));
        seen.main = application.GetMainWindow();
        RunMessageLoop(application);
    }
    SetPreferencesRunner(nullptr, nullptr);
    EXPECT_EQ(seen.runs, 1);
    EXPECT_EQ(seen.page, PreferencesAccountsPage);
    EXPECT_FALSE(seen.blank);
}
