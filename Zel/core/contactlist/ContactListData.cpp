#include "Zel/core/contactlist/ContactListData.h"

#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/contactlist/ContactListFile.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"

#include <windows.h>

#include <cstring>
#include <new>

namespace {

const wchar_t kQueueName[] = L"CL";
const wchar_t kAccountName[] = L"Account name";

const unsigned kLastGroupId = 0x7FFFFFFFu;
const unsigned kLastContactId = 0xFFFFFFFFu;

void Drop(CRefObject* payload)
{
    if (payload) payload->AddRef(0);
}

}  // namespace

CContactListData::CContactListData(Services::CServicesManager& bus, IContactListAccounts* accounts)
    : bus(bus),
      managerAccounts(bus),
      accounts(accounts ? *accounts : managerAccounts),
      serviceHandle(0),
      queueHandle(0),
      startupSubscription(0),
      updateNesting(0),
      nextGroupId(FirstGroupId),
      nextContactId(FirstContactId),
      closing(false)
{
    for (int i = 0; i < CLE_EVENT_COUNT; ++i) eventIds[i] = 0;
    serviceHandle = bus.RegisterService(GUID_CONTACT_LIST_DATA, static_cast<IContactListData*>(this));
    queueHandle = bus.CreateQueue(this, CZELString(kQueueName));
    for (int code = 1; code <= CLE_EVENT_COUNT; ++code)
        eventIds[code - 1] = bus.RegisterEvent(GUID_CONTACT_LIST_DATA, code);
    if (queueHandle) startupSubscription = bus.Subscribe(ZEL_GUID_NULL, Services::SMEV_STARTUP, queueHandle);
}

CContactListData::~CContactListData()
{
    closing = true;
    SaveContactList();
    // Dropping the queue also drops its subscriptions and waits for a handler that runs now.
    if (queueHandle) bus.DestroyQueue(queueHandle);
    {
        CLock hold(lock);
        listNames.clear();
        tempNames.clear();
        accountItems.clear();
        damagedTails.clear();
        items.clear();
        tempContacts.clear();
    }
    // The events go too: a later instance on the same bus registers its own, and subscribers must
    // find those, not these.
    for (int i = 0; i < CLE_EVENT_COUNT; ++i)
        if (eventIds[i]) bus.UnregisterEvent(eventIds[i]);
    if (serviceHandle) bus.UnregisterService(serviceHandle);
}

// ---- Item access (lock held) ----

CContactListData::CListItem* CContactListData::FindListItem(int id, unsigned* account)
{
    std::map<unsigned, ItemEntry>::iterator it = items.find(unsigned(id));
    if (it == items.end()) return nullptr;
    if (account) *account = it->second.account;
    return it->second.item.get();
}

CContactListData::CGroupItem* CContactListData::FindGroup(int id, unsigned* account)
{
    return IsGroupId(id) ? static_cast<CGroupItem*>(FindListItem(id, account)) : nullptr;
}

CContactListData::CContactItem* CContactListData::FindListContact(int id, unsigned* account)
{
    return IsContactId(id) ? static_cast<CContactItem*>(FindListItem(id, account)) : nullptr;
}

CContactListData::CContactItem* CContactListData::FindTempContact(int id, unsigned* account)
{
    std::map<unsigned, TempEntry>::iterator it = tempContacts.find(unsigned(id));
    if (it == tempContacts.end()) return nullptr;
    if (account) *account = it->second.account;
    return it->second.item.get();
}

CContactListData::CListItem* CContactListData::FindAnyItem(int id)
{
    if (CListItem* item = FindListItem(id)) return item;
    return FindTempContact(id);
}

bool CContactListData::IsRegistered(unsigned account) const
{
    return accountItems.find(account) != accountItems.end();
}

CZELString CContactListData::AccountNameOf(const CListItem& item)
{
    static const CZELString key(kAccountName);
    const ValueRecord* record = item.properties.Find(key);
    if (!record) return CZELString();
    // A name of a network is short: decoded on the stack, it costs one allocation, not two.
    unsigned length = record->GetLength();
    wchar_t units[64];
    if (length > 0 && length <= 64) {
        int count = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(record->GetData()), int(length),
                                        units, 64);
        if (count > 0) return CZELString(units, count);
    }
    return record->ReadString(false);
}

void CContactListData::IndexContact(NameIndex& index, unsigned account, CContactItem& contact)
{
    CZELString name = AccountNameOf(contact);
    index.emplace(std::make_pair(account, name), unsigned(contact.id));
    contact.indexedName = name;
    contact.indexed = true;
}

void CContactListData::UnindexContact(NameIndex& index, unsigned account, CContactItem& contact)
{
    if (!contact.indexed) return;
    contact.indexed = false;
    std::pair<NameIndex::iterator, NameIndex::iterator> range =
        index.equal_range(std::make_pair(account, contact.indexedName));
    for (NameIndex::iterator it = range.first; it != range.second; ++it) {
        if (it->second == unsigned(contact.id)) {
            index.erase(it);
            return;
        }
    }
}

void CContactListData::ReindexItem(int itemId, const CZELString& propertyName)
{
    if (!IsContactId(itemId) || propertyName != kAccountName) return;
    unsigned account = 0;
    if (CContactItem* contact = FindListContact(itemId, &account)) {
        if (!contact->indexed) return;  // not reachable from the account's list
        UnindexContact(listNames, account, *contact);
        IndexContact(listNames, account, *contact);
    } else if (CContactItem* temp = FindTempContact(itemId, &account)) {
        UnindexContact(tempNames, account, *temp);
        IndexContact(tempNames, account, *temp);
    }
}

int CContactListData::FindListContactByName(unsigned account, const CZELString& name)
{
    if (!IsRegistered(account)) return 0;
    std::pair<NameIndex::const_iterator, NameIndex::const_iterator> range =
        listNames.equal_range(std::make_pair(account, name));
    // The account's list is walked group by group in ascending id order, each group's contacts in
    // ascending order, the top-level contacts last; the last match of that walk wins. A top-level
    // contact sorts by its own id, which is above every group id.
    unsigned best = 0;
    unsigned long long bestOrder = 0;
    for (NameIndex::const_iterator it = range.first; it != range.second; ++it) {
        unsigned id = it->second;
        CContactItem* contact = FindListContact(int(id));
        if (!contact) continue;
        unsigned first = contact->groupId ? unsigned(contact->groupId) : id;
        unsigned long long order = (unsigned long long)first << 32 | id;
        if (!best || order > bestOrder) {
            best = id;
            bestOrder = order;
        }
    }
    return int(best);
}

int CContactListData::FindTempContactByName(unsigned account, const CZELString& name)
{
    std::pair<NameIndex::const_iterator, NameIndex::const_iterator> range =
        tempNames.equal_range(std::make_pair(account, name));
    unsigned newest = 0;
    for (NameIndex::const_iterator it = range.first; it != range.second; ++it)
        if (it->second > newest) newest = it->second;
    return int(newest);
}

void CContactListData::EraseListContact(unsigned id)
{
    std::map<unsigned, ItemEntry>::iterator it = items.find(id);
    if (it == items.end() || !IsContactId(int(id))) return;
    unsigned account = it->second.account;
    CContactItem* contact = static_cast<CContactItem*>(it->second.item.get());
    if (contact->groupId) {
        if (CGroupItem* group = FindGroup(contact->groupId)) group->contacts.erase(id);
    } else {
        std::map<unsigned, std::set<unsigned>>::iterator top = accountItems.find(account);
        if (top != accountItems.end()) top->second.erase(id);
    }
    UnindexContact(listNames, account, *contact);
    items.erase(it);
}

// ---- Events and own messages ----

void CContactListData::Fire(int code, CRefObject* p1, CRefObject* p2, bool wait)
{
    int id = code >= 1 && code <= CLE_EVENT_COUNT ? eventIds[code - 1] : 0;
    // The bus leaves the payloads alone only for an event it does not know.
    if (bus.FireEvent(id, p1, p2, wait) == Services::SM_NOT_FOUND) {
        Drop(p1);
        Drop(p2);
    }
}

void CContactListData::FireId(int code, int id, bool wait)
{
    Fire(code, NewValue(id), nullptr, wait);
}

bool CContactListData::Post(int code, CRefObject* p1, CRefObject* p2)
{
    if (!p1) {
        Drop(p2);
        return false;
    }
    return bus.SendMessage(queueHandle, GUID_CONTACT_LIST_DATA, code, p1, p2, false) == 1;
}

// ---- The interface ----

void CContactListData::BeginUpdate()
{
    CLock hold(lock);
    if (++updateNesting == 1) Fire(CLE_UPDATE_BEGIN, nullptr, nullptr, false);
}

void CContactListData::EndUpdate()
{
    CLock hold(lock);
    // An unmatched EndUpdate leaves the counter at 0, so the next BeginUpdate still announces.
    if (updateNesting <= 0) return;
    if (--updateNesting == 0) Fire(CLE_UPDATE_END, nullptr, nullptr, false);
}

int CContactListData::AddGroup(unsigned account)
{
    CLock hold(lock);
    return NewGroup(account);
}

int CContactListData::NewGroup(unsigned account)
{
    std::map<unsigned, std::set<unsigned>>::iterator top = accountItems.find(account);
    if (top == accountItems.end() || nextGroupId > kLastGroupId) return 0;
    unsigned id = nextGroupId;
    try {
        ItemEntry entry{account, std::unique_ptr<CListItem>(new CGroupItem(int(id)))};
        items.emplace(id, std::move(entry));
        try {
            top->second.insert(id);
        } catch (...) {
            items.erase(id);
            throw;
        }
    } catch (...) {
        return 0;
    }
    ++nextGroupId;
    return int(id);
}

void CContactListData::NotifyGroupAdded(int groupId)
{
    CLock hold(lock);
    if (!InBatch() && FindGroup(groupId)) FireId(CLE_GROUP_ADDED, groupId, false);
}

bool CContactListData::RemoveGroup(int groupId)
{
    return Post(CLM_REMOVE_GROUP, NewValue(groupId), nullptr);
}

void CContactListData::NotifyGroupChanged(int groupId)
{
    CLock hold(lock);
    if (!InBatch() && FindGroup(groupId)) FireId(CLE_GROUP_CHANGED, groupId, false);
}

int CContactListData::AddContact(unsigned account, int groupId)
{
    CLock hold(lock);
    return NewContact(account, groupId, nullptr, 0, nullptr);
}

int CContactListData::NewContact(unsigned account, int groupId, const unsigned char* properties, unsigned length,
                                 ContactListFile::NameCache* names)
{
    CGroupItem* group = nullptr;
    if (groupId) {
        unsigned groupAccount = 0;
        group = FindGroup(groupId, &groupAccount);
        // A group of another account would tie the contact to a list it does not belong to.
        if (!group || groupAccount != account || group->removing) return 0;
    }
    if (nextContactId == 0 || nextContactId > kLastContactId) return 0;
    unsigned id = nextContactId;
    try {
        CContactItem* contact = new CContactItem(int(id), groupId);
        items.emplace(id, ItemEntry{account, std::unique_ptr<CListItem>(contact)});
        try {
            // Read in place, before the contact is indexed under its "Account name".
            ContactListFile::ReadProperties(properties, length, contact->properties, names);
            // A top-level contact of an account that is not registered lives in the item map only.
            std::set<unsigned>* set = nullptr;
            if (group) {
                set = &group->contacts;
            } else {
                std::map<unsigned, std::set<unsigned>>::iterator top = accountItems.find(account);
                if (top != accountItems.end()) set = &top->second;
            }
            if (set) {
                set->insert(id);
                try {
                    IndexContact(listNames, account, *contact);
                } catch (...) {
                    set->erase(id);
                    throw;
                }
            }
        } catch (...) {
            items.erase(id);
            throw;
        }
    } catch (...) {
        return 0;
    }
    ++nextContactId;
    return int(id);
}

void CContactListData::NotifyContactAdded(int contactId, const StatusInfo& info)
{
    CLock hold(lock);
    CContactItem* contact = FindListContact(contactId);
    if (!contact || InBatch()) return;
    Fire(CLE_CONTACT_ADDED, NewValue(contactId), CContactAddedPayload::Create(contact->groupId, info), false);
}

bool CContactListData::RemoveContact(int contactId)
{
    return Post(CLM_REMOVE_CONTACT, NewValue(contactId), nullptr);
}

bool CContactListData::MoveContact(int contactId, int groupId)
{
    CRefValue* group = NewValue(groupId);
    if (!group) return false;
    return Post(CLM_MOVE_CONTACT, NewValue(contactId), group);
}

int CContactListData::GetContactGroup(int contactId)
{
    CLock hold(lock);
    CContactItem* contact = FindListContact(contactId);
    return contact ? contact->groupId : 0;
}

void CContactListData::NotifyContactStatus(int contactId, const StatusInfo& info)
{
    CLock hold(lock);
    if (!InBatch() && FindListContact(contactId))
        Fire(CLE_CONTACT_STATUS, NewValue(contactId), CStatusInfoPayload::Create(info), false);
}

void CContactListData::NotifyContactChanged(int contactId)
{
    CLock hold(lock);
    if (!InBatch() && FindListContact(contactId)) FireId(CLE_CONTACT_CHANGED, contactId, false);
}

bool CContactListData::PostIncomingMessage(int contactId, const MessageRecord& message)
{
    CMessagePayload* payload = CMessagePayload::Create(message);
    if (!payload) return false;
    return Post(CLM_INCOMING_MESSAGE, NewValue(contactId), payload);
}

bool CContactListData::PostMessageAck(int contactId, int value)
{
    CRefValue* p2 = NewValue(value);
    if (!p2) return false;
    return Post(CLM_MESSAGE_ACK, NewValue(contactId), p2);
}

bool CContactListData::PostTypingNotify(int contactId, int flag)
{
    CRefValue* p2 = NewValue(flag);
    if (!p2) return false;
    return Post(CLM_TYPING, NewValue(contactId), p2);
}

CZELString CContactListData::GetContactKey(int contactId)
{
    unsigned account = 0;
    CZELString name;
    {
        CLock hold(lock);
        CContactItem* contact = FindListContact(contactId, &account);
        if (!contact) contact = FindTempContact(contactId, &account);
        if (!contact) return CZELString();
        name = AccountNameOf(*contact);
    }
    // The account's name comes from the account itself: asked with the lock left.
    return accounts.GetAccountKey(account) + L"|" + name;
}

int CContactListData::FindContactByKey(const CZELString& key)
{
    int bar = key.Find(0, CZELString(L"|"));
    if (bar < 1) return 0;
    CZELString accountKey = key.Substring(0, bar);
    CZELString name = key.Substring(bar + 1, key.GetLength() - bar - 1);
    unsigned account = 0;
    int count = accounts.GetAccountCount();
    for (int i = 0; i < count && !account; ++i) {
        unsigned id = accounts.GetAccountId(i);
        if (id && accounts.GetAccountKey(id) == accountKey) account = id;
    }
    if (!account) return 0;
    CLock hold(lock);
    return FindListContactByName(account, name);
}

int CContactListData::FindOrAddContact(unsigned account, const CZELString& accountName)
{
    CLock hold(lock);
    if (int found = FindListContactByName(account, accountName)) return found;
    if (int found = FindTempContactByName(account, accountName)) return found;
    if (nextContactId == 0 || nextContactId > kLastContactId) return 0;
    unsigned id = nextContactId;
    try {
        CContactItem* contact = new CContactItem(int(id), 0);
        tempContacts.emplace(id, TempEntry{account, std::unique_ptr<CContactItem>(contact)});
        ValueRecord name{CZELString(kAccountName)};
        if (!name.WriteString(accountName, false) || contact->properties.Add(name) < 0) {
            tempContacts.erase(id);
            return 0;
        }
        try {
            IndexContact(tempNames, account, *contact);
        } catch (...) {
            tempContacts.erase(id);
            throw;
        }
    } catch (...) {
        return 0;
    }
    ++nextContactId;
    return int(id);
}

void CContactListData::RemoveTempContact(int contactId)
{
    CLock hold(lock);
    std::map<unsigned, TempEntry>::iterator it = tempContacts.find(unsigned(contactId));
    if (it == tempContacts.end()) return;
    UnindexContact(tempNames, it->second.account, *it->second.item);
    tempContacts.erase(it);
}

void CContactListData::RemoveAccountTempContacts(unsigned account)
{
    CLock hold(lock);
    for (std::map<unsigned, TempEntry>::iterator it = tempContacts.begin(); it != tempContacts.end();) {
        if (it->second.account == account) {
            UnindexContact(tempNames, account, *it->second.item);
            it = tempContacts.erase(it);
        } else {
            ++it;
        }
    }
}

int CContactListData::IsTempContact(int contactId)
{
    CLock hold(lock);
    return tempContacts.find(unsigned(contactId)) != tempContacts.end() ? 1 : 0;
}

unsigned CContactListData::GetItemAccount(int itemId)
{
    CLock hold(lock);
    unsigned account = 0;
    if (FindListItem(itemId, &account) || FindTempContact(itemId, &account)) return account;
    return 0;
}

// ---- Properties ----

template <typename Read> bool CContactListData::GetProperty(int itemId, const CZELString& name, Read read)
{
    CLock hold(lock);
    CListItem* item = FindAnyItem(itemId);
    if (!item) return false;
    const ValueRecord* record = item->properties.Find(name);
    return record && read(*record);
}

template <typename Write> bool CContactListData::SetProperty(int itemId, const CZELString& name, Write write)
{
    CLock hold(lock);
    CListItem* item = FindAnyItem(itemId);
    if (!item) return false;
    try {
        if (ValueRecord* existing = item->properties.Find(name)) {
            if (!write(*existing)) return false;
        } else {
            ValueRecord record(name);
            if (!record.HasValidName() || !write(record) || item->properties.Add(record) < 0) return false;
        }
        ReindexItem(itemId, name);
    } catch (...) {
        return false;
    }
    return true;
}

bool CContactListData::GetPropertyBlob(int itemId, const CZELString& name, void* buffer, const unsigned* capacity)
{
    if (!capacity) return false;
    return GetProperty(itemId, name, [&](const ValueRecord& record) {
        unsigned length = record.GetLength();
        if (*capacity < length || (length && !buffer)) return false;
        if (length) std::memcpy(buffer, record.GetData(), length);
        return true;
    });
}

bool CContactListData::GetPropertyString(int itemId, const CZELString& name, CZELString& out)
{
    return GetProperty(itemId, name, [&](const ValueRecord& record) {
        if (record.GetLength() == 0) return false;
        out = record.ReadString(false);
        return true;
    });
}

bool CContactListData::GetPropertyInt(int itemId, const CZELString& name, int* out)
{
    return out && GetProperty(itemId, name, [&](const ValueRecord& record) {
        if (record.GetLength() != 4) return false;
        *out = record.ReadInt();
        return true;
    });
}

bool CContactListData::GetPropertyShort(int itemId, const CZELString& name, short* out)
{
    return out && GetProperty(itemId, name, [&](const ValueRecord& record) {
        if (record.GetLength() != 2) return false;
        *out = record.ReadShort();
        return true;
    });
}

bool CContactListData::GetPropertyByte(int itemId, const CZELString& name, char* out)
{
    return out && GetProperty(itemId, name, [&](const ValueRecord& record) {
        if (record.GetLength() != 1) return false;
        *out = char(record.ReadByte());
        return true;
    });
}

bool CContactListData::SetPropertyBlob(int itemId, const CZELString& name, const void* bytes, const int* length)
{
    if (!length || *length < 0 || (*length > 0 && !bytes)) return false;
    unsigned count = unsigned(*length);
    return SetProperty(itemId, name, [&](ValueRecord& record) { return record.WriteBlob(bytes, count); });
}

bool CContactListData::SetPropertyString(int itemId, const CZELString& name, const CZELString& value)
{
    return SetProperty(itemId, name, [&](ValueRecord& record) { return record.WriteString(value, false); });
}

bool CContactListData::SetPropertyInt(int itemId, const CZELString& name, const int* value)
{
    return value && SetProperty(itemId, name, [&](ValueRecord& record) { return record.WriteInt(*value); });
}

bool CContactListData::SetPropertyShort(int itemId, const CZELString& name, const short* value)
{
    return value && SetProperty(itemId, name, [&](ValueRecord& record) { return record.WriteShort(*value); });
}

bool CContactListData::SetPropertyByte(int itemId, const CZELString& name, const char* value)
{
    return value &&
           SetProperty(itemId, name, [&](ValueRecord& record) { return record.WriteByte((unsigned char)*value); });
}

bool CContactListData::GetAccountItems(unsigned account, CZELArray<ContactListItemPair>& out)
{
    CLock hold(lock);
    std::map<unsigned, std::set<unsigned>>::const_iterator top = accountItems.find(account);
    if (top == accountItems.end()) return false;
    for (unsigned id : top->second) {
        if (IsContactId(int(id))) {
            out.Add(ContactListItemPair{0, int(id)});
        } else if (CGroupItem* group = FindGroup(int(id))) {
            out.Add(ContactListItemPair{int(id), 0});
            for (unsigned contact : group->contacts) out.Add(ContactListItemPair{int(id), int(contact)});
        }
    }
    return true;
}

bool CContactListData::GetAccountGroups(unsigned account, CZELArray<int>& out)
{
    CLock hold(lock);
    std::map<unsigned, std::set<unsigned>>::const_iterator top = accountItems.find(account);
    if (top == accountItems.end()) return false;
    for (unsigned id : top->second)
        if (IsGroupId(int(id))) out.Add(int(id));
    return true;
}

// ---- The queue ----

int CContactListData::HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2)
{
    // Nothing may leave the handler towards the queue's thread; the standard containers throw
    // only when memory runs out, and then the message is dropped.
    try {
        return HandleQueueMessage(msgClass, code, p1, p2);
    } catch (...) {
        return 0;
    }
}

int CContactListData::HandleQueueMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2)
{
    if (msgClass == ZEL_GUID_NULL) {
        if (code == Services::SMEV_STARTUP) SubscribeToAccountEvents();
        return 0;
    }
    if (msgClass == GUID_PROTOCOLS_MANAGER) {
        unsigned account = unsigned(ValueOf(p1));
        switch (code) {
        case PMEV_ACCOUNTS_LOADED:
            Fire(CLE_ACCOUNTS_READY, nullptr, nullptr, false);
            break;
        case PMEV_ACCOUNT_CREATED:
            OnAccountCreated(account);
            break;
        case PMEV_ACCOUNT_REMOVING:
            ClearAccount(account, true);
            break;
        case PMEV_ACCOUNT_RENAMED:
            ClearAccount(account, false);
            break;
        }
        return 0;
    }
    if (msgClass != GUID_CONTACT_LIST_DATA) return 0;
    int id = int(ValueOf(p1));
    switch (code) {
    case CLM_INCOMING_MESSAGE:
        RelayToSubscribers(CLE_INCOMING_MESSAGE, p1, p2);
        break;
    case CLM_MESSAGE_ACK:
        RelayToSubscribers(CLE_MESSAGE_ACK, p1, p2);
        break;
    case CLM_TYPING:
        RelayToSubscribers(CLE_TYPING, p1, p2);
        break;
    case CLM_REMOVE_GROUP:
        DoRemoveGroup(id);
        break;
    case CLM_REMOVE_CONTACT:
        DoRemoveContact(id);
        break;
    case CLM_MOVE_CONTACT:
        DoMoveContact(id, int(ValueOf(p2)));
        break;
    }
    return 0;
}

void CContactListData::SubscribeToAccountEvents()
{
    const int codes[] = {PMEV_ACCOUNTS_LOADED, PMEV_ACCOUNT_CREATED, PMEV_ACCOUNT_REMOVING, PMEV_ACCOUNT_RENAMED};
    for (int code : codes) {
        int subscription = bus.Subscribe(GUID_PROTOCOLS_MANAGER, code, queueHandle);
        if (subscription) {
            try {
                accountSubscriptions.push_back(subscription);
            } catch (...) {
            }
        }
    }
}

void CContactListData::RelayToSubscribers(int code, CRefObject* p1, CRefObject* p2)
{
    CLock hold(lock);
    // Only list contacts are announced; a temporary contact's messages wait until it joins the list.
    if (FindListContact(int(ValueOf(p1)))) Fire(code, p1, p2, false);
}

void CContactListData::DoRemoveContact(int contactId)
{
    CLock hold(lock);
    CContactItem* contact = FindListContact(contactId);
    if (!contact) return;
    int groupId = contact->groupId;
    hold.Leave();
    Fire(CLE_CONTACT_REMOVED, NewValue(contactId), NewValue(groupId), true);
    hold.Enter();
    EraseListContact(unsigned(contactId));
}

void CContactListData::DoRemoveGroup(int groupId)
{
    CLock hold(lock);
    unsigned account = 0;
    CGroupItem* removed = FindGroup(groupId, &account);
    if (!removed || removed->removing || !IsRegistered(account)) return;
    removed->removing = true;
    for (;;) {
        CGroupItem* group = FindGroup(groupId);
        if (!group) return;
        if (group->contacts.empty()) break;
        unsigned contactId = *group->contacts.begin();
        hold.Leave();
        FireId(CLE_CONTACT_REMOVED, int(contactId), true);
        hold.Enter();
        EraseListContact(contactId);
        // The group may have gone meanwhile; when not, the contact has surely left it.
        if ((group = FindGroup(groupId))) group->contacts.erase(contactId);
    }
    hold.Leave();
    FireId(CLE_GROUP_REMOVED, groupId, true);
    hold.Enter();
    CGroupItem* group = FindGroup(groupId, &account);
    if (!group) return;
    // Nothing could join it since its removal started; should anything be there, it goes too.
    std::vector<unsigned> left(group->contacts.begin(), group->contacts.end());
    for (unsigned contactId : left) EraseListContact(contactId);
    std::map<unsigned, std::set<unsigned>>::iterator top = accountItems.find(account);
    if (top != accountItems.end()) top->second.erase(unsigned(groupId));
    items.erase(unsigned(groupId));
}

void CContactListData::DoMoveContact(int contactId, int groupId)
{
    CLock hold(lock);
    unsigned account = 0;
    CContactItem* contact = FindListContact(contactId, &account);
    if (!contact || !IsGroupId(groupId)) return;
    std::map<unsigned, std::set<unsigned>>::iterator top = accountItems.find(account);
    // Both the old place and the new group must be among the account's own items.
    if (top == accountItems.end() || !top->second.count(unsigned(groupId))) return;
    CGroupItem* newGroup = FindGroup(groupId);
    if (!newGroup || newGroup->removing) return;
    int oldGroupId = contact->groupId;
    if (oldGroupId) {
        CGroupItem* oldGroup = FindGroup(oldGroupId);
        if (!top->second.count(unsigned(oldGroupId)) || !oldGroup || !oldGroup->contacts.count(unsigned(contactId)))
            return;
    } else if (!top->second.count(unsigned(contactId))) {
        return;
    }

    hold.Leave();
    Fire(CLE_CONTACT_REMOVED, NewValue(contactId), oldGroupId ? NewValue(oldGroupId) : nullptr, true);
    hold.Enter();

    // Removals run on this thread only, but look everything up again: the lock was left.
    contact = FindListContact(contactId, &account);
    CGroupItem* target = FindGroup(groupId);
    top = accountItems.find(account);
    if (!contact || !target || target->removing || top == accountItems.end()) return;
    try {
        target->contacts.insert(unsigned(contactId));
    } catch (...) {
        return;
    }
    if (contact->groupId) {
        CGroupItem* oldGroup = FindGroup(contact->groupId);
        if (oldGroup && oldGroup != target) oldGroup->contacts.erase(unsigned(contactId));
    } else {
        top->second.erase(unsigned(contactId));
    }
    contact->groupId = groupId;
    // In a batch the subscribers read the whole list at its end instead.
    if (InBatch()) return;
    hold.Leave();

    StatusInfo info;
    accounts.GetContactIcons(account, contactId, info);
    Fire(CLE_CONTACT_ADDED, NewValue(contactId), CContactAddedPayload::Create(groupId, info), false);
}

void CContactListData::OnAccountCreated(unsigned account)
{
    {
        // Registered and loading in one step: no save may take the empty list for the account's.
        CLock hold(lock);
        try {
            loadingAccounts.insert(account);
            accountItems.emplace(account, std::set<unsigned>());
        } catch (...) {
            loadingAccounts.erase(account);
            return;
        }
    }
    LoadAccountContactList(account);
}

void CContactListData::ClearAccount(unsigned account, bool unregister)
{
    {
        CLock hold(lock);
        if (!IsRegistered(account)) return;
        damagedTails.erase(account);  // it belonged to the list that goes
    }
    BeginUpdate();
    for (;;) {
        unsigned last;
        {
            CLock hold(lock);
            std::map<unsigned, std::set<unsigned>>::iterator top = accountItems.find(account);
            if (top == accountItems.end()) break;
            if (top->second.empty()) {
                // In the same step as the last check: nothing can join the list in between.
                if (unregister) accountItems.erase(top);
                break;
            }
            last = *top->second.rbegin();
        }
        // The highest id first: the top-level contacts, then the groups with their contacts.
        if (IsContactId(int(last)))
            DoRemoveContact(int(last));
        else
            DoRemoveGroup(int(last));
        CLock hold(lock);
        std::map<unsigned, std::set<unsigned>>::iterator top = accountItems.find(account);
        if (top != accountItems.end() && top->second.count(last)) {
            // Not removable (never true for a consistent list): drop it so the loop ends.
            top->second.erase(last);
        }
    }
    EndUpdate();
}
