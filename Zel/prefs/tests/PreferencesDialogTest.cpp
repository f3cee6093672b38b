// The preferences dialog on real core services, driven by window messages from a script that runs
// inside the dialog's own modal loop: load then OK keeps the record and sends only the anti-spam
// code, one change per control gives its field and code, Cancel stores nothing, the enabling
// rules, the LED lists, the proxy that leaves the access point alone, and the Accounts page's
// buttons on the protocols manager.
#include "Zel/prefs/PreferencesDialog.h"

#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/core/tests/PluginTreeSupport.h"
#include "Zel/core/tests/plugins/FakeAccountPlugin.h"
#include "Zel/net/ConnectionManager.h"
#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Handheld/Nled.h"
#include "ZELCommon/tests/TempFolder.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using TestSupport::Scripted;

namespace {

class Recorder : public IOptionObserver {
public:
    void OnOptionChanged(int code) override { codes.push_back(code); }
    std::vector<int> codes;
};

class ScriptedPreferences : public Scripted<PreferencesDialog> {
public:
    using Scripted<PreferencesDialog>::Scripted;
    void OnInitDialog() override
    {
        Scripted<PreferencesDialog>::OnInitDialog();
        StartScript();
    }
    // A control of page index.
    HWND Item(int page, int id)
    {
        TabPage* tab = FindPage(page);
        return tab ? static_cast<UI::CZELWMUI_Dlg*>(tab->window)->GetDlgItem(id) : nullptr;
    }
    HWND Page(int page) { return GetParent(Item(page, FirstControl(page))); }
    static int FirstControl(int page)
    {
        const int first[] = {1143, 1024, 1057, 1027, 1032, 1032, 1170, 1027, 1008, 1000};
        return first[page];
    }
    void Ok() { EndDialog(IDOK); }
    void Cancel() { EndDialog(IDCANCEL); }
};

// Everything the dialog can change, as text, for before-and-after comparisons.
std::wstring Snapshot(const GlobalSettings& s)
{
    std::wostringstream out;
    out << s.autoConnect << s.trayIcon << s.fullScreen << s.wideMenu << ' ' << s.clMode << s.clOnlyOnline
        << s.clColumns << s.clDontShowIcon << ' ';
    const unsigned char* font = reinterpret_cast<const unsigned char*>(&s.clFont);
    for (size_t i = 0; i < sizeof s.clFont; ++i) out << int(font[i]) << ',';
    out << s.turnOffEvents << s.notifySignOn << s.notifySignOff << s.dontBlink << s.showMessages
        << s.dontShowIfOccupied << s.dontShowIfActive << s.wakeUp << s.useBlinking << ' ' << s.alertSoundOn
        << s.alertAdvancedSound << s.alertVolume << s.alertVibraOn << s.alertSoftMode << ' '
        << (s.alertPackName.GetBuffer() ? s.alertPackName.GetBuffer() : L"") << '|';
    for (int i = 0; i < s.alerts.GetCount(); ++i)
        out << s.alerts[i].on << s.alerts[i].soundOn << s.alerts[i].vibra
            << (s.alerts[i].sound.GetBuffer() ? s.alerts[i].sound.GetBuffer() : L"") << ';';
    out << (s.skinName.GetBuffer() ? s.skinName.GetBuffer() : L"") << '|';
    for (COLORREF c : s.colors) out << c << ',';
    out << s.useSmile << s.scaleSmile << (s.smilePack.GetBuffer() ? s.smilePack.GetBuffer() : L"") << '|'
        << (s.language.GetBuffer() ? s.language.GetBuffer() : L"") << '|' << s.histSaveHistory
        << s.histSaveNotInList << s.histShowInChat << s.histMessagesToShow << s.antispamEnable
        << (s.antispamQuestion.GetBuffer() ? s.antispamQuestion.GetBuffer() : L"") << '|'
        << (s.antispamAnswer.GetBuffer() ? s.antispamAnswer.GetBuffer() : L"") << '|'
        << (s.antispamConfirm.GetBuffer() ? s.antispamConfirm.GetBuffer() : L"") << '|' << s.dontSleep << ' '
        << int(s.blinkLed) << ' ' << int(s.vibraLed);
    return out.str();
}

void Click(HWND button)
{
    SendMessageW(button, BM_CLICK, 0, 0);
}

void Choose(HWND combo, int index)
{
    SendMessageW(combo, CB_SETCURSEL, WPARAM(index), 0);
    SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), LPARAM(combo));
}

void Type(HWND edit, const std::wstring& text)
{
    SendMessageW(edit, WM_SETTEXT, 0, LPARAM(L""));
    for (wchar_t c : text) SendMessageW(edit, WM_CHAR, WPARAM(c), 0);
}

bool Enabled(HWND window)
{
    return IsWindowEnabled(window) != FALSE;
}

class Preferences : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        settingsFile = folder.path + L"settings.zel";
        place.bus = &bus;
        place.images = &images;
        place.settingsFile = settingsFile.c_str();
        place.protosFolder = PluginTree::ProtosFolder(L"Accounts");
        CreateCoreServices(place);
        bus.FireStartupEvent();
        settings.SetPlace(&bus, CZELString());
        settings.Load();
        host = TestSupport::CreateHostWindow(240, 320);
        LONG none = 0;
        HandheldSetNledDevices(&none, 0);
    }
    void TearDown() override
    {
        SetPreferencesSubDialogs(nullptr);
        SetPopupMenuRunner(nullptr, nullptr);
        if (host) DestroyWindow(host);
        DestroyCoreServices();
    }

    // Non-default values in every field the pages show.
    void MakeUnusual()
    {
        settings.autoConnect = !settings.autoConnect;
        settings.wideMenu = !settings.wideMenu;
        settings.clMode = 1;
        settings.clColumns = 3;
        settings.clOnlyOnline = true;
        settings.turnOffEvents = false;
        settings.notifySignOff = !settings.notifySignOff;
        settings.showMessages = true;
        settings.dontShowIfActive = !settings.dontShowIfActive;
        settings.alertVolume = 7;
        settings.alertVibraOn = !settings.alertVibraOn;
        settings.scaleSmile = !settings.scaleSmile;
        settings.histMessagesToShow = 13;
        settings.histShowInChat = true;
        settings.histSaveHistory = true;
        settings.antispamEnable = true;
        settings.antispamQuestion = CZELString(L"Two and two?");
        settings.antispamAnswer = CZELString(L"four");
        settings.antispamConfirm = CZELString(L"Welcome");
        settings.dontSleep = !settings.dontSleep;
        // And every other field a page shows, so a control that stores a constant shows up.
        settings.trayIcon = !settings.trayIcon;
        settings.fullScreen = !settings.fullScreen;
        settings.clDontShowIcon = !settings.clDontShowIcon;
        settings.clFont.lfHeight = 20;
        settings.clFont.lfItalic = 1;
        settings.notifySignOn = !settings.notifySignOn;
        settings.dontBlink = !settings.dontBlink;
        settings.dontShowIfOccupied = !settings.dontShowIfOccupied;
        settings.wakeUp = !settings.wakeUp;
        settings.useBlinking = !settings.useBlinking;
        settings.alertSoundOn = !settings.alertSoundOn;
        settings.alertAdvancedSound = !settings.alertAdvancedSound;
        settings.alertSoftMode = !settings.alertSoftMode;
        settings.useSmile = !settings.useSmile;
        settings.histSaveNotInList = !settings.histSaveNotInList;
        settings.blinkLed = 1;
        settings.vibraLed = 0;
    }

    // Runs the dialog at page with the script's steps, each getting the dialog.
    int Run(int page, const std::vector<std::function<void(ScriptedPreferences&)>>& steps, Recorder& recorder)
    {
        IOptionObserver* observers[] = {&recorder};
        ScriptedPreferences dialog(settings, observers, 1, page);
        for (const auto& step : steps) dialog.steps.push_back([&dialog, step] { step(dialog); });
        return DoModalDialog(&dialog, host);
    }

    TestSupport::TempFolder folder{L"PreferencesTest"};
    std::wstring settingsFile;
    Services::CServicesManager bus;
    CSkinImageSet images;
    CoreServicesPlace place;
    GlobalSettings settings;
    HWND host = nullptr;
};

}  // namespace

TEST_F(Preferences, LoadedThenOkKeepsTheRecordAndSendsOnlyTheAntispamCode)
{
    const LONG two[] = {0, -1};
    HandheldSetNledDevices(two, 2);
    MakeUnusual();
    const std::wstring before = Snapshot(settings);
    Recorder recorder;
    EXPECT_EQ(Run(0, {[](ScriptedPreferences& d) { d.Ok(); }}, recorder), IDOK);
    EXPECT_EQ(Snapshot(settings), before);
    EXPECT_EQ(recorder.codes, std::vector<int>{PrefAntispamSwitch});
}

TEST_F(Preferences, CancelStoresNothingAndSendsNothing)
{
    const std::wstring before = Snapshot(settings);
    Recorder recorder;
    EXPECT_EQ(Run(0, {[](ScriptedPreferences& d) {
                          Click(d.Item(0, 1141));
                          Click(d.Item(1, 1025));
                          Choose(d.Item(4, 1034), 0);
                          Type(d.Item(6, 1177), L"changed");
                          d.Cancel();
                      }},
                  recorder),
              IDCANCEL);
    EXPECT_EQ(Snapshot(settings), before);
    EXPECT_TRUE(recorder.codes.empty());
}

TEST_F(Preferences, EachControlStoresItsFieldAndSendsItsCode)
{
    struct Case {
        const char* name;
        std::function<void(ScriptedPreferences&)> change;
        std::function<bool(const GlobalSettings&, const GlobalSettings&)> stored;  // after, before
        std::vector<int> codes;                                                    // besides 21
    } cases[] = {
        {"auto-connect", [](ScriptedPreferences& d) { Click(d.Item(0, 1143)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.autoConnect != b.autoConnect; }, {}},
        {"tray icon", [](ScriptedPreferences& d) { Click(d.Item(0, 1141)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.trayIcon != b.trayIcon; }, {PrefTrayIcon}},
        {"full screen", [](ScriptedPreferences& d) { Click(d.Item(0, 1028)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.fullScreen != b.fullScreen; }, {}},
        {"wide menus", [](ScriptedPreferences& d) { Click(d.Item(0, 1029)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.wideMenu != b.wideMenu; }, {}},
        {"mode", [](ScriptedPreferences& d) { Choose(d.Item(1, 1024), 0); },
         [](const GlobalSettings& a, const GlobalSettings&) { return a.clMode == 0; }, {PrefClMode}},
        {"only online", [](ScriptedPreferences& d) { Click(d.Item(1, 1025)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.clOnlyOnline != b.clOnlyOnline; },
         {PrefClOnlyOnline}},
        {"columns", [](ScriptedPreferences& d) { Choose(d.Item(1, 1026), 3); },
         [](const GlobalSettings& a, const GlobalSettings&) { return a.clColumns == 4; }, {PrefClColumns}},
        {"no icons", [](ScriptedPreferences& d) { Click(d.Item(1, 1027)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.clDontShowIcon != b.clDontShowIcon; }, {}},
        {"sign on", [](ScriptedPreferences& d) { Click(d.Item(2, 1058)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.notifySignOn != b.notifySignOn; }, {}},
        {"led blinking", [](ScriptedPreferences& d) { Click(d.Item(2, 1155)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.useBlinking != b.useBlinking; }, {}},
        {"events off", [](ScriptedPreferences& d) { Click(d.Item(2, 1057)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.turnOffEvents != b.turnOffEvents; }, {}},
        {"sign off", [](ScriptedPreferences& d) { Click(d.Item(2, 1059)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.notifySignOff != b.notifySignOff; }, {}},
        {"no tray blinking", [](ScriptedPreferences& d) { Click(d.Item(2, 1060)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.dontBlink != b.dontBlink; }, {}},
        {"tray messages", [](ScriptedPreferences& d) { Click(d.Item(2, 1061)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.showMessages != b.showMessages; }, {}},
        {"not when occupied", [](ScriptedPreferences& d) { Click(d.Item(2, 1063)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.dontShowIfOccupied != b.dontShowIfOccupied; },
         {}},
        {"not when active", [](ScriptedPreferences& d) { Click(d.Item(2, 1064)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.dontShowIfActive != b.dontShowIfActive; }, {}},
        {"wake up", [](ScriptedPreferences& d) { Click(d.Item(2, 1165)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.wakeUp != b.wakeUp; }, {}},
        {"sound", [](ScriptedPreferences& d) { Click(d.Item(3, 1027)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.alertSoundOn != b.alertSoundOn; },
         {PrefAlertSound}},
        {"volume",
         [](ScriptedPreferences& d) { SendMessageW(d.Item(3, 1118), TBM_SETPOS, TRUE, 2); },
         [](const GlobalSettings& a, const GlobalSettings&) { return a.alertVolume == 2; }, {}},
        {"vibra", [](ScriptedPreferences& d) { Click(d.Item(3, 1028)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.alertVibraOn != b.alertVibraOn; }, {}},
        {"advanced sound", [](ScriptedPreferences& d) { Click(d.Item(3, 1030)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.alertAdvancedSound != b.alertAdvancedSound; },
         {}},
        {"soft mode", [](ScriptedPreferences& d) { Click(d.Item(3, 1029)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.alertSoftMode != b.alertSoftMode; }, {}},
        {"smilies off", [](ScriptedPreferences& d) { Click(d.Item(4, 1044)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.useSmile != b.useSmile; }, {PrefSmilies}},
        {"scaled smilies", [](ScriptedPreferences& d) { Click(d.Item(4, 1045)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.scaleSmile != b.scaleSmile; },
         {PrefSmileyScale}},
        {"save history", [](ScriptedPreferences& d) { Click(d.Item(5, 1032)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.histSaveHistory != b.histSaveHistory; }, {}},
        {"not in list", [](ScriptedPreferences& d) { Click(d.Item(5, 1033)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.histSaveNotInList != b.histSaveNotInList; }, {}},
        {"history in chat", [](ScriptedPreferences& d) { Click(d.Item(5, 1034)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.histShowInChat != b.histShowInChat; }, {}},
        {"history count", [](ScriptedPreferences& d) { Type(d.Item(5, 1056), L"7"); },
         [](const GlobalSettings& a, const GlobalSettings&) { return a.histMessagesToShow == 7; }, {}},
        {"history count 0", [](ScriptedPreferences& d) { Type(d.Item(5, 1056), L"0"); },
         [](const GlobalSettings& a, const GlobalSettings&) { return a.histMessagesToShow == 1; }, {}},
        {"history count 999", [](ScriptedPreferences& d) { Type(d.Item(5, 1056), L"999"); },
         [](const GlobalSettings& a, const GlobalSettings&) { return a.histMessagesToShow == 20; }, {}},
        {"history count empty", [](ScriptedPreferences& d) { Type(d.Item(5, 1056), L""); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.histMessagesToShow == b.histMessagesToShow; },
         {}},
        {"anti-spam bot", [](ScriptedPreferences& d) { Click(d.Item(6, 1172)); },
         [](const GlobalSettings& a, const GlobalSettings& b) {
             return a.antispamEnable != b.antispamEnable && ContactListDataService->GetAntispamEnable() == a.antispamEnable;
         },
         {}},
        {"question", [](ScriptedPreferences& d) { Type(d.Item(6, 1175), L"Q?"); },
         [](const GlobalSettings& a, const GlobalSettings&) {
             return a.antispamQuestion == L"Q?" && ContactListDataService->GetAntispamQuestion() == L"Q?";
         },
         {PrefAntispamQuestion}},
        {"answer", [](ScriptedPreferences& d) { Type(d.Item(6, 1177), L"A"); },
         [](const GlobalSettings& a, const GlobalSettings&) {
             return a.antispamAnswer == L"A" && ContactListDataService->GetAntispamAnswer() == L"A";
         },
         {PrefAntispamAnswer}},
        {"confirmation", [](ScriptedPreferences& d) { Type(d.Item(6, 1179), L"C"); },
         [](const GlobalSettings& a, const GlobalSettings&) { return a.antispamConfirm == L"C"; },
         {PrefAntispamConfirm}},
        {"only from the list", [](ScriptedPreferences& d) { Click(d.Item(6, 1170)); },
         [](const GlobalSettings&, const GlobalSettings&) { return !ContactListDataService->GetAntispamMsgsFromNIL(); },
         {}},
        {"don't sleep", [](ScriptedPreferences& d) { Click(d.Item(7, 1027)); },
         [](const GlobalSettings& a, const GlobalSettings& b) { return a.dontSleep != b.dontSleep; }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings.Load();
        ContactListDataService->SetAntispamMsgsFromNIL(true);
        settings.histSaveHistory = true;
        settings.histShowInChat = true;
        settings.histMessagesToShow = 5;
        // Every control enabled, so each click reaches its box.
        settings.turnOffEvents = false;
        settings.showMessages = true;
        settings.alertSoundOn = true;
        GlobalSettings old = settings;
        Recorder recorder;
        auto change = c.change;
        EXPECT_EQ(Run(0, {[change](ScriptedPreferences& d) {
                              change(d);
                              d.Ok();
                          }},
                      recorder),
                  IDOK);
        EXPECT_TRUE(c.stored(settings, old));
        // The anti-spam switch is always announced, before the texts' codes.
        std::vector<int> codes;
        for (int code : c.codes)
            if (code < PrefAntispamSwitch) codes.push_back(code);
        codes.push_back(PrefAntispamSwitch);
        for (int code : c.codes)
            if (code > PrefAntispamSwitch) codes.push_back(code);
        EXPECT_EQ(recorder.codes, codes);
    }
}

TEST_F(Preferences, EmptyPackListsStoreNothingOfTheirs)
{
    // No Skins, Smilies or Alerts folder: the lists are empty, and OK keeps the stored names.
    TestSupport::TempFolder empty{L"PreferencesNoPacks"};
    settings.SetPlace(&bus, CZELString(empty.path.c_str()));
    settings.skinName = CZELString(L"Gone skin");
    settings.smilePack = CZELString(L"Gone smilies");
    settings.alertPackName = CZELString(L"Gone alerts");
    ASSERT_GT(settings.alerts.GetCount(), 0);
    settings.alerts[0].vibra = 0x2D;
    const std::wstring before = Snapshot(settings);
    Recorder recorder;
    Run(PreferencesInterfacePage, {[](ScriptedPreferences& d) {
                                       EXPECT_EQ(SendMessageW(d.Item(4, 1032), CB_GETCOUNT, 0, 0), 0);
                                       EXPECT_EQ(SendMessageW(d.Item(4, 1033), CB_GETCOUNT, 0, 0), 0);
                                       EXPECT_EQ(SendMessageW(d.Item(3, 1032), CB_GETCOUNT, 0, 0), 0);
                                       d.Ok();
                                   }},
        recorder);
    EXPECT_EQ(Snapshot(settings), before);
    EXPECT_EQ(recorder.codes, std::vector<int>{PrefAntispamSwitch});
}

TEST_F(Preferences, EnablingRules)
{
    struct Case {
        const char* name;
        int page;
        std::vector<int> clicks;
        std::vector<int> enabled, disabled;
    } cases[] = {
        {"events on", 2, {}, {1058, 1059, 1060, 1061, 1097, 1100}, {}},
        {"events off", 2, {1057}, {1057, 1165, 1155}, {1058, 1059, 1060, 1061, 1063, 1064, 1101, 1102}},
        {"tray messages off", 2, {1061}, {1058, 1061}, {1063, 1064, 1101, 1102}},
        {"sound off", 3, {1027}, {1028}, {1030, 1115, 1118, 1114}},
        {"sound and vibra off", 3, {1027, 1028}, {}, {1029, 1113}},
        {"no history", 5, {1032}, {}, {1033, 1103, 1034, 1104, 1056, 1092, 1093}},
        {"history not in chat", 5, {1034}, {1033}, {1056, 1092, 1093}},
        {"bot off", 6, {1172}, {1170, 1172}, {1174, 1175, 1176, 1177, 1178, 1179}},
        {"only the list", 6, {1170}, {}, {1172, 1173, 1174, 1175, 1179}},
        {"smilies off", 4, {1044}, {1032, 1034}, {1033, 1045, 1106}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings.turnOffEvents = false;
        settings.showMessages = true;
        settings.alertSoundOn = true;
        settings.alertAdvancedSound = true;
        settings.alertVibraOn = true;
        settings.histSaveHistory = true;
        settings.histShowInChat = true;
        settings.antispamEnable = true;
        settings.useSmile = true;
        ContactListDataService->SetAntispamMsgsFromNIL(true);
        Recorder recorder;
        Run(c.page, {[&](ScriptedPreferences& d) {
                        for (int id : c.clicks) Click(d.Item(c.page, id));
                        for (int id : c.enabled) EXPECT_TRUE(Enabled(d.Item(c.page, id))) << id;
                        for (int id : c.disabled) EXPECT_FALSE(Enabled(d.Item(c.page, id))) << id;
                        d.Cancel();
                    }},
            recorder);
    }
}

TEST_F(Preferences, HardwareListsTheLedsAndAutoStores255)
{
    const LONG two[] = {0, -1};
    for (int leds : {0, 2}) {
        SCOPED_TRACE(leds);
        HandheldSetNledDevices(two, leds);
        settings.blinkLed = 5;
        settings.vibraLed = 1;
        Recorder recorder;
        Run(7, {[&](ScriptedPreferences& d) {
                    HWND blink = d.Item(7, 1186), vibra = d.Item(7, 1187);
                    EXPECT_EQ(SendMessageW(blink, CB_GETCOUNT, 0, 0), leds + 1);
                    EXPECT_EQ(SendMessageW(blink, CB_GETCURSEL, 0, 0), 0);
                    EXPECT_EQ(SendMessageW(vibra, CB_GETCURSEL, 0, 0), leds == 2 ? 2 : 0);
                    wchar_t text[16] = L"";
                    SendMessageW(blink, CB_GETLBTEXT, 0, LPARAM(text));
                    EXPECT_STREQ(text, L"Auto");
                    d.Ok();
                }},
            recorder);
        EXPECT_EQ(settings.blinkLed, 255);
        EXPECT_EQ(settings.vibraLed, leds == 2 ? 1 : 255);
    }
}

TEST_F(Preferences, ConnectionReplacesOnlyTheProxyAndKeepsAnUnusablePort)
{
    ConnectionSettings stored;
    stored.accessPoint = CZELString(L"Office network");
    stored.proxyType = PROXY_HTTP;
    stored.proxyHost = CZELString(L"proxy.test");
    stored.proxyPort = 8080;
    struct Case {
        const wchar_t* port;
        int stored;
    } cases[] = {{L"3128", 3128}, {L"0", 8080}, {L"70000", 8080}, {L"", 8080}, {L"65535", 65535}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.port)));
        ConnectionManagerService->SetSettings(stored);
        Recorder recorder;
        Run(8, {[&](ScriptedPreferences& d) {
                    EXPECT_TRUE(Enabled(d.Item(8, 1009)));
                    EXPECT_FALSE(Enabled(d.Item(8, 1012)));
                    Type(d.Item(8, 1010), c.port);
                    Click(d.Item(8, 1011));
                    EXPECT_TRUE(Enabled(d.Item(8, 1013)));
                    Type(d.Item(8, 1012), L"user");
                    d.Ok();
                }},
            recorder);
        ConnectionSettings now = ConnectionManagerService->GetSettings();
        EXPECT_EQ(now.proxyPort, c.stored);
        EXPECT_TRUE(now.accessPoint == L"Office network");
        EXPECT_TRUE(now.proxyLogin == L"user");
    }
    // "NONE" disables the server and everything after it.
    Recorder recorder;
    Run(8, {[&](ScriptedPreferences& d) {
                Choose(d.Item(8, 1008), 0);
                for (int id : {1009, 1010, 1011, 1095, 1012, 1013}) EXPECT_FALSE(Enabled(d.Item(8, id))) << id;
                d.Ok();
            }},
        recorder);
    EXPECT_EQ(ConnectionManagerService->GetSettings().proxyType, PROXY_NONE);
    EXPECT_TRUE(ConnectionManagerService->GetSettings().accessPoint == L"Office network");
}

namespace {

bool PickedFont(HWND, LOGFONTW& font)
{
    font.lfWeight = FW_BOLD;
    return true;
}
bool UnchangedFont(HWND, LOGFONTW&)
{
    return true;
}
int g_messageWindowRuns = 0;
void MessageWindowStandIn(HWND, GlobalSettings&)
{
    ++g_messageWindowRuns;
}

}  // namespace

TEST_F(Preferences, SubDialogsActAtOnceAndCancelKeepsTheirChange)
{
    PreferencesSubDialogs standIns = {PickedFont, nullptr, nullptr, nullptr, nullptr};
    SetPreferencesSubDialogs(&standIns);
    Recorder recorder;
    Run(1, {[&](ScriptedPreferences& d) {
                Click(d.Item(1, 1187));
                EXPECT_EQ(recorder.codes, std::vector<int>{PrefClFont});
                d.Cancel();
            }},
        recorder);
    EXPECT_EQ(settings.clFont.lfWeight, FW_BOLD);
    EXPECT_EQ(recorder.codes, std::vector<int>{PrefClFont});

    standIns.font = UnchangedFont;
    recorder.codes.clear();
    Run(1, {[&](ScriptedPreferences& d) {
                Click(d.Item(1, 1187));
                d.Cancel();
            }},
        recorder);
    EXPECT_TRUE(recorder.codes.empty());

    // The message-window settings are the chat window's: set in by the application.
    g_messageWindowRuns = 0;
    Run(0, {[&](ScriptedPreferences& d) {
                Click(d.Item(0, 1019));
                d.Cancel();
            }},
        recorder);
    EXPECT_EQ(g_messageWindowRuns, 0);
    SetMessageWindowSettingsDialog(MessageWindowStandIn);
    Run(0, {[&](ScriptedPreferences& d) {
                Click(d.Item(0, 1019));
                d.Cancel();
            }},
        recorder);
    SetMessageWindowSettingsDialog(nullptr);
    EXPECT_EQ(g_messageWindowRuns, 1);
}

namespace {

std::vector<unsigned> g_openedAccounts;
void RecordAccountSettings(unsigned account, HWND)
{
    g_openedAccounts.push_back(account);
}
int g_pick = -1;
int g_menuItems = 0;
PopupMenuResult PickProtocol(void*, const CPopupMenu& menu, const RECT&, const POINT&, int)
{
    g_menuItems = menu.GetCount();
    return PopupMenuResult{nullptr, g_pick, 0};
}

std::vector<unsigned> Rows(HWND list)
{
    std::vector<unsigned> rows;
    const int count = int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        SendMessageW(list, LVM_GETITEMW, 0, LPARAM(&item));
        rows.push_back(unsigned(item.lParam));
    }
    return rows;
}

std::vector<unsigned> ManagerOrder()
{
    std::vector<unsigned> ids;
    for (int i = 0; i < ProtocolsManagerService->GetAccountCount(); ++i)
        ids.push_back(ProtocolsManagerService->GetAccountId(unsigned(i)));
    return ids;
}

int Selected(HWND list)
{
    return int(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
}

}  // namespace

TEST_F(Preferences, AccountsPageActsOnTheProtocolsManagerAtOnce)
{
    const unsigned first = ProtocolsManagerService->CreateAccount(GUID_FAKE_A);
    const unsigned second = ProtocolsManagerService->CreateAccount(GUID_FAKE_A);
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    PreferencesSubDialogs standIns = {nullptr, nullptr, nullptr, RecordAccountSettings, nullptr};
    SetPreferencesSubDialogs(&standIns);
    SetPopupMenuRunner(&PickProtocol, nullptr);
    g_openedAccounts.clear();
    int protocolIndex = -1;
    for (int i = 0; i < ProtocolsManagerService->GetProtocolCount(); ++i)
        if (ProtocolsManagerService->GetProtocol(i).guid == GUID_FAKE_A) protocolIndex = i;
    ASSERT_GE(protocolIndex, 0);
    unsigned added = 0;
    Recorder recorder;
    Run(PreferencesAccountsPage,
        {[&](ScriptedPreferences& d) {
             HWND list = d.Item(9, 1000);
             EXPECT_EQ(Rows(list), (std::vector<unsigned>{first, second}));
             EXPECT_EQ(Selected(list), 0);
             EXPECT_FALSE(IsWindowVisible(d.Item(9, 1003)));
             // Add: the menu lists the protocols; the new account's row is selected and opened.
             g_pick = 1000 + protocolIndex;
             Click(d.Item(9, 1001));
             EXPECT_EQ(g_menuItems, ProtocolsManagerService->GetProtocolCount());
             ASSERT_EQ(ProtocolsManagerService->GetAccountCount(), 3);
             added = ProtocolsManagerService->GetAccountId(2);
             EXPECT_EQ(Rows(list), (std::vector<unsigned>{first, second, added}));
             EXPECT_EQ(Selected(list), 2);
             EXPECT_EQ(g_openedAccounts, std::vector<unsigned>{added});
             // No choice: nothing.
             g_pick = -1;
             Click(d.Item(9, 1001));
             EXPECT_EQ(ProtocolsManagerService->GetAccountCount(), 3);
             // Up, then Down at the bottom does nothing.
             Click(d.Item(9, 1005));
             EXPECT_EQ(ManagerOrder(), (std::vector<unsigned>{first, added, second}));
             EXPECT_EQ(Rows(list), ManagerOrder());
             EXPECT_EQ(Selected(list), 1);
             Click(d.Item(9, 1006));
             Click(d.Item(9, 1006));
             EXPECT_EQ(ManagerOrder(), (std::vector<unsigned>{first, second, added}));
             EXPECT_EQ(Selected(list), 2);
             // Settings opens the selected account.
             Click(d.Item(9, 1002));
             EXPECT_EQ(g_openedAccounts.back(), added);
             // Deleting the first selects the new first.
             LVITEMW state = {};
             state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
             state.state = LVIS_SELECTED | LVIS_FOCUSED;
             SendMessageW(list, LVM_SETITEMSTATE, 0, LPARAM(&state));
             Click(d.Item(9, 1004));
             EXPECT_EQ(Rows(list), (std::vector<unsigned>{second, added}));
             EXPECT_EQ(Selected(list), 0);
             d.Ok();
         }},
        recorder);
    // The removal runs on the manager's queue.
    for (int i = 0; i < 200 && ProtocolsManagerService->GetAccountCount() != 2; ++i) {
        TestSupport::PumpMessages();
        Sleep(10);
    }
    EXPECT_EQ(ManagerOrder(), (std::vector<unsigned>{second, added}));
}
