// Every page and full-screen dialog of the preferences, of the chat window's settings and of the
// account settings over each real plug-in keeps its controls within its client width on a handheld's
// 240-pixel-wide screen (480 pixels at 192 dpi), whatever width its template comes to in the
// desktop's stand-in font: no control is cut off at the right edge. Nor is any text cut inside its
// own control: each label and button caption, in English and in Russian, fits the box it is drawn in.
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
// client area sideways or below, each as "where: id left..right of width" or "where: id bottom y of
// height".
void CollectOutside(HWND window, const std::string& where, std::vector<std::string>& outside)
{
    RECT client = {};
    GetClientRect(window, &client);
    // A full-screen dialog's soft-key bar lies over the bottom of its client area.
    HWND bar = FindWindowExW(window, nullptr, L"ZelSoftKeyBar", nullptr);
    const int bottom = bar && IsWindowVisible(bar) ? TestSupport::RectIn(bar, window).top : client.bottom;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (child == bar) continue;
        const RECT rect = TestSupport::RectIn(child, window);
        const std::string name = where + ", control " + std::to_string(GetDlgCtrlID(child));
        if (rect.left < 0 || rect.right > client.right)
            outside.push_back(name + ": " + std::to_string(rect.left) + ".." + std::to_string(rect.right) + " of " +
                              std::to_string(client.right));
        // A control moved down to make room for a longer text above it must not leave the page.
        if ((GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) && rect.bottom > bottom)
            outside.push_back(name + ": bottom " + std::to_string(rect.bottom) + " of " + std::to_string(bottom));
        if (IsDialog(child)) CollectOutside(child, name, outside);
    }
}

// How a static control lays out its text, as DrawText flags; false for a static that shows no text
// or cuts it short by design (an ellipsis).
bool StaticTextFormat(LONG style, UINT& format)
{
    if (style & (SS_ENDELLIPSIS | SS_PATHELLIPSIS | SS_WORDELLIPSIS)) return false;
    switch (style & SS_TYPEMASK) {
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT:
        format = (style & SS_CENTERIMAGE) ? DT_SINGLELINE : DT_WORDBREAK;
        break;
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP:
        format = DT_SINGLELINE;
        break;
    default:
        return false;
    }
    if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
    return true;
}

// How a button lays out its caption, and the width of its client area the caption may not use; false
// for a button whose caption is not drawn in its client area as text.
bool ButtonTextFormat(LONG style, UINT& format, int& reserved)
{
    const LONG type = style & BS_TYPEMASK;
    if (type == BS_GROUPBOX || type == BS_OWNERDRAW || (style & (BS_BITMAP | BS_ICON))) return false;
    format = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
    const bool pushed = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || (style & BS_PUSHLIKE);
    // A push button's frame, or a check or radio button's box and its gap, come before the text.
    reserved = pushed ? 4 : GetSystemMetrics(SM_CXMENUCHECK) + 4;
    return true;
}

// The texts of window's labels and buttons (and of its pages' controls) that do not fit their
// controls, measured in each control's own font, a line each: "where, control id "text": needed of
// room" (the texts as they are, not escaped, so that a Russian one can be read).
void CollectCutTexts(HWND window, const std::string& where, std::string& cut)
{
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::string name = where + ", control " + std::to_string(GetDlgCtrlID(child));
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (IsDialog(child)) CollectCutTexts(child, name, cut);
        if (!(style & WS_VISIBLE)) continue;
        wchar_t kind[16] = L"";
        GetClassNameW(child, kind, 16);
        // A button without an id takes no command: a tabbed dialog's key holder, kept under the pages.
        if (lstrcmpiW(kind, L"Button") == 0 && GetDlgCtrlID(child) == 0) continue;
        UINT format = 0;
        int reserved = 0;
        if (!(lstrcmpiW(kind, L"Static") == 0 && StaticTextFormat(style, format)) &&
            !(lstrcmpiW(kind, L"Button") == 0 && ButtonTextFormat(style, format, reserved)))
            continue;
        const int length = GetWindowTextLengthW(child);
        if (length == 0) continue;
        std::wstring text(size_t(length) + 1, L'\0');
        text.resize(size_t(GetWindowTextW(child, &text[0], length + 1)));
        RECT client = {};
        GetClientRect(child, &client);
        const int room = client.right - reserved;
        RECT needed = {0, 0, room, 0};
        HDC dc = GetDC(child);
        HGDIOBJ previous = SelectObject(dc, HGDIOBJ(SendMessageW(child, WM_GETFONT, 0, 0)));
        DrawTextW(dc, text.c_str(), int(text.size()), &needed, format | DT_EXPANDTABS | DT_CALCRECT);
        SelectObject(dc, previous);
        ReleaseDC(child, dc);
        if (needed.right > room || needed.bottom > client.bottom) {
            const int utf8 = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
            std::string shown(size_t(utf8), '\0');
            WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &shown[0], utf8, nullptr, nullptr);
            cut += name + " \"" + shown + "\": " + std::to_string(needed.right) + "x" +
                   std::to_string(needed.bottom) + " of " + std::to_string(room) + "x" + std::to_string(client.bottom) +
                   "\n";
        }
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
            std::string cut;
            CollectCutTexts(dialog, opening.name, cut);
            EXPECT_TRUE(cut.empty()) << cut;
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

// The control of window or of its pages with the id and the window class; null when there is none.
HWND FindControl(HWND window, int id, const wchar_t* kind)
{
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[16] = L"";
        GetClassNameW(child, name, 16);
        if (GetDlgCtrlID(child) == id && lstrcmpiW(name, kind) == 0) return child;
        if (IsDialog(child))
            if (HWND found = FindControl(child, id, kind)) return found;
    }
    return nullptr;
}

// Chooses the language on the preferences' Interface page and keeps the choice.
void ChooseLanguage(AppRun& run, const wchar_t* language)
{
    DialogScript script;
    script.In(-1, [&](HWND dialog) {
        HWND combo = FindControl(dialog, 1034, L"ComboBox");
        ASSERT_NE(combo, nullptr);
        const LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(language));
        ASSERT_NE(index, CB_ERR) << "the language is not listed";
        SendMessageW(combo, CB_SETCURSEL, WPARAM(index), 0);
        SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(1034, CBN_SELCHANGE), LPARAM(combo));
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    });
    script.Start();
    SetPreferencesRunner(&RunPreferencesModally, nullptr);
    run.App().OpenPreferences(PreferencesInterfacePage);
    SetPreferencesRunner(&SkipPreferences, nullptr);
    EXPECT_TRUE(script.Finished()) << "the preferences did not come up";
    PumpFor(300);
}

// The main window as a handheld's portrait screen.
void UseHandheldScreen(AppRun& run, int dpi)
{
    SetWindowPos(run.Window(), HWND_TOP, 0, 0, dpi * 5 / 2, dpi * 7 / 2, SWP_SHOWWINDOW);
    PumpFor(100);
}

// Checks every dialog at the density in the language ("English", the program's own, or one of the
// language modules built beside the test program).
void CheckTheProgramsDialogs(int dpi, const wchar_t* language = L"English")
{
    const int screenWidth = dpi * 5 / 2;
    TestSupport::TempFolder tree{L"ScreenWidthTree"};
    AppFolder folder{L"ScreenWidth"};
    const bool translated = wcscmp(language, L"English") != 0;
    if (translated) {
        // The language modules are listed from the program folder's "Langs\".
        const std::wstring module = std::wstring(L"ZEL_") + language + L".dll";
        CreateDirectoryW((folder.path + L"Langs").c_str(), nullptr);
        ASSERT_TRUE(CopyFileW((ProgramFolder::Bin() + L"Langs\\" + module).c_str(),
                              (folder.path + L"Langs\\" + module).c_str(), FALSE));
    }
    SetDeviceRootFolder(tree.path.c_str());
    FileBrowserReset();
    {
        AppRun app(folder, L"Pages");
        ASSERT_TRUE(app.started);
        ASSERT_EQ(g_HIDPI_LogPixelsY, dpi);
        UseHandheldScreen(app, dpi);
        if (translated) ChooseLanguage(app, language);
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
    AppRun real(folder, L"Missing", WithProtocolsFolder());
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
    // After the accounts, so that each is told of the language as it is switched.
    if (translated) ChooseLanguage(real, language);
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

TEST(ScreenWidth, EveryRussianDialogFitsItsTextsOnAHandheldScreenAt96Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    CheckTheProgramsDialogs(96, L"Russian");
}

TEST(ScreenWidth, EveryRussianDialogFitsItsTextsOnAHandheldScreenAt192Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    ZEL_AT_SYSTEM_DENSITY(192);
    CheckTheProgramsDialogs(192, L"Russian");
}
