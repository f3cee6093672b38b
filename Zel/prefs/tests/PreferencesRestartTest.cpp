// The preferences in the running application, worked by window messages and read back after a
// restart over the same folder: the stored access point kept through OK, the accounts' order and
// removal, and an alert's sound picked in the file browser with its vibration code. Also the
// colour scheme written by the browser and read back, and the alert preview on the recording audio.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Handheld/FileSystemRoot.h"
#include "Zel/net/ConnectionManager.h"
#include "Zel/prefs/FileBrowserDialog.h"
#include "Zel/prefs/PreferencesDialog.h"
#include "Zel/prefs/tests/DialogScript.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "Zel/shell/tests/RecordingAudio.h"

#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

using namespace AppTest;
using namespace PrefsTest;

namespace {

// The preferences run for real, modally over the main window, while a script works them.
struct PreferencesRun {
    PreferencesDialog* dialog = nullptr;
    int result = 0;
    int runs = 0;
};

int RunModally(void* context, PreferencesDialog& dialog, HWND owner)
{
    PreferencesRun& run = *static_cast<PreferencesRun*>(context);
    if (run.dialog) return IDCANCEL;  // one at a time
    run.dialog = &dialog;
    ++run.runs;
    run.result = DoModalDialog(&dialog, owner);
    run.dialog = nullptr;
    return run.result;
}

// The preferences' window once it stands, else null.
HWND PreferencesWindow(const PreferencesRun& run)
{
    if (!run.dialog) return nullptr;
    HWND window = *run.dialog;
    return window && IsWindowVisible(window) ? window : nullptr;
}

HWND PageItem(const PreferencesRun& run, int page, int id)
{
    TabPage* tab = run.dialog ? run.dialog->FindPage(page) : nullptr;
    return tab && tab->window ? GetDlgItem(HWND(*tab->window), id) : nullptr;
}

// A step that waits for the preferences and works them.
DialogScript::Step InPreferences(PreferencesRun& run, const std::function<void(HWND)>& work)
{
    return [&run, work] {
        HWND window = PreferencesWindow(run);
        if (!window || !IsWindowEnabled(window)) return false;
        work(window);
        return true;
    };
}

// Runs the preferences at page under the script; true when the script got to its end.
bool OpenPreferences(AppRun& app, PreferencesRun& run, DialogScript& script, int page)
{
    // A run without accounts asks for the preferences as it starts: that request is answered first.
    PumpFor(200);
    SetPreferencesRunner(&RunModally, &run);
    script.Start();
    app.App().OpenPreferences(page);
    script.Stop();
    SetPreferencesRunner(&SkipPreferences, nullptr);
    return script.Finished() && !script.Stalled();
}

std::wstring Text(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

std::wstring AccountName(unsigned account)
{
    CZELString name;
    ProtocolsManagerService->GetAccountString(account, CZELString(FAKE_VALUE_NAME), name, 0);
    return Text(name);
}

std::vector<std::wstring> AccountNames()
{
    std::vector<std::wstring> names;
    for (int i = 0; i < ProtocolsManagerService->GetAccountCount(); ++i)
        names.push_back(AccountName(ProtocolsManagerService->GetAccountId(unsigned(i))));
    return names;
}

int RowCount(HWND list)
{
    return int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

void MakeFile(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// The device's root on a temporary folder for the test's life, the browser's memory forgotten.
class DeviceRoot {
public:
    explicit DeviceRoot(const std::wstring& folder)
    {
        SetDeviceRootFolder(folder.c_str());
        FileBrowserReset();
    }
    ~DeviceRoot()
    {
        FileBrowserReset();
        SetDeviceRootFolder(nullptr);
    }
};

enum { kBrowserTypes = 1063, kBrowserList = 1022, kBrowserName = 1056 };

}  // namespace

TEST(PreferencesRestart, TheStoredAccessPointSurvivesOkAndARestart)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder{L"PrefsAccessPoint"};
    {
        AppRun app(folder, L"Accounts");
        ASSERT_TRUE(app.started);
        ConnectionSettings stored = ConnectionManagerService->GetSettings();
        stored.accessPoint = CZELString(L"Office network");
        stored.proxyType = PROXY_HTTP;
        stored.proxyHost = CZELString(L"proxy.test");
        stored.proxyPort = 8080;
        ConnectionManagerService->SetSettings(stored);

        PreferencesRun run;
        DialogScript script;
        script.Then(InPreferences(run, [&](HWND window) {
            Type(PageItem(run, PreferencesConnectionPage, 1010), L"3128");
            Click(PageItem(run, PreferencesConnectionPage, 1011));
            Type(PageItem(run, PreferencesConnectionPage, 1012), L"user");
            LeftSoftKey(window);
        }));
        ASSERT_TRUE(OpenPreferences(app, run, script, PreferencesConnectionPage));
        EXPECT_EQ(run.result, IDOK);
        app.Close();
    }
    AppRun again(folder, L"Accounts");
    ASSERT_TRUE(again.started);
    const ConnectionSettings now = ConnectionManagerService->GetSettings();
    EXPECT_EQ(Text(now.accessPoint), L"Office network");
    EXPECT_EQ(now.proxyType, PROXY_HTTP);
    EXPECT_EQ(Text(now.proxyHost), L"proxy.test");
    EXPECT_EQ(now.proxyPort, 3128);
    EXPECT_TRUE(now.proxyAuth);
    EXPECT_EQ(Text(now.proxyLogin), L"user");
}

TEST(PreferencesRestart, AccountsAddedMovedAndDeletedComeBackAfterARestart)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder{L"PrefsAccounts"};
    {
        AppRun app(folder, L"Pages");
        ASSERT_TRUE(app.started);
        for (const wchar_t* name : {L"first", L"second", L"third"}) ASSERT_NE(app.NewAccount(name), 0u);
        std::wstring protocolName;
        for (int i = 0; i < ProtocolsManagerService->GetProtocolCount(); ++i)
            if (ProtocolsManagerService->GetProtocol(i).guid == GUID_FAKE_A)
                protocolName = Text(ProtocolsManagerService->GetProtocol(i).displayName);
        ASSERT_FALSE(protocolName.empty());

        PreferencesRun run;
        DialogScript script;
        HWND preferences = nullptr;
        HWND list = nullptr;
        script.Then(InPreferences(run, [&](HWND window) {
            preferences = window;
            list = PageItem(run, PreferencesAccountsPage, 1000);
            EXPECT_EQ(RowCount(list), 3);
            // Add: the protocol's item; the new account's settings open on the plug-in's page.
            Click(PageItem(run, PreferencesAccountsPage, 1001));
        }));
        script.Choose(protocolName);
        script.Then([&] {
            HWND settings = ActiveDialogWith(-1);
            if (!settings || settings == preferences) return false;
            LeftSoftKey(settings);
            return true;
        });
        script.Then(InPreferences(run, [&](HWND window) {
            EXPECT_EQ(RowCount(list), 4);
            ASSERT_EQ(ProtocolsManagerService->GetAccountCount(), 4);
            const unsigned added = ProtocolsManagerService->GetAccountId(3);
            int stores = 0;
            EXPECT_TRUE(ProtocolsManagerService->GetAccountInt(added, CZELString(FAKE_VALUE_PAGE_STORES), &stores));
            EXPECT_EQ(stores, 1);
            ProtocolsManagerService->SetAccountString(added, CZELString(FAKE_VALUE_NAME), CZELString(L"added"), 0);
            // "third" up to the top, "first" down below "second", then "second" deleted.
            SelectListRow(list, 2);
            Click(PageItem(run, PreferencesAccountsPage, 1005));
            Click(PageItem(run, PreferencesAccountsPage, 1005));
            SelectListRow(list, 1);
            Click(PageItem(run, PreferencesAccountsPage, 1006));
            EXPECT_EQ(AccountNames(), (std::vector<std::wstring>{L"third", L"second", L"first", L"added"}));
            SelectListRow(list, 1);
            Click(PageItem(run, PreferencesAccountsPage, 1004));
            EXPECT_EQ(RowCount(list), 3);
            // Cancel ends the preferences: the accounts were changed already.
            RightSoftKey(window);
        }));
        ASSERT_TRUE(OpenPreferences(app, run, script, PreferencesAccountsPage));
        EXPECT_EQ(run.result, IDCANCEL);
        ASSERT_TRUE(PumpUntil([] { return ProtocolsManagerService->GetAccountCount() == 3; }));
        EXPECT_EQ(AccountNames(), (std::vector<std::wstring>{L"third", L"first", L"added"}));
        app.Close();
    }
    AppRun again(folder, L"Pages");
    ASSERT_TRUE(again.started);
    EXPECT_EQ(AccountNames(), (std::vector<std::wstring>{L"third", L"first", L"added"}));
}

TEST(PreferencesRestart, AnAlertsSoundFromTheBrowserAndItsVibraComeBackAfterARestart)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder{L"PrefsAlerts"};
    TestSupport::TempFolder tree{L"PrefsAlertsTree"};
    DeviceRoot root(tree.path);
    CreateDirectoryW((tree.path + L"Sounds").c_str(), nullptr);
    MakeFile(tree.path + L"Sounds\\ring.wav", std::string(100, 'x'));
    MakeFile(tree.path + L"Sounds\\note.txt", "not a sound");
    const std::wstring ring = tree.path + L"Sounds\\ring.wav";
    {
        AppRun app(folder, L"Accounts");
        ASSERT_TRUE(app.started);
        RecordingAudio audio;
        AlertEntryArray& alerts = app.App().Settings().alerts;
        ASSERT_EQ(alerts.GetCount(), 5);
        alerts[1].on = true;
        alerts[1].soundOn = true;
        alerts[1].vibra = 0;
        alerts[1].sound = CZELString(L"preview.wav");
        app.App().Settings().alertAdvancedSound = false;

        PreferencesRun run;
        DialogScript script;
        script.Then(InPreferences(run, [&](HWND) { Click(PageItem(run, PreferencesAlertsPage, 1019)); }));
        script.In(1177, [&](HWND editor) {
            HWND list = GetDlgItem(editor, 1177);
            EXPECT_EQ(RowCount(list), 5);
            // A row selected plays its alert as a preview.
            audio.sounds.clear();
            SelectListRow(list, 1);
            EXPECT_EQ(audio.sounds, std::vector<std::wstring>{L"preview.wav"});
            RightSoftKey(editor);  // the menu: "Change"
        });
        script.Choose(L"Change");
        script.In(1185, [&](HWND entry) {
            Type(GetDlgItem(entry, 1185), L"101");
            Click(GetDlgItem(entry, 1019));  // the browser
        });
        script.In(kBrowserTypes, [&](HWND browser) {
            HWND list = GetDlgItem(browser, kBrowserList);
            ASSERT_EQ(ListRowText(list, 0), L"Sounds");
            LeftSoftKey(browser);  // the folder opens
            EXPECT_EQ(RowCount(list), 1);
            EXPECT_EQ(ListRowText(list, 0), L"ring.wav");
            LeftSoftKey(browser);  // the file is chosen
        });
        script.In(1185, [&](HWND entry) {
            wchar_t shown[MAX_PATH] = L"";
            GetDlgItemTextW(entry, 1182, shown, MAX_PATH);
            EXPECT_EQ(std::wstring(shown), ring);
            LeftSoftKey(entry);
        });
        script.In(1177, [&](HWND editor) { LeftSoftKey(editor); });
        script.Then(InPreferences(run, [&](HWND window) { LeftSoftKey(window); }));
        ASSERT_TRUE(OpenPreferences(app, run, script, PreferencesAlertsPage));
        EXPECT_EQ(run.result, IDOK);
        EXPECT_EQ(Text(alerts[1].sound), ring);
        EXPECT_EQ(alerts[1].vibra, 5u);
        // The next browser of any caller opens in that file's folder.
        EXPECT_EQ(FileBrowserLastPath(), L"\\Sounds\\ring.wav");
        app.Close();
    }
    AppRun again(folder, L"Accounts");
    ASSERT_TRUE(again.started);
    const AlertEntryArray& alerts = again.App().Settings().alerts;
    ASSERT_EQ(alerts.GetCount(), 5);
    EXPECT_EQ(Text(alerts[1].sound), ring);
    EXPECT_EQ(alerts[1].vibra, 5u);
    EXPECT_TRUE(alerts[1].on);
    EXPECT_TRUE(alerts[1].soundOn);
}

TEST(PreferencesRestart, AColourSchemeSavedByTheBrowserLoadsBackTheSame33Colours)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder{L"PrefsScheme"};
    TestSupport::TempFolder tree{L"PrefsSchemeTree"};
    DeviceRoot root(tree.path);
    CreateDirectoryW((tree.path + L"Schemes").c_str(), nullptr);
    AppRun app(folder, L"Accounts");
    ASSERT_TRUE(app.started);
    COLORREF* colors = app.App().Settings().colors;
    COLORREF mine[33];
    for (int i = 0; i < 33; ++i) mine[i] = colors[i] = RGB(i * 7, 250 - i * 5, (i * 37) & 0xFF);

    PreferencesRun run;
    DialogScript script;
    script.Then(InPreferences(run, [&](HWND) { Click(PageItem(run, PreferencesInterfacePage, 1019)); }));
    // Save into \Schemes\ under a name typed without its ending.
    script.In(1022, [&](HWND editor) { RightSoftKey(editor); });
    script.Choose(L"Save");
    script.In(kBrowserTypes, [&](HWND browser) {
        SelectListRow(GetDlgItem(browser, kBrowserList), 0);
        LeftSoftKey(browser);  // "Open" on the folder row
    });
    script.In(kBrowserTypes, [&](HWND browser) {
        HWND name = GetDlgItem(browser, kBrowserName);
        SendMessageW(browser, WM_NEXTDLGCTL, WPARAM(name), TRUE);
        Type(name, L"mine");
        LeftSoftKey(browser);
    });
    // "Default" puts the skin's colours in; "Load" brings the saved ones back.
    script.In(1022, [&](HWND editor) { RightSoftKey(editor); });
    script.Choose(L"Default");
    script.In(1022, [&](HWND editor) { RightSoftKey(editor); });
    script.Choose(L"Load");
    script.In(kBrowserTypes, [&](HWND browser) {
        HWND list = GetDlgItem(browser, kBrowserList);
        EXPECT_EQ(RowCount(list), 1);
        EXPECT_EQ(ListRowText(list, 0), L"mine.ini");
        SelectListRow(list, 0);
        LeftSoftKey(browser);
    });
    script.In(1022, [&](HWND editor) { LeftSoftKey(editor); });
    script.Then(InPreferences(run, [&](HWND window) { RightSoftKey(window); }));
    ASSERT_TRUE(OpenPreferences(app, run, script, PreferencesInterfacePage));
    EXPECT_EQ(run.result, IDCANCEL);

    std::wstring saved = tree.path + L"Schemes\\mine.ini";
    ASSERT_NE(GetFileAttributesW(saved.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(std::memcmp(app.App().Settings().colors, mine, sizeof mine), 0);
    COLORREF read[33] = {};
    ColorScheme::Load(saved.c_str(), read);
    EXPECT_EQ(std::memcmp(read, mine, sizeof mine), 0);
    // The next browser of any caller opens where the scheme was chosen.
    EXPECT_EQ(FileBrowserLastPath(), L"\\Schemes\\mine.ini");
}
