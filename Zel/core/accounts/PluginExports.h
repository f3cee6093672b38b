// The three functions every protocol plug-in exports, and the names the program binds them by. The
// names are fixed decorated strings, independent of any compiler's own mangling: a plug-in built
// with g++ exports its functions under these names as aliases in its .def file, for example
//     ?DestroyAccountFunc@@YAXI@Z = _Z18DestroyAccountFuncj
// The program looks them up through CZELDll::GetProcAddressW and never links a plug-in.
#pragma once

#include "Zel/core/accounts/ProtocolInfo.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELGuid.h"

namespace Services {
class CServicesManager;
}

// Appends one ProtocolInfo per protocol the plug-in serves to protocols, an empty array the program
// owns and frees afterwards (all modules share one heap).
typedef void (*GetProtocolInfoFuncPtr)(Services::CServicesManager* bus, CZELArray<Protocols::ProtocolInfo>& protocols);
// Creates an account of protocol with the id the program reserved for it; the account posts its
// notifications to ownerQueue. Returns the account's own queue handle, or 0 when refused (nothing of
// the account then exists).
typedef unsigned (*CreateAccountFuncPtr)(const ZEL_GUID& protocol, Services::CServicesManager* bus, unsigned accountId,
                                         unsigned ownerQueue);
// Destroys the account, its queue included; called once, with what CreateAccountFunc returned.
typedef void (*DestroyAccountFuncPtr)(unsigned handle);

// The functions a plug-in defines (with exactly these types, so the aliases in its .def file name
// them).
void GetProtocolInfoFunc(Services::CServicesManager* bus, CZELArray<Protocols::ProtocolInfo>& protocols);
unsigned CreateAccountFunc(const ZEL_GUID& protocol, Services::CServicesManager* bus, unsigned accountId,
                           unsigned ownerQueue);
void DestroyAccountFunc(unsigned handle);

enum PluginExport { ExportGetProtocolInfo, ExportCreateAccount, ExportDestroyAccount, PluginExportCount };

// Indexed by PluginExport.
inline const wchar_t* const PluginExportNames[PluginExportCount] = {
    L"?GetProtocolInfoFunc@@YAXPAVCServicesManager@Services@@AAV?$CZELArray@UProtocolInfo@Protocols@@@@@Z",
    L"?CreateAccountFunc@@YAIABVZEL_GUID@@PAVCServicesManager@Services@@II@Z",
    L"?DestroyAccountFunc@@YAXI@Z",
};
