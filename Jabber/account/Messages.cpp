// JabberAccount: chat messages both ways. An incoming "message" is reduced to one text, answered
// with the notices its sender asked for and handed to the contact list (senders outside the roster
// meet the anti-spam rules there); typing notices go to the contact list as typing. Outgoing
// messages go out as "chat" asking for "jabber:x:event" notices, whose "delivered" or "offline"
// answer marks the message delivered.
#include "Jabber/account/JabberAccount.h"

#include "Jabber/account/AccountKinds.h"
#include "Jabber/xml/Iq.h"
#include "Jabber/xml/Jid.h"
#include "Jabber/xml/XmlText.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "ZELCommon/ZELRand.h"

#include <windows.h>

namespace {

const char GotAccountNs[] = "zel:x:gotaccount";
const char IbbNs[] = "http://jabber.org/protocol/ibb";
const char PubsubEventNs[] = "http://jabber.org/protocol/pubsub#event";
const char AddressingNs[] = "http://jabber.org/protocol/address";
const char ChatStatesNs[] = "http://jabber.org/protocol/chatstates";
const char ReceiptsNs[] = "urn:xmpp:receipts";
const char EventNs[] = "jabber:x:event";
const size_t MaxAwaitedAcks = 1000;

bool HasNs(const XmlElement* element, const char* ns)
{
    const std::string* value = GetAttribute(element, "xmlns");
    return value && *value == ns;
}

const XmlElement* ChildWithNs(const XmlElement& parent, const char* name, const char* ns)
{
    for (const std::unique_ptr<XmlElement>& child : parent.children)
        if (child->name == name && HasNs(child.get(), ns)) return child.get();
    return nullptr;
}

// The counter of one of our message ids: "zel_" (in that case) and a decimal number that fits 32
// bits; false for anything else.
bool OwnMessageCounter(const std::string& id, unsigned& counter)
{
    if (id.compare(0, 4, "zel_") != 0 || id.size() == 4 || id.size() > 14) return false;
    unsigned long long value = 0;
    for (size_t i = 4; i < id.size(); ++i) {
        if (id[i] < '0' || id[i] > '9') return false;
        value = value * 10 + unsigned(id[i] - '0');
    }
    if (value > 0xFFFFFFFFull) return false;
    counter = unsigned(value);
    return true;
}

std::wstring BareOf(const std::wstring& jid)
{
    const size_t at = jid.find(L'@');
    return at == std::wstring::npos ? jid : jid.substr(0, jid.find(L'/', at));
}

}  // namespace

void JabberAccount::OnMessage(const XmlElement& message)
{
    const std::string* fromText = GetAttribute(&message, "from");
    if (message.name != "message" || !fromText || fromText->empty()) return;
    const std::string* type = GetAttribute(&message, "type");

    if (ChildWithNs(message, "x", GotAccountNs) && kind == KindOwnServer && IsOwnServer(*fromText)) {
        // Our own service tells us an account of ours was made: it may see our presence.
        XmlElement presence("presence");
        SetAttribute(&presence, "to", *fromText);
        SetAttribute(&presence, "type", "subscribed");
        SendElement(presence);
        return;
    }
    if (FindChild(&message, "error") || (type && *type == "error")) return;
    if (ChildWithNs(message, "data", IbbNs)) {
        IbbFromMessage(message);
        return;
    }
    if (ChildWithNs(message, "event", PubsubEventNs)) return;

    const XmlElement* bodyElement = FindChild(&message, "body");
    const XmlElement* subjectElement = FindChild(&message, "subject");
    bool hasText = bodyElement != nullptr;
    std::wstring text = bodyElement ? WideFromUtf8(bodyElement->text) : std::wstring();
    if (subjectElement && !subjectElement->text.empty()) {
        const std::wstring subject = WideFromUtf8(subjectElement->text);
        text = bodyElement ? L"Subject: " + subject + L"\r\n" + text : subject;
        hasText = true;
    }

    std::wstring sender = WideFromUtf8(*fromText);
    // Only our own server may say a message was redirected: anyone else would file theirs under
    // another contact's name.
    if (hasText && IsOwnServer(*fromText)) {
        const XmlElement* addresses = ChildWithNs(message, "addresses", AddressingNs);
        const XmlElement* ofrom = FindChildWithAttribute(addresses, "address", "type", "ofrom");
        const std::string* jid = GetAttribute(ofrom, "jid");
        if (jid && !jid->empty()) {
            text = L"Message redirected from: " + sender + L"\r\n" + text;
            sender = WideFromUtf8(*jid);
        }
    }

    ContactRecord* record = contacts.Find(0, sender);
    ResourceRecord* statusRecord = contacts.FindStatusRecord(sender);
    IContactListData* list = ContactList();
    const int contactId = record ? record->contactId : 0;

    if (record && bodyElement) {
        if (ChildWithNs(message, "active", ChatStatesNs)) {
            if (statusRecord) statusRecord->features |= FeatureChatStates;
            record->flags |= ContactChatStates;
        } else {
            record->flags &= uint16_t(~ContactChatStates);
        }
    }
    // Chat states without a body tell the contact is typing, or no longer is.
    if (!bodyElement && list && contactId) {
        if (ChildWithNs(message, "composing", ChatStatesNs))
            list->PostTypingNotify(contactId, 0);
        else if (ChildWithNs(message, "paused", ChatStatesNs) || ChildWithNs(message, "active", ChatStatesNs) ||
                 ChildWithNs(message, "inactive", ChatStatesNs) || ChildWithNs(message, "gone", ChatStatesNs))
            list->PostTypingNotify(contactId, 1);
    }

    const std::string* id = GetAttribute(&message, "id");
    const std::string senderUtf8 = Utf8FromWide(sender.c_str(), int(sender.size()));
    if (ChildWithNs(message, "request", ReceiptsNs)) {
        XmlElement receipt("message");
        SetAttribute(&receipt, "to", senderUtf8);
        XmlElement* received = AddChild(&receipt, "received");
        SetAttribute(received, "xmlns", ReceiptsNs);
        if (id) SetAttribute(received, "id", *id);
        SendElement(receipt);
        if (statusRecord) statusRecord->features |= FeatureReceipts;
    }

    bool conference = false, deliveredSent = false;
    for (const std::unique_ptr<XmlElement>& child : message.children) {
        if (child->name != "x") continue;
        const std::string* ns = GetAttribute(child.get(), "xmlns");
        if (!ns) continue;
        if (*ns == "zel:x:specmsg") {
            if (child->text.empty()) return;
            text = WideFromUtf8(child->text);
            hasText = true;
        } else if (*ns == "jabber:x:encrypted") {
            if (child->text.empty()) return;
            text = L"-----BEGIN PGP MESSAGE-----\r\n\r\n" + WideFromUtf8(child->text) +
                   L"\r\n-----END PGP MESSAGE-----\r\n";
            hasText = true;
        } else if (*ns == EventNs && !bodyElement) {
            const XmlElement* eventId = FindChild(child.get(), "id");
            unsigned counter = 0;
            if ((FindChild(child.get(), "delivered") || FindChild(child.get(), "offline")) && eventId &&
                OwnMessageCounter(eventId->text, counter))
                AcknowledgeMessage(contactId, counter);
            if (list && contactId) {
                if (FindChild(child.get(), "composing"))
                    list->PostTypingNotify(contactId, 0);
                else if (!FindChild(child.get(), "delivered") && !FindChild(child.get(), "offline") &&
                         !FindChild(child.get(), "displayed"))
                    list->PostTypingNotify(contactId, 1);
            }
        } else if (*ns == EventNs) {
            if (FindChild(child.get(), "delivered") && !deliveredSent) {
                XmlElement notice("message");
                SetAttribute(&notice, "to", senderUtf8);
                XmlElement* x = AddChild(&notice, "x");
                SetAttribute(x, "xmlns", EventNs);
                AddChild(x, "delivered");
                AddTextChild(x, "id", id ? *id : std::string());
                SendElement(notice);
                deliveredSent = true;
            }
            if (record && FindChild(child.get(), "composing")) {
                record->hasComposingId = id != nullptr;
                record->composingId = id ? WideFromUtf8(*id) : std::wstring();
            }
        } else if (*ns == "jabber:x:oob") {
            const XmlElement* url = FindChild(child.get(), "url");
            if (url && !url->text.empty()) {
                const std::wstring link = WideFromUtf8(url->text);
                text = hasText ? link + L"\r\n" + text : link;
                hasText = true;
            }
        } else if (*ns == "jabber:x:conference") {
            conference = true;
        }
    }
    if (conference || !hasText) return;

    text = ExpandNewlines(text);
    if (text.empty()) text = L" ";
    if (record) {
        if (statusRecord) statusRecord->conversation = true;
        bool has = false;
        const std::wstring resource = ResourcePart(sender, &has);
        if (!resource.empty()) {
            for (size_t i = 0; i < record->resources.size(); ++i)
                if (record->resources[i].resource == resource) record->lastWriter = int(i);
        }
    }
    DeliverIncoming(sender, 0, -1, text);
}

void JabberAccount::DeliverIncoming(const std::wstring& jid, int flags, int kind, const std::wstring& text)
{
    IContactListData* list = ContactList();
    if (!list || text.empty()) return;
    MessageRecord message;
    message.messageNumber = int(CZELRand::Rand());
    message.flags = flags;
    message.kind = kind;
    message.text = CZELString(text.c_str(), int(text.size()));

    ContactRecord* record = contacts.Find(0, jid);
    if (record && record->contactId) {
        const int id = record->contactId;
        if (list->IsTempContact(id)) {
            if (!list->GetAntispamMsgsFromNIL() || !list->FilterIncomingMessage(id, message)) return;
            list->RemoveTempContact(id);
            record->contactId = 0;
            AddToContactList(record, record->name, 0, 0);
        }
        if (record->contactId) list->PostIncomingMessage(record->contactId, message);
        return;
    }

    if (!list->GetAntispamMsgsFromNIL()) return;
    const std::wstring bare = BareOf(jid);
    const CZELString address(bare.c_str(), int(bare.size()));
    const int found = list->FindOrAddContact(accountId, address);
    if (!found) return;
    record = contacts.FindOrAdd(0, bare);
    if (!list->IsTempContact(found)) {
        // Already in the list, only not in the roster (a contact added from outside it).
        record->contactId = found;
        list->PostIncomingMessage(found, message);
        return;
    }
    record->name = JidNodePart(record->jid);
    record->contactId = found;
    list->SetPropertyString(found, CZELString(L"Account name"), CZELString(record->jid.c_str(), int(record->jid.size())));
    list->SetPropertyString(found, CZELString(L"CL Alias"), CZELString(record->name.c_str(), int(record->name.size())));
    if (!list->FilterIncomingMessage(found, message)) return;
    list->RemoveTempContact(found);
    record->contactId = 0;
    AddToContactList(record, record->name, 0, 0);
    if (record->contactId) list->PostIncomingMessage(record->contactId, message);
}

int JabberAccount::SendInstantMessage(MessageRecord* message)
{
    if (message && message->flags == 0) {
        const std::wstring jid = ContactJid(message->contactId);
        const ContactRecord* record = jid.empty() ? nullptr : contacts.Find(0, jid);
        if (record && Online()) {
            const std::wstring text =
                message->text.GetLength() ? std::wstring(message->text.GetBuffer(), size_t(message->text.GetLength()))
                                          : std::wstring();
            SendChatMessage(record->jid, text, message->messageNumber);
        }
    }
    delete message;
    return 0;
}

void JabberAccount::SendChatMessage(const std::wstring& jid, const std::wstring& text, int messageNumber)
{
    if (text.empty()) return;
    XmlElement message("message");
    SetAttribute(&message, "type", "chat");
    AddTextChild(&message, "body", text.c_str());
    const std::wstring address = contacts.AddressFor(jid, 256);
    if (ResourceRecord* resource = contacts.FindStatusRecord(address)) resource->conversation = true;
    const uint64_t features = ClientFeatures(address, false);
    if (!(features >> 63) && (features & FeatureChatStates))
        SetAttribute(AddChild(&message, "active"), "xmlns", ChatStatesNs);
    const unsigned counter = ++iqCounter;
    sentMessages[counter] = messageNumber;
    while (sentMessages.size() > MaxAwaitedAcks) sentMessages.erase(sentMessages.begin());
    SetAttribute(&message, "to", address.c_str());
    SetIqId(&message, counter);
    XmlElement* event = AddChild(&message, "x");
    SetAttribute(event, "xmlns", EventNs);
    AddChild(event, "composing");
    AddChild(event, "delivered");
    AddChild(event, "offline");
    SendElement(message);
}

void JabberAccount::AcknowledgeMessage(int contactId, unsigned counter)
{
    IContactListData* list = ContactList();
    auto found = sentMessages.find(counter);
    if (!list || !contactId || found == sentMessages.end()) return;
    list->PostMessageAck(contactId, found->second);
    sentMessages.erase(found);
}

uint64_t JabberAccount::ClientFeatures(const std::wstring& jid, bool complete)
{
    std::wstring address = jid.substr(0, 511);
    if (complete && address.find(L'/') == std::wstring::npos) {
        const std::wstring best = contacts.BestResource(address);
        if (!best.empty()) address = (address + L"/" + best).substr(0, 511);
    }
    return ComputeClientFeatures(contacts.FindStatusRecord(address), caps, GetTickCount64());
}
