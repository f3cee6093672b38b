#include "Zel/core/contactlist/ContactListFile.h"

#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "ZELCommon/Packer.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <utility>

namespace ContactListFile {

const wchar_t GroupRecord[] = L"Group";
const wchar_t GroupSettingsRecord[] = L"Group settings";
const wchar_t ContactRecord[] = L"Contact";

namespace {

const int kGuidTextLength = 38;

bool IsHighSurrogate(wchar_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

const ValueRecord& NameCache::Named(const unsigned char* name, unsigned nameLength)
{
    const size_t kEntries = 16;
    for (const Entry& entry : entries)
        if (entry.raw.size() == nameLength && std::memcmp(entry.raw.data(), name, nameLength) == 0) return entry.record;
    Entry fresh{std::string(reinterpret_cast<const char*>(name), nameLength),
                ValueRecord(nameLength ? CZELString(reinterpret_cast<const char*>(name), int(nameLength), CP_UTF8)
                                       : CZELString())};
    if (entries.size() < kEntries) {
        entries.push_back(std::move(fresh));
        return entries.back().record;
    }
    Entry& taken = entries[replace];
    replace = (replace + 1) % kEntries;
    taken = std::move(fresh);
    return taken.record;
}

namespace {

// The size of the whole record at input, 0 when none stands there; its name and data found.
unsigned WholeRecord(const unsigned char* input, unsigned available, unsigned& nameLength, unsigned& dataLength)
{
    if (available == 0) return 0;
    nameLength = input[0];
    if (available < nameLength + ValueRecord::HeaderBytes) return 0;
    dataLength = CPacker::Unpack32LE(input + 1 + nameLength);
    // Compared with what remains, never summed, so a length near 4 GB cannot wrap the test.
    if (dataLength > available - nameLength - ValueRecord::HeaderBytes) return 0;
    return nameLength + dataLength + ValueRecord::HeaderBytes;
}

}  // namespace

unsigned ReadRecords(const unsigned char* input, unsigned length, std::vector<RecordView>& out, NameCache* names)
{
    unsigned offset = 0;
    while (input && offset < length) {
        const unsigned char* at = input + offset;
        unsigned nameLength, dataLength;
        unsigned size = WholeRecord(at, length - offset, nameLength, dataLength);
        if (size == 0) break;
        RecordView view;
        if (names)
            view.name = names->Named(at + 1, nameLength).GetName();
        else if (nameLength)
            view.name = CZELString(reinterpret_cast<const char*>(at + 1), int(nameLength), CP_UTF8);
        view.data = at + 1 + nameLength + 4;
        view.length = dataLength;
        view.bytes = at;
        view.size = size;
        try {
            out.push_back(view);
        } catch (...) {
            break;
        }
        offset += size;
    }
    return offset;
}

void ReadList(const unsigned char* input, unsigned length, RecordList& out, NameCache* names)
{
    out.whole.clear();
    out.hasCut = false;
    out.cut = RecordView();
    unsigned used = input ? ReadRecords(input, length, out.whole, names) : 0;
    out.tail = input ? input + used : nullptr;
    out.tailLength = input ? length - used : 0;
    if (out.tailLength == 0) return;
    const unsigned char* at = out.tail;
    unsigned nameLength = at[0];
    if (out.tailLength < nameLength + ValueRecord::HeaderBytes) return;
    RecordView& cut = out.cut;
    cut.name = nameLength ? CZELString(reinterpret_cast<const char*>(at + 1), int(nameLength), CP_UTF8) : CZELString();
    cut.data = at + nameLength + ValueRecord::HeaderBytes;
    cut.length = out.tailLength - nameLength - ValueRecord::HeaderBytes;
    cut.bytes = at;
    cut.size = out.tailLength;
    out.hasCut = true;
}

void ReadProperties(const unsigned char* input, unsigned length, ValueRecordList& out, NameCache* names)
{
    NameCache local;
    NameCache& cache = names ? *names : local;
    unsigned offset = 0;
    while (input && offset < length) {
        const unsigned char* at = input + offset;
        unsigned nameLength, dataLength;
        unsigned size = WholeRecord(at, length - offset, nameLength, dataLength);
        if (size == 0) break;
        offset += size;
        ValueRecord record(cache.Named(at + 1, nameLength));
        // A damaged name that grew past the length byte in UTF-8 could not be written again.
        if (!record.HasValidName()) continue;
        if (!record.WriteBlob(at + 1 + nameLength + 4, dataLength)) break;
        out.Add(std::move(record));
    }
}

const RecordView* FindRecord(const std::vector<RecordView>& records, const CZELString& name)
{
    for (const RecordView& record : records)
        if (record.name == name) return &record;
    return nullptr;
}

ZEL_GUID RecordProtocol(const CZELString& recordName)
{
    ZEL_GUID protocol = ZEL_GUID_NULL;
    if (recordName.GetLength() >= kGuidTextLength) protocol.SetString(recordName.Substring(0, kGuidTextLength));
    return protocol;
}

CZELString AccountRecordName(const CZELString& key)
{
    const wchar_t* text = key.GetBuffer();
    int length = key.GetLength();
    unsigned bytes = 0;
    int units = 0;
    while (units < length) {
        wchar_t c = text[units];
        int step = 1;
        unsigned size;
        if (c < 0x80) {
            size = 1;
        } else if (c < 0x800) {
            size = 2;
        } else if (IsHighSurrogate(c) && units + 1 < length && IsLowSurrogate(text[units + 1])) {
            size = 4;
            step = 2;
        } else {
            size = 3;  // also a lone surrogate, written as the replacement character
        }
        if (bytes + size > ValueRecord::MaxNameBytes) break;
        bytes += size;
        units += step;
    }
    return units == length ? key : key.Substring(0, units);
}

bool AppendRecord(std::vector<unsigned char>& out, const CZELString& name, const unsigned char* data,
                  unsigned length)
{
    unsigned nameBytes = ValueRecord::Utf8Length(name);
    if (nameBytes > ValueRecord::MaxNameBytes) return false;
    if (length > UINT_MAX - ValueRecord::HeaderBytes - nameBytes) return false;
    size_t start = out.size();
    try {
        out.resize(start + ValueRecord::HeaderBytes + nameBytes);
        if (nameBytes &&
            WideCharToMultiByte(CP_UTF8, 0, name.GetBuffer(), name.GetLength(),
                                reinterpret_cast<char*>(&out[start + 1]), int(nameBytes), nullptr,
                                nullptr) != int(nameBytes)) {
            out.resize(start);
            return false;
        }
        out[start] = (unsigned char)nameBytes;
        CPacker::Pack32LE(&out[start + 1 + nameBytes], length);
        if (length) out.insert(out.end(), data, data + length);
    } catch (...) {
        out.resize(start);
        return false;
    }
    return true;
}

bool AppendRecord(std::vector<unsigned char>& out, const CZELString& name, const std::vector<unsigned char>& data)
{
    if (data.size() > UINT_MAX) return false;
    return AppendRecord(out, name, data.empty() ? nullptr : data.data(), unsigned(data.size()));
}

bool AppendProperties(std::vector<unsigned char>& out, const ValueRecordList& properties)
{
    unsigned size = properties.GetSize();
    if (size == 0) return true;
    if (size == UINT_MAX) return false;
    size_t start = out.size();
    try {
        out.resize(start + size);
    } catch (...) {
        return false;
    }
    if (properties.Serialise(&out[start], size) != size) {
        out.resize(start);
        return false;
    }
    return true;
}

}  // namespace ContactListFile

using namespace ContactListFile;

namespace {

const wchar_t kClData[] = L"CL data";

// The stored "CL data", empty when there is none or it cannot be read.
std::vector<unsigned char> ReadStoredList(CSettingsStore& store)
{
    std::vector<unsigned char> blob;
    int size = 0;
    if (!store.GetValueSize(GUID_CONTACT_LIST_DATA, CZELString(kClData), &size) || size <= 0) return blob;
    try {
        blob.resize(size_t(size));
    } catch (...) {
        return blob;
    }
    unsigned length = unsigned(size);
    if (!store.GetBlob(GUID_CONTACT_LIST_DATA, CZELString(kClData), blob.data(), &length) || length != unsigned(size))
        blob.clear();
    return blob;
}

template <typename T> bool Contains(const std::vector<T>& values, const T& value)
{
    for (const T& each : values)
        if (each == value) return true;
    return false;
}

}  // namespace

CSettingsStore* CContactListData::Settings()
{
    return static_cast<CSettingsStore*>(bus.GetService(GUID_SETTINGS_STORE));
}

std::shared_ptr<const StoredValue> CContactListData::Stored(CSettingsStore& store)
{
    {
        CLock hold(lock);
        if (storedValue) return storedValue;
    }
    // Only this service writes "CL data", and only at its end: what the first reader finds holds
    // for the whole run.
    std::shared_ptr<StoredValue> read = std::make_shared<StoredValue>();
    read->bytes = ReadStoredList(store);
    ReadList(read->bytes.data(), unsigned(read->bytes.size()), read->accounts);
    CLock hold(lock);
    if (!storedValue) storedValue = read;
    return storedValue;
}

void CContactListData::LoadContact(unsigned account, int groupId, const RecordView& record, NameCache& names)
{
    CLock hold(lock);
    // A top-level contact of an account that is gone would never be found again.
    if (!groupId && !IsRegistered(account)) return;
    NewContact(account, groupId, record.data, record.length, &names);
}

bool CContactListData::LoadGroup(unsigned account, const RecordList& children, NameCache& names)
{
    const RecordView* settings = FindRecord(children.whole, CZELString(GroupSettingsRecord));
    if (!settings) return false;
    int groupId;
    {
        CLock hold(lock);
        groupId = NewGroup(account);
        CGroupItem* group = FindGroup(groupId);
        if (!group) return true;  // the account is gone
        try {
            ReadProperties(settings->data, settings->length, group->properties, &names);
            group->damagedTail.assign(children.tail, children.tail + children.tailLength);
        } catch (...) {
        }
    }
    const CZELString contactRecord(ContactRecord);
    for (const RecordView& record : children.whole) {
        if (closing) break;
        if (record.name == contactRecord) LoadContact(account, groupId, record, names);
    }
    return true;
}

int CContactListData::LoadAccountContactList(unsigned account)
{
    {
        CLock hold(lock);
        try {
            loadingAccounts.insert(account);
        } catch (...) {
            return 0;
        }
    }
    int result = 0;
    bool whole = true;
    try {
        result = LoadStoredItems(account);
    } catch (...) {
        whole = false;  // out of memory part way
    }
    CLock hold(lock);
    // A load that did not end, or stopped for the shutdown, leaves its account loading: the save
    // keeps its stored record.
    if (whole && !closing) loadingAccounts.erase(account);
    return result;
}

int CContactListData::LoadStoredItems(unsigned account)
{
    CSettingsStore* store = Settings();
    if (!store) return 0;
    std::shared_ptr<const StoredValue> value = Stored(*store);
    if (value->bytes.empty() || !accounts.IsAvailable()) return 0;
    CZELString key = accounts.GetAccountKey(account);
    if (key.IsEmpty()) return 0;
    CZELString name = AccountRecordName(key);
    {
        CLock hold(lock);
        try {
            loadedKeys.push_back(name);
        } catch (...) {
            return 0;
        }
    }

    const RecordList& accountRecords = value->accounts;
    const RecordView* stored = FindRecord(accountRecords.whole, name);
    if (!stored && accountRecords.hasCut && accountRecords.cut.name == name) stored = &accountRecords.cut;
    if (!stored) return 0;
    NameCache names;
    RecordList itemRecords;
    ReadList(stored->data, stored->length, itemRecords, &names);
    // A group cut short keeps the rest of the account's bytes as its own tail; else they are the
    // account's.
    RecordList cutGroup;
    if (itemRecords.hasCut) ReadList(itemRecords.cut.data, itemRecords.cut.length, cutGroup, &names);
    bool groupAtCut = itemRecords.hasCut && FindRecord(cutGroup.whole, CZELString(GroupSettingsRecord));
    {
        CLock hold(lock);
        try {
            if (groupAtCut || itemRecords.tailLength == 0)
                damagedTails.erase(account);
            else
                damagedTails[account].assign(itemRecords.tail, itemRecords.tail + itemRecords.tailLength);
        } catch (...) {
        }
    }
    if (itemRecords.whole.empty() && !groupAtCut) return 1;

    // One batch: the subscribers read the whole list when it ends, so no item is announced, and no
    // account is asked for statuses (a new account is offline and has none to give).
    struct Batch {
        explicit Batch(CContactListData& list) : list(list) { list.BeginUpdate(); }
        ~Batch() { list.EndUpdate(); }
        CContactListData& list;
    } batch(*this);
    RecordList inner;
    for (const RecordView& itemRecord : itemRecords.whole) {
        if (closing) break;
        ReadList(itemRecord.data, itemRecord.length, inner, &names);
        if (!LoadGroup(account, inner, names)) LoadContact(account, 0, itemRecord, names);
    }
    if (groupAtCut && !closing) LoadGroup(account, cutGroup, names);
    return 1;
}

void CContactListData::AppendAccountRecord(std::vector<unsigned char>& out, unsigned account, const CZELString& name,
                                           const std::set<unsigned>& top, std::vector<CZELString>& written)
{
    std::vector<unsigned char> data;
    for (unsigned id : top) {
        CListItem* item = FindListItem(int(id));
        if (!item) continue;
        if (IsContactId(int(id))) {
            std::vector<unsigned char> properties;
            if (AppendProperties(properties, item->properties)) AppendRecord(data, CZELString(ContactRecord), properties);
            continue;
        }
        std::vector<unsigned char> group, properties;
        AppendProperties(properties, item->properties);
        AppendRecord(group, CZELString(GroupSettingsRecord), properties);
        CGroupItem* stored = static_cast<CGroupItem*>(item);
        for (unsigned contactId : stored->contacts) {
            CListItem* contact = FindListItem(int(contactId));
            if (!contact) continue;
            properties.clear();
            if (AppendProperties(properties, contact->properties))
                AppendRecord(group, CZELString(ContactRecord), properties);
        }
        group.insert(group.end(), stored->damagedTail.begin(), stored->damagedTail.end());
        AppendRecord(data, CZELString(GroupRecord), group);
    }
    std::map<unsigned, std::vector<unsigned char>>::const_iterator tail = damagedTails.find(account);
    if (tail != damagedTails.end()) data.insert(data.end(), tail->second.begin(), tail->second.end());
    if (AppendRecord(out, name, data)) written.push_back(name);
}

void CContactListData::SaveContactList()
{
    CSettingsStore* store = Settings();
    if (!store || !accounts.IsAvailable()) return;

    // The accounts to save: the registered ones and the manager's, whose creation may still wait
    // in the queue. Their names come from the accounts themselves, each a synchronous send: all are
    // asked before the lock is taken, since an account's thread may be waiting for the lock
    // meanwhile. The accounts not created are asked first: once the manager has read its stored
    // accounts, each it created is among its accounts when they are listed after.
    std::vector<ZEL_GUID> waiting;
    bool waitingKnown;
    std::vector<unsigned> ids;
    std::vector<std::pair<unsigned, CZELString>> named;
    try {
        waitingKnown = accounts.GetAccountsNotCreated(waiting);
        {
            CLock hold(lock);
            for (const auto& account : accountItems) ids.push_back(account.first);
        }
        int count = accounts.GetAccountCount();
        for (int i = 0; i < count; ++i) {
            unsigned id = accounts.GetAccountId(i);
            if (id && !Contains(ids, id)) ids.push_back(id);
        }
        for (unsigned id : ids) {
            CZELString key = accounts.GetAccountKey(id);
            if (!key.IsEmpty()) named.push_back(std::make_pair(id, AccountRecordName(key)));
        }
    } catch (...) {
        return;
    }

    // Written: the lists of registered accounts that are loaded. Kept: the stored records of
    // accounts whose list is not (a load under way, or still to come). Forgotten: keys lists were
    // loaded under that no account has now (a removal or a rename).
    std::vector<unsigned char> out;
    std::vector<CZELString> written, kept, forgotten;
    try {
        CLock hold(lock);
        for (const std::pair<unsigned, CZELString>& account : named) {
            std::map<unsigned, std::set<unsigned>>::const_iterator top = accountItems.find(account.first);
            size_t before = written.size();
            if (top != accountItems.end() && !loadingAccounts.count(account.first))
                AppendAccountRecord(out, account.first, account.second, top->second, written);
            if (written.size() == before) kept.push_back(account.second);
        }
        for (const CZELString& key : loadedKeys)
            if (!Contains(written, key) && !Contains(kept, key)) forgotten.push_back(key);
    } catch (...) {
        return;  // out of memory: the stored lists stay as they were rather than lose a part
    }

    // Each account written or kept claims one stored record of its name, the first not yet claimed.
    // Of the rest, a record goes back as it was only while it may belong to a stored account that is
    // not created in this run (its plug-in missing, say); a removed or renamed account's list would
    // otherwise come back with the account or pile up.
    std::shared_ptr<const StoredValue> stored;
    try {
        stored = Stored(*store);
        const RecordList& storedList = stored->accounts;
        // A record cut short is claimed like the others but can only go last: its length runs to the
        // end. A damaged end that is no record at all belongs to nobody known and goes back as it was.
        std::vector<RecordView> storedRecords = storedList.whole;
        if (storedList.hasCut) storedRecords.push_back(storedList.cut);
        enum Claim { Free, Replaced, Kept };
        std::vector<Claim> claims(storedRecords.size(), Free);
        auto claim = [&](const std::vector<CZELString>& names, Claim as) {
            for (const CZELString& name : names) {
                for (size_t i = 0; i < storedRecords.size(); ++i) {
                    if (claims[i] == Free && storedRecords[i].name == name) {
                        claims[i] = as;
                        break;
                    }
                }
            }
        };
        claim(written, Replaced);
        claim(kept, Kept);
        for (size_t i = 0; i < storedRecords.size(); ++i) {
            const RecordView& record = storedRecords[i];
            if (claims[i] == Replaced) continue;
            if (claims[i] == Free) {
                if (Contains(forgotten, record.name)) continue;
                if (waitingKnown && !Contains(waiting, RecordProtocol(record.name))) continue;
            }
            out.insert(out.end(), record.bytes, record.bytes + record.size);
        }
        if (!storedList.hasCut) out.insert(out.end(), storedList.tail, storedList.tail + storedList.tailLength);
    } catch (...) {
        return;  // keep the old value whole rather than store a part
    }

    // Nothing to store over nothing stored: no value is made. Over a stored value an empty one is
    // stored, or what it held would come back.
    if (out.empty() && stored->bytes.empty()) return;
    if (out.size() > size_t(INT_MAX)) return;
    int length = int(out.size());
    static const unsigned char kNone = 0;
    store->SetBlob(GUID_CONTACT_LIST_DATA, CZELString(kClData), out.empty() ? &kNone : out.data(), &length);
}
