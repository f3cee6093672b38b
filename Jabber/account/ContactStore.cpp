#include "Jabber/account/ContactStore.h"

#include "ZELCommon/ZELString.h"

namespace {

const int RankOrder[] = {5, 2, 6, 7, 8, 9, 14, 13, 11, 10, 12, 3};

int RankOf(int status)
{
    for (int i = 0; i < int(sizeof RankOrder / sizeof RankOrder[0]); ++i)
        if (RankOrder[i] == status) return i;
    return -1;
}

// The position of the "/" that starts the resource part: the first after the "@", or from the
// start without "@"; npos when none.
size_t ResourceSlash(const std::wstring& jid)
{
    const size_t at = jid.find(L'@');
    return jid.find(L'/', at == std::wstring::npos ? 0 : at);
}

}  // namespace

int RankStatus(int a, int b)
{
    const int ra = RankOf(a), rb = RankOf(b);
    if (ra < 0 && rb < 0) return a != 0 && b != 0 ? a : 0;
    if (ra < 0) return b;
    if (rb < 0) return a;
    return ra <= rb ? a : b;
}

std::wstring ResourcePart(const std::wstring& jid, bool* has)
{
    const size_t slash = jid.find(L'/');
    if (has) *has = slash != std::wstring::npos;
    return slash == std::wstring::npos ? std::wstring() : jid.substr(slash + 1);
}

std::wstring ContactStore::Key(int kind, const std::wstring& jid)
{
    size_t length = jid.find(L'/');
    if (length == std::wstring::npos) length = jid.size();
    if (length > MaxJidUnits) length = MaxJidUnits;
    // The string type's own folding, so the index agrees with every other comparison of names.
    CZELString folded(jid.c_str(), int(length));
    folded.ToLower();
    std::wstring key = std::to_wstring(kind);
    key += L':';
    if (folded.GetLength()) key.append(folded.GetBuffer(), size_t(folded.GetLength()));
    return key;
}

ContactRecord* ContactStore::FindLocked(int kind, const std::wstring& jid) const
{
    auto it = index.find(Key(kind, jid));
    return it == index.end() ? nullptr : it->second;
}

ContactRecord* ContactStore::Find(int kind, const std::wstring& jid) const
{
    CZELLock hold(lock);
    return FindLocked(kind, jid);
}

ContactRecord* ContactStore::FindOrAdd(int kind, const std::wstring& jid)
{
    CZELLock hold(lock);
    if (ContactRecord* found = FindLocked(kind, jid)) return found;
    std::unique_ptr<ContactRecord> record(new ContactRecord);
    record->kind = kind;
    record->jid = jid;
    const size_t at = jid.find(L'@');
    if (at != std::wstring::npos) {
        const size_t slash = jid.find(L'/', at);
        if (slash != std::wstring::npos) record->jid.resize(slash);
    }
    records.push_back(record.get());
    index[Key(kind, jid)] = record.get();
    return record.release();
}

void ContactStore::Remove(int kind, const std::wstring& jid)
{
    CZELLock hold(lock);
    auto it = index.find(Key(kind, jid));
    if (it == index.end()) return;
    ContactRecord* record = it->second;
    index.erase(it);
    for (auto at = records.begin(); at != records.end(); ++at) {
        if (*at != record) continue;
        records.erase(at);
        break;
    }
    delete record;
}

void ContactStore::Clear()
{
    CZELLock hold(lock);
    for (ContactRecord* record : records) delete record;
    records.clear();
    index.clear();
}

int ContactStore::SetResourceStatus(int kind, const std::wstring& fullJid, int status, const std::wstring& statusText,
                                    signed char priority)
{
    CZELLock hold(lock);
    ContactRecord* contact = FindLocked(kind, fullJid);
    if (!contact) return 0;
    const size_t slash = ResourceSlash(fullJid);
    if (slash == std::wstring::npos) {
        contact->bare.status = status;
        contact->bare.statusText = statusText;
        return 0;
    }
    const std::wstring resource = fullJid.substr(slash + 1);
    if (resource.empty()) return 0;
    for (ResourceRecord& existing : contact->resources) {
        if (existing.resource != resource) continue;
        existing.status = status;
        existing.statusText = statusText;
        existing.priority = priority;
        return 0;
    }
    ResourceRecord added;
    added.status = status;
    added.resource = resource;
    added.statusText = statusText;
    added.priority = priority;
    contact->resources.push_back(std::move(added));
    return 1;
}

void ContactStore::RemoveResource(int kind, const std::wstring& fullJid)
{
    CZELLock hold(lock);
    ContactRecord* contact = FindLocked(kind, fullJid);
    const size_t slash = ResourceSlash(fullJid);
    if (!contact || slash == std::wstring::npos || slash + 1 == fullJid.size()) return;
    const std::wstring resource = fullJid.substr(slash + 1);
    // Resources are case-sensitive: "Home" and "home" are two clients, and each leaves on its own.
    for (size_t i = 0; i < contact->resources.size(); ++i) {
        if (contact->resources[i].resource != resource) continue;
        if (contact->lastWriter == int(i))
            contact->lastWriter = -1;
        else if (contact->lastWriter > int(i))
            --contact->lastWriter;
        contact->resources.erase(contact->resources.begin() + long(i));
        return;
    }
}

void ContactStore::ClearResources(ContactRecord* contact)
{
    CZELLock hold(lock);
    if (!contact) return;
    contact->resources.clear();
    contact->lastWriter = -1;
}

std::wstring ContactStore::BestResource(const std::wstring& jid) const
{
    CZELLock hold(lock);
    const ContactRecord* contact = FindLocked(0, jid);
    if (!contact || contact->resources.empty()) return std::wstring();
    const std::vector<ResourceRecord>& resources = contact->resources;
    if (resources.size() > 1) {
        int chosen = -1;
        if (contact->lastWriter >= 0 && contact->lastWriter < int(resources.size())) {
            chosen = contact->lastWriter;
        } else {
            int best = -200;
            for (size_t i = 0; i < resources.size(); ++i) {
                if (resources[i].priority <= best) continue;
                best = resources[i].priority;
                chosen = int(i);
            }
        }
        if (chosen >= 0 && !resources[size_t(chosen)].resource.empty()) return resources[size_t(chosen)].resource;
    }
    return resources[0].resource;
}

ResourceRecord* ContactStore::FindStatusRecord(const std::wstring& jid) const
{
    CZELLock hold(lock);
    ContactRecord* contact = FindLocked(0, jid);
    if (!contact) return nullptr;
    bool has = false;
    const std::wstring resource = ResourcePart(jid, &has);
    if (!has) return &contact->bare;
    if (resource.empty()) return nullptr;
    for (ResourceRecord& existing : contact->resources)
        if (existing.resource == resource) return &existing;
    return nullptr;
}

std::wstring ContactStore::AddressFor(const std::wstring& jid, size_t size) const
{
    if (size == 0) return std::wstring();
    std::wstring address = jid.substr(0, size - 1);
    if (address.find(L'/') == std::wstring::npos) {
        const std::wstring best = BestResource(jid);
        if (!best.empty()) {
            address += L'/';
            address += best;
            if (address.size() > size - 1) address.resize(size - 1);
        }
    }
    return address;
}

int ContactStore::UpdateVisibleStatus(const std::wstring& jid)
{
    CZELLock hold(lock);
    ContactRecord* contact = FindLocked(0, jid);
    if (!contact) return -1;
    int status = 0;
    if (contact->resources.empty() && jid.find(L'/') == std::wstring::npos) status = contact->bare.status;
    for (const ResourceRecord& resource : contact->resources) status = RankStatus(status, resource.status);
    contact->bare.status = status;
    return status;
}

ContactRecord* ContactStore::At(int index) const
{
    CZELLock hold(lock);
    return index >= 0 && index < int(records.size()) ? records[size_t(index)] : nullptr;
}

int ContactStore::NextOfKind(int kind, int start) const
{
    CZELLock hold(lock);
    for (int i = start < 0 ? 0 : start; i < int(records.size()); ++i)
        if (records[size_t(i)]->kind == kind) return i;
    return -1;
}
