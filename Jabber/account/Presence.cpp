// JabberAccount: the system's statuses as XMPP presence and back: the account's own presence, each
// contact resource's presence into the store and the contact's one status into the contact list,
// the account's icons and its status menu.
#include "Jabber/account/JabberAccount.h"

#include "Jabber/account/AccountKinds.h"
#include "Jabber/account/ClientFeatures.h"
#include "Jabber/account/PluginAccounts.h"
#include "Jabber/account/PluginShared.h"
#include "Jabber/account/PresenceMapping.h"
#include "Jabber/xml/XmlText.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/contactlist/ContactListData.h"

#include <new>

namespace {

const char CapsNs[] = "http://jabber.org/protocol/caps";
const char XStatusNs[] = "zel:x:status";
const char MailNoticeNs[] = "zel:mail:notify";
const int NotAuthorisedImage = 39;

std::wstring TextOf(const XmlElement* element)
{
    return element ? WideFromUtf8(element->text) : std::wstring();
}

const std::wstring* Attribute(const XmlElement* element, const char* name, std::wstring& holder)
{
    const std::string* value = GetAttribute(element, name);
    if (!value) return nullptr;
    holder = WideFromUtf8(*value);
    return &holder;
}

}  // namespace

void JabberAccount::ApplyStatus(int chosen)
{
    xStatus = OutgoingPresenceFor(chosen).xStatus;
    SendPresence(chosen, nullptr, nullptr);
}

void JabberAccount::SendPresence(int chosen, const std::string* to, XmlElement* extra)
{
    if (!Online() || !rosterMerged) return;
    XmlElement presence("presence");
    // The setting holds 0 to 255; XMPP's priority is a signed byte.
    int priority = settings.GetPriority();
    if (priority > 127) priority = 127;
    AddTextChild(&presence, "priority", std::to_string(priority));
    if (to) SetAttribute(&presence, "to", *to);
    if (extra) {
        std::unique_ptr<XmlElement> copy(new XmlElement(extra->name, extra->text));
        copy->attributes = extra->attributes;
        AppendChild(&presence, std::move(copy));
    }
    XmlElement* caps = AddChild(&presence, "c");
    SetAttribute(caps, "xmlns", CapsNs);
    SetAttribute(caps, "node", OwnCapsNode);
    SetAttribute(caps, "ver", OwnCapsVersion);
    const OutgoingPresence out = OutgoingPresenceFor(chosen);
    if (out.invisible) SetAttribute(&presence, "type", "invisible");
    if (out.show) AddTextChild(&presence, "show", std::string(out.show));
    if (xStatus) SetAttributeInt(SetAttribute(AddChild(&presence, "x"), "xmlns", XStatusNs), "value", xStatus);
    SendElement(presence);
}

void JabberAccount::OnPresence(const XmlElement& presence)
{
    std::wstring fromHolder, toHolder;
    const std::wstring* from = Attribute(&presence, "from", fromHolder);
    const std::wstring* to = Attribute(&presence, "to", toHolder);
    if (presence.name != "presence") return;
    // New-mail notices are not presence: they come from the server, often without "from".
    if (FindChildWithAttribute(&presence, "x", "xmlns", MailNoticeNs)) {
        MailNoticeFromPresence(presence);
        return;
    }
    if (!from || from->empty()) return;
    if (to && *to == *from) return;
    IContactListData* list = ContactList();
    if (!list) return;

    const std::string* type = GetAttribute(&presence, "type");
    if (type && *type != "available") {
        if (*type == "unavailable") {
            ContactRecord* record = contacts.Find(0, *from);
            if (!record) return;
            contacts.RemoveResource(0, *from);
            if (record->resources.empty()) {
                record->bare.status = 0;
                record->bare.statusText = TextOf(FindChild(&presence, "status"));
            }
            UpdateContactStatus(*from);
        } else if (*type == "subscribe" || *type == "subscribed") {
            OnSubscriptionPresence(presence, *from, *type);
        }
        return;
    }

    if (!contacts.Find(0, *from)) return;
    const XmlElement* show = FindChild(&presence, "show");
    int status = IncomingStatusFor(show ? show->text.c_str() : nullptr);
    const XmlElement* priorityElement = FindChild(&presence, "priority");
    const signed char priority = priorityElement ? PriorityFromText(priorityElement->text) : 0;
    contacts.SetResourceStatus(0, *from, status, TextOf(FindChild(&presence, "status")), priority);
    ResourceRecord* resource = contacts.FindStatusRecord(*from);
    for (const std::unique_ptr<XmlElement>& child : presence.children) {
        const std::string* ns = GetAttribute(child.get(), "xmlns");
        if (!ns || !resource) continue;
        if (child->name == "x" && *ns == XStatusNs) {
            const std::string* value = GetAttribute(child.get(), "value");
            if (value) resource->status = StatusWithXStatus(resource->status, *value);
        } else if (child->name == "c" && *ns == CapsNs) {
            std::wstring holder;
            resource->capsNode = Attribute(child.get(), "node", holder) ? holder : std::wstring();
            resource->capsVersion = Attribute(child.get(), "ver", holder) ? holder : std::wstring();
            resource->capsExtensions = Attribute(child.get(), "ext", holder) ? holder : std::wstring();
        }
    }
    AskWhatResourceSupports(*from);
    UpdateContactStatus(*from);
}

void JabberAccount::UpdateContactStatus(const std::wstring& jid)
{
    if (contacts.UpdateVisibleStatus(jid) < 0) return;
    IContactListData* list = ContactList();
    const ContactRecord* record = contacts.Find(0, jid);
    if (!list || !record || !record->contactId) return;
    StatusInfo icons;
    BuildContactIcons(list, record, record->contactId, icons);
    list->NotifyContactStatus(record->contactId, icons);
}

void JabberAccount::MarkContactsOffline()
{
    IContactListData* list = ContactList();
    if (!list) return;
    list->BeginUpdate();
    for (int i = 0; ContactRecord* record = contacts.At(i); ++i) {
        if (!record->contactId || (record->bare.status <= 0 && record->resources.empty())) continue;
        contacts.ClearResources(record);
        record->bare.status = 0;
        record->bare.statusText.clear();
        UpdateContactStatus(record->jid);
    }
    list->EndUpdate();
}

void JabberAccount::BuildContactStatus(int contactId, StatusInfo& out)
{
    IContactListData* list = ContactList();
    if (!list) return;
    CZELString jid;
    list->GetPropertyString(contactId, CZELString(L"Account name"), jid);
    const ContactRecord* record =
        jid.IsEmpty() ? nullptr : contacts.Find(0, std::wstring(jid.GetBuffer(), size_t(jid.GetLength())));
    BuildContactIcons(list, record, contactId, out);
}

void JabberAccount::BuildContactIcons(IContactListData* list, const ContactRecord* record, int contactId,
                                      StatusInfo& out)
{
    PluginShared& shared = PluginShared::Instance();
    const int first = FirstStatusImage();
    const bool inGroup = list->GetContactGroup(contactId) != 0;
    out.status = 0;
    if (record && inGroup) {
        out.status = record->bare.status;
        const int overlay = ContactOverlayImage(out.status);
        if (out.status == 0)
            out.kinds.Add(shared.Image(first));
        else if (out.status == 2 || overlay >= 0)
            out.kinds.Add(shared.Image(first + 2));
        if (overlay >= 0) out.kinds.Add(shared.Image(overlay));
    } else {
        out.kinds.Add(shared.Image(first + (inGroup ? 0 : 4)));
    }
    char subscription = 0;
    if (list->GetPropertyByte(contactId, CZELString(L"Subscription"), &subscription) && subscription != 3 &&
        subscription != 1)
        out.images.Add(shared.Image(NotAuthorisedImage));
}

int JabberAccount::GetContactIcons(int contactId, StatusInfo* out)
{
    if (out) BuildContactStatus(contactId, *out);
    return 0;
}

int JabberAccount::PublishIcons()
{
    PluginShared& shared = PluginShared::Instance();
    CZELArray<int> images;
    images.Add(shared.Image(FirstStatusImage()));
    Notify(ProtocolGuid(), ACC_ICON_ADD, new (std::nothrow) CArrayPayload(images));
    if (kind == KindOwnServer && !settings.GetHideEmailButton()) {
        CZELArray<int> mail;
        mail.Add(shared.Image(MailButtonImage));
        Notify(ProtocolGuid(), ACC_ICON_ADD, new (std::nothrow) CArrayPayload(mail));
    }
    return 0;
}

int JabberAccount::GetStatusMenu(intptr_t iconIndex, CPopupMenu* menu)
{
    if (menu && iconIndex == 0) FillStatusMenu(menu);
    if (menu && iconIndex == 1) FillMailMenu(menu);
    return 0;
}

void JabberAccount::FillStatusMenu(CPopupMenu* menu)
{
    if (!menu) return;
    menu->title = CZELString(KindOf(kind).displayName) + L" " + settings.OwnJid();
    static const int Order[] = {5, 6, 7, 8, 9, -1, 10, 11, 12, 13, 14, -1, 2, 3, 4, -1, 0};
    for (int status : Order) {
        if (status < 0) {
            menu->AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
            continue;
        }
        StatusEntry entry;
        PluginShared::Instance().StatusEntryOf(kind, status, entry);
        // The argument carries the account id beside the status: the item may outlive the account.
        const intptr_t argument = intptr_t((uint64_t(uint32_t(status)) << 32) | accountId);
        menu->AddItem(CMenuItem(MENU_ITEM_PLAIN, entry.images, entry.name, 0, &OnStatusMenuItem, argument,
                                status == targetStatus));
    }
}

void JabberAccount::OnStatusMenuItem(intptr_t, intptr_t argument)
{
    const unsigned accountId = unsigned(uint64_t(argument) & 0xFFFFFFFFu);
    const int status = int(uint64_t(argument) >> 32);
    PluginAccounts().WithAccountId(accountId, [status](JabberAccount* account) {
        account->RunOnQueue([account, status] { account->SetStatus(status); });
    });
}
