// The core services' life: created in a fixed order when the main window is made, destroyed in the
// shutdown order so that every service that stores something in its destructor does so before the
// settings store writes "settings.zel", last.
//
// It lives with the program rather than in the service core, because it creates services of both
// the core and the connection service, which itself builds on the core.
#pragma once

#include "ZELCommon/ZELString.h"

namespace Services {
class CServicesManager;
}
class CSettingsStore;
class CSkinImages;
class CSkinImageSet;
class CConnectionManager;
class CContactListData;
class CProtocolsManager;

// Each null until its service is created and null again after it is destroyed.
extern CSettingsStore* SettingsStoreService;
extern CSkinImages* SkinImagesService;
extern CConnectionManager* ConnectionManagerService;
extern CContactListData* ContactListDataService;
extern CProtocolsManager* ProtocolsManagerService;

// Where the core services live; the defaults are the program's: the process's bus, the user
// interface's image set, "settings.zel" and "Protos\" in the application folder.
struct CoreServicesPlace {
    Services::CServicesManager* bus = nullptr;
    CSkinImageSet* images = nullptr;
    CZELString settingsFile;
    CZELString protosFolder;
};

void CreateCoreServices(const CoreServicesPlace& place = CoreServicesPlace());
void DestroyCoreServices();

// The user interface's skin image set, which the skin image registry forwards to.
CSkinImageSet& TheSkinImageSet();
