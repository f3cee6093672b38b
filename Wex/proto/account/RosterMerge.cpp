#include "Wex/proto/account/RosterMerge.h"

#include "Wex/proto/account/ContactPropertyNames.h"
#include "Zel/core/contactlist/ContactListData.h"

#include <map>

namespace WexRoster {

namespace {

using WexProperties::AccountName;
using WexProperties::Alias;
using WexProperties::InVisible;
using WexProperties::InInvisible;
using WexProperties::InIgnore;

// Names compared as the contact list compares them: without regard to letter case.
struct NameLess {
    bool operator()(const CZELString& a, const CZELString& b) const { return a.Compare(b) < 0; }
};

CZELString PropertyString(IContactListData& data, int item, const wchar_t* name)
{
    CZELString value;
    data.GetPropertyString(item, CZELString(name), value);
    return value;
}

bool PropertyFlag(IContactListData& data, int item, const wchar_t* name)
{
    char value = 0;
    return data.GetPropertyByte(item, CZELString(name), &value) && value != 0;
}

void SetNames(IContactListData& data, int item, const CZELString& accountName, const CZELString& alias)
{
    data.SetPropertyString(item, CZELString(AccountName), accountName);
    data.SetPropertyString(item, CZELString(Alias), alias);
}

// Sets a contact's three privacy flags to membership; true when one changed.
bool WritePrivacyFlags(IContactListData& data, int contact, const Wex::PrivacyMembership& membership)
{
    Wex::PrivacyMembership stored;
    stored.visible = PropertyFlag(data, contact, InVisible);
    stored.invisible = PropertyFlag(data, contact, InInvisible);
    stored.ignore = PropertyFlag(data, contact, InIgnore);
    if (stored == membership) return false;
    const char visible = membership.visible, invisible = membership.invisible, ignore = membership.ignore;
    data.SetPropertyByte(contact, CZELString(InVisible), &visible);
    data.SetPropertyByte(contact, CZELString(InInvisible), &invisible);
    data.SetPropertyByte(contact, CZELString(InIgnore), &ignore);
    return true;
}

}  // namespace

int CreateGroupContact(IContactListData& data, unsigned account, const CZELString& name)
{
    const int id = data.AddGroup(account);
    if (!id) return 0;
    SetNames(data, id, name, name);
    data.NotifyGroupAdded(id);
    return id;
}

int CreateListContact(IContactListData& data, unsigned account, int group, const CZELString& uin,
                      const CZELString& alias, const IconsOf& icons)
{
    const int id = data.AddContact(account, group);
    if (!id) return 0;
    SetNames(data, id, uin, alias);
    data.NotifyContactAdded(id, icons ? icons(id) : StatusInfo());
    return id;
}

void Merge(Wex::ServerList& list, IContactListData& data, unsigned account, const IconsOf& icons)
{
    struct LocalContact {
        int groupId;
        int contactId;
    };
    std::map<CZELString, LocalContact, NameLess> localContacts;
    std::map<CZELString, int, NameLess> localGroups;
    CZELArray<ContactListItemPair> pairs;
    data.GetAccountItems(account, pairs);
    for (int i = 0; i < pairs.GetCount(); ++i) {
        const ContactListItemPair& pair = pairs[i];
        if (pair.contactId)
            localContacts.insert({PropertyString(data, pair.contactId, AccountName), {pair.groupId, pair.contactId}});
        else
            localGroups.insert({PropertyString(data, pair.groupId, AccountName), pair.groupId});
    }
    data.BeginUpdate();

    // Every group first, wherever the roster lists it, so no contact waits for a group listed after it.
    std::map<unsigned short, int> groupsById;  // group id on the server -> group of the contact list
    for (Wex::ServerListItem& item : list.Items) {
        if (item.ItemType != Wex::ItemGroup || item.GroupId == 0) continue;
        auto local = localGroups.find(item.Name);
        if (local != localGroups.end()) {
            item.ContactId = local->second;
            localGroups.erase(local);
        } else {
            item.ContactId = CreateGroupContact(data, account, item.Name);
        }
        if (item.ContactId) groupsById.insert({item.GroupId, item.ContactId});
    }

    // Privacy membership of every name at once, rather than a walk of the list per contact.
    std::map<CZELString, Wex::PrivacyMembership, NameLess> membership;
    for (const Wex::ServerListItem& item : list.Items) {
        if (item.ItemType == Wex::ItemVisible) membership[item.Name].visible = true;
        if (item.ItemType == Wex::ItemInvisible) membership[item.Name].invisible = true;
        if (item.ItemType == Wex::ItemIgnore) membership[item.Name].ignore = true;
    }

    for (Wex::ServerListItem& item : list.Items) {
        if (item.ItemType != Wex::ItemBuddy) continue;
        auto group = groupsById.find(item.GroupId);
        if (group == groupsById.end()) continue;
        CZELString alias;
        const bool hasAlias = Wex::AliasOf(item.Attributes, alias);
        auto local = localContacts.find(item.Name);
        if (local != localContacts.end()) {
            const int contact = local->second.contactId;
            if (local->second.groupId != group->second) data.MoveContact(contact, group->second);
            item.ContactId = contact;
            if (hasAlias && !(alias == PropertyString(data, contact, Alias))) {
                data.SetPropertyString(contact, CZELString(Alias), alias);
                data.NotifyContactChanged(contact);
            }
            localContacts.erase(local);
        } else {
            item.ContactId = CreateListContact(data, account, group->second, item.Name, hasAlias ? alias : item.Name, icons);
        }
        if (!item.ContactId) continue;
        auto flags = membership.find(item.Name);
        if (WritePrivacyFlags(data, item.ContactId, flags != membership.end() ? flags->second : Wex::PrivacyMembership()))
            data.NotifyContactStatus(item.ContactId, icons ? icons(item.ContactId) : StatusInfo());
    }

    for (const auto& left : localContacts) {
        if (left.second.groupId) {
            data.RemoveContact(left.second.contactId);
            continue;
        }
        // A top-level contact the server does not hold stays, linked to its UIN by a local-only item.
        Wex::ServerListItem local(left.second.contactId);
        local.Name = left.first;
        list.Append(local);
    }
    for (const auto& left : localGroups) data.RemoveGroup(left.second);
    data.EndUpdate();
}

}  // namespace WexRoster
