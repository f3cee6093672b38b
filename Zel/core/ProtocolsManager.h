// CProtocolsManager: the protocols and accounts service. It finds the protocol plug-ins, one per
// sub-folder N of the protocols folder as N\N.dll, asks each which protocols it serves, and keeps one
// record per protocol, ordered as every list of protocols the user sees. Plug-in libraries stay
// loaded only while the scan asks them and while an account of theirs exists.
//
// Plug-ins reach the manager through the bus and call it through IProtocolsManager, so that
// interface's slot order is fixed and it must stay the first base.
#pragma once

#include "Zel/core/PluginExports.h"
#include "Zel/core/ProtocolInfo.h"
#include "Zel/core/RefObject.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELDll.h"
#include "ZELCommon/ZELGuid.h"
#include "ZELCommon/ZELString.h"

#include <map>
#include <vector>

namespace Services {
class CServicesManager;
}
class CSkinImages;

class IProtocolsManager {
public:
    // Rebuilds the protocol table from the plug-ins; the number of protocols added.
    virtual int ScanProtocolPlugins() = 0;
    virtual int GetProtocolCount() = 0;
    // The record of protocol, or null. The pointer stays valid until the table is rebuilt.
    virtual ProtocolRecord* FindProtocol(const ZEL_GUID& protocol) = 0;
    // The index-th protocol in table order; past either end a description with the null GUID,
    // image index -1 and empty texts.
    virtual ProtocolDescription GetProtocol(int index) = 0;

protected:
    // Nobody deletes the manager through the interface; keeping the destructor out of it keeps the
    // operations in the first slots.
    ~IProtocolsManager() {}
};

namespace Protocols {

// The order of the protocol table: the XMPP own-server kind first, then the Wex protocol, then the
// rest by ZEL_GUID's byte-wise order. Only meaningful for two different GUIDs.
bool CompareProtocolOrder(const ZEL_GUID& a, const ZEL_GUID& b);

// Loads record's plug-in into library (empty, the account's own) and asks it for an account of
// record's protocol. The account's queue handle; 0 when the library does not load or has no
// CreateAccountFunc, or the plug-in refuses, and then the library is unloaded again.
unsigned BindAccountPlugin(const ProtocolRecord& record, Services::CServicesManager* bus, unsigned accountId,
                           unsigned ownerQueue, CZELDll& library);

// Destroys the account through its plug-in's DestroyAccountFunc, when the library has one, then
// unloads the account's library.
void ReleaseAccountPlugin(CZELDll& library, unsigned handle);

}  // namespace Protocols

class CProtocolsManager : public IProtocolsManager, public QueueReceiver {
public:
    // Registers the service, creates the queue "Protocols manager" and subscribes it to the bus's
    // start-up event; the scan stays pending until first needed. protosFolder (ending with "\")
    // replaces the program's "Protos\" folder when given.
    CProtocolsManager(Services::CServicesManager& bus, CSkinImages& skinImages,
                      const CZELString& protosFolder = CZELString());
    // Gives back the protocol icons, destroys the queue and unregisters the service.
    ~CProtocolsManager() override;

    CProtocolsManager(const CProtocolsManager&) = delete;
    CProtocolsManager& operator=(const CProtocolsManager&) = delete;

    int ScanProtocolPlugins() override;
    int GetProtocolCount() override;
    ProtocolRecord* FindProtocol(const ZEL_GUID& protocol) override;
    ProtocolDescription GetProtocol(int index) override;

    // Runs on the queue "Protocols manager": the start-up event scans the plug-ins.
    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override;

    // The plug-in side of creating an account: binds the plug-in of protocol into library (the
    // account's own) with this manager's bus and queue. The account's handle, 0 when protocol is not
    // in the table or the plug-in refuses.
    unsigned BindAccount(const ZEL_GUID& protocol, unsigned accountId, CZELDll& library);

    // The queue accounts post their notifications to.
    int GetQueueHandle() const { return queueHandle; }

private:
    // Equal GUIDs are one key; the protocol order only decides between different ones.
    struct ProtocolKeyLess {
        bool operator()(const ZEL_GUID& a, const ZEL_GUID& b) const
        {
            return a != b && Protocols::CompareProtocolOrder(a, b);
        }
    };
    typedef std::map<ZEL_GUID, ProtocolRecord, ProtocolKeyLess> ProtocolTable;

    // A protocol the running scan added, with the icon to acquire for it once the lock is left.
    struct ProtocolIcon {
        ZEL_GUID guid;
        CZELString iconFile;
    };

    // Scans when no scan has run yet. The check and the scan are one step under the protocols lock,
    // so a second caller waits for the table instead of reading it half built.
    void ScanIfPending();
    // Asks the plug-in in protosDir + name for its protocols and adds the new ones to the table
    // (lock held), counting them in added. False when the plug-in failed while filling the array,
    // which ends the scan.
    bool ScanPlugin(const CZELString& protosDir, const CZELString& name, std::vector<ProtocolIcon>& icons, int& added);

    Services::CServicesManager& bus;
    CSkinImages& skinImages;
    CZELString protosFolder;  // empty: the program's own
    int serviceHandle;
    int queueHandle;

    CZELCriticalSection protocolsLock;  // guards everything below
    ProtocolTable protocols;
    unsigned tableGeneration;  // advances on every rebuild, so a scan never marks a newer table
    bool scanPending;
};
