// The server-side list: the roster merged into the contact list, the user's edits sent as commands
// and applied when the server acknowledges them, the privacy status, authorisation notices, and the
// list's cache between runs.
#include "Wex/proto/account/WexAccount.h"

#include "Wex/proto/account/ContactPropertyNames.h"
#include "Wex/proto/ListReplies.h"
#include "Wex/proto/account/BuiltInTexts.h"
#include "Wex/proto/account/PictureNames.h"
#include "Wex/proto/account/PluginState.h"
#include "Wex/proto/account/RosterMerge.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "ZELCommon/ZELRand.h"

#include <new>

namespace {

using WexProperties::AccountName;
using WexProperties::Alias;
using WexProperties::InVisible;
using WexProperties::InInvisible;
using WexProperties::InIgnore;
const wchar_t kCacheKey[] = L"CL data";

enum ListSubtype : unsigned short {
    ListRoster = 0x06,
    ListAddItem = 0x08,
    ListUpdateItem = 0x09,
    ListDeleteItem = 0x0A,
    ListAck = 0x0E,
    ListAuthRequestNotice = 0x19,
    ListAuthReplyNotice = 0x1B,
};

// Warnings of the acknowledgement codes, 0 for none.
int AckWarningText(unsigned short code)
{
    switch (code) {
    case 2: return 119;
    case 3: return 120;
    case 10: return 121;
    case 12: return 122;
    case 13: return 123;
    default: return 0;
    }
}
const unsigned short AckNeedsAuthorization = 14;
const int NeedsAuthorizationText = 124;
const int AuthRequestPrefixText = 38;
const int AuthAcceptedText = 36;
const int AuthDeclinedText = 37;

void SetNames(IContactListData& list, int item, const CZELString& accountName, const CZELString& alias)
{
    list.SetPropertyString(item, CZELString(AccountName), accountName);
    list.SetPropertyString(item, CZELString(Alias), alias);
}

const wchar_t* PrivacyFlagName(unsigned short type)
{
    switch (type) {
    case Wex::ItemVisible: return InVisible;
    case Wex::ItemInvisible: return InInvisible;
    case Wex::ItemIgnore: return InIgnore;
    default: return nullptr;
    }
}

}  // namespace

IContactListData* WexAccount::ContactList()
{
    return services ? static_cast<IContactListData*>(services->GetService(GUID_CONTACT_LIST_DATA)) : nullptr;
}

void WexAccount::RequestServerList()
{
    SendPacket(Wex::ListRequest(NextFlapSequence()));
    ServerList.Clear();
}

void WexAccount::LoadCachedServerList()
{
    IProtocolsManager* manager =
        services ? static_cast<IProtocolsManager*>(services->GetService(GUID_PROTOCOLS_MANAGER)) : nullptr;
    if (!manager) return;
    int size = 0;
    if (!manager->GetAccountValueSize(AccountId(), CZELString(kCacheKey), &size) || size <= 0) return;
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    unsigned length = unsigned(size);
    if (!manager->GetAccountBlob(AccountId(), CZELString(kCacheKey), bytes.data(), &length)) return;
    ServerList.LoadCache(bytes.data(), std::min(size_t(length), bytes.size()));
    if (const Wex::ServerListItem* item = ServerList.FindPrivacySettingsItem()) {
        const Wex::Tlv* mode = item->Attributes.Find(Wex::TlvPrivacyMode);
        if (mode && mode->GetLength() >= 1) PrivacyMode = mode->GetValue()[0];
    }
}

void WexAccount::SaveListCache()
{
    IProtocolsManager* manager =
        services ? static_cast<IProtocolsManager*>(services->GetService(GUID_PROTOCOLS_MANAGER)) : nullptr;
    if (!manager) return;
    Wex::Bytes cache = ServerList.SaveCache();
    const int length = int(cache.size());
    manager->SetAccountBlob(AccountId(), CZELString(kCacheKey), cache.data(), &length);
}

void WexAccount::HandleListFamily(unsigned short subtype, const unsigned char* frame, size_t size)
{
    switch (subtype) {
    case ListRoster: HandleRoster(frame, size); break;
    case ListAck: HandleListAck(frame, size); break;
    case ListAuthRequestNotice: HandleAuthRequestNotice(frame, size); break;
    case ListAuthReplyNotice: HandleAuthReplyNotice(frame, size); break;
    default: break;
    }
}

void WexAccount::HandleRoster(const unsigned char* frame, size_t size)
{
    Wex::ListRoster roster;
    if (!roster.Unpack(frame, size)) return;
    for (const Wex::ListItem& item : roster.items) ServerList.Append(Wex::ServerListItem(item));
    if (!roster.last) return;
    SyncServerList();
    if (CurrentStatus() == AccountStatus::Connecting)
        CompleteLogin();
    else
        SetPrivacyStatus(PrivacyMode, true);
}

int WexAccount::CreateGroupContact(const Wex::ServerListItem& group)
{
    IContactListData* list = ContactList();
    return list ? WexRoster::CreateGroupContact(*list, AccountId(), group.Name) : 0;
}

int WexAccount::CreateListContact(int groupId, const CZELString& uin, const CZELString& alias)
{
    IContactListData* list = ContactList();
    return list ? WexRoster::CreateListContact(*list, AccountId(), groupId, uin, alias,
                                               [this](int contact) { return BuildContactIcons(contact); })
                : 0;
}

void WexAccount::NotifyIcons(int contactId)
{
    if (IContactListData* list = ContactList()) list->NotifyContactStatus(contactId, BuildContactIcons(contactId));
}

void WexAccount::SyncServerList()
{
    if (IContactListData* list = ContactList())
        WexRoster::Merge(ServerList, *list, AccountId(), [this](int contact) { return BuildContactIcons(contact); });
}

unsigned WexAccount::NewListRequestId()
{
    for (;;) {
        const unsigned id = unsigned(CZELRand::Rand()) & 0x7FFFFFFF;
        if (id != 0 && PendingEdits.find(id) == PendingEdits.end()) return id;
    }
}

unsigned short WexAccount::NewItemId()
{
    // Items of pending adds are not in the list yet; their ids are taken all the same.
    Wex::ServerList taken = ServerList;
    for (const auto& pending : PendingEdits) taken.Append(pending.second.item);
    return taken.NewItemId();
}

void WexAccount::SendListEdit(unsigned short subtype, int kind, const Wex::ServerListItem& item)
{
    const unsigned requestId = NewListRequestId();
    PendingEdits[requestId] = PendingListEdit{kind, item};
    const Wex::ListItem wire = item.ToListItem();
    switch (subtype) {
    case ListAddItem: SendPacket(Wex::ListAddItem(NextFlapSequence(), requestId, wire)); break;
    case ListUpdateItem: SendPacket(Wex::ListUpdateItem(NextFlapSequence(), requestId, wire)); break;
    default: SendPacket(Wex::ListDeleteItem(NextFlapSequence(), requestId, wire)); break;
    }
}

int WexAccount::AddGroup(CZELString name)
{
    const unsigned short id = NewItemId();
    if (!id) return 0;
    Wex::ServerListItem group;
    group.Name = name;
    group.GroupId = id;
    group.ItemType = Wex::ItemGroup;
    SendListEdit(ListAddItem, PendingListEdit::Add, group);
    return 0;
}

int WexAccount::RenameGroup(int groupId, CZELString name)
{
    const Wex::ServerListItem* group = ServerList.FindItemByContact(groupId);
    if (!group || group->ItemType != Wex::ItemGroup) return 0;
    Wex::ServerListItem renamed = *group;
    renamed.Name = name;
    renamed.ItemId = 0;
    SendListEdit(ListUpdateItem, PendingListEdit::Update, renamed);
    return 0;
}

int WexAccount::DeleteGroup(int groupId)
{
    if (groupId == 0) {
        // The top level is no server group: its local-only contacts go at once.
        IContactListData* list = ContactList();
        for (int i = ServerList.Count() - 1; i >= 0; --i) {
            const Wex::ServerListItem& item = ServerList.Items[size_t(i)];
            if (item.ItemType != Wex::ItemBuddy || item.GroupId != 0) continue;
            if (list && item.ContactId) list->RemoveContact(item.ContactId);
            ServerList.RemoveAt(i);
        }
        return 0;
    }
    const Wex::ServerListItem* group = ServerList.FindItemByContact(groupId);
    if (!group || group->ItemType != Wex::ItemGroup) return 0;
    Wex::ServerListItem gone = *group;
    gone.ItemId = 0;
    SendListEdit(ListDeleteItem, PendingListEdit::Delete, gone);
    return 0;
}

int WexAccount::RenameContact(int contactId, CZELString alias)
{
    const Wex::ServerListItem* item = ServerList.FindItemByContact(contactId);
    // A local-only contact is unknown to the server: there is nothing to rename there.
    if (!item || item->ItemType != Wex::ItemBuddy || item->GroupId == 0) return 0;
    Wex::ServerListItem renamed = *item;
    Wex::ReplaceTlv(renamed.Attributes, Wex::AliasTlv(alias));
    SendListEdit(ListUpdateItem, PendingListEdit::Update, renamed);
    return 0;
}

int WexAccount::MoveContact(int contactId, int groupId)
{
    const Wex::ServerListItem* item = ServerList.FindItemByContact(contactId);
    const Wex::ServerListItem* target = ServerList.FindItemByContact(groupId);
    if (!item || item->ItemType != Wex::ItemBuddy || item->GroupId == 0) return 0;
    if (!target || target->ItemType != Wex::ItemGroup) return 0;
    const Wex::ServerListItem old = *item;
    Wex::ServerListItem moved = old;
    moved.GroupId = target->GroupId;
    SendPacket(Wex::ListEditBegin(NextFlapSequence(), NewListRequestId()));
    SendListEdit(ListDeleteItem, PendingListEdit::MoveDelete, old);
    moved.ItemId = NewItemId();
    if (moved.ItemId) SendListEdit(ListAddItem, PendingListEdit::MoveAdd, moved);
    SendPacket(Wex::ListEditEnd(NextFlapSequence(), NewListRequestId()));
    return 0;
}

int WexAccount::DeleteContact(int contactId)
{
    IContactListData* list = ContactList();
    if (list && list->GetContactGroup(contactId) == 0) {
        // A contact outside every group is local only: it goes without asking the server.
        for (int i = ServerList.Count() - 1; i >= 0; --i)
            if (ServerList.Items[size_t(i)].ContactId == contactId) ServerList.RemoveAt(i);
        list->RemoveContact(contactId);
        return 0;
    }
    const Wex::ServerListItem* item = ServerList.FindItemByContact(contactId);
    if (!item || item->GroupId == 0) return 0;
    const Wex::ServerListItem gone = *item;
    SendPacket(Wex::ListEditBegin(NextFlapSequence(), NewListRequestId()));
    SendListEdit(ListDeleteItem, PendingListEdit::Delete, gone);
    SendPacket(Wex::ListEditEnd(NextFlapSequence(), NewListRequestId()));
    return 0;
}

void WexAccount::AddContactToServerList(int groupId, const CZELString& uin, const CZELString& nick)
{
    const Wex::ServerListItem* group = ServerList.FindItemByContact(groupId);
    if (!group || group->ItemType != Wex::ItemGroup || uin.IsEmpty()) return;
    Wex::ServerListItem contact;
    contact.Name = uin;
    contact.GroupId = group->GroupId;
    contact.ItemId = NewItemId();
    if (!contact.ItemId) return;
    if (!nick.IsEmpty()) contact.Attributes.Add(Wex::AliasTlv(nick));
    SendListEdit(ListAddItem, PendingListEdit::Add, contact);
}

void WexAccount::AddContactToGroupNamed(const CZELString& group, const CZELString& uin, const CZELString& nick)
{
    enum { ErrorAddingItemText = 121 };
    const Wex::ServerListItem* found = nullptr;
    for (const Wex::ServerListItem& item : ServerList.Items)
        if (item.ItemType == Wex::ItemGroup && item.GroupId != 0 && item.Name == group) found = &item;
    // A group deleted while the dialog was open: the user learns the contact was not added.
    if (!found || !found->ContactId) {
        ReportWarning(WexPlugin::Shared().Text(ErrorAddingItemText) + L": " + group);
        return;
    }
    AddContactToServerList(found->ContactId, uin, nick);
}

void WexAccount::AddToPrivacyList(int contactId, unsigned short type)
{
    const Wex::ServerListItem* contact = ServerList.FindItemByContact(contactId);
    if (!contact || !PrivacyFlagName(type)) return;
    Wex::ServerListItem entry;
    entry.Name = contact->Name;
    entry.ItemType = type;
    entry.ItemId = NewItemId();
    if (!entry.ItemId) return;
    SendListEdit(ListAddItem, PendingListEdit::Add, entry);
}

void WexAccount::RemoveFromPrivacyList(int contactId, unsigned short type)
{
    const Wex::ServerListItem* contact = ServerList.FindItemByContact(contactId);
    if (!contact || !PrivacyFlagName(type)) return;
    const Wex::ServerListItem* entry = ServerList.FindItem(type, contact->Name);
    if (!entry) return;
    SendListEdit(ListDeleteItem, PendingListEdit::Delete, *entry);
}

void WexAccount::HandleListAck(const unsigned char* frame, size_t size)
{
    Wex::SnacPacket snac;
    Wex::ListAck ack;
    if (!Wex::UnpackSnac(frame, size, snac) || !ack.Unpack(frame, size)) return;
    auto pending = PendingEdits.find(snac.requestId);
    if (pending == PendingEdits.end()) return;
    const PendingListEdit edit = pending->second;
    PendingEdits.erase(pending);
    if (ack.result == 0) {
        ApplyListEdit(edit);
        return;
    }
    if (ack.result == AckNeedsAuthorization) {
        // Only a contact can want to be asked first; a group or list entry is not turned into one.
        if (edit.kind != PendingListEdit::Add || edit.item.ItemType != Wex::ItemBuddy) return;
        // Added again, marked as awaiting authorisation.
        Wex::ServerListItem again = edit.item;
        again.Attributes.Add(Wex::Tlv(Wex::TlvAwaitingAuth, (unsigned short)0, nullptr));
        SendListEdit(ListAddItem, PendingListEdit::Add, again);
        ReportWarning(WexPlugin::Shared().Text(NeedsAuthorizationText));
        return;
    }
    if (const int text = AckWarningText(ack.result)) ReportWarning(WexPlugin::Shared().Text(text));
}

void WexAccount::ApplyListEdit(const PendingListEdit& edit)
{
    IContactListData* list = ContactList();
    const Wex::ServerListItem& sent = edit.item;
    if (sent.ItemType == Wex::ItemGroup) {
        if (edit.kind == PendingListEdit::Add) {
            Wex::ServerListItem added = sent;
            added.ContactId = CreateGroupContact(sent);
            ServerList.Append(added);
        } else if (edit.kind == PendingListEdit::Update) {
            Wex::ServerListItem* group = ServerList.FindGroup(sent.GroupId);
            if (!group) return;
            group->Name = sent.Name;
            group->Attributes = sent.Attributes;
            if (list && group->ContactId) {
                SetNames(*list, group->ContactId, sent.Name, sent.Name);
                list->NotifyGroupChanged(group->ContactId);
            }
        } else if (edit.kind == PendingListEdit::Delete) {
            for (int i = 0; i < ServerList.Count(); ++i) {
                const Wex::ServerListItem& group = ServerList.Items[size_t(i)];
                if (group.ItemType != Wex::ItemGroup || group.GroupId != sent.GroupId) continue;
                if (list && group.ContactId) list->RemoveGroup(group.ContactId);
                ServerList.RemoveAt(i);
                break;
            }
        }
        return;
    }
    if (sent.ItemType == Wex::ItemBuddy) {
        const Wex::ServerListItem* group = ServerList.FindGroup(sent.GroupId);
        const int groupContact = group ? group->ContactId : 0;
        switch (edit.kind) {
        case PendingListEdit::Add:
            if (Wex::ServerListItem* known = ServerList.FindBuddy(sent.Name)) {
                // A local-only or not-in-list contact becomes the server's item.
                known->GroupId = sent.GroupId;
                known->ItemId = sent.ItemId;
                known->Name = sent.Name;
                known->Attributes = sent.Attributes;
                if (list && known->ContactId) {
                    list->SetPropertyString(known->ContactId, CZELString(Alias), known->Alias());
                    if (groupContact) list->MoveContact(known->ContactId, groupContact);
                }
            } else if (group) {
                Wex::ServerListItem added = sent;
                added.ContactId = CreateListContact(groupContact, sent.Name, sent.Alias());
                ServerList.Append(added);
            }
            break;
        case PendingListEdit::Update:
            if (Wex::ServerListItem* item = ServerList.FindByItemId(sent.ItemId, Wex::ItemBuddy)) {
                item->Name = sent.Name;
                item->Attributes = sent.Attributes;
                if (list && item->ContactId) {
                    list->SetPropertyString(item->ContactId, CZELString(Alias), item->Alias());
                    list->NotifyContactChanged(item->ContactId);
                }
            }
            break;
        case PendingListEdit::Delete:
            for (int i = 0; i < ServerList.Count(); ++i) {
                const Wex::ServerListItem& item = ServerList.Items[size_t(i)];
                if (item.ItemType != Wex::ItemBuddy || item.ItemId != sent.ItemId || item.GroupId != sent.GroupId) continue;
                if (list && item.ContactId) list->RemoveContact(item.ContactId);
                ServerList.RemoveAt(i);
                break;
            }
            break;
        case PendingListEdit::MoveAdd:
            for (Wex::ServerListItem& item : ServerList.Items) {
                if (item.ItemType != Wex::ItemBuddy || !(item.Name == sent.Name)) continue;
                item.GroupId = sent.GroupId;
                item.ItemId = sent.ItemId;
                if (list && item.ContactId && groupContact) list->MoveContact(item.ContactId, groupContact);
            }
            break;
        default: break;  // the delete half of a move changes nothing by itself
        }
        return;
    }
    const wchar_t* flag = PrivacyFlagName(sent.ItemType);
    if (!flag) return;
    char value = 0;
    if (edit.kind == PendingListEdit::Add) {
        ServerList.Append(sent);
        value = 1;
    } else if (edit.kind == PendingListEdit::Delete) {
        bool found = false;
        for (int i = 0; i < ServerList.Count(); ++i) {
            const Wex::ServerListItem& item = ServerList.Items[size_t(i)];
            if (item.ItemType != sent.ItemType || item.ItemId != sent.ItemId) continue;
            ServerList.RemoveAt(i);
            found = true;
            break;
        }
        if (!found) return;
    } else {
        return;
    }
    const Wex::ServerListItem* contact = ServerList.FindBuddy(sent.Name);
    if (list && contact && contact->ContactId) {
        list->SetPropertyByte(contact->ContactId, CZELString(flag), &value);
        NotifyIcons(contact->ContactId);
    }
}

void WexAccount::SetPrivacyStatus(int mode, bool forceSend)
{
    PrivacyMode = (unsigned char)mode;
    if (Settings.ShowPrivStatusInStatusbar)
        Notify(GUID_WEX_PROTOCOL, ACC_ICON_SET,
               new (std::nothrow)
                   CIconSetPayload(Settings.ShowXStatusInStatusbar ? 2 : 1, CZELArray<int>(1, PrivacyImage(mode))));
    const bool connected = CurrentStatus() > AccountStatus::Offline;
    const Wex::Tlv modeTlv(Wex::TlvPrivacyMode, (unsigned char)mode);
    const Wex::Tlv maskTlv(Wex::TlvPrivacyMask, 0xFFFFFFFFu);
    if (Wex::ServerListItem* item = ServerList.FindPrivacySettingsItem()) {
        const bool changed = Wex::ReplaceTlv(item->Attributes, modeTlv);
        Wex::ReplaceTlv(item->Attributes, maskTlv);
        if ((changed || forceSend) && connected) {
            Wex::ListItem wire = item->ToListItem();
            wire.name = CZELString();
            wire.groupId = 0;
            SendPacket(Wex::ListUpdateItem(NextFlapSequence(), NewListRequestId(), wire));
        }
    } else {
        Wex::ServerListItem settings;
        settings.ItemType = Wex::ItemPrivacySettings;
        settings.ItemId = NewItemId();
        settings.Attributes.Add(modeTlv);
        settings.Attributes.Add(maskTlv);
        ServerList.Append(settings);
        if (connected) SendPacket(Wex::ListAddItem(NextFlapSequence(), NewListRequestId(), settings.ToListItem()));
    }
    // Invisible for all is Invisible with the privacy mode that hides the account from everyone.
    const int now = CurrentStatus();
    int adjusted = now;
    if (now == AccountStatus::Invisible && mode == 2) adjusted = AccountStatus::InvisibleForAll;
    if (now == AccountStatus::InvisibleForAll && mode != 2) adjusted = AccountStatus::Invisible;
    if (adjusted == now) return;
    status = adjusted;
    NotifyStatus(adjusted);
}

void WexAccount::HandleAuthRequestNotice(const unsigned char* frame, size_t size)
{
    Wex::AuthRequestNotice notice;
    if (!notice.Unpack(frame, size)) return;
    DeliverIncomingMessage(notice.uin, 0, WexPlugin::Shared().Image(WexPictures::AuthRequest),
                           WexPlugin::Shared().Text(AuthRequestPrefixText) + notice.text, CZELString());
    if (Wex::ServerListItem* item = ServerList.FindBuddy(notice.uin)) item->AuthRequestPending = 1;
}

void WexAccount::HandleAuthReplyNotice(const unsigned char* frame, size_t size)
{
    Wex::AuthReplyNotice notice;
    if (!notice.Unpack(frame, size)) return;
    Wex::ServerListItem* item = ServerList.FindBuddy(notice.uin);
    if (!item) return;
    const CZELString text =
        notice.uin + L"\n" + WexPlugin::Shared().Text(notice.granted ? AuthAcceptedText : AuthDeclinedText);
    const int awaiting = item->Attributes.IndexOf(Wex::TlvAwaitingAuth);
    if (notice.granted && awaiting >= 0) {
        item->Attributes.Remove(awaiting);
        Wex::ListItem wire = item->ToListItem();
        wire.itemType = Wex::ItemBuddy;
        SendPacket(Wex::ListUpdateItem(NextFlapSequence(), NewListRequestId(), wire));
    }
    const int image = WexPlugin::Shared().Image(notice.granted ? WexPictures::AuthAccept : WexPictures::AuthDecline);
    const CZELString uin = item->Name;
    if (item->ContactId) NotifyIcons(item->ContactId);
    DeliverIncomingMessage(uin, 0, image, text, CZELString());
}

void WexAccount::SendAuthorizationRequest(int contactId, const CZELString& text)
{
    const Wex::ServerListItem* item = ServerList.FindItemByContact(contactId);
    if (!item || CurrentStatus() < AccountStatus::Online) return;
    SendPacket(Wex::AuthRequest(NextFlapSequence(), 24, item->Name, text));
}

void WexAccount::AnswerAuthorization(int contactId, AuthAnswer answer)
{
    Wex::ServerListItem* item = ServerList.FindItemByContact(contactId);
    if (!item) return;
    if (answer == AuthIgnore) {
        item->AuthRequestPending = 0;
        return;
    }
    if (CurrentStatus() < AccountStatus::Online || !item->AuthRequestPending) return;
    item->AuthRequestPending = 0;
    SendPacket(Wex::AuthReply(NextFlapSequence(), NewListRequestId(), item->Name, answer == AuthGrant));
}
