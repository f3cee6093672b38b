// CProtocolsManager: the operations that turn into PM_ commands on an account's queue, and the
// status operations.
#include "Zel/core/accounts/ProtocolsManager.h"

#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/plugin/PopupMenu.h"
#include "Zel/core/accounts/ProtocolsManagerInternal.h"
#include "Zel/core/bus/ServicesManager.h"

#include <atomic>


namespace {

std::atomic<CProtocolsManager*> StatusMenuTarget(nullptr);

// A synchronous send that reached the account's handler.
bool Delivered(int result)
{
    return result != Services::SM_NOT_DELIVERED && result != Services::SM_NOT_FOUND;
}

intptr_t Pointer(const void* p)
{
    return reinterpret_cast<intptr_t>(p);
}

}  // namespace

namespace ProtocolsManagerInternal {

void RegisterStatusMenuTarget(CProtocolsManager* manager)
{
    CProtocolsManager* none = nullptr;
    StatusMenuTarget.compare_exchange_strong(none, manager);
}

void UnregisterStatusMenuTarget(CProtocolsManager* manager)
{
    StatusMenuTarget.compare_exchange_strong(manager, nullptr);
}

}  // namespace ProtocolsManagerInternal

unsigned CProtocolsManager::AccountHandle(unsigned id)
{
    CZELLock hold(accountsLock);
    AccountRecord* account = FindAccount(id);
    return account ? account->handle : 0;
}

int CProtocolsManager::SendToAccount(unsigned id, int code, CRefObject* p1, CRefObject* p2)
{
    // The handle is read under the lock and the wait happens outside it: the account may call the
    // value operations from its own thread meanwhile.
    unsigned handle = AccountHandle(id);
    if (!handle) {
        if (p1) p1->AddRef(0);
        if (p2) p2->AddRef(0);
        return Services::SM_NOT_FOUND;
    }
    return bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, code, p1, p2, true);
}

int CProtocolsManager::PostToAccount(unsigned id, int code, CRefObject* p1, CRefObject* p2)
{
    unsigned handle = AccountHandle(id);
    if (!handle) {
        if (p1) p1->AddRef(0);
        if (p2) p2->AddRef(0);
        return Services::SM_NOT_FOUND;
    }
    return bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, code, p1, p2, false);
}

int CProtocolsManager::SendPageRequest(unsigned id, int code, CRefObject* p1, CRefObject* p2)
{
    if (id == 0 || !AccountHandle(id)) {
        if (p1) p1->AddRef(0);
        if (p2) p2->AddRef(0);
        return id == 0 ? 0 : -2;
    }
    int result = SendToAccount(id, code, p1, p2);
    if (result == Services::SM_NOT_FOUND) return -2;  // removed meanwhile
    return Delivered(result) ? result : -1;
}

bool CProtocolsManager::Reserved57(unsigned id, int value)
{
    return SendToAccount(id, PM_RESERVED_57, NewValue(value), nullptr) == 0;
}

bool CProtocolsManager::GetContactIcons(unsigned id, int contactId, StatusInfo* out)
{
    return SendToAccount(id, PM_GET_CONTACT_ICONS, NewValue(contactId), NewValue(Pointer(out))) == 0;
}

bool CProtocolsManager::FillAccountMenu(unsigned id, CPopupMenu* menu)
{
    return SendToAccount(id, PM_FILL_ACCOUNT_MENU, nullptr, NewValue(Pointer(menu))) == 0;
}

bool CProtocolsManager::FillGroupMenu(unsigned id, int groupId, CPopupMenu* menu)
{
    return SendToAccount(id, PM_FILL_GROUP_MENU, NewValue(groupId), NewValue(Pointer(menu))) == 0;
}

bool CProtocolsManager::FillContactMenu(unsigned id, int contactId, CPopupMenu* menu)
{
    return SendToAccount(id, PM_FILL_CONTACT_MENU, NewValue(contactId), NewValue(Pointer(menu))) == 0;
}

bool CProtocolsManager::FillChatMenu(unsigned id, int contactId, CPopupMenu* menu)
{
    return SendToAccount(id, PM_FILL_CHAT_MENU, NewValue(contactId), NewValue(Pointer(menu))) == 0;
}

bool CProtocolsManager::FillMainMenu(CPopupMenu* menu)
{
    std::vector<unsigned> ids;
    {
        CZELLock hold(accountsLock);
        for (const AccountRecord& account : accounts) ids.push_back(account.id);
    }
    bool any = false;
    for (unsigned id : ids)
        if (SendToAccount(id, PM_FILL_MAIN_MENU, NewValue(intptr_t(id)), NewValue(Pointer(menu))) == 0) any = true;
    return any;
}

bool CProtocolsManager::AddGroup(unsigned id, const CZELString& name)
{
    return PostToAccount(id, PM_ADD_GROUP, NewStringPayload(name), nullptr) == 1;
}

bool CProtocolsManager::RenameGroup(unsigned id, int groupId, const CZELString& name)
{
    return SendToAccount(id, PM_RENAME_GROUP, NewValue(groupId), NewStringPayload(name)) == 0;
}

bool CProtocolsManager::DeleteGroup(unsigned id, int groupId)
{
    return PostToAccount(id, PM_DELETE_GROUP, NewValue(groupId), nullptr) == 1;
}

bool CProtocolsManager::RenameContact(unsigned id, int contactId, const CZELString& name)
{
    return PostToAccount(id, PM_RENAME_CONTACT, NewValue(contactId), NewStringPayload(name)) == 1;
}

bool CProtocolsManager::MoveContact(unsigned id, int contactId, int groupId)
{
    return PostToAccount(id, PM_MOVE_CONTACT, NewValue(contactId), NewValue(groupId)) == 1;
}

bool CProtocolsManager::DeleteContact(unsigned id, int contactId)
{
    return PostToAccount(id, PM_DELETE_CONTACT, NewValue(contactId), nullptr) == 1;
}

bool CProtocolsManager::ContactAdded(unsigned id, int contactId)
{
    return PostToAccount(id, PM_CONTACT_ADDED, NewValue(contactId), nullptr) == 1;
}

bool CProtocolsManager::RequestAuthorization(unsigned id, int contactId)
{
    return PostToAccount(id, PM_REQUEST_AUTH, NewValue(contactId), nullptr) != Services::SM_NOT_FOUND;
}

bool CProtocolsManager::SendInstantMessage(unsigned id, const MessageRecord& message, bool silent)
{
    if (PostToAccount(id, PM_SEND_MESSAGE, CMessagePayload::Create(message), nullptr) == Services::SM_NOT_FOUND)
        return false;
    if (!silent) Fire(PMEV_MESSAGE_SENT, NewValue(intptr_t(id)), CMessagePayload::Create(message), false);
    return true;
}

bool CProtocolsManager::SetTyping(unsigned id, int contactId, bool stopped)
{
    return PostToAccount(id, PM_SET_TYPING, NewValue(contactId), NewValue(stopped ? 1 : 0)) != Services::SM_NOT_FOUND;
}

int CProtocolsManager::GetOwnDetailsPages(unsigned id, void* pages)
{
    return SendPageRequest(id, PM_GET_OWN_DETAILS_PAGES, NewValue(Pointer(pages)), nullptr);
}

int CProtocolsManager::GetContactDetailsPages(unsigned id, int contactId, void* pages)
{
    return SendPageRequest(id, PM_GET_CONTACT_DETAILS_PAGES, NewValue(contactId), NewValue(Pointer(pages)));
}

int CProtocolsManager::StartSearch(unsigned id, intptr_t request)
{
    return SendPageRequest(id, PM_SEARCH, NewValue(request), nullptr);
}

int CProtocolsManager::GetSearchPages(unsigned id, void* pages)
{
    return SendPageRequest(id, PM_GET_SEARCH_PAGES, nullptr, NewValue(Pointer(pages)));
}

bool CProtocolsManager::FillSearchResultMenu(unsigned id, void* resultItem, CPopupMenu* menu)
{
    return SendToAccount(id, PM_FILL_SEARCH_RESULT_MENU, NewValue(Pointer(resultItem)), NewValue(Pointer(menu))) == 0;
}

int CProtocolsManager::GetSettingsPages(unsigned id, void* pages)
{
    return SendPageRequest(id, PM_GET_SETTINGS_PAGES, NewValue(Pointer(pages)), nullptr);
}

std::vector<int> CProtocolsManager::AskAccountStatuses()
{
    std::vector<unsigned> ids;
    {
        CZELLock hold(accountsLock);
        for (const AccountRecord& account : accounts) ids.push_back(account.id);
    }
    std::vector<int> statuses;
    for (unsigned id : ids) {
        int status = -1;
        GetStatus(id, &status);
        statuses.push_back(status);
    }
    return statuses;
}

int CProtocolsManager::SetStatus(unsigned id, int status)
{
    if (id != 0) {
        int result = PostToAccount(id, PM_SET_STATUS, NewValue(status), nullptr);
        return result == Services::SM_NOT_FOUND ? -2 : result;
    }
    std::vector<unsigned> ids;
    {
        CZELLock hold(accountsLock);
        for (const AccountRecord& account : accounts) ids.push_back(account.id);
    }
    // Connected accounts keep connected ones only; with none connected, every account goes.
    bool anyConnected = false;
    for (unsigned account : ids) {
        int current = -1;
        if (GetStatus(account, &current) == 0 && AccountStatus::IsConnected(current)) anyConnected = true;
    }
    int result = 0;
    for (unsigned account : ids) {
        if (anyConnected) {
            int current = -1;
            if (GetStatus(account, &current) != 0 || !AccountStatus::IsConnected(current)) continue;
        }
        int posted = PostToAccount(account, PM_SET_STATUS, NewValue(status), nullptr);
        if (posted != Services::SM_NOT_FOUND) result = posted;
    }
    return result;
}

int CProtocolsManager::GetStatus(unsigned id, int* out)
{
    if (id == 0) {
        if (out) *out = globalStatus.load();
        return 0;
    }
    int result = SendToAccount(id, PM_GET_STATUS, nullptr, nullptr);
    if (result == Services::SM_NOT_FOUND) return AccountHandle(id) ? -1 : -2;
    if (!Delivered(result)) return -1;
    if (out) *out = result;
    return 0;
}

int CProtocolsManager::GetStatusInfo(unsigned id, int status, StatusEntry* out)
{
    if (id == 0) {
        std::shared_ptr<const GlobalStatus::Table> table = statusTables.Current();
        if (out) GlobalStatus::FindEntry(*table, status, *out);
        return 0;
    }
    int result = SendToAccount(id, PM_GET_STATUS_INFO, NewValue(status), NewValue(Pointer(out)));
    if (result == Services::SM_NOT_FOUND) return -2;
    return Delivered(result) ? result : -1;
}

int CProtocolsManager::GetStatusMenu(unsigned id, int iconIndex, CPopupMenu* out)
{
    if (id == 0) {
        if (iconIndex != 0 || !out) return 0;
        std::shared_ptr<const GlobalStatus::Table> table = statusTables.Current();
        GlobalStatus::BuildMenu(*table, globalStatus.load(), &CProtocolsManager::GlobalStatusMenuCallback, *out);
        return 0;
    }
    int result = SendToAccount(id, PM_GET_STATUS_MENU, NewValue(Pointer(out)), NewValue(iconIndex));
    if (result == Services::SM_NOT_FOUND) return -2;
    return Delivered(result) ? result : -1;
}

void CProtocolsManager::GlobalStatusMenuCallback(intptr_t context, intptr_t argument)
{
    if (CProtocolsManager* manager = StatusMenuTarget.load()) manager->SetStatus(unsigned(context), int(argument));
}
