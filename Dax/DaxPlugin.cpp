// The plug-in's exports: its one protocol, and the accounts the program creates and destroys.
#include "Dax/DaxGuids.h"
#include "Dax/DaxShared.h"
#include "Dax/MrimAccount.h"
#include "Zel/core/accounts/PluginExports.h"

#include <windows.h>

#include <new>

extern "C" {
// A test shortens the reconnection's wait (milliseconds) with this.
void DaxSetReconnectDelay(unsigned milliseconds);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) DaxShared::Module() = instance;
    return TRUE;
}

void GetProtocolInfoFunc(Services::CServicesManager*, CZELArray<Protocols::ProtocolInfo>& protocols)
{
    Protocols::ProtocolInfo info;
    info.guid = GUID_DAX_PROTOCOL;
    info.iconFile = L"dax_proto.png";
    info.name = L"DAX";
    info.displayName = L"Dax";
    info.credits = L"MRIM protocol plug-in";
    protocols.Add(info);
}

unsigned CreateAccountFunc(const ZEL_GUID& protocol, Services::CServicesManager* bus, unsigned accountId,
                           unsigned ownerQueue)
{
    if (!(protocol == GUID_DAX_PROTOCOL)) return 0;
    MrimAccount* account = new (std::nothrow) MrimAccount(bus, accountId, ownerQueue);
    return DaxShared::Registry().Add(account);
}

void DestroyAccountFunc(unsigned handle)
{
    DaxShared::Registry().Destroy(handle);
}

void DaxSetReconnectDelay(unsigned milliseconds)
{
    DaxShared::ReconnectDelayMs = milliseconds;
}
