// The plug-in's three exports and its table of accounts. The library's .def file exports them under
// the names the program binds them by (Zel/core/accounts/PluginExports.h).
#include "Zel/core/accounts/PluginExports.h"

#include "Jabber/account/AccountKinds.h"
#include "Jabber/account/JabberAccount.h"
#include "Jabber/account/PluginAccounts.h"

#include <new>

namespace {

const wchar_t Credits[] = L"Zel XMPP plug-in";

}  // namespace

AccountRegistry<JabberAccount>& PluginAccounts()
{
    static AccountRegistry<JabberAccount> accounts;
    return accounts;
}

void GetProtocolInfoFunc(Services::CServicesManager*, CZELArray<Protocols::ProtocolInfo>& protocols)
{
    for (int kind : AnnouncedKinds) {
        const KindInfo& info = KindOf(kind);
        Protocols::ProtocolInfo entry;
        entry.guid = *info.protocol;
        entry.iconFile = CZELString(info.iconFile);
        entry.name = CZELString(L"Jabber");
        entry.displayName = CZELString(info.displayName);
        entry.credits = CZELString(Credits);
        protocols.Add(entry);
    }
}

unsigned CreateAccountFunc(const ZEL_GUID& protocol, Services::CServicesManager* bus, unsigned accountId,
                           unsigned ownerQueue)
{
    // An account the bus gave no queue is deleted again by the registry: 0, the manager's refusal.
    return PluginAccounts().Add(new (std::nothrow) JabberAccount(KindFromProtocol(protocol), bus, accountId, ownerQueue));
}

void DestroyAccountFunc(unsigned handle)
{
    PluginAccounts().Destroy(handle);
}
