// PluginShared: what every account of the plug-in shares: its language controller, the skin images
// it acquired (PluginImages, 44 indices by number) and one status table per account kind. The first
// account's Load creates them, the last account's Unload releases them, and every account's
// ChangeLanguage switches the language and rebuilds its kind's table.
//
// Each account runs on a thread of its own, and a language change reaches all of them at once, so
// one lock guards everything here and readers get copies. Nothing waits for another thread while
// holding it: the skin service and the language modules are called directly.
#pragma once

#include "Jabber/account/AccountKinds.h"
#include "Zel/core/bus/Payloads.h"
#include "ZELCommon/MUIController.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELString.h"

namespace Services {
class CServicesManager;
}

enum { PluginImageCount = 44 };
// The e-mail button's picture in the top panel.
enum { MailButtonImage = 18 };

// The names PluginImages acquires, by number.
extern const wchar_t* const PluginImageNames[PluginImageCount];

class PluginShared {
public:
    static PluginShared& Instance();

    // Counts an account in: the first creates the language controller and acquires the images (when
    // the skin service is on the bus), and the account's kind gets its status table if it has none.
    void Load(Services::CServicesManager* bus, int kind);
    // Counts an account out: the last releases the images, empties the status tables and deletes
    // the language controller.
    void Unload(Services::CServicesManager* bus);
    // Switches the language and rebuilds kind's status table with the names in it.
    void ChangeLanguage(int kind, const CZELString& language);

    // Text number in the current language (the English table before any account loaded).
    CZELString Text(int number);
    // The image index PluginImages holds at index: past the end the last one, -1 when none was
    // acquired.
    int Image(int index);
    int ImageCount();
    // The row of status in kind's table; false, with only the status filled in, when there is none.
    bool StatusEntryOf(int kind, int status, StatusEntry& out);
    CZELArray<StatusEntry> StatusTable(int kind);
    int LoadedAccounts();

private:
    PluginShared() = default;
    // The lock is held for these.
    void FillStatusTable(int kind);
    int ImageLocked(int index) const;
    CZELString TextLocked(int number) const;

    CZELCriticalSection lock;
    MUI::CZELWMMUI_Controller* language = nullptr;
    CZELArray<int> images;
    CZELArray<StatusEntry> statusTables[KindCount];
    int loaded = 0;
};
