#include "Zel/core/contactlist/ContactListData.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"

namespace {

IProtocolsManager* FindManager(Services::CServicesManager& bus)
{
    // The manager registers itself as its interface, which is its first base.
    return static_cast<IProtocolsManager*>(bus.GetService(GUID_PROTOCOLS_MANAGER));
}

}  // namespace

bool CProtocolsManagerAccounts::IsAvailable()
{
    return FindManager(bus) != nullptr;
}

int CProtocolsManagerAccounts::GetAccountCount()
{
    IProtocolsManager* manager = FindManager(bus);
    return manager ? manager->GetAccountCount() : 0;
}

unsigned CProtocolsManagerAccounts::GetAccountId(int index)
{
    IProtocolsManager* manager = FindManager(bus);
    return manager && index >= 0 ? manager->GetAccountId(unsigned(index)) : 0;
}

CZELString CProtocolsManagerAccounts::GetAccountKey(unsigned account)
{
    CZELString key;
    if (IProtocolsManager* manager = FindManager(bus)) manager->GetAccountName(key, account, true);
    return key;
}

bool CProtocolsManagerAccounts::GetContactIcons(unsigned account, int contactId, StatusInfo& out)
{
    IProtocolsManager* manager = FindManager(bus);
    return manager && manager->GetContactIcons(account, contactId, &out);
}

bool CProtocolsManagerAccounts::SendInstantMessage(unsigned account, const MessageRecord& message, bool silent)
{
    IProtocolsManager* manager = FindManager(bus);
    return manager && manager->SendInstantMessage(account, message, silent);
}

bool CProtocolsManagerAccounts::GetAccountsNotCreated(std::vector<ZEL_GUID>& protocols)
{
    // Not part of the plug-ins' interface: the service on the bus is the manager itself.
    IProtocolsManager* manager = FindManager(bus);
    return manager && static_cast<CProtocolsManager*>(manager)->GetAccountsNotCreated(protocols);
}
