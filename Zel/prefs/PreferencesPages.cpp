#include "Zel/prefs/PreferencesPages.h"

#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/net/ConnectionManager.h"
#include "Zel/prefs/GlobalSettings.h"
#include "Zel/prefs/PreferencesDialog.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/alerts/NotificationLed.h"

#include <commctrl.h>

#include <cstring>

namespace {

enum { MaxHistoryShown = 20, MinHistoryShown = 1, MaxPort = 65535, TextLimit = 255 };

class GeneralPage : public PreferencesPage {
public:
    explicit GeneralPage(PreferencesDialog& owner) : PreferencesPage(owner, 158, 51, 68) {}

protected:
    void Load() override
    {
        Label(1144, 61);
        Label(1142, 62);
        Label(1096, 64);
        Label(1097, 66);
        Label(1019, 67);
        GlobalSettings& s = Settings();
        Check(1143, s.autoConnect);
        Check(1141, s.trayIcon);
        Check(1028, s.fullScreen);
        Check(1029, s.wideMenu);
    }
    void Store() override
    {
        GlobalSettings& s = Settings();
        s.autoConnect = Checked(1143);
        const bool tray = Checked(1141);
        const bool trayChanged = tray != s.trayIcon;
        s.trayIcon = tray;
        s.fullScreen = Checked(1028);
        s.wideMenu = Checked(1029);
        if (trayChanged) Notify(PrefTrayIcon);
    }
    void OnButton(int id) override
    {
        if (id == 1019 && PreferencesDialogs().messageWindow) PreferencesDialogs().messageWindow(hwnd, Settings());
    }
};

class ContactListPage : public PreferencesPage {
public:
    explicit ContactListPage(PreferencesDialog& owner) : PreferencesPage(owner, 137, 52, 50) {}

protected:
    void Load() override
    {
        Label(1067, 68);
        Label(1094, 71);
        Label(1068, 72);
        Label(1095, 73);
        Label(1187, 74);
        GlobalSettings& s = Settings();
        HWND mode = GetDlgItem(1024);
        SendMessageW(mode, CB_RESETCONTENT, 0, 0);
        SendMessageW(mode, CB_ADDSTRING, 0, LPARAM(GuiText(69).GetBuffer()));
        SendMessageW(mode, CB_ADDSTRING, 0, LPARAM(GuiText(70).GetBuffer()));
        Select(1024, s.clMode);
        Check(1025, s.clOnlyOnline);
        HWND columns = GetDlgItem(1026);
        SendMessageW(columns, CB_RESETCONTENT, 0, 0);
        for (const wchar_t* n : {L"1", L"2", L"3", L"4"}) SendMessageW(columns, CB_ADDSTRING, 0, LPARAM(n));
        Select(1026, s.clColumns - 1);
        Check(1027, s.clDontShowIcon);
    }
    void Store() override
    {
        GlobalSettings& s = Settings();
        // A list left without a selection (a stored value out of range) keeps the stored value.
        const int mode = Selection(1024);
        const bool modeChanged = mode >= 0 && mode != s.clMode;
        if (mode >= 0) s.clMode = mode;
        const bool online = Checked(1025);
        const bool onlineChanged = online != s.clOnlyOnline;
        s.clOnlyOnline = online;
        const int columns = Selection(1026);
        const bool columnsChanged = columns >= 0 && columns + 1 != s.clColumns;
        if (columns >= 0) s.clColumns = columns + 1;
        s.clDontShowIcon = Checked(1027);
        if (modeChanged) Notify(PrefClMode);
        if (onlineChanged) Notify(PrefClOnlyOnline);
        if (columnsChanged) Notify(PrefClColumns);
    }
    void OnButton(int id) override
    {
        if (id != 1187 || !PreferencesDialogs().font) return;
        LOGFONTW font = Settings().clFont;
        if (!PreferencesDialogs().font(hwnd, font)) return;
        if (std::memcmp(&font, &Settings().clFont, sizeof font) == 0) return;
        Settings().clFont = font;
        Notify(PrefClFont);
    }
};

struct EventBox {
    int box, label, text;
    bool GlobalSettings::*field;
};
const EventBox kEventBoxes[] = {
    {1057, 1096, 75, &GlobalSettings::turnOffEvents},   {1058, 1097, 77, &GlobalSettings::notifySignOn},
    {1059, 1098, 78, &GlobalSettings::notifySignOff},   {1060, 1099, 80, &GlobalSettings::dontBlink},
    {1061, 1100, 81, &GlobalSettings::showMessages},    {1063, 1101, 82, &GlobalSettings::dontShowIfOccupied},
    {1064, 1102, 83, &GlobalSettings::dontShowIfActive}, {1165, 1166, 84, &GlobalSettings::wakeUp},
    {1155, 1156, 85, &GlobalSettings::useBlinking},
};

class EventsPage : public PreferencesPage {
public:
    explicit EventsPage(PreferencesDialog& owner) : PreferencesPage(owner, 148, 53, 51) {}

protected:
    void Load() override
    {
        Label(1074, 76);
        Label(1075, 79);
        for (const EventBox& e : kEventBoxes) {
            Label(e.label, e.text);
            Check(e.box, Settings().*e.field);
        }
    }
    void Store() override
    {
        for (const EventBox& e : kEventBoxes) Settings().*e.field = Checked(e.box);
    }
    void UpdateEnabling(int id) override
    {
        const bool on = !Checked(1057);
        if (id == 0 || id == 1057)
            EnableItems({1058, 1059, 1060, 1061, 1097, 1098, 1099, 1100, 1063, 1064, 1101, 1102}, on);
        if (id == 0 || id == 1061 || id == 1057) EnableItems({1063, 1064, 1101, 1102}, on && Checked(1061));
    }
};

class AlertsPage : public PreferencesPage {
public:
    explicit AlertsPage(PreferencesDialog& owner) : PreferencesPage(owner, 140, 56, 53) {}

protected:
    void Load() override
    {
        Label(1111, 95);
        Label(1115, 96);
        Label(1114, 97);
        Label(1112, 98);
        Label(1113, 99);
        Label(1019, 100);
        Label(1176, 101);
        GlobalSettings& s = Settings();
        Check(1027, s.alertSoundOn);
        Check(1030, s.alertAdvancedSound);
        HWND volume = GetDlgItem(1118);
        SendMessageW(volume, TBM_SETRANGE, TRUE, MAKELPARAM(1, 10));
        SendMessageW(volume, TBM_SETPOS, TRUE, LPARAM(s.alertVolume));
        Check(1028, s.alertVibraOn);
        Check(1029, s.alertSoftMode);
        CZELArray<CZELString> packs;
        ListAlertPacks(packs, s.PackRoot());
        FillNames(1032, packs, s.alertPackName);
    }
    void Store() override
    {
        GlobalSettings& s = Settings();
        const bool sound = Checked(1027);
        const bool soundChanged = sound != s.alertSoundOn;
        s.alertSoundOn = sound;
        s.alertAdvancedSound = Checked(1030);
        s.alertVolume = int(SendMessageW(GetDlgItem(1118), TBM_GETPOS, 0, 0));
        s.alertVibraOn = Checked(1028);
        s.alertSoftMode = Checked(1029);
        // An empty pack list leaves the pack as it was.
        CZELString pack = SelectedText(1032);
        if (!pack.IsEmpty() && !SameName(pack, s.alertPackName)) {
            s.alertPackName = pack;
            AlertPack::LoadPack(pack, s.alerts, s.PackRoot());
        }
        if (soundChanged) Notify(PrefAlertSound);
    }
    void UpdateEnabling(int id) override
    {
        const bool sound = Checked(1027);
        if (id == 0 || id == 1027 || id == 1030) {
            EnableItems({1030, 1115}, sound);
            EnableItems({1118, 1114}, sound && Checked(1030));
        }
        if (id == 0 || id == 1028 || id == 1027) EnableItems({1029, 1113}, sound || Checked(1028));
    }
    void OnButton(int id) override
    {
        if (id != 1019 || !PreferencesDialogs().alerts) return;
        AlertEntryArray copy = Settings().alerts;
        if (!PreferencesDialogs().alerts(hwnd, copy)) return;
        Settings().alerts = copy;
        Notify(PrefAlerts);
    }
};

class InterfacePage : public PreferencesPage {
public:
    explicit InterfacePage(PreferencesDialog& owner) : PreferencesPage(owner, 143, 57, 54) {}

protected:
    void Load() override
    {
        Label(1069, 102);
        Label(1019, 103);
        Label(1070, 104);
        Label(1071, 105);
        Label(1105, 106);
        Label(1106, 107);
        Label(1073, 108);
        GlobalSettings& s = Settings();
        CZELArray<CZELString> names;
        ListSkins(names, s.PackRoot());
        FillNames(1032, names, s.skinName);
        Check(1044, !s.useSmile);
        ListSmileyPacks(names, s.PackRoot());
        FillNames(1033, names, s.smilePack);
        Check(1045, s.scaleSmile);
        ListLanguages(names, s.PackRoot());
        FillNames(1034, names, s.language);
    }
    void Store() override
    {
        GlobalSettings& s = Settings();
        bool skinChanged = false, smiliesChanged = false, scaleChanged = false, languageChanged = false;
        // Empty lists store nothing of theirs.
        CZELString skin = SelectedText(1032);
        if (!skin.IsEmpty() && !SameName(skin, s.skinName)) {
            s.skinName = skin;
            skinChanged = true;
        }
        CZELString pack = SelectedText(1033);
        if (pack.IsEmpty()) pack = s.smilePack;
        const bool useSmile = !Checked(1044);
        if (!SameName(pack, s.smilePack) || useSmile != s.useSmile) {
            s.smilePack = pack;
            s.useSmile = useSmile;
            smiliesChanged = true;
        }
        const bool scale = Checked(1045);
        scaleChanged = scale != s.scaleSmile;
        s.scaleSmile = scale;
        CZELString language = SelectedText(1034);
        if (!language.IsEmpty() && !SameName(language, s.language)) {
            s.language = language;
            languageChanged = true;
        }
        if (skinChanged) Notify(PrefSkin);
        if (smiliesChanged) Notify(PrefSmilies);
        if (scaleChanged) Notify(PrefSmileyScale);
        if (languageChanged) Notify(PrefLanguage);
    }
    void UpdateEnabling(int id) override
    {
        if (id == 0) EnableItems({1033}, Settings().useSmile);
        if (id == 0 || id == 1044) EnableItems({1033, 1045, 1106}, !Checked(1044));
    }
    void OnButton(int id) override
    {
        if (id != 1019 || !PreferencesDialogs().colors) return;
        COLORREF copy[GlobalSettings::ColorCount];
        std::memcpy(copy, Settings().colors, sizeof copy);
        if (!PreferencesDialogs().colors(hwnd, copy, Settings().skinName)) return;
        std::memcpy(Settings().colors, copy, sizeof copy);
        Notify(PrefColors);
    }
};

class HistoryPage : public PreferencesPage {
public:
    explicit HistoryPage(PreferencesDialog& owner) : PreferencesPage(owner, 154, 54, 35) {}

protected:
    void Load() override
    {
        Label(1102, 86);
        Label(1103, 87);
        Label(1104, 88);
        Label(1093, 89);
        GlobalSettings& s = Settings();
        Check(1032, s.histSaveHistory);
        Check(1033, s.histSaveNotInList);
        Check(1034, s.histShowInChat);
        SendMessageW(GetDlgItem(1092), UDM_SETRANGE32, MinHistoryShown, MaxHistoryShown);
        SetDlgItemInt(hwnd, 1056, UINT(s.histMessagesToShow), TRUE);
    }
    void Store() override
    {
        GlobalSettings& s = Settings();
        s.histSaveHistory = Checked(1032);
        s.histSaveNotInList = Checked(1033);
        s.histShowInChat = Checked(1034);
        // The spin's range holds for typed numbers too; an empty field keeps the stored count.
        BOOL converted = FALSE;
        const int count = int(GetDlgItemInt(hwnd, 1056, &converted, TRUE));
        if (converted)
            s.histMessagesToShow = count < MinHistoryShown ? MinHistoryShown : count > MaxHistoryShown ? MaxHistoryShown : count;
    }
    void UpdateEnabling(int id) override
    {
        const bool save = Checked(1032);
        if (id == 0 || id == 1032) EnableItems({1033, 1103, 1034, 1104}, save);
        if (id == 0 || id == 1032 || id == 1034) EnableItems({1056, 1092, 1093}, save && Checked(1034));
    }
};

class AntispamPage : public PreferencesPage {
public:
    explicit AntispamPage(PreferencesDialog& owner) : PreferencesPage(owner, 165, 55, 52) {}

protected:
    void Load() override
    {
        Label(1171, 90);
        Label(1173, 91);
        Label(1174, 92);
        Label(1176, 93);
        Label(1178, 94);
        GlobalSettings& s = Settings();
        const bool fromNil = ContactListDataService ? ContactListDataService->GetAntispamMsgsFromNIL() : true;
        Check(1170, !fromNil);
        Check(1172, s.antispamEnable);
        SetItemText(1175, s.antispamQuestion);
        SetItemText(1177, s.antispamAnswer);
        SetItemText(1179, s.antispamConfirm);
    }
    void Store() override
    {
        GlobalSettings& s = Settings();
        CContactListData* data = ContactListDataService;
        if (data) data->SetAntispamMsgsFromNIL(!Checked(1170));
        s.antispamEnable = Checked(1172);
        if (data) data->SetAntispamEnable(s.antispamEnable);
        Notify(PrefAntispamSwitch);
        CZELString text = ItemText(1175);
        if (text != s.antispamQuestion) {
            s.antispamQuestion = text;
            if (data) data->SetAntispamQuestion(text);
            Notify(PrefAntispamQuestion);
        }
        text = ItemText(1177);
        if (text != s.antispamAnswer) {
            s.antispamAnswer = text;
            if (data) data->SetAntispamAnswer(text);
            Notify(PrefAntispamAnswer);
        }
        text = ItemText(1179);
        if (text != s.antispamConfirm) {
            s.antispamConfirm = text;
            if (data) data->SetAntispamConfirm(text);
            Notify(PrefAntispamConfirm);
        }
    }
    void UpdateEnabling(int id) override
    {
        const bool onlyList = Checked(1170);
        if (id == 0 || id == 1172 || id == 1170) EnableItems({1174, 1175, 1176, 1177, 1178, 1179}, !onlyList && Checked(1172));
        if (id == 0 || id == 1170) EnableItems({1172, 1173}, !onlyList);
    }
};

class HardwarePage : public PreferencesPage {
public:
    explicit HardwarePage(PreferencesDialog& owner) : PreferencesPage(owner, 168, 58, 55) {}

protected:
    void Load() override
    {
        Label(1095, 63);
        Label(1096, 109);
        Label(1097, 110);
        GlobalSettings& s = Settings();
        Check(1027, s.dontSleep);
        const int leds = GetLedCount();
        FillLeds(1186, leds, s.blinkLed);
        FillLeds(1187, leds, s.vibraLed);
    }
    void Store() override
    {
        GlobalSettings& s = Settings();
        s.dontSleep = Checked(1027);
        s.blinkLed = (unsigned char)(Selection(1186) - 1);
        s.vibraLed = (unsigned char)(Selection(1187) - 1);
    }

private:
    void FillLeds(int id, int leds, unsigned char stored)
    {
        HWND combo = GetDlgItem(id);
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(GuiText(111).GetBuffer()));
        for (int i = 1; i <= leds; ++i) {
            wchar_t number[12];
            wsprintfW(number, L"%d", i);
            SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(number));
        }
        const int v = (signed char)stored;
        Select(id, v < 0 || v >= leds ? 0 : v + 1);
    }
};

class ConnectionPage : public PreferencesPage {
public:
    explicit ConnectionPage(PreferencesDialog& owner) : PreferencesPage(owner, 134, 60, 57) {}

protected:
    void Load() override
    {
        Label(1078, 112);
        Label(1079, 113);
        Label(1080, 114);
        Label(1095, 115);
        Label(1081, 116);
        Label(1082, 117);
        ConnectionSettings c;
        if (ConnectionManagerService) c = ConnectionManagerService->GetSettings();
        HWND type = GetDlgItem(1008);
        SendMessageW(type, CB_RESETCONTENT, 0, 0);
        for (const wchar_t* name : {L"NONE", L"HTTP(S)", L"SOCKS 4", L"SOCKS 5"})
            SendMessageW(type, CB_ADDSTRING, 0, LPARAM(name));
        Select(1008, c.proxyType >= PROXY_NONE && c.proxyType <= PROXY_SOCKS5 ? c.proxyType : PROXY_NONE);
        for (int id : {1009, 1012, 1013}) SendMessageW(GetDlgItem(id), EM_LIMITTEXT, TextLimit, 0);
        SetItemText(1009, c.proxyHost);
        SetDlgItemInt(hwnd, 1010, UINT(c.proxyPort), FALSE);
        Check(1011, c.proxyAuth);
        SetItemText(1012, c.proxyLogin);
        SetItemText(1013, c.proxyPassword);
    }
    void Store() override
    {
        if (!ConnectionManagerService) return;
        // Only the proxy is this page's: the access point and the rest stay as stored.
        ConnectionSettings c = ConnectionManagerService->GetSettings();
        const int type = Selection(1008);
        c.proxyType = type >= PROXY_NONE && type <= PROXY_SOCKS5 ? type : PROXY_NONE;
        c.proxyHost = ItemText(1009, TextLimit);
        BOOL converted = FALSE;
        const UINT port = GetDlgItemInt(hwnd, 1010, &converted, FALSE);
        if (converted && port >= 1 && port <= MaxPort) c.proxyPort = int(port);
        c.proxyAuth = Checked(1011);
        c.proxyLogin = ItemText(1012, TextLimit);
        c.proxyPassword = ItemText(1013, TextLimit);
        ConnectionManagerService->SetSettings(c);
    }
    void UpdateEnabling(int id) override
    {
        const bool proxy = Selection(1008) > 0;
        if (id == 0 || id == 1008) EnableItems({1009, 1010, 1011, 1095}, proxy);
        if (id == 0 || id == 1008 || id == 1011) EnableItems({1012, 1013}, proxy && Checked(1011));
    }
};

}  // namespace

PreferencesPage* NewGeneralPage(PreferencesDialog& owner) { return new GeneralPage(owner); }
PreferencesPage* NewContactListPage(PreferencesDialog& owner) { return new ContactListPage(owner); }
PreferencesPage* NewEventsPage(PreferencesDialog& owner) { return new EventsPage(owner); }
PreferencesPage* NewAlertsPage(PreferencesDialog& owner) { return new AlertsPage(owner); }
PreferencesPage* NewInterfacePage(PreferencesDialog& owner) { return new InterfacePage(owner); }
PreferencesPage* NewHistoryPage(PreferencesDialog& owner) { return new HistoryPage(owner); }
PreferencesPage* NewAntispamPage(PreferencesDialog& owner) { return new AntispamPage(owner); }
PreferencesPage* NewHardwarePage(PreferencesDialog& owner) { return new HardwarePage(owner); }
PreferencesPage* NewConnectionPage(PreferencesDialog& owner) { return new ConnectionPage(owner); }
