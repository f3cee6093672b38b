// CContactListData: the contact lists of every account, a service on the bus under
// GUID_CONTACT_LIST_DATA with its own queue "CL". Plug-ins fill it (groups, contacts, typed
// properties, status, incoming messages) through IContactListData; the user interface reads it and
// learns of every change through the 13 events below. It keeps the lists across runs in the
// settings value "CL data" and questions senders who are not in the list (the anti-spam filter).
//
// Item ids are handed out once per process and never stored: groups from 1 up, contacts (list and
// temporary alike) from 0x80000001 up, so the top bit tells a contact from a group. Temporary
// contacts are senders who are not in the list; they are never announced and never stored.
//
// Batches: between BeginUpdate and EndUpdate (nested, from any thread) additions and changes are
// not announced: no CLE_GROUP_ADDED, CLE_GROUP_CHANGED, CLE_CONTACT_ADDED, CLE_CONTACT_STATUS or
// CLE_CONTACT_CHANGED fires. On CLE_UPDATE_END a subscriber reads the whole list again, every
// account's, with GetAccountItems and the properties; statuses are asked of the protocols manager
// (GetContactIcons) for accounts that are online only, since an offline account has none to give.
// Removals are still announced one by one, synchronously, while the item exists (a chat showing the
// contact must learn of it), and messages, acknowledgements and typing are relayed as ever. A
// stored list is loaded as one batch, so a large list costs two events, not one per item.
//
// Locks: one lock guards everything. Synchronous events (CLE_GROUP_REMOVED, CLE_CONTACT_REMOVED) are
// fired with it left, so subscribers may read the item while it still exists; no synchronous send
// to the protocols manager or an account is made while it is held.
#pragma once

#include "Zel/core/bus/Payloads.h"
#include "Zel/core/bus/RefObject.h"
#include "Zel/core/settings/ValueRecordList.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELString.h"

#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace Services {
class CServicesManager;
}
class CSettingsStore;
namespace ContactListFile {
struct RecordView;
struct RecordList;
struct StoredValue;
class NameCache;
}

// Events, class GUID_CONTACT_LIST_DATA. Ids and values travel as CRefValue.
enum ContactListEvent {
    CLE_ACCOUNTS_READY = 1,    // all saved accounts are created
    CLE_UPDATE_BEGIN = 2,      // a batch of changes starts: additions and changes go unannounced
    CLE_UPDATE_END = 3,        // and ends: read the whole list again
    CLE_GROUP_ADDED = 4,       // p1 group id
    CLE_GROUP_REMOVED = 5,     // p1 group id; synchronous, the group still exists
    CLE_GROUP_CHANGED = 6,     // p1 group id
    CLE_CONTACT_ADDED = 7,     // p1 contact id, p2 CContactAddedPayload
    CLE_CONTACT_REMOVED = 8,   // p1 contact id, p2 its group id or none; synchronous
    CLE_CONTACT_STATUS = 9,    // p1 contact id, p2 CStatusInfoPayload
    CLE_CONTACT_CHANGED = 10,  // p1 contact id
    CLE_INCOMING_MESSAGE = 11, // p1 contact id, p2 CMessagePayload
    CLE_MESSAGE_ACK = 12,      // p1 contact id, p2 value
    CLE_TYPING = 13,           // p1 contact id, p2 flag: 0 typing, non-zero typing over
    CLE_EVENT_COUNT = 13
};

// Messages the service posts to its own queue, class GUID_CONTACT_LIST_DATA.
enum ContactListMessage {
    CLM_INCOMING_MESSAGE = 161,
    CLM_MESSAGE_ACK = 162,
    CLM_TYPING = 163,
    CLM_REMOVE_GROUP = 164,
    CLM_REMOVE_CONTACT = 165,
    CLM_MOVE_CONTACT = 166
};

const unsigned FirstGroupId = 1;
const unsigned FirstContactId = 0x80000001u;

inline bool IsContactId(int id)
{
    return (unsigned(id) & 0x80000000u) != 0;
}

inline bool IsGroupId(int id)
{
    return id != 0 && !IsContactId(id);
}

// One line of GetAccountItems: a group (contact 0), a contact of a group, or a top-level contact
// (group 0).
struct ContactListItemPair {
    int groupId;
    int contactId;
};

// The service's interface: plug-ins call these slots in this order, so nothing may be inserted
// before or between them. Accounts are the protocols manager's account ids; items are group or
// contact ids. Unknown ids make the getters return 0 or false and the notifiers do nothing.
class IContactListData {
public:
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    // The new group's id, 0 when the account is not registered.
    virtual int AddGroup(unsigned account) = 0;
    virtual void NotifyGroupAdded(int groupId) = 0;
    // Removes the group and its contacts on the service's queue; true when that was queued.
    virtual bool RemoveGroup(int groupId) = 0;
    virtual void NotifyGroupChanged(int groupId) = 0;
    // The new contact's id; 0 when groupId (non-zero) names no group of the account.
    virtual int AddContact(unsigned account, int groupId) = 0;
    virtual void NotifyContactAdded(int contactId, const StatusInfo& info) = 0;
    // Removal and moves run on the service's queue; true when queued.
    virtual bool RemoveContact(int contactId) = 0;
    virtual bool MoveContact(int contactId, int groupId) = 0;
    // 0 at the top level or when unknown.
    virtual int GetContactGroup(int contactId) = 0;
    virtual void NotifyContactStatus(int contactId, const StatusInfo& info) = 0;
    virtual void NotifyContactChanged(int contactId) = 0;
    // The anti-spam filter: 1 deliver, 0 drop.
    virtual int FilterIncomingMessage(int contactId, const MessageRecord& message) = 0;
    // Relayed as events from the service's queue, for list contacts only; true when queued.
    virtual bool PostIncomingMessage(int contactId, const MessageRecord& message) = 0;
    virtual bool PostMessageAck(int contactId, int value) = 0;
    virtual bool PostTypingNotify(int contactId, int flag) = 0;
    // "{protocol GUID}account name|contact's Account name"; empty for an unknown contact.
    virtual CZELString GetContactKey(int contactId) = 0;
    // The list contact with that key, or 0.
    virtual int FindContactByKey(const CZELString& key) = 0;
    // A list or temporary contact of the account with that "Account name", else a new temporary
    // one; 0 when memory runs out.
    virtual int FindOrAddContact(unsigned account, const CZELString& accountName) = 0;
    virtual void RemoveTempContact(int contactId) = 0;
    virtual void RemoveAccountTempContacts(unsigned account) = 0;
    virtual int IsTempContact(int contactId) = 0;
    // The item's account (list items, then temporary contacts), 0 when unknown.
    virtual unsigned GetItemAccount(int itemId) = 0;

    // Properties of groups, list contacts and temporary contacts; names ignore letter case and the
    // first record of a name counts. Typed getters accept only a stored length of exactly their size.
    // GetPropertyBlob copies only when *capacity is at least the stored length.
    virtual bool GetPropertyBlob(int itemId, const CZELString& name, void* buffer, const unsigned* capacity) = 0;
    // False also for an empty value.
    virtual bool GetPropertyString(int itemId, const CZELString& name, CZELString& out) = 0;
    virtual bool GetPropertyInt(int itemId, const CZELString& name, int* out) = 0;
    virtual bool GetPropertyShort(int itemId, const CZELString& name, short* out) = 0;
    virtual bool GetPropertyByte(int itemId, const CZELString& name, char* out) = 0;
    // Each replaces the first property of that name or appends one. False when nothing was stored:
    // an unknown item, a name too long to store, a missing value or a negative length, no memory.
    virtual bool SetPropertyBlob(int itemId, const CZELString& name, const void* bytes, const int* length) = 0;
    // UTF-8 without terminator.
    virtual bool SetPropertyString(int itemId, const CZELString& name, const CZELString& value) = 0;
    virtual bool SetPropertyInt(int itemId, const CZELString& name, const int* value) = 0;
    virtual bool SetPropertyShort(int itemId, const CZELString& name, const short* value) = 0;
    virtual bool SetPropertyByte(int itemId, const CZELString& name, const char* value) = 0;

    // Appends the account's whole list: each group, then its contacts, in ascending id order, then
    // the top-level contacts. False when the account is not registered.
    virtual bool GetAccountItems(unsigned account, CZELArray<ContactListItemPair>& out) = 0;
    // Appends the account's group ids in ascending order. False when the account is not registered.
    virtual bool GetAccountGroups(unsigned account, CZELArray<int>& out) = 0;
    // The setting "AntispamMsgsFromNIL": messages from senders not in the list are accepted.
    virtual bool GetAntispamMsgsFromNIL() = 0;

protected:
    // Nobody deletes the service through the interface; keeping the destructor out of it keeps the
    // operations in the first slots.
    ~IContactListData() {}
};

// What the contact list needs of the protocols manager. The service's own default is the manager
// found on the bus at each call (CProtocolsManagerAccounts); tests give their own.
class IContactListAccounts {
public:
    virtual ~IContactListAccounts() {}
    // False when there is no protocols manager.
    virtual bool IsAvailable() = 0;
    // The accounts in the manager's order.
    virtual int GetAccountCount() = 0;
    virtual unsigned GetAccountId(int index) = 0;
    // The account's name with its protocol GUID in front; empty for an unknown account. Waits for
    // the account.
    virtual CZELString GetAccountKey(unsigned account) = 0;
    // Asks the account for a contact's status; waits for the account.
    virtual bool GetContactIcons(unsigned account, int contactId, StatusInfo& out) = 0;
    virtual bool SendInstantMessage(unsigned account, const MessageRecord& message, bool silent) = 0;
    // The protocols of the stored accounts that are not accounts in this run (plug-in missing, for
    // instance), one per such account. False when that cannot be told: any protocol may be among them.
    virtual bool GetAccountsNotCreated(std::vector<ZEL_GUID>& protocols) = 0;
};

// The protocols manager on the bus, looked up at every call, so it does not matter which of the two
// services is created first or whether it is there at all.
class CProtocolsManagerAccounts : public IContactListAccounts {
public:
    explicit CProtocolsManagerAccounts(Services::CServicesManager& bus) : bus(bus) {}

    bool IsAvailable() override;
    int GetAccountCount() override;
    unsigned GetAccountId(int index) override;
    CZELString GetAccountKey(unsigned account) override;
    bool GetContactIcons(unsigned account, int contactId, StatusInfo& out) override;
    bool SendInstantMessage(unsigned account, const MessageRecord& message, bool silent) override;
    bool GetAccountsNotCreated(std::vector<ZEL_GUID>& protocols) override;

private:
    Services::CServicesManager& bus;
};

class CContactListData : public IContactListData, public QueueReceiver {
public:
    // Registers the service, creates the queue "CL", registers the 13 events and subscribes to the
    // bus's start-up event. accounts null: the protocols manager found on the bus.
    explicit CContactListData(Services::CServicesManager& bus, IContactListAccounts* accounts = nullptr);
    // Stores "CL data", then drops the queue (waiting for a handler that runs), every item and the
    // service.
    ~CContactListData() override;

    CContactListData(const CContactListData&) = delete;
    CContactListData& operator=(const CContactListData&) = delete;

    void BeginUpdate() override;
    void EndUpdate() override;
    int AddGroup(unsigned account) override;
    void NotifyGroupAdded(int groupId) override;
    bool RemoveGroup(int groupId) override;
    void NotifyGroupChanged(int groupId) override;
    int AddContact(unsigned account, int groupId) override;
    void NotifyContactAdded(int contactId, const StatusInfo& info) override;
    bool RemoveContact(int contactId) override;
    bool MoveContact(int contactId, int groupId) override;
    int GetContactGroup(int contactId) override;
    void NotifyContactStatus(int contactId, const StatusInfo& info) override;
    void NotifyContactChanged(int contactId) override;
    int FilterIncomingMessage(int contactId, const MessageRecord& message) override;
    bool PostIncomingMessage(int contactId, const MessageRecord& message) override;
    bool PostMessageAck(int contactId, int value) override;
    bool PostTypingNotify(int contactId, int flag) override;
    CZELString GetContactKey(int contactId) override;
    int FindContactByKey(const CZELString& key) override;
    int FindOrAddContact(unsigned account, const CZELString& accountName) override;
    void RemoveTempContact(int contactId) override;
    void RemoveAccountTempContacts(unsigned account) override;
    int IsTempContact(int contactId) override;
    unsigned GetItemAccount(int itemId) override;
    bool GetPropertyBlob(int itemId, const CZELString& name, void* buffer, const unsigned* capacity) override;
    bool GetPropertyString(int itemId, const CZELString& name, CZELString& out) override;
    bool GetPropertyInt(int itemId, const CZELString& name, int* out) override;
    bool GetPropertyShort(int itemId, const CZELString& name, short* out) override;
    bool GetPropertyByte(int itemId, const CZELString& name, char* out) override;
    bool SetPropertyBlob(int itemId, const CZELString& name, const void* bytes, const int* length) override;
    bool SetPropertyString(int itemId, const CZELString& name, const CZELString& value) override;
    bool SetPropertyInt(int itemId, const CZELString& name, const int* value) override;
    bool SetPropertyShort(int itemId, const CZELString& name, const short* value) override;
    bool SetPropertyByte(int itemId, const CZELString& name, const char* value) override;
    bool GetAccountItems(unsigned account, CZELArray<ContactListItemPair>& out) override;
    bool GetAccountGroups(unsigned account, CZELArray<int>& out) override;
    bool GetAntispamMsgsFromNIL() override;

    // Runs on the queue "CL": the start-up event, the protocols manager's account events and the
    // service's own messages.
    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override;

    // The anti-spam settings, read and written through the settings store at each call.
    void SetAntispamEnable(bool enable);
    bool GetAntispamEnable();
    void SetAntispamMsgsFromNIL(bool accept);
    void SetAntispamQuestion(const CZELString& text);
    CZELString GetAntispamQuestion();
    void SetAntispamAnswer(const CZELString& text);
    CZELString GetAntispamAnswer();
    void SetAntispamConfirm(const CZELString& text);
    CZELString GetAntispamConfirm();

    // Loads the account's part of "CL data" (the account must be registered). 1 when a record of
    // the account was found, also when it holds no items; 0 otherwise.
    int LoadAccountContactList(unsigned account);
    // Stores the list of every registered account whose stored list has finished loading in
    // "CL data". An account of the protocols manager whose list is not loaded (yet) keeps its stored
    // record as it was, so a save during a load never writes the half list. A stored record of
    // another name goes back as it was when it may belong to a stored account that is not created in
    // this run; the records of accounts that were removed or renamed in this run are dropped. Run by
    // the destructor.
    void SaveContactList();

    int GetQueueHandle() const { return queueHandle; }

private:
    struct CListItem {
        explicit CListItem(int id) : id(id) {}
        virtual ~CListItem() {}
        int id;
        ValueRecordList properties;
    };
    struct CContactItem : CListItem {
        CContactItem(int id, int groupId) : CListItem(id), groupId(groupId), indexed(false) {}
        int groupId;
        // The "Account name" this contact is indexed under, when it is in a name index.
        CZELString indexedName;
        bool indexed;
    };
    struct CGroupItem : CListItem {
        explicit CGroupItem(int id) : CListItem(id), removing(false) {}
        std::set<unsigned> contacts;
        // Set when its removal starts: it takes no contact any more, so none is left behind.
        bool removing;
        // The stored bytes after its last whole contact, written back after its contacts.
        std::vector<unsigned char> damagedTail;
    };
    struct ItemEntry {
        unsigned account;
        std::unique_ptr<CListItem> item;
    };
    struct TempEntry {
        unsigned account;
        std::unique_ptr<CContactItem> item;
    };
    struct NameKeyLess {
        bool operator()(const std::pair<unsigned, CZELString>& a, const std::pair<unsigned, CZELString>& b) const
        {
            if (a.first != b.first) return a.first < b.first;
            return a.second.Compare(b.second) < 0;
        }
    };
    // (account, "Account name" ignoring case) -> contact ids, one entry per contact; "finding by
    // Account name" without walking the whole list.
    typedef std::multimap<std::pair<unsigned, CZELString>, unsigned, NameKeyLess> NameIndex;

    // The service lock for one scope, which may be left around a synchronous event.
    class CLock {
    public:
        explicit CLock(CZELCriticalSection& section) : section(section), held(true) { section.Enter(); }
        ~CLock()
        {
            if (held) section.Leave();
        }
        CLock(const CLock&) = delete;
        CLock& operator=(const CLock&) = delete;
        void Leave()
        {
            if (held) section.Leave();
            held = false;
        }
        void Enter()
        {
            if (!held) section.Enter();
            held = true;
        }

    private:
        CZELCriticalSection& section;
        bool held;
    };

    // Item access, lock held.
    CListItem* FindListItem(int id, unsigned* account = nullptr);
    CGroupItem* FindGroup(int id, unsigned* account = nullptr);
    CContactItem* FindListContact(int id, unsigned* account = nullptr);
    CListItem* FindAnyItem(int id);
    CContactItem* FindTempContact(int id, unsigned* account = nullptr);
    bool IsRegistered(unsigned account) const;
    // The "Account name" of a contact, empty when it has none.
    static CZELString AccountNameOf(const CListItem& item);
    void IndexContact(NameIndex& index, unsigned account, CContactItem& contact);
    void UnindexContact(NameIndex& index, unsigned account, CContactItem& contact);
    // After a property of a contact changed: keeps its name index up to date.
    void ReindexItem(int itemId, const CZELString& propertyName);
    // The last match of the walk order, or 0.
    int FindListContactByName(unsigned account, const CZELString& name);
    int FindTempContactByName(unsigned account, const CZELString& name);
    // Deletes a list contact (lock held): out of its set, the index and the item map.
    void EraseListContact(unsigned id);

    template <typename Write> bool SetProperty(int itemId, const CZELString& name, Write write);
    template <typename Read> bool GetProperty(int itemId, const CZELString& name, Read read);
    // A new group or contact (lock held); 0 as AddGroup and AddContact. A contact's properties are
    // read from their byte form into it before it is indexed.
    int NewGroup(unsigned account);
    int NewContact(unsigned account, int groupId, const unsigned char* properties, unsigned length,
                   ContactListFile::NameCache* names);
    // Between BeginUpdate and EndUpdate (lock held): additions and changes are not announced.
    bool InBatch() const { return updateNesting > 0; }

    // "CL data" as read at the first load or save of the run.
    std::shared_ptr<const ContactListFile::StoredValue> Stored(CSettingsStore& store);
    // Creates and fills one stored contact.
    void LoadContact(unsigned account, int groupId, const ContactListFile::RecordView& record,
                     ContactListFile::NameCache& names);
    // Creates and fills a stored group from its records, when they hold its settings; false when
    // they do not (the item is a contact).
    bool LoadGroup(unsigned account, const ContactListFile::RecordList& children, ContactListFile::NameCache& names);
    // The loading itself, with the account marked as loading.
    int LoadStoredItems(unsigned account);
    // Appends the account record of a registered account's list, its name to written (lock held).
    void AppendAccountRecord(std::vector<unsigned char>& out, unsigned account, const CZELString& name,
                             const std::set<unsigned>& top, std::vector<CZELString>& written);

    // Fires one of the 13 events; payloads go back when the event cannot be fired.
    void Fire(int code, CRefObject* p1, CRefObject* p2, bool wait);
    void FireId(int code, int id, bool wait);
    bool Post(int code, CRefObject* p1, CRefObject* p2);

    // The handlers of the own messages and the account events, on the queue's thread.
    int HandleQueueMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2);
    void RelayToSubscribers(int code, CRefObject* p1, CRefObject* p2);
    void DoRemoveContact(int contactId);
    void DoRemoveGroup(int groupId);
    void DoMoveContact(int contactId, int groupId);
    void OnAccountCreated(unsigned account);
    // Removes every item of the account between BeginUpdate and EndUpdate; unregisters it when
    // unregister is set.
    void ClearAccount(unsigned account, bool unregister);
    void SubscribeToAccountEvents();

    CSettingsStore* Settings();
    bool GetSettingByte(const wchar_t* key, bool defaultValue);
    void SetSettingByte(const wchar_t* key, bool value);
    CZELString GetSettingString(const wchar_t* key);
    void SetSettingString(const wchar_t* key, const CZELString& text);

    Services::CServicesManager& bus;
    CProtocolsManagerAccounts managerAccounts;
    IContactListAccounts& accounts;  // managerAccounts unless the creator gave another
    int serviceHandle;
    int queueHandle;
    int eventIds[CLE_EVENT_COUNT];
    int startupSubscription;
    std::vector<int> accountSubscriptions;

    CZELCriticalSection lock;  // guards everything below
    int updateNesting;
    // Ids are handed out once in the service's life (one per process, outside tests) and never stored.
    unsigned nextGroupId;
    unsigned nextContactId;
    std::map<unsigned, std::set<unsigned>> accountItems;  // account -> its top-level item ids
    std::map<unsigned, ItemEntry> items;                  // every group and list contact
    std::map<unsigned, TempEntry> tempContacts;
    // The stored bytes after an account's last whole item, written back after its items.
    std::map<unsigned, std::vector<unsigned char>> damagedTails;
    // Registered accounts whose stored list is being loaded: what they hold is not their list yet.
    std::set<unsigned> loadingAccounts;
    // Set when the service goes: a load under way stops adding items; its stored record is kept.
    std::atomic<bool> closing;
    // Read once: every account's load finds its record in it, and the save the records it keeps.
    std::shared_ptr<const ContactListFile::StoredValue> storedValue;
    // The account keys lists were loaded under in this run: a stored record of such a key that no
    // account has at the save is a removed or renamed account's, and goes.
    std::vector<CZELString> loadedKeys;
    NameIndex listNames;
    NameIndex tempNames;
    std::set<int> antispamAsked;
    std::set<int> antispamPassed;
    std::set<int> antispamFailed;
};
