#include "Zel/core/contactlist/ContactListFile.h"

#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"

#include <windows.h>

#include <climits>

namespace ContactListFile {

const wchar_t GroupRecord[] = L"Group";
const wchar_t GroupSettingsRecord[] = L"Group settings";
const wchar_t ContactRecord[] = L"Contact";

namespace {

unsigned LoadLE32(const unsigned char* p)
{
    return unsigned(p[0]) | unsigned(p[1]) << 8 | unsigned(p[2]) << 16 | unsigned(p[3]) << 24;
}

void StoreLE32(unsigned char* p, unsigned value)
{
    p[0] = (unsigned char)value;
    p[1] = (unsigned char)(value >> 8);
    p[2] = (unsigned char)(value >> 16);
    p[3] = (unsigned char)(value >> 24);
}

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

unsigned ReadRecords(const unsigned char* input, unsigned length, std::vector<RecordView>& out)
{
    unsigned offset = 0;
    while (input && offset < length) {
        unsigned available = length - offset;
        const unsigned char* at = input + offset;
        unsigned nameLength = at[0];
        if (available < nameLength + ValueRecord::HeaderBytes) break;
        unsigned dataLength = LoadLE32(at + 1 + nameLength);
        // Compared with what remains, never summed, so a length near 4 GB cannot wrap the test.
        if (dataLength > available - nameLength - ValueRecord::HeaderBytes) break;
        RecordView view;
        view.name = nameLength ? CZELString(reinterpret_cast<const char*>(at + 1), int(nameLength), CP_UTF8)
                               : CZELString();
        view.data = at + 1 + nameLength + 4;
        view.length = dataLength;
        view.bytes = at;
        view.size = nameLength + dataLength + ValueRecord::HeaderBytes;
        try {
            out.push_back(view);
        } catch (...) {
            break;
        }
        offset += view.size;
    }
    return offset;
}

void ReadList(const unsigned char* input, unsigned length, RecordList& out)
{
    out.whole.clear();
    out.hasCut = false;
    out.cut = RecordView();
    unsigned used = input ? ReadRecords(input, length, out.whole) : 0;
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

void ReadProperties(const unsigned char* input, unsigned length, ValueRecordList& out)
{
    unsigned offset = 0;
    while (input && offset < length) {
        ValueRecord record;
        unsigned used = record.Parse(input + offset, length - offset);
        if (used == 0) break;
        // A damaged name that grew past the length byte in UTF-8 could not be written again.
        if (record.HasValidName()) out.Add(record);
        offset += used;
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
        StoreLE32(&out[start + 1 + nameBytes], length);
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

void CContactListData::LoadContact(unsigned account, int groupId, const RecordView& record)
{
    int contactId = AddContact(account, groupId);
    if (!contactId) return;
    ValueRecordList properties;
    ReadProperties(record.data, record.length, properties);
    SetItemProperties(contactId, properties);
    StatusInfo info;
    accounts.GetContactIcons(account, contactId, info);
    NotifyContactAdded(contactId, info);
}

bool CContactListData::LoadGroup(unsigned account, const RecordList& children)
{
    const RecordView* settings = FindRecord(children.whole, CZELString(GroupSettingsRecord));
    if (!settings) return false;
    int groupId = AddGroup(account);
    if (!groupId) return true;  // the account is gone
    ValueRecordList properties;
    ReadProperties(settings->data, settings->length, properties);
    SetItemProperties(groupId, properties);
    {
        CLock hold(lock);
        if (CGroupItem* group = FindGroup(groupId)) {
            try {
                group->damagedTail.assign(children.tail, children.tail + children.tailLength);
            } catch (...) {
            }
        }
    }
    NotifyGroupAdded(groupId);
    for (const RecordView& record : children.whole)
        if (record.name == ContactRecord && !closing) LoadContact(account, groupId, record);
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
    int result = LoadStoredItems(account);
    CLock hold(lock);
    // A load that stopped for the shutdown leaves its account loading: the save keeps its record.
    if (!closing) loadingAccounts.erase(account);
    return result;
}

int CContactListData::LoadStoredItems(unsigned account)
{
    CSettingsStore* store = Settings();
    if (!store) return 0;
    std::vector<unsigned char> blob = ReadStoredList(*store);
    if (blob.empty() || !accounts.IsAvailable()) return 0;
    CZELString key = accounts.GetAccountKey(account);
    if (key.IsEmpty()) return 0;
    {
        CLock hold(lock);
        try {
            loadedKeys.push_back(AccountRecordName(key));
        } catch (...) {
            return 0;
        }
    }

    RecordList accountRecords;
    ReadList(blob.data(), unsigned(blob.size()), accountRecords);
    const RecordView* stored = FindRecord(accountRecords.whole, AccountRecordName(key));
    if (!stored && accountRecords.hasCut && accountRecords.cut.name == AccountRecordName(key))
        stored = &accountRecords.cut;
    if (!stored) return 0;
    RecordList itemRecords;
    ReadList(stored->data, stored->length, itemRecords);
    // A group cut short keeps the rest of the account's bytes as its own tail; else they are the
    // account's.
    RecordList cutGroup;
    if (itemRecords.hasCut) ReadList(itemRecords.cut.data, itemRecords.cut.length, cutGroup);
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

    BeginUpdate();
    for (const RecordView& itemRecord : itemRecords.whole) {
        if (closing) break;
        RecordList inner;
        ReadList(itemRecord.data, itemRecord.length, inner);
        if (LoadGroup(account, inner)) continue;
        {
            CLock hold(lock);
            // A top-level contact of an account that is gone would never be found again.
            if (!IsRegistered(account)) continue;
        }
        LoadContact(account, 0, itemRecord);
    }
    if (groupAtCut && !closing) LoadGroup(account, cutGroup);
    EndUpdate();
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
    std::vector<unsigned char> stored;
    try {
        stored = ReadStoredList(*store);
        RecordList storedList;
        ReadList(stored.data(), unsigned(stored.size()), storedList);
        // A record cut short is claimed like the others but can only go last: its length runs to the
        // end. A damaged end that is no record at all belongs to nobody known and goes back as it was.
        std::vector<RecordView>& storedRecords = storedList.whole;
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
    if (out.empty() && stored.empty()) return;
    if (out.size() > size_t(INT_MAX)) return;
    int length = int(out.size());
    static const unsigned char kNone = 0;
    store->SetBlob(GUID_CONTACT_LIST_DATA, CZELString(kClData), out.empty() ? &kNone : out.data(), &length);
}
