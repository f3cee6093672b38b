#include "Zel/shell/CoreServices.h"

#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/core/skin/SkinImages.h"
#include "Zel/net/ConnectionManager.h"

#include <new>

CSettingsStore* SettingsStoreService = nullptr;
CSkinImages* SkinImagesService = nullptr;
CConnectionManager* ConnectionManagerService = nullptr;
CContactListData* ContactListDataService = nullptr;
CProtocolsManager* ProtocolsManagerService = nullptr;

namespace {

Services::CServicesManager* CoreBus = nullptr;

template <typename Service> void Destroy(Service*& service)
{
    delete service;
    service = nullptr;
}

}  // namespace

CSkinImageSet& TheSkinImageSet()
{
    static CSkinImageSet images;
    return images;
}

void CreateCoreServices(const CoreServicesPlace& place)
{
    Services::CServicesManager& bus = place.bus ? *place.bus : TheBus();
    CoreBus = &bus;
    // The settings store comes first: every later service reads its settings from it.
    SettingsStoreService = new (std::nothrow) CSettingsStore(&bus, place.settingsFile);
    SkinImagesService = new (std::nothrow) CSkinImages(bus, place.images ? *place.images : TheSkinImageSet());
    // Reads its proxy settings from the store.
    ConnectionManagerService = new (std::nothrow) CConnectionManager(bus);
    // Before the protocols manager: it subscribes to the start-up event first, so it follows the
    // manager's account events before the manager creates the saved accounts.
    ContactListDataService = new (std::nothrow) CContactListData(bus);
    if (SkinImagesService)
        ProtocolsManagerService = new (std::nothrow) CProtocolsManager(bus, *SkinImagesService, place.protosFolder);
}

void DestroyCoreServices()
{
    // First: it stores "CL data" and asks the accounts for their names, so they must still be there.
    Destroy(ContactListDataService);
    Destroy(ProtocolsManagerService);  // the accounts, and with them their connections, go next
    Destroy(ConnectionManagerService);  // stores its proxy settings
    Destroy(SkinImagesService);
    Destroy(SettingsStoreService);  // writes "settings.zel", after everything else stored its part
    if (CoreBus) CoreBus->ClearAll();
    CoreBus = nullptr;
}
