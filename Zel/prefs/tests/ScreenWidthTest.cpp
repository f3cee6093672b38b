// Every page and full-screen dialog of the preferences, of the chat window's settings and of the
// account settings over each real plug-in keeps its controls within its client width on a handheld's
// 240-pixel-wide screen (480 pixels at 192 dpi), whatever width its template comes to in the
// desktop's stand-in font: no control is cut off at the right edge.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Handheld/FileSystemRoot.h"
#include "Handheld/tests/SystemDensity.h"
#include "Zel/chat/MessageWindowSettingsDialog.h"
#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/prefs/AboutDialog.h"
#include "Zel/prefs/AccountSettingsDialog.h"
#include "Zel/prefs/AlertsEditor.h"
#include "Zel/prefs/ColorEditors.h"
#include "Zel/prefs/FileBrowserDialog.h"
#include "Zel/prefs/FontChoiceDialog.h"
#include "Zel/prefs/PreferencesPage.h"
#include "Zel/prefs/SearchDialog.h"
#include "Zel/prefs/tests/DialogScript.h"
#include "Zel/shell/contactlist/TextInputDlg.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/tests/ProgramFolder.h"
#include "ZELCommon/tests/TempFolder.h"

#include <functional>
#include <string>
#include <vector>

using namespace AppTest;
using namespace PrefsTest;

namespace {

bool IsDialog(HWND window)
{
    wchar_t kind[16] = L"";
    GetClassNameW(window, kind, 16);
    return wcscmp(kind, L"#32770") == 0;
}

// The children of window (and, for a tabbed dialog, the controls of its pages) that reach past its
// client area sideways, each as "where: id left..right of width".
void CollectOutside(HWND window, const std::string& where, std::vector<std::string>& outside)
{
    RECT client = {};
    GetClientRect(window, &client);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const RECT rect = ChildRect(window, child);
        const std::string name = where + ", control " + std::to_string(GetDlgCtrlID(child));
        if (rect.left < 0 || rect.right > client.right)
            outside.push_back(name + ": " + std::to_string(rect.left) + ".." + std::to_string(rect.right) + " of " +
                              std::to_string(client.right));
        if (IsDialog(child)) CollectOutside(child, name, outside);
    }
}

// A dialog of the table: its name, and how it is opened over the main window (it returns when the
// dialog ends).
struct Opening {
    std::string name;
    std::function<void(HWND owner)> open;
};

// Opens each dialog, checks it as soon as it stands and ends it.
void CheckEach(const std::vector<Opening>& openings, HWND owner, int screenWidth)
{
    for (const Opening& opening : openings) {
        SCOPED_TRACE(opening.name);
        DialogScript script;
        script.In(-1, [&](HWND dialog) {
            RECT client = {};
            GetClientRect(dialog, &client);
            EXPECT_LE(client.right, screenWidth);
            std::vector<std::string> outside;
            CollectOutside(dialog, opening.name, outside);
            EXPECT_TRUE(outside.empty()) << testing::PrintToString(outside);
            EndDialog(dialog, IDCANCEL);
        });
        script.Start();
        opening.open(owner);
        EXPECT_TRUE(script.Finished()) << "the dialog did not come up";
    }
}

int RunPreferencesModally(void*, PreferencesDialog& dialog, HWND owner)
{
    return DoModalDialog(&dialog, owner);
}

int RunSettingsModally(void*, MessageWindowSettingsDialog& dialog, HWND parent)
{
    return DoModalDialog(&dialog, parent);
}

// The main window as a handheld's portrait screen.
void UseHandheldScreen(AppRun& run, int dpi)
{
    SetWindowPos(run.Window(), HWND_TOP, 0, 0, dpi * 5 / 2, dpi * 7 / 2, SWP_SHOWWINDOW);
    PumpFor(100);
}

void CheckTheProgramsDialogs(int dpi)
{
    const int screenWidth = dpi * 5 / 2;
    TestSupport::TempFolder tree{L"ScreenWidthTree"};
    AppFolder folder{L"ScreenWidth"};
    SetDeviceRootFolder(tree.path.c_str());
    FileBrowserReset();
    {
        AppRun app(folder, L"Pages");
        ASSERT_TRUE(app.started);
        ASSERT_EQ(g_HIDPI_LogPixelsY, dpi);
        UseHandheldScreen(app, dpi);
        const unsigned account = app.NewAccount(L"Al");
        ASSERT_NE(account, 0u);
        MessageWindowSettings chatSettings{nullptr};
        COLORREF colors[ColorSchemeEditor::Count] = {};
        COLORREF color = RGB(1, 2, 3);
        LOGFONTW font = {};
        font.lfHeight = 13;
        AlertEntryArray alerts;
        AlertEntry alert = {};
        std::wstring path;
        const std::vector<Opening> openings = {
            {"preferences",
             [&](HWND) {
                 SetPreferencesRunner(&RunPreferencesModally, nullptr);
                 app.App().OpenPreferences(PreferencesGeneralPage);
                 SetPreferencesRunner(&SkipPreferences, nullptr);
             }},
            {"chat window settings",
             [&](HWND owner) {
                 SetMessageWindowSettingsRunner(&RunSettingsModally, nullptr);
                 ShowMessageWindowSettingsDialog(owner, chatSettings, nullptr, 0);
                 SetMessageWindowSettingsRunner(nullptr, nullptr);
             }},
            {"search", [&](HWND owner) { ShowSearchDialog(owner, account); }},
            {"account settings", [&](HWND owner) { ShowAccountSettingsDialog(account, owner); }},
            {"file browser", [&](HWND owner) { RunFileBrowser(owner, L"*.txt;", FileBrowserDialog::ModeOpen, path); }},
            {"font", [&](HWND owner) { RunFontChoiceDialog(owner, font); }},
            {"about",
             [&](HWND owner) {
                 AboutDialog about(2140u);
                 about.DoModal(AboutDialog::TemplateId, PreferencesModule(), owner);
             }},
            {"colour scheme", [&](HWND owner) { RunColorSchemeEditor(owner, colors, CZELString(L"ZEL PDA skin")); }},
            {"colour picker", [&](HWND owner) { RunColorPicker(owner, color); }},
            {"palette",
             [&](HWND owner) {
                 PaletteDialog palette;
                 palette.DoModal(PaletteDialog::TemplateId, PreferencesModule(), owner);
             }},
            {"alerts", [&](HWND owner) { RunAlertsEditor(owner, alerts); }},
            {"alert",
             [&](HWND owner) {
                 AlertEntryDialog dialog(alert);
                 dialog.DoModal(AlertEntryDialog::TemplateId, PreferencesModule(), owner);
             }},
            {"text input",
             [&](HWND owner) {
                 CTextInputDlg input(CZELString(L"Friends"), CTextInputDlg::GroupName);
                 input.DoModal(owner);
             }},
        };
        CheckEach(openings, app.Window(), screenWidth);
    }
    FileBrowserReset();
    SetDeviceRootFolder(nullptr);

    // The real plug-ins' account pages, hosted by the program's settings dialog.
    AppRun real(folder, L"Missing", [](AppStartRecord* start, const AppPlace& place) {
        AppPlace withPlugins = place;
        withPlugins.protosFolder = CZELString((ProgramFolder::Bin() + L"Protos\\").c_str());
        CApplication* application = new CApplication(start, withPlugins);
        application->SetTrayNotify(QuietTray);
        return application;
    });
    ASSERT_TRUE(real.started);
    UseHandheldScreen(real, dpi);
    std::vector<Opening> accounts;
    for (int i = 0; i < ProtocolsManagerService->GetProtocolCount(); ++i) {
        const ProtocolDescription protocol = ProtocolsManagerService->GetProtocol(i);
        const unsigned account = ProtocolsManagerService->CreateAccount(protocol.guid);
        ASSERT_NE(account, 0u);
        const std::wstring name = protocol.displayName.GetBuffer() ? protocol.displayName.GetBuffer() : L"";
        accounts.push_back({"account settings of " + std::string(name.begin(), name.end()),
                            [account](HWND owner) { ShowAccountSettingsDialog(account, owner); }});
    }
    EXPECT_GE(accounts.size(), 3u) << "the three plug-ins in Protos\\";
    CheckEach(accounts, real.Window(), screenWidth);
}

}  // namespace

TEST(ScreenWidth, EveryDialogKeepsItsControlsOnAHandheldScreenAt96Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    CheckTheProgramsDialogs(96);
}

TEST(ScreenWidth, EveryDialogKeepsItsControlsOnAHandheldScreenAt192Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    ZEL_AT_SYSTEM_DENSITY(192);
    CheckTheProgramsDialogs(192);
}
