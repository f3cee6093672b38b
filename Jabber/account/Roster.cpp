// JabberAccount: the server's roster kept in line with the contact list: the sign-in's roster merged
// in one batch, pushes applied as they come, the user's group and contact commands sent as roster
// sets and removals, and the presence subscription handshake.
#include "Jabber/account/JabberAccount.h"

#include "Jabber/account/BuiltinTexts.h"
#include "Jabber/account/PluginAccounts.h"
#include "Jabber/account/PluginShared.h"
#include "Jabber/xml/Iq.h"
#include "Jabber/xml/Jid.h"
#include "Jabber/xml/XmlText.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"

#include <unordered_map>

namespace {

const char RosterNs[] = "jabber:iq:roster";
const wchar_t DefaultGroup[] = L"General";
const int AuthRequestImage = 40;
const int TextAuthorizationRequest = 34;

const CZELString& AccountNameKey()
{
    static const CZELString key(L"Account name");
    return key;
}

const CZELString& AliasKey()
{
    static const CZELString key(L"CL Alias");
    return key;
}

const CZELString& SubscriptionKey()
{
    static const CZELString key(L"Subscription");
    return key;
}

CZELString Z(const std::wstring& text)
{
    return CZELString(text.c_str(), int(text.size()));
}

std::wstring W(const CZELString& text)
{
    return text.GetLength() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

// The name as CZELString compares it: folded the string type's own way.
std::wstring Folded(const CZELString& text)
{
    CZELString copy(text.GetBuffer(), text.GetLength());
    copy.ToLower();
    return W(copy);
}

int SubscriptionValue(const std::string* text)
{
    if (!text) return 0;
    if (*text == "to") return 1;
    if (*text == "from") return 2;
    if (*text == "both") return 3;
    return 0;
}

const char* SubscriptionWord(int value)
{
    switch (value) {
    case 1: return "to";
    case 2: return "from";
    case 3: return "both";
    default: return "none";
    }
}

bool EqualsNoCase(const std::string& a, const std::string& b)
{
    return Z(WideFromUtf8(a)) == Z(WideFromUtf8(b));
}

std::wstring ItemGroup(const XmlElement& item)
{
    const XmlElement* group = FindChild(&item, "group");
    return group && !group->text.empty() ? WideFromUtf8(group->text) : std::wstring(DefaultGroup);
}

template <int Action>
void RunContactAction(intptr_t, intptr_t argument)
{
    const unsigned accountId = unsigned(uint64_t(argument) & 0xFFFFFFFFu);
    const int contactId = int(uint64_t(argument) >> 32);
    PluginAccounts().WithAccountId(accountId, [contactId](JabberAccount* account) {
        account->RunOnQueue([account, contactId] {
            switch (Action) {
            case JabberAccount::ActionRequestAuth: account->RequestAuthorizationAction(contactId); break;
            case JabberAccount::ActionGrantAuth: account->GrantAuthorization(contactId); break;
            case JabberAccount::ActionRevokeAuth: account->RevokeAuthorization(contactId); break;
            case JabberAccount::ActionAcceptAuth: account->AcceptAuthorization(contactId); break;
            case JabberAccount::ActionDeclineAuth: account->DeclineAuthorization(contactId); break;
            case JabberAccount::ActionIgnoreAuth: account->IgnoreAuthorization(contactId); break;
            }
        });
    });
}

}  // namespace

IContactListData* JabberAccount::ContactList() const
{
    return services ? static_cast<IContactListData*>(services->GetService(GUID_CONTACT_LIST_DATA)) : nullptr;
}

MenuCallback JabberAccount::ContactActionCallback(int action)
{
    static const MenuCallback callbacks[ContactActionCount] = {
        &RunContactAction<ActionRequestAuth>, &RunContactAction<ActionGrantAuth>,
        &RunContactAction<ActionRevokeAuth>,  &RunContactAction<ActionAcceptAuth>,
        &RunContactAction<ActionDeclineAuth>, &RunContactAction<ActionIgnoreAuth>,
    };
    return action >= 0 && action < ContactActionCount ? callbacks[action] : nullptr;
}

intptr_t JabberAccount::ContactActionArgument(int contactId) const
{
    return intptr_t((uint64_t(uint32_t(contactId)) << 32) | accountId);
}

void JabberAccount::RegisterRosterHandlers()
{
    requestHandlers.push_back({TypeSet, RosterNs, "query", [this](const XmlElement& iq) { OnRosterPush(iq); }});
}

bool JabberAccount::IsOwnBareJid(const std::string& jid) const
{
    const std::string own = Utf8FromWide(settings.OwnJid().GetBuffer());
    if (!own.empty() && EqualsNoCase(jid, own)) return true;
    const std::string bound = StripResource(ownFullJid);
    return !bound.empty() && EqualsNoCase(jid, bound);
}

bool JabberAccount::IsOwnServer(const std::string& jid) const
{
    const std::string server = Utf8FromWide(settings.GetServer().GetBuffer());
    return !server.empty() && EqualsNoCase(jid, server);
}

std::wstring JabberAccount::ContactJid(int contactId)
{
    IContactListData* list = ContactList();
    CZELString jid;
    if (!list || !contactId || !list->GetPropertyString(contactId, AccountNameKey(), jid)) return std::wstring();
    return W(jid);
}

int JabberAccount::FindGroupByName(const CZELString& name)
{
    IContactListData* list = ContactList();
    CZELArray<int> groups;
    if (!list || !list->GetAccountGroups(accountId, groups)) return 0;
    for (int i = 0; i < groups.GetCount(); ++i) {
        CZELString groupName;
        if (list->GetPropertyString(groups[i], AccountNameKey(), groupName) && groupName == name) return groups[i];
    }
    return 0;
}

void JabberAccount::AddToContactList(ContactRecord* record, const std::wstring& name, int groupId, int subscription)
{
    IContactListData* list = ContactList();
    if (!list || !record) return;
    const int id = list->AddContact(accountId, groupId);
    if (!id) return;
    record->contactId = id;
    list->SetPropertyString(id, AccountNameKey(), Z(record->jid));
    list->SetPropertyString(id, AliasKey(), Z(name));
    const char value = char(subscription);
    list->SetPropertyByte(id, SubscriptionKey(), &value);
    StatusInfo icons;
    BuildContactStatus(id, icons);
    list->NotifyContactAdded(id, icons);
}

void JabberAccount::WriteSubscription(IContactListData* list, ContactRecord* record, int subscription)
{
    record->subscription = subscription;
    if (!list || !record->contactId) return;
    const char value = char(subscription);
    list->SetPropertyByte(record->contactId, SubscriptionKey(), &value);
    StatusInfo icons;
    BuildContactStatus(record->contactId, icons);
    list->NotifyContactStatus(record->contactId, icons);
}

void JabberAccount::OnRosterResult(const XmlElement& iq)
{
    IContactListData* list = ContactList();
    const std::string* type = GetAttribute(&iq, "type");
    const XmlElement* query = FindChild(&iq, "query");
    const std::string* ns = GetAttribute(query, "xmlns");
    if (!list || !type || *type != "result" || !ns || *ns != RosterNs) return;

    // What the list holds now, by "Account name" as the list compares names.
    struct Entry {
        int groupId;
        int contactId;
    };
    std::unordered_map<std::wstring, std::vector<Entry>> listed;
    std::unordered_map<std::wstring, int> listedGroups;
    std::unordered_map<std::wstring, int> resolved;
    CZELArray<ContactListItemPair> items;
    list->GetAccountItems(accountId, items);
    for (int i = 0; i < items.GetCount(); ++i) {
        const ContactListItemPair pair = items[i];
        CZELString name;
        const int item = pair.contactId ? pair.contactId : pair.groupId;
        list->GetPropertyString(item, AccountNameKey(), name);
        if (pair.contactId)
            listed[Folded(name)].push_back({pair.groupId, pair.contactId});
        else
            listedGroups.emplace(Folded(name), pair.groupId);
    }

    list->BeginUpdate();
    // One walk over the children: asking for the n-th "item" each time would walk them n times.
    for (const std::unique_ptr<XmlElement>& child : query->children) {
        if (child->name != "item") continue;
        const XmlElement* item = child.get();
        const int subscription = SubscriptionValue(GetAttribute(item, "subscription"));
        const std::string* jidText = GetAttribute(item, "jid");
        if (!jidText || jidText->empty()) continue;
        const std::wstring jid = WideFromUtf8(*jidText);
        const std::string* nameText = GetAttribute(item, "name");
        const std::wstring name = nameText ? WideFromUtf8(*nameText) : JidNodePart(jid);
        ContactRecord* record = contacts.FindOrAdd(0, jid);
        record->subscription = subscription;
        record->name = name;
        record->group = ItemGroup(*item);

        const std::wstring groupKey = Folded(Z(record->group));
        int groupId = 0;
        auto known = resolved.find(groupKey);
        if (known != resolved.end()) {
            groupId = known->second;
        } else {
            auto listedGroup = listedGroups.find(groupKey);
            if (listedGroup != listedGroups.end()) {
                groupId = listedGroup->second;
                listedGroups.erase(listedGroup);
            } else {
                groupId = CreateGroup(Z(record->group));
            }
            resolved.emplace(groupKey, groupId);
        }

        auto found = listed.find(Folded(Z(record->jid)));
        if (found == listed.end() || found->second.empty()) {
            AddToContactList(record, name, groupId, subscription);
            continue;
        }
        std::vector<Entry>& entries = found->second;
        size_t chosen = 0;
        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i].groupId == groupId) chosen = i;
        const Entry entry = entries[chosen];
        entries.erase(entries.begin() + long(chosen));
        record->contactId = entry.contactId;
        if (entry.groupId != groupId) list->MoveContact(entry.contactId, groupId);
        char stored = 0;
        if (!list->GetPropertyByte(entry.contactId, SubscriptionKey(), &stored)) stored = 0;
        if (stored != char(subscription)) WriteSubscription(list, record, subscription);
    }

    for (auto& leftover : listed) {
        for (const Entry& entry : leftover.second) {
            CZELString name;
            list->GetPropertyString(entry.contactId, AccountNameKey(), name);
            const std::wstring jid = W(name);
            ContactRecord* record = contacts.Find(0, jid);
            if (entry.groupId) {
                list->RemoveContact(entry.contactId);
                // Only the record of this very entry: the same JID may stand in the roster's group.
                if (record && (record->contactId == entry.contactId || !record->contactId)) contacts.Remove(0, jid);
            } else if (!jid.empty()) {
                record = contacts.FindOrAdd(0, jid);
                if (!record->contactId) record->contactId = entry.contactId;
            }
        }
    }
    for (auto& group : listedGroups) list->RemoveGroup(group.second);
    list->EndUpdate();

    rosterMerged = true;
    ApplyStatus(targetStatus);
}

void JabberAccount::OnRosterPush(const XmlElement& iq)
{
    // Only the server speaks for the account's roster: a push from anyone else is ignored.
    const std::string* from = GetAttribute(&iq, "from");
    if (from && !IsOwnBareJid(*from)) return;
    XmlElement reply;
    MakeIqReply(&reply, "result", &iq);
    SendElement(reply);

    IContactListData* list = ContactList();
    if (!list) return;
    const XmlElement* query = FindChild(&iq, "query");
    if (!query) return;
    for (const std::unique_ptr<XmlElement>& child : query->children)
        if (child->name == "item") ApplyPushItem(list, *child);
}

void JabberAccount::ApplyPushItem(IContactListData* list, const XmlElement& item)
{
    const std::string* jidText = GetAttribute(&item, "jid");
    const std::string* subscriptionText = GetAttribute(&item, "subscription");
    if (!jidText || jidText->empty() || !subscriptionText) return;
    const std::wstring jid = WideFromUtf8(*jidText);
    const std::string& word = *subscriptionText;

    if (word == "remove") {
        ContactRecord* record = contacts.Find(0, jid);
        if (!record) return;
        if (record->contactId) list->RemoveContact(record->contactId);
        contacts.Remove(0, jid);
        return;
    }
    if (word == "to" || word == "both" || word == "from" || word == "none") {
        const std::string* nameText = GetAttribute(&item, "name");
        const std::wstring name = nameText ? WideFromUtf8(*nameText) : JidNodePart(jid);
        if (name.empty()) return;
        ContactRecord* record = contacts.FindOrAdd(0, jid);
        const std::wstring group = ItemGroup(item);
        int groupId = FindGroupByName(Z(group));
        if (!groupId) groupId = CreateGroup(Z(group));
        if (record->contactId) {
            const bool renamed = record->name != name;
            const bool moved = record->group != group;
            if (renamed) {
                record->name = name;
                list->SetPropertyString(record->contactId, AliasKey(), Z(name));
            }
            if (moved) {
                record->group = group;
                list->MoveContact(record->contactId, groupId);
            }
            if (renamed && !moved) list->NotifyContactChanged(record->contactId);
        } else {
            record->name = name;
            record->group = group;
            AddToContactList(record, name, groupId, record->subscription);
        }
    }
    ContactRecord* record = contacts.Find(0, jid);
    const int value = SubscriptionValue(subscriptionText);
    if (record && value != record->subscription) WriteSubscription(list, record, value);
}

void JabberAccount::SendRosterSet(const ContactRecord& record)
{
    XmlElement set;
    MakeIq(&set, "set", ++iqCounter);
    XmlElement* item = AddChild(AddQuery(&set, RosterNs), "item");
    SetAttribute(item, "jid", record.jid.c_str());
    if (!record.name.empty()) SetAttribute(item, "name", record.name.c_str());
    SetAttribute(item, "subscription", SubscriptionWord(record.subscription));
    if (!record.group.empty()) AddTextChild(item, "group", record.group.c_str());
    SendElement(set);
}

void JabberAccount::SendRosterRemoval(const std::wstring& jid)
{
    if (!contacts.Find(0, jid)) return;
    XmlElement set;
    MakeIq(&set, "set", ++iqCounter);
    XmlElement* item = AddChild(AddQuery(&set, RosterNs), "item");
    SetAttribute(item, "jid", jid.c_str());
    SetAttribute(item, "subscription", "remove");
    SendElement(set);
    contacts.Remove(0, jid);
}

int JabberAccount::RenameGroup(int groupId, CZELString name)
{
    IContactListData* list = ContactList();
    if (!list || groupId == 0 || !Online()) return 0;
    CZELString old;
    list->GetPropertyString(groupId, AccountNameKey(), old);
    list->SetPropertyString(groupId, AccountNameKey(), name);
    list->SetPropertyString(groupId, AliasKey(), name);
    list->NotifyGroupChanged(groupId);
    std::vector<int> members;
    for (int i = 0; ContactRecord* record = contacts.At(i); ++i)
        if (record->contactId && Z(record->group) == old) members.push_back(record->contactId);
    for (int contactId : members) MoveContactToGroup(contactId, groupId);
    return 0;
}

int JabberAccount::DeleteGroup(int groupId)
{
    DeleteGroupCommand(groupId);
    return 0;
}

bool JabberAccount::DeleteGroupCommand(int groupId)
{
    IContactListData* list = ContactList();
    if (!list) return false;
    if (groupId == 0) {
        // The top level holds no roster contacts: this stays on the device.
        for (int i = contacts.Count() - 1; i >= 0; --i) {
            ContactRecord* record = contacts.At(i);
            if (!record || !record->contactId || !record->group.empty()) continue;
            list->RemoveContact(record->contactId);
            contacts.Remove(record->kind, std::wstring(record->jid));
        }
        return true;
    }
    if (!Online()) return false;
    CZELString name;
    list->GetPropertyString(groupId, AccountNameKey(), name);
    std::vector<std::wstring> members;
    for (int i = 0; ContactRecord* record = contacts.At(i); ++i)
        if (record->contactId && Z(record->group) == name) members.push_back(record->jid);
    for (const std::wstring& jid : members) SendRosterRemoval(jid);
    list->RemoveGroup(groupId);
    return true;
}

int JabberAccount::DeleteContact(int contactId)
{
    DeleteContactCommand(contactId);
    return 0;
}

bool JabberAccount::DeleteContactCommand(int contactId)
{
    IContactListData* list = ContactList();
    if (!list || !contactId) return false;
    const std::wstring jid = ContactJid(contactId);
    const ContactRecord* record = jid.empty() ? nullptr : contacts.Find(0, jid);
    // A roster contact deleted off line would come back with the next roster.
    if (record && !record->group.empty() && !Online()) return false;
    if (!jid.empty()) SendRosterRemoval(jid);
    list->RemoveContact(contactId);
    return true;
}

int JabberAccount::RenameContact(int contactId, CZELString name)
{
    RenameContactCommand(contactId, name);
    return 0;
}

bool JabberAccount::RenameContactCommand(int contactId, const CZELString& name)
{
    IContactListData* list = ContactList();
    const std::wstring jid = ContactJid(contactId);
    ContactRecord* record = jid.empty() ? nullptr : contacts.Find(0, jid);
    if (!list || !record || !Online()) return false;
    record->name = W(name);
    list->SetPropertyString(contactId, AliasKey(), name);
    list->NotifyContactChanged(contactId);
    SendRosterSet(*record);
    return true;
}

int JabberAccount::MoveContact(int contactId, int groupId)
{
    MoveContactToGroup(contactId, groupId);
    return 0;
}

bool JabberAccount::MoveContactToGroup(int contactId, int groupId)
{
    IContactListData* list = ContactList();
    const std::wstring jid = ContactJid(contactId);
    ContactRecord* record = jid.empty() ? nullptr : contacts.Find(0, jid);
    if (!list || !record || !Online()) return false;
    CZELString group;
    if (groupId) list->GetPropertyString(groupId, AccountNameKey(), group);
    record->group = W(group);
    list->MoveContact(contactId, groupId);
    SendRosterSet(*record);
    return true;
}

bool JabberAccount::SendSubscription(int contactId, const char* type)
{
    if (!Online() || !contactId) return false;
    const std::wstring jid = ContactJid(contactId);
    if (jid.empty()) return false;
    XmlElement presence("presence");
    SetAttribute(&presence, "to", jid.c_str());
    SetAttribute(&presence, "type", type);
    SendElement(presence);
    return true;
}

bool JabberAccount::AcceptAuthorization(int contactId)
{
    if (!SendSubscription(contactId, "subscribed")) return false;
    return IgnoreAuthorization(contactId);
}

bool JabberAccount::DeclineAuthorization(int contactId)
{
    if (!SendSubscription(contactId, "unsubscribed")) return false;
    return IgnoreAuthorization(contactId);
}

bool JabberAccount::IgnoreAuthorization(int contactId)
{
    if (!Online()) return false;
    ContactRecord* record = contacts.Find(0, ContactJid(contactId));
    if (record) record->authPending = false;
    return record != nullptr;
}

void JabberAccount::OnSubscriptionPresence(const XmlElement&, const std::wstring& from, const std::string& type)
{
    if (type == "subscribe") {
        if (from.find(L'@') == std::wstring::npos) {
            // A server or gateway: it only wants to know the account is there.
            XmlElement presence("presence");
            SetAttribute(&presence, "to", from.c_str());
            SetAttribute(&presence, "type", "subscribed");
            SendElement(presence);
            return;
        }
        const std::wstring bare = from.substr(0, from.find(L'/', from.find(L'@')));
        DeliverIncoming(bare, 0, PluginShared::Instance().Image(AuthRequestImage),
                        W(PluginShared::Instance().Text(TextAuthorizationRequest)));
        if (ContactRecord* record = contacts.Find(0, bare)) record->authPending = true;
        return;
    }
    if (type == "subscribed") {
        ContactRecord* record = contacts.Find(0, from);
        if (!record) return;
        int value = record->subscription;
        if (value == 2) value = 3;
        if (value == 0) value = 1;
        WriteSubscription(ContactList(), record, value);
    }
}
