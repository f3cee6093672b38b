#include "Zel/core/accounts/ProtocolsManager.h"

#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/ProtocolsManagerInternal.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/skin/SkinImages.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELFileSystem.h"
#include "ZELCommon/ZELPath.h"

#include <vector>

namespace {

// A plug-in library loaded for the scan only: unloaded however the scan of its folder ends.
class CScanLibrary {
public:
    CScanLibrary() : loaded(false) {}
    ~CScanLibrary()
    {
        if (loaded) library.Unload();
    }
    CScanLibrary(const CScanLibrary&) = delete;
    CScanLibrary& operator=(const CScanLibrary&) = delete;

    bool Load(const CZELString& file, const CZELString& folder) { return loaded = library.Load(file, folder); }
    FARPROC Export(PluginExport which) const { return library.GetProcAddressW(PluginExportNames[which]); }

private:
    CZELDll library;
    bool loaded;
};

template <typename F> F ExportAs(FARPROC proc)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(proc));
}

const wchar_t kQueueName[] = L"Protocols manager";

}  // namespace

using ProtocolsManagerInternal::kFlushCode;
using ProtocolsManagerInternal::RegisterStatusMenuTarget;
using ProtocolsManagerInternal::UnregisterStatusMenuTarget;

namespace Protocols {

bool CompareProtocolOrder(const ZEL_GUID& a, const ZEL_GUID& b)
{
    if (a == GUID_XMPP_ZEL_PROTOCOL) return true;
    if (b == GUID_XMPP_ZEL_PROTOCOL) return false;
    if (a == GUID_WEX_PROTOCOL) return true;
    if (b == GUID_WEX_PROTOCOL) return false;
    return a < b;
}

unsigned CreatePluginAccount(const ProtocolRecord& record, Services::CServicesManager* bus, unsigned accountId,
                             unsigned ownerQueue, CZELDll& library)
{
    CreateAccountFuncPtr create =
        ExportAs<CreateAccountFuncPtr>(library.GetProcAddressW(PluginExportNames[ExportCreateAccount]));
    if (!create) return 0;
    // A plug-in must not throw across the boundary; one that does has refused.
    try {
        return create(record.guid, bus, accountId, ownerQueue);
    } catch (...) {
        return 0;
    }
}

unsigned BindAccountPlugin(const ProtocolRecord& record, Services::CServicesManager* bus, unsigned accountId,
                           unsigned ownerQueue, CZELDll& library)
{
    if (!library.Load(record.dllFile, record.folder)) return 0;
    unsigned handle = CreatePluginAccount(record, bus, accountId, ownerQueue, library);
    if (!handle) library.Unload();
    return handle;
}

void DestroyPluginAccount(CZELDll& library, unsigned handle)
{
    DestroyAccountFuncPtr destroy =
        ExportAs<DestroyAccountFuncPtr>(library.GetProcAddressW(PluginExportNames[ExportDestroyAccount]));
    if (!destroy) return;
    try {
        destroy(handle);
    } catch (...) {
    }
}

void ReleaseAccountPlugin(CZELDll& library, unsigned handle)
{
    DestroyPluginAccount(library, handle);
    library.Unload();
}

}  // namespace Protocols

CProtocolsManager::CProtocolsManager(Services::CServicesManager& bus, CSkinImages& skinImages,
                                     const CZELString& protosFolder, const CZELString& historyFolder)
    : bus(bus),
      skinImages(skinImages),
      protosFolder(protosFolder),
      historyFolder(historyFolder),
      serviceHandle(0),
      queueHandle(0),
      tableGeneration(0),
      scanPending(true),
      nextAccountId(FirstAccountId),
      storedRead(false),
      globalStatus(AccountStatus::Offline)
{
    for (int& id : eventIds) id = 0;
    serviceHandle = bus.RegisterService(GUID_PROTOCOLS_MANAGER, static_cast<IProtocolsManager*>(this));
    queueHandle = bus.CreateQueue(this, CZELString(kQueueName));
    for (int code = 1; code <= PMEV_COUNT; ++code) eventIds[code] = bus.RegisterEvent(GUID_PROTOCOLS_MANAGER, code);
    if (queueHandle) bus.Subscribe(ZEL_GUID_NULL, Services::SMEV_STARTUP, queueHandle);
    RegisterStatusMenuTarget(this);
}

CProtocolsManager::~CProtocolsManager()
{
    UnregisterStatusMenuTarget(this);
    if (queueHandle) {
        // Whatever is queued runs first, a removal above all: dropped, the removed account would be
        // stored again below. Twice, because a removal queues the unloading of its library behind
        // the first.
        for (int round = 0; round < 2; ++round)
            bus.SendMessage(queueHandle, GUID_PROTOCOLS_MANAGER, kFlushCode, nullptr, nullptr, true);
        // Once its thread has stopped, no notification and no start-up scan runs behind the steps
        // below.
        bus.DestroyQueue(queueHandle);
    }
    UnloadAccounts();

    std::vector<int> images;
    protocolsLock.Enter();
    for (ProtocolTable::iterator it = protocols.begin(); it != protocols.end(); ++it) {
        if (it->second.imageIndex != -1) images.push_back(it->second.imageIndex);
        it->second.imageIndex = -1;
    }
    protocolsLock.Leave();
    for (size_t i = 0; i < images.size(); ++i) skinImages.ReleaseImage(images[i]);
    for (int code = 1; code <= PMEV_COUNT; ++code)
        if (eventIds[code]) bus.UnregisterEvent(eventIds[code]);
    if (serviceHandle) bus.UnregisterService(serviceHandle);
}

int CProtocolsManager::ScanProtocolPlugins()
{
    CZELString folder = protosFolder.IsEmpty() ? CZELPath::GetProtosDir() : protosFolder;

    int added = 0;
    std::vector<ProtocolIcon> icons;
    std::vector<int> oldImages;
    unsigned generation;
    {
        CZELLock hold(protocolsLock);
        scanPending = false;
        for (ProtocolTable::iterator it = protocols.begin(); it != protocols.end(); ++it)
            if (it->second.imageIndex != -1) oldImages.push_back(it->second.imageIndex);
        protocols.clear();
        generation = ++tableGeneration;

        CZELArray<CZELString> names;
        if (CZELFileSystem::GetDirectoryFiles(folder, 1, names)) {
            for (int i = 0; i < names.GetCount(); ++i) {
                if (!ScanPlugin(folder, names[i], icons, added)) break;
            }
        }

        // Icons are acquired with the table's order; the local list says which records are new.
        std::vector<ProtocolIcon> ordered;
        for (ProtocolTable::iterator it = protocols.begin(); it != protocols.end(); ++it) {
            for (size_t k = 0; k < icons.size(); ++k) {
                if (icons[k].guid == it->first) {
                    ordered.push_back(icons[k]);
                    break;
                }
            }
        }
        icons.swap(ordered);
    }

    std::vector<int> indices(icons.size(), -1);
    for (size_t k = 0; k < icons.size(); ++k) indices[k] = skinImages.AcquireImage(icons[k].iconFile);
    {
        CZELLock hold(protocolsLock);
        for (size_t k = 0; k < icons.size(); ++k) {
            ProtocolTable::iterator it = protocols.find(icons[k].guid);
            // A rescan on another thread has replaced the table meanwhile: its own scan marks it.
            if (generation != tableGeneration || it == protocols.end()) continue;
            it->second.imageIndex = indices[k];
            indices[k] = -1;
        }
    }
    for (size_t k = 0; k < indices.size(); ++k)
        if (indices[k] != -1) skinImages.ReleaseImage(indices[k]);
    // Icons of the replaced table go back only now, so a picture both tables use stays loaded.
    for (size_t k = 0; k < oldImages.size(); ++k) skinImages.ReleaseImage(oldImages[k]);
    return added;
}

bool CProtocolsManager::ScanPlugin(const CZELString& protosDir, const CZELString& name,
                                   std::vector<ProtocolIcon>& icons, int& added)
{
    CZELString folder = protosDir + name + CZELPath::Sep();
    CZELString file = name + L".dll";
    CScanLibrary library;
    if (!library.Load(file, folder)) return true;
    GetProtocolInfoFuncPtr getInfo = ExportAs<GetProtocolInfoFuncPtr>(library.Export(ExportGetProtocolInfo));
    if (!getInfo || !library.Export(ExportCreateAccount) || !library.Export(ExportDestroyAccount)) return true;

    try {
        CZELArray<Protocols::ProtocolInfo> infos;
        getInfo(&bus, infos);
        for (int i = 0; i < infos.GetCount(); ++i) {
            const Protocols::ProtocolInfo& info = infos[i];
            // The first plug-in to name a protocol keeps it.
            if (protocols.find(info.guid) != protocols.end()) continue;
            ProtocolRecord record;
            record.guid = info.guid;
            record.imageIndex = -1;
            record.name = info.name;
            record.displayName = info.displayName;
            record.reserved = info.reserved;
            record.credits = info.credits;
            record.dllFile = file;
            record.folder = folder;
            protocols.insert(ProtocolTable::value_type(info.guid, record));
            ++added;
            ProtocolIcon icon = {info.guid, info.iconFile};
            icons.push_back(icon);
        }
    } catch (...) {
        // A plug-in that fails while filling the array ends the scan; what was gathered before stays.
        return false;
    }
    return true;
}

void CProtocolsManager::ScanIfPending()
{
    CZELLock hold(protocolsLock);
    if (scanPending) ScanProtocolPlugins();
}

int CProtocolsManager::GetProtocolCount()
{
    ScanIfPending();
    CZELLock hold(protocolsLock);
    return int(protocols.size());
}

ProtocolRecord* CProtocolsManager::FindProtocol(const ZEL_GUID& protocol)
{
    ScanIfPending();
    CZELLock hold(protocolsLock);
    ProtocolTable::iterator it = protocols.find(protocol);
    return it == protocols.end() ? nullptr : &it->second;
}

ProtocolDescription CProtocolsManager::GetProtocol(int index)
{
    ScanIfPending();
    CZELLock hold(protocolsLock);
    ProtocolDescription description;
    if (index < 0 || index >= int(protocols.size())) return description;
    ProtocolTable::const_iterator it = protocols.begin();
    for (int i = 0; i < index; ++i) ++it;
    description = it->second;
    return description;
}

bool CProtocolsManager::CopyProtocol(const ZEL_GUID& protocol, ProtocolRecord& out)
{
    ScanIfPending();
    CZELLock hold(protocolsLock);
    ProtocolTable::const_iterator it = protocols.find(protocol);
    if (it == protocols.end()) return false;
    out = it->second;
    return true;
}

unsigned CProtocolsManager::BindAccount(const ZEL_GUID& protocol, unsigned accountId, CZELDll& library)
{
    // A copy, so the library loads with no lock of ours held.
    ProtocolRecord record;
    if (!CopyProtocol(protocol, record)) return 0;
    return Protocols::BindAccountPlugin(record, &bus, accountId, unsigned(queueHandle), library);
}
