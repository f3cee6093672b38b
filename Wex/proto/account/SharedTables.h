// SharedTables: what every account of the plug-in shares: the language controller, the ids of the
// plug-in's pictures in the skin image registry and the status table in the current language.
//
// The first account's Load brings them to life (Acquire), the last account's Unload ends them
// (Release). Every account runs on its own queue thread, and a language change reaches all of them at
// once, so every use goes through one lock; readers get copies, never a reference into the tables.
// The lock is never held while another thread is waited for.
#pragma once

#include "Wex/proto/ClientRules.h"
#include "Zel/core/bus/Payloads.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELString.h"

#include <memory>
#include <vector>

namespace MUI {
class CZELWMMUI_Controller;
}
namespace Services {
class CServicesManager;
}

class SharedTables {
public:
    SharedTables();
    ~SharedTables();

    SharedTables(const SharedTables&) = delete;
    SharedTables& operator=(const SharedTables&) = delete;

    // One account's Load: the first creates the language controller (texts looked for in folder) and
    // acquires the pictures when the skin image registry is on bus.
    void Acquire(Services::CServicesManager* bus, const CZELString& folder);
    // One account's Unload: the last gives the pictures back, empties the status table and destroys
    // the controller.
    void Release(Services::CServicesManager* bus);
    int Users();

    // Switches the texts to language and rebuilds the status table in it.
    void ChangeLanguage(const CZELString& language);

    // Text number id in the current language (the English table without a controller).
    CZELString Text(int id);
    // The image id of picture entry (past the end: the last one); -1 when there are no pictures.
    int Image(int entry);
    // The status table's row for status; false when there is none (before the first language
    // change, or an unknown status).
    bool StatusRow(int status, StatusEntry& out);
    int StatusRowCount();
    std::vector<int> ImageIds();

    // The client rules of folder's "Clients.cfg", read while none are loaded, with their pictures
    // acquired; an account that shows client pictures calls it in its Load. They go with the last
    // account, never while another may be matching against them.
    void LoadClientRules(Services::CServicesManager* bus, const CZELString& folder);
    int ClientRuleCount();
    // The capability table; it never changes, so it is read without the lock.
    const Wex::CapabilityTable& Capabilities() const { return capabilities; }
    // The picture of the client the contact's user information names, or -1.
    int ClientPicture(const Wex::TlvChain& userInfo);

private:
    int ImageLocked(int entry) const;
    CZELString TextLocked(int id) const;
    void BuildStatusTableLocked();

    CZELCriticalSection lock;
    int users;
    std::unique_ptr<MUI::CZELWMMUI_Controller> language;
    std::vector<int> imageIds;
    std::vector<StatusEntry> statusTable;
    const Wex::CapabilityTable capabilities;
    Wex::ClientIdTable clientRules;
};
