// CProtocolsManager: the account table, the per-account values and "Accounts data".
#include "Zel/core/accounts/ProtocolsManager.h"

#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/core/skin/SkinImages.h"
#include "Zel/core/settings/ValueRecord.h"
#include "Zel/core/settings/ValueRecordList.h"

#include <cstring>
#include <new>

namespace {

const wchar_t kAccountsDataKey[] = L"Accounts data";
const wchar_t kLogonDateKey[] = L"Logon date";

CSettingsStore* FindSettingsStore(Services::CServicesManager& bus)
{
    return static_cast<CSettingsStore*>(bus.GetService(GUID_SETTINGS_STORE));
}

}  // namespace

CProtocolsManager::AccountRecord* CProtocolsManager::FindAccount(unsigned id)
{
    if (id == 0) return nullptr;
    for (AccountRecord& account : accounts)
        if (account.id == id) return &account;
    return nullptr;
}

ValueRecord* CProtocolsManager::FindValue(unsigned id, const CZELString& key)
{
    AccountRecord* account = FindAccount(id);
    return account && account->values ? account->values->Find(key) : nullptr;
}

unsigned CProtocolsManager::CreateAccount(const ZEL_GUID& protocol)
{
    return CreateAccountWithValues(protocol, new (std::nothrow) ValueRecordList());
}

unsigned CProtocolsManager::CreateAccountWithValues(const ZEL_GUID& protocol, ValueRecordList* values)
{
    ProtocolRecord record;
    CZELDll library;
    // The library is loaded, and unloaded again on failure, with no lock held.
    if (!values || !CopyProtocol(protocol, record) || !library.Load(record.dllFile, record.folder)) {
        delete values;
        return 0;
    }

    unsigned id = 0;
    unsigned handle = 0;
    bool orphaned = false;
    {
        CZELLock hold(accountsLock);
        // The record is in the table, with its id, before the plug-in runs: its CreateAccountFunc
        // may read and write its values (the lock is re-entrant for this thread only).
        AccountRecord blank = {nextAccountId, protocol, 0, CZELDll(), values};
        bool added = true;
        try {
            accounts.push_back(blank);
        } catch (const std::bad_alloc&) {
            delete values;
            added = false;
        }
        if (added) handle = Protocols::CreatePluginAccount(record, &bus, nextAccountId, unsigned(queueHandle), library);
        AccountRecord* created = added ? FindAccount(nextAccountId) : nullptr;
        if (handle && created) {
            created->handle = handle;
            created->library = library;
            id = nextAccountId++;
        } else if (created) {
            delete created->values;
            accounts.erase(accounts.begin() + (created - accounts.data()));
        } else {
            // Only a plug-in that removed its own record while being created gets here.
            orphaned = handle != 0;
        }
    }
    if (!id) {
        if (orphaned)
            Protocols::ReleaseAccountPlugin(library, handle);
        else
            library.Unload();
        return 0;
    }

    bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, PM_LOAD, nullptr, nullptr, true);
    CZELString language;
    skinImages.GetLanguageName(language);
    bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, PM_LANGUAGE_CHANGED, NewStringPayload(language), nullptr,
                    false);
    Fire(PMEV_ACCOUNT_CREATED, NewValue(intptr_t(id)), nullptr, false);
    bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, PM_ACCOUNT_ADDED, nullptr, nullptr, true);
    return id;
}

int CProtocolsManager::RemoveAccount(unsigned id)
{
    bus.SendMessage(queueHandle, GUID_PROTOCOLS_MANAGER, PM_SELF_REMOVE_ACCOUNT, NewValue(intptr_t(id)), NewValue(0),
                    false);
    return 0;
}

void CProtocolsManager::RemoveAccountNow(unsigned id)
{
    Fire(PMEV_ACCOUNT_REMOVING, NewValue(intptr_t(id)), nullptr, true);

    unsigned handle = AccountHandle(id);
    if (!handle) return;
    bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, PM_UNLOAD, nullptr, nullptr, true);

    CZELDll library;
    {
        CZELLock hold(accountsLock);
        AccountRecord* account = FindAccount(id);
        if (!account) return;
        library = account->library;
    }
    // Destroying the account waits for its queue, which may still be handling what came in while it
    // unloaded and use the account's values meanwhile: no lock is held, and the values stay until
    // the account is gone.
    Protocols::DestroyPluginAccount(library, handle);
    {
        CZELLock hold(accountsLock);
        if (AccountRecord* account = FindAccount(id)) {
            delete account->values;
            accounts.erase(accounts.begin() + (account - accounts.data()));
        }
    }
    // The library goes only after everything queued before this point, the account's last
    // notifications among them, has been handled: their payloads may come from its code.
    CDllPayload* unload = new (std::nothrow) CDllPayload(library);
    if (!unload ||
        bus.SendMessage(queueHandle, GUID_PROTOCOLS_MANAGER, PM_SELF_UNLOAD_DLL, unload, nullptr, false) != 1)
        library.Unload();
}

int CProtocolsManager::GetAccountCount()
{
    CZELLock hold(accountsLock);
    return int(accounts.size());
}

int CProtocolsManager::MoveAccount(unsigned id, unsigned newIndex)
{
    {
        CZELLock hold(accountsLock);
        if (newIndex >= accounts.size()) return -1;
        AccountRecord* account = FindAccount(id);
        if (!account) return -1;
        AccountRecord moved = *account;
        accounts.erase(accounts.begin() + (account - accounts.data()));
        accounts.insert(accounts.begin() + newIndex, moved);
    }
    Fire(PMEV_ACCOUNT_MOVED, NewValue(intptr_t(id)), NewValue(intptr_t(newIndex)), false);
    return 0;
}

unsigned CProtocolsManager::GetAccountId(unsigned index)
{
    CZELLock hold(accountsLock);
    return index < accounts.size() ? accounts[index].id : 0;
}

CZELString& CProtocolsManager::GetAccountName(CZELString& out, unsigned id, bool withProtocolGuid)
{
    out = CZELString();
    unsigned handle;
    {
        CZELLock hold(accountsLock);
        AccountRecord* account = FindAccount(id);
        if (!account) return out;
        if (withProtocolGuid) out = account->protocol.GetString();
        handle = account->handle;
    }
    CZELString name;
    bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, PM_GET_NAME, NewValue(reinterpret_cast<intptr_t>(&name)),
                    nullptr, true);
    out += name;
    return out;
}

ProtocolDescription CProtocolsManager::GetAccountProtocol(unsigned id)
{
    ZEL_GUID protocol;
    {
        CZELLock hold(accountsLock);
        AccountRecord* account = FindAccount(id);
        if (!account) return ProtocolDescription();
        protocol = account->protocol;
    }
    ProtocolRecord record;
    if (!CopyProtocol(protocol, record)) return ProtocolDescription();
    return record;
}

bool CProtocolsManager::GetAccountValueSize(unsigned id, const CZELString& key, int* size)
{
    CZELLock hold(accountsLock);
    const ValueRecord* value = FindValue(id, key);
    if (!value) return false;
    if (size) *size = int(value->GetLength());
    return true;
}

bool CProtocolsManager::GetAccountBlob(unsigned id, const CZELString& key, void* buffer, unsigned* length)
{
    CZELLock hold(accountsLock);
    const ValueRecord* value = FindValue(id, key);
    if (!value || !length || *length < value->GetLength()) return false;
    if (value->GetLength()) {
        if (!buffer) return false;
        memcpy(buffer, value->GetData(), value->GetLength());
    }
    *length = value->GetLength();
    return true;
}

bool CProtocolsManager::GetAccountString(unsigned id, const CZELString& key, CZELString& out, unsigned scrambled)
{
    CZELLock hold(accountsLock);
    const ValueRecord* value = FindValue(id, key);
    if (!value) return false;
    out = value->ReadString((scrambled & 0xFF) != 0);
    return true;
}

bool CProtocolsManager::GetAccountInt(unsigned id, const CZELString& key, int* out)
{
    CZELLock hold(accountsLock);
    const ValueRecord* value = FindValue(id, key);
    if (!value || value->GetLength() != 4) return false;
    if (out) *out = value->ReadInt();
    return true;
}

bool CProtocolsManager::GetAccountShort(unsigned id, const CZELString& key, short* out)
{
    CZELLock hold(accountsLock);
    const ValueRecord* value = FindValue(id, key);
    if (!value || value->GetLength() != 2) return false;
    if (out) *out = value->ReadShort();
    return true;
}

bool CProtocolsManager::GetAccountByte(unsigned id, const CZELString& key, char* out)
{
    CZELLock hold(accountsLock);
    const ValueRecord* value = FindValue(id, key);
    if (!value || value->GetLength() != 1) return false;
    if (out) *out = char(value->ReadByte());
    return true;
}

bool CProtocolsManager::GetAccountBool(unsigned id, const CZELString& key, bool* out)
{
    CZELLock hold(accountsLock);
    const ValueRecord* value = FindValue(id, key);
    if (!value || value->GetLength() != 1) return false;
    if (out) *out = value->ReadByte() != 0;
    return true;
}

template <typename Write> void CProtocolsManager::SetValue(unsigned id, const CZELString& key, Write write)
{
    CZELLock hold(accountsLock);
    AccountRecord* account = FindAccount(id);
    if (!account || !account->values) return;
    if (ValueRecord* value = account->values->Find(key)) {
        write(*value);
        return;
    }
    try {
        // Built empty and then written, so a string is scrambled the same way in both cases.
        ValueRecord value(key);
        if (write(value)) account->values->Add(value);
    } catch (const std::bad_alloc&) {
    }
}

void CProtocolsManager::SetAccountBlob(unsigned id, const CZELString& key, const void* data, const int* length)
{
    if (!length || *length < 0 || (*length > 0 && !data)) return;
    SetValue(id, key, [&](ValueRecord& value) { return value.WriteBlob(data, unsigned(*length)); });
}

void CProtocolsManager::SetAccountString(unsigned id, const CZELString& key, const CZELString& text, unsigned scrambled)
{
    SetValue(id, key, [&](ValueRecord& value) { return value.WriteString(text, (scrambled & 0xFF) != 0); });
}

void CProtocolsManager::SetAccountInt(unsigned id, const CZELString& key, const int* number)
{
    if (!number) return;
    SetValue(id, key, [&](ValueRecord& value) { return value.WriteInt(*number); });
}

void CProtocolsManager::SetAccountShort(unsigned id, const CZELString& key, const short* number)
{
    if (!number) return;
    SetValue(id, key, [&](ValueRecord& value) { return value.WriteShort(*number); });
}

void CProtocolsManager::SetAccountByte(unsigned id, const CZELString& key, const char* byte)
{
    if (!byte) return;
    SetValue(id, key, [&](ValueRecord& value) { return value.WriteByte(static_cast<unsigned char>(*byte)); });
}

void CProtocolsManager::SetAccountBool(unsigned id, const CZELString& key, const char* byte)
{
    SetAccountByte(id, key, byte);
}

int CProtocolsManager::GetLogonDate(unsigned id, CZELTime* out)
{
    int unixTime = 0;
    bool found = GetAccountInt(id, CZELString(kLogonDateKey), &unixTime);
    if (out) *out = CZELTime(found ? unsigned(unixTime) : 0u);
    return found ? 0 : 1;
}

bool CProtocolsManager::ReadStoredAccounts(AccountsData::Parsed& stored)
{
    CSettingsStore* store = FindSettingsStore(bus);
    if (!store) return false;
    int size = 0;
    if (!store->GetValueSize(GUID_PROTOCOLS_MANAGER, CZELString(kAccountsDataKey), &size) || size <= 0) return true;
    std::vector<unsigned char> buffer;
    try {
        buffer.resize(size_t(size));
    } catch (const std::bad_alloc&) {
        return true;
    }
    unsigned length = unsigned(size);
    if (!store->GetBlob(GUID_PROTOCOLS_MANAGER, CZELString(kAccountsDataKey), buffer.data(), &length)) return true;
    stored = AccountsData::Parse(buffer.data(), length);
    return true;
}

void CProtocolsManager::LoadAccounts()
{
    {
        // Once per run: a second start-up would create every stored account twice.
        CZELLock hold(accountsLock);
        if (storedRead) return;
    }
    ScanIfPending();
    AccountsData::Parsed stored;
    if (!ReadStoredAccounts(stored)) return;
    {
        std::vector<AccountsData::CarriedRecord> notCreated;
        for (size_t i = 0; i < stored.records.size(); ++i) {
            const AccountsData::StoredRecord& record = stored.records[i];
            unsigned id = 0;
            ValueRecordList* values = new (std::nothrow) ValueRecordList();
            ProtocolRecord protocol;
            if (values && CopyProtocol(record.protocol, protocol) && AccountsData::ReadValues(record, *values)) {
                id = CreateAccountWithValues(record.protocol, values);
            } else {
                delete values;
            }
            // Not an account in this run (plug-in missing or refusing, values unreadable): kept as
            // stored for the next save, at its place among the others.
            if (!id) notCreated.push_back({unsigned(i), record.raw});
        }
        CZELLock hold(accountsLock);
        carried.swap(notCreated);
        carriedTail.swap(stored.tail);
        storedRead = true;
    }
    Fire(PMEV_ACCOUNTS_LOADED, nullptr, nullptr, false);
}

bool CProtocolsManager::GetAccountsNotCreated(std::vector<ZEL_GUID>& protocols)
{
    CZELLock hold(accountsLock);
    if (!storedRead) return false;
    for (const AccountsData::CarriedRecord& record : carried) {
        AccountsData::Parsed parsed = AccountsData::Parse(record.raw.data(), unsigned(record.raw.size()));
        if (!parsed.records.empty()) protocols.push_back(parsed.records[0].protocol);
    }
    return carriedTail.empty();
}

void CProtocolsManager::UnloadAccounts()
{
    AccountTable copy;
    {
        CZELLock hold(accountsLock);
        copy = accounts;
    }
    // No lock is held while an account unloads or is destroyed: destroying it waits for its queue,
    // which may still use the account's values. They stay in the table until every account is gone,
    // so what an account writes until then is stored.
    for (const AccountRecord& account : copy) {
        bus.SendMessage(int(account.handle), GUID_PROTOCOLS_MANAGER, PM_UNLOAD, nullptr, nullptr, true);
        CZELDll library = account.library;
        Protocols::ReleaseAccountPlugin(library, account.handle);
    }
    {
        CZELLock hold(accountsLock);
        accounts.clear();
    }

    std::vector<AccountsData::LiveAccount> live;
    for (const AccountRecord& account : copy) live.push_back({account.protocol, account.values});
    SaveAccounts(live);
    for (AccountRecord& account : copy) delete account.values;
}

void CProtocolsManager::SaveAccounts(const std::vector<AccountsData::LiveAccount>& live)
{
    CSettingsStore* store = FindSettingsStore(bus);
    if (!store) return;
    if (!storedRead) {
        // The stored accounts were never loaded in this run (no start-up came): what is stored
        // stays, behind the accounts of this run.
        AccountsData::Parsed stored;
        ReadStoredAccounts(stored);
        for (size_t i = 0; i < stored.records.size(); ++i)
            carried.push_back({unsigned(live.size() + i), stored.records[i].raw});
        carriedTail.swap(stored.tail);
        storedRead = true;
    }
    std::vector<unsigned char> blob;
    if (!AccountsData::Build(live, carried, carriedTail, blob)) return;
    int length = int(blob.size());
    if (length < 0) return;
    // No accounts is stored too (as an empty value) over accounts stored before, or they would come
    // back; with nothing stored before, nothing is written.
    if (blob.empty() && !store->GetValueSize(GUID_PROTOCOLS_MANAGER, CZELString(kAccountsDataKey), nullptr)) return;
    static const unsigned char kNone = 0;
    store->SetBlob(GUID_PROTOCOLS_MANAGER, CZELString(kAccountsDataKey), blob.empty() ? &kNone : blob.data(), &length);
}
