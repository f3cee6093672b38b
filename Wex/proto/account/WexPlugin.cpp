// The plug-in library's entry point and its three exports (aliased to the program's decorated
// names in Wex.def).
#include "Wex/proto/account/PluginState.h"
#include "Wex/proto/account/WexAccount.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/PluginExports.h"

#include <new>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) WexPlugin::Module() = instance;
    return TRUE;
}

void GetProtocolInfoFunc(Services::CServicesManager*, CZELArray<Protocols::ProtocolInfo>& protocols)
{
    Protocols::ProtocolInfo info;
    info.guid = GUID_WEX_PROTOCOL;
    info.iconFile = L"wex_proto.png";
    info.name = L"WEX";
    info.displayName = L"WEX";
    info.credits = L"WEX protocol plug-in by the Zel developers";
    protocols.Add(info);
}

unsigned CreateAccountFunc(const ZEL_GUID& protocol, Services::CServicesManager* bus, unsigned accountId,
                           unsigned ownerQueue)
{
    if (protocol != GUID_WEX_PROTOCOL || !bus) return 0;
    WexAccount* account = new (std::nothrow) WexAccount(bus, accountId, ownerQueue);
    // The registry deletes an account it cannot keep.
    return account ? WexPlugin::Accounts().Add(account) : 0;
}

void DestroyAccountFunc(unsigned handle)
{
    WexPlugin::Accounts().Destroy(handle);
}
