// GlobalSettings: the program's one record of global options, owned by the application. Load fills
// it once while the main window is made (after the core services exist), every absent or unusable
// value replaced by its default; Save writes it all back once, at shutdown, before the services go
// (the settings store writes "settings.zel" when it is destroyed). In between the preferences edit
// the record in place and the windows read its fields. User-interface thread only.
//
// Values live in the settings store's section GUID_GUI; the four anti-spam values' master copy is the
// contact-list data's (section GUID_CONTACT_LIST_DATA), which applies the filter itself.
#pragma once

#include "Zel/shell/alerts/AlertPack.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

namespace Services {
class CServicesManager;
}

class GlobalSettings {
public:
    enum { ColorCount = 33 };

    // Empty: strings empty, no alert entries.
    GlobalSettings();

    // The bus whose services are used (the process's bus when not set) and the folder the packs are
    // looked for in (the application folder when empty).
    void SetPlace(Services::CServicesManager* bus, const CZELString& appFolder);

    void Load();
    // The folder the packs are looked for in; empty: the application folder.
    const CZELString& PackRoot() const { return appFolder; }
    // Does nothing when the settings store is not registered.
    void Save();

    // The default contact-list font: Tahoma, 14 high, normal weight, DEFAULT_CHARSET.
    static LOGFONTW DefaultFont();

    bool autoConnect, trayIcon, fullScreen, wideMenu;
    int clMode;
    bool clOnlyOnline;
    int clColumns;
    bool clDontShowIcon;
    LOGFONTW clFont;
    bool turnOffEvents, notifySignOn, notifySignOff, dontBlink, showMessages, dontShowIfOccupied,
        dontShowIfActive, wakeUp, useBlinking;
    bool alertSoundOn, alertAdvancedSound;
    int alertVolume;
    bool alertVibraOn, alertSoftMode;
    CZELString alertPackName;
    AlertEntryArray alerts;
    CZELString skinName;
    COLORREF colors[ColorCount];
    bool useSmile, scaleSmile;
    CZELString smilePack;
    CZELString language;
    bool histSaveHistory, histSaveNotInList, histShowInChat;
    int histMessagesToShow;
    bool antispamEnable;
    CZELString antispamQuestion, antispamAnswer, antispamConfirm;
    bool dontSleep;
    unsigned char blinkLed, vibraLed;  // 255: automatic

private:
    void LoadAntispam();
    void ApplyDefaults();
    CZELString Root() const;
    Services::CServicesManager& Bus() const;

    Services::CServicesManager* bus;
    CZELString appFolder;
};

// Pack lists, sorted by name, each filling out (emptied first), from root (the application folder
// when empty).
void ListAlertPacks(CZELArray<CZELString>& out, const CZELString& root = CZELString());
void ListSkins(CZELArray<CZELString>& out, const CZELString& root = CZELString());
void ListSmileyPacks(CZELArray<CZELString>& out, const CZELString& root = CZELString());
// "English" first, then each "ZEL_<name>.dll" of "Langs\" as <name>.
void ListLanguages(CZELArray<CZELString>& out, const CZELString& root = CZELString());
bool AlertPackExists(const CZELString& name, const CZELString& root = CZELString());
bool SkinExists(const CZELString& name, const CZELString& root = CZELString());
bool SmileyPackExists(const CZELString& name, const CZELString& root = CZELString());
