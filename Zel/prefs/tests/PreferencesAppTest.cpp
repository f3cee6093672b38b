// The preferences inside the running application: message 1036 opens them at the Accounts page
// with the application's observers, and the skin and colour codes repaint the main window.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Zel/prefs/PreferencesDialog.h"

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
