#include "Dax/MrimContactList.h"

#include "Dax/DaxShared.h"
#include "Dax/proto/MrimReplies.h"
#include "Dax/proto/MrimStatus.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "ZELCommon/ZELTime.h"

#include <algorithm>
#include <cwchar>

namespace {

const wchar_t PropAccountName[] = L"Account name";
const wchar_t PropAlias[] = L"CL Alias";
const wchar_t PropAuthReq[] = L"Auth req";
const wchar_t PropVisible[] = L"In visible list";
const wchar_t PropInvisible[] = L"In invisible list";
const wchar_t PropIgnore[] = L"In ignore list";

bool ByteProperty(IContactListData* data, int item, const wchar_t* name)
{
    char value = 0;
    return data->GetPropertyByte(item, CZELString(name), &value) && value != 0;
}

// Writes a byte property when it differs; true when it did.
bool SetByteIfChanged(IContactListData* data, int item, const wchar_t* name, bool on)
{
    char stored = 0;
    bool had = data->GetPropertyByte(item, CZELString(name), &stored);
    if (had && (stored != 0) == on) return false;
    if (!had && !on) return false;
    char value = on ? 1 : 0;
    data->SetPropertyByte(item, CZELString(name), &value);
    return true;
}

} // namespace

bool SameText(const CZELString& a, const CZELString& b)
{
    return a.GetLength() == b.GetLength() &&
           (a.GetLength() == 0 || wmemcmp(a.GetBuffer(), b.GetBuffer(), size_t(a.GetLength())) == 0);
}

std::wstring AddressKey(const CZELString& email)
{
    return Mrim::LowerKey(email);
}

MrimContactList::MrimContactList(Services::CServicesManager* services, unsigned accountId)
    : services(services), accountId(accountId)
{
}

MrimContactList::~MrimContactList()
{
    StopTypingWatch();
}

IContactListData* MrimContactList::Data() const
{
    return services ? static_cast<IContactListData*>(services->GetService(GUID_CONTACT_LIST_DATA)) : nullptr;
}

void MrimContactList::Reindex()
{
    byEmail.clear();
    byContactId.clear();
    for (size_t i = 0; i < contacts.size(); ++i) {
        byEmail.emplace(AddressKey(contacts[i].email), i);
        if (contacts[i].clContactId) byContactId[contacts[i].clContactId] = i;
    }
}

int MrimContactList::ParseContactList(const unsigned char* body, size_t length)
{
    int result = Mrim::ParseContactList(body, length, groups, contacts);
    if (result == Mrim::ListParsed) Reindex();
    return result;
}

void MrimContactList::WriteMarks(IContactListData* data, const MrimContact& contact, bool& changed)
{
    int id = contact.clContactId;
    changed |= SetByteIfChanged(data, id, PropAuthReq, contact.serverFlags & Mrim::ServerNotAuthorised);
    changed |= SetByteIfChanged(data, id, PropVisible, contact.flags & Mrim::ContactVisibleList);
    changed |= SetByteIfChanged(data, id, PropInvisible, contact.flags & Mrim::ContactInvisibleList);
    changed |= SetByteIfChanged(data, id, PropIgnore, contact.flags & Mrim::ContactIgnoreList);
}

void MrimContactList::ApplyContactList()
{
    IContactListData* data = Data();
    if (!data) return;
    // What the list holds of this account now, by name.
    CZELArray<ContactListItemPair> items;
    data->GetAccountItems(accountId, items);
    std::map<std::wstring, int> knownContacts, knownGroups;
    for (int i = 0; i < items.GetCount(); ++i) {
        const ContactListItemPair& pair = items[i];
        int item = pair.contactId ? pair.contactId : pair.groupId;
        CZELString name;
        if (!item || !data->GetPropertyString(item, CZELString(PropAccountName), name)) continue;
        (pair.contactId ? knownContacts : knownGroups).emplace(AddressKey(name), item);
    }

    data->BeginUpdate();
    int firstKept = 0;
    std::unordered_map<unsigned, int> keptByIndex;
    for (MrimGroup& group : groups) {
        group.clGroupId = 0;
        if (group.flags & Mrim::GroupRemoved) continue;
        auto known = knownGroups.find(AddressKey(group.name));
        if (known != knownGroups.end()) {
            group.clGroupId = known->second;
            knownGroups.erase(known);
        } else {
            group.clGroupId = AddGroupToList(group.name);
        }
        keptByIndex.emplace(group.index, group.clGroupId);
        if (!firstKept) firstKept = group.clGroupId;
    }
    for (MrimContact& contact : contacts) {
        contact.clContactId = 0;
        if (contact.flags & (Mrim::ContactRemoved | Mrim::ContactHidden | Mrim::ContactHiddenToo)) continue;
        auto kept = keptByIndex.find(contact.group);
        int groupId = kept != keptByIndex.end() ? kept->second : firstKept;
        // A contact needs a group of this list; without any it is not mirrored from stale data.
        if (!groupId) continue;
        auto known = knownContacts.find(AddressKey(contact.email));
        if (known != knownContacts.end()) {
            contact.clContactId = known->second;
            knownContacts.erase(known);
            if (data->GetContactGroup(contact.clContactId) != groupId) data->MoveContact(contact.clContactId, groupId);
            CZELString alias;
            data->GetPropertyString(contact.clContactId, CZELString(PropAlias), alias);
            if (!SameText(alias, contact.nickname)) {
                data->SetPropertyString(contact.clContactId, CZELString(PropAlias), contact.nickname);
                data->NotifyContactChanged(contact.clContactId);
            }
        } else {
            contact.clContactId = AddContactToList(groupId, contact.email, contact.nickname, false);
        }
    }
    Reindex();
    for (MrimContact& contact : contacts) {
        if (!contact.clContactId) continue;
        bool changed = false;
        WriteMarks(data, contact, changed);
        if (changed || Mrim::StatusFromWire(contact.status, contact.xstatusId) > 1) NotifyStatus(contact.clContactId);
    }
    for (const auto& left : knownContacts) data->RemoveContact(left.second);
    for (const auto& left : knownGroups) data->RemoveGroup(left.second);
    data->EndUpdate();
}

int MrimContactList::AddGroupToList(const CZELString& name)
{
    IContactListData* data = Data();
    if (!data) return 0;
    int id = data->AddGroup(accountId);
    if (!id) return 0;
    data->SetPropertyString(id, CZELString(PropAccountName), name);
    data->SetPropertyString(id, CZELString(PropAlias), name);
    data->NotifyGroupAdded(id);
    return id;
}

int MrimContactList::AddContactToList(int groupId, const CZELString& email, const CZELString& nickname,
                                      bool authWanted)
{
    IContactListData* data = Data();
    if (!data) return 0;
    int id = data->AddContact(accountId, groupId);
    if (!id) return 0;
    data->SetPropertyString(id, CZELString(PropAccountName), email);
    data->SetPropertyString(id, CZELString(PropAlias), nickname);
    if (authWanted) {
        char one = 1;
        data->SetPropertyByte(id, CZELString(PropAuthReq), &one);
    }
    StatusInfo info;
    BuildContactIcons(id, info);
    data->NotifyContactAdded(id, info);
    return id;
}

unsigned MrimContactList::RenumberGroups()
{
    unsigned counter = 0;
    for (MrimGroup& group : groups) {
        if (group.flags & Mrim::GroupRemoved) continue;
        group.flags = (group.flags & 0x00FFFFFFu) | (counter << 24);
        ++counter;
    }
    return counter;
}

void MrimContactList::BuildContactIcons(int contactId, StatusInfo& out)
{
    out = StatusInfo();
    IContactListData* data = Data();
    const bool inGroup = !data || data->GetContactGroup(contactId) != 0;
    MrimContact* contact = FindByContactId(contactId);
    if (!contact) {
        out.kinds.Add(DaxShared::Image(inGroup ? 0 : 14));
    } else if (!inGroup) {
        out.kinds.Add(DaxShared::Image(14));
    } else {
        out.status = Mrim::StatusFromWire(contact->status, contact->xstatusId);
        if (out.status == 0) out.kinds.Add(DaxShared::Image(0));
        else if (out.status == 2) out.kinds.Add(DaxShared::Image(2));
        else if (out.status == 3) out.kinds.Add(DaxShared::Image(3));
        else if (out.status >= 5 && out.status <= 14) {
            out.kinds.Add(DaxShared::Image(2));
            out.kinds.Add(DaxShared::Image(out.status - 1));
        }
    }
    if (!data) return;
    if (ByteProperty(data, contactId, PropAuthReq)) out.images.Add(DaxShared::Image(18));
    if (ByteProperty(data, contactId, PropVisible)) out.images.Add(DaxShared::Image(15));
    if (ByteProperty(data, contactId, PropInvisible)) out.images.Add(DaxShared::Image(16));
    if (ByteProperty(data, contactId, PropIgnore)) out.images.Add(DaxShared::Image(17));
}

void MrimContactList::NotifyStatus(int contactId)
{
    IContactListData* data = Data();
    if (!data || !contactId) return;
    StatusInfo info;
    BuildContactIcons(contactId, info);
    data->NotifyContactStatus(contactId, info);
}

void MrimContactList::OnUserStatus(const unsigned char* body, size_t length)
{
    Mrim::UserStatus status;
    if (!Mrim::ParseUserStatus(body, length, status)) return;
    MrimContact* contact = FindByEmail(status.email);
    if (!contact) return;
    contact->status = status.status;
    contact->xstatusId = status.xstatusId;
    contact->xstatusTitle = status.title;
    contact->xstatusText = status.text;
    contact->userAgent = status.userAgent;
    contact->features = 1023;
    NotifyStatus(contact->clContactId);
}

void MrimContactList::SetAllContactsOffline()
{
    IContactListData* data = Data();
    if (data) data->BeginUpdate();
    for (MrimContact& contact : contacts) {
        if (contact.status == 0) continue;
        contact.status = 0;
        NotifyStatus(contact.clContactId);
    }
    if (data) data->EndUpdate();
}

MrimContact* MrimContactList::FindByEmail(const CZELString& email)
{
    auto found = byEmail.find(AddressKey(email));
    return found != byEmail.end() ? &contacts[found->second] : nullptr;
}

MrimContact* MrimContactList::FindByContactId(int contactId)
{
    if (!contactId) return nullptr;
    auto found = byContactId.find(contactId);
    return found != byContactId.end() ? &contacts[found->second] : nullptr;
}

MrimGroup* MrimContactList::FindGroupById(int groupId)
{
    for (MrimGroup& group : groups)
        if (groupId && group.clGroupId == groupId) return &group;
    return nullptr;
}

MrimGroup* MrimContactList::FindGroupByIndex(unsigned index)
{
    for (MrimGroup& group : groups)
        if (!(group.flags & Mrim::GroupRemoved) && group.index == index) return &group;
    return nullptr;
}

MrimGroup* MrimContactList::FindGroupByName(const CZELString& name)
{
    std::wstring key = AddressKey(name);
    for (MrimGroup& group : groups)
        if (!(group.flags & Mrim::GroupRemoved) && AddressKey(group.name) == key) return &group;
    return nullptr;
}

std::vector<CZELString> MrimContactList::GroupNames() const
{
    std::vector<CZELString> names;
    for (const MrimGroup& group : groups)
        if (!(group.flags & Mrim::GroupRemoved)) names.push_back(group.name);
    return names;
}
