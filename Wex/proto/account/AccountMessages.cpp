// Messages both ways: the user's texts leave in the form the contact's client reads best, cut into
// chunks that each fit a packet; contacts' texts, live and kept offline, reach the contact list,
// through the anti-spam filter for senders who are not in the list; delivery acknowledgements and
// typing notices both ways.
#include "Wex/proto/account/WexAccount.h"

#include "Wex/proto/CapabilityTable.h"
#include "Wex/proto/ContactRules.h"
#include "Wex/proto/IncomingMessage.h"
#include "Wex/proto/MessageCommands.h"
#include "Wex/proto/MessageChunks.h"
#include "Wex/proto/MetaReplies.h"
#include "Wex/proto/OfflineText.h"
#include "Wex/proto/XStatusReply.h"
#include "Wex/proto/account/PluginState.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "ZELCommon/ZELRand.h"

#include <ctime>
#include <memory>

namespace {

enum {
    MessageRequestId = 6,
    AnswerRequestId = 11,
    OfflineMessageTextId = 49,
    RelayProtocolVersion = 8,  // the first protocol version whose clients read channel-2 texts
};

// How a text leaves for one contact.
struct MessageForm {
    bool rendezvous = false;  // channel 2; else channel 1
    bool unicode = true;      // channel 1: UTF-16; channel 2: UTF-8. Else code page 1251.

    Wex::TextForm TextForm() const
    {
        return unicode ? (rendezvous ? Wex::TextForm::Utf8 : Wex::TextForm::Utf16) : Wex::TextForm::CodePage1251;
    }
};

MessageForm FormFor(const Wex::ServerListItem& item)
{
    MessageForm form;
    if (item.Status == 0 || Wex::IsScreenName(item)) return form;
    const Wex::CapabilityTable& table = WexPlugin::Shared().Capabilities();
    const Wex::CapabilityList capabilities = Wex::ParseCapabilities(table, item.UserInfo);
    const unsigned short version = Wex::GetDcProtocolVersion(item);
    const bool relay = Wex::HasCapability(table, capabilities, CZELString(L"caWEXRelay"), 16) &&
                       version >= RelayProtocolVersion;
    if (Wex::HasCapability(table, capabilities, CZELString(L"caUTF8support"), 16)) {
        form.rendezvous = relay;
        return form;
    }
    form.rendezvous = relay;
    form.unicode = !relay && version == 0;
    return form;
}

} // namespace

int WexAccount::SendInstantMessage(MessageRecord* message)
{
    std::unique_ptr<MessageRecord> owned(message);
    if (!message || message->flags != 0) return 0;
    const Wex::ServerListItem* item = ServerList.FindItemByContact(message->contactId);
    if (item) SendMessageChunks(*item, *message);
    return 0;
}

void WexAccount::SendMessageChunks(const Wex::ServerListItem& item, const MessageRecord& message)
{
    const MessageForm form = FormFor(item);
    for (const CZELString& chunk : Wex::CutMessageText(message.text, form.TextForm())) {
        // Every chunk names the message, so an acknowledgement of any of them reaches it.
        Wex::MessageCookie cookie;
        cookie.first = unsigned(message.messageNumber);
        cookie.second = CZELRand::Rand();
        const unsigned short sequence = NextFlapSequence();
        SendPacket(form.rendezvous
                       ? Wex::SendRendezvousMessage(sequence, MessageRequestId, cookie, item.Name, chunk, form.unicode)
                       : Wex::SendPlainMessage(sequence, MessageRequestId, cookie, item.Name, chunk, form.unicode));
    }
}

int WexAccount::SetTyping(int contactId, bool stopped)
{
    if (CurrentStatus() <= AccountStatus::Connecting) return 0;
    Wex::ServerListItem* item = ServerList.FindItemByContact(contactId);
    if (!item || item->Status <= AccountStatus::Connecting) return 0;
    const unsigned now = unsigned(time(nullptr));
    if (!Wex::TypingNoticeDue(*item, now, stopped)) return 0;
    item->LastTypingSent = stopped ? 0 : now;
    const Wex::CapabilityTable& table = WexPlugin::Shared().Capabilities();
    if (!Wex::HasCapability(table, Wex::ParseCapabilities(table, item->UserInfo), CZELString(L"caTyping"), 16)) return 0;
    SendPacket(Wex::TypingNotification(NextFlapSequence(), CZELRand::Rand(), item->Name,
                                       stopped ? Wex::TypingFinished : Wex::TypingBegun));
    return 0;
}

void WexAccount::HandleMessageFamily(unsigned short subtype, const unsigned char* frame, size_t size)
{
    switch (subtype) {
    case 0x07: HandleIncomingMessage(frame, size); break;
    case 0x0B: HandleClientAnswer(frame, size); break;
    case 0x14: HandleTypingNotice(frame, size); break;
    default: break;
    }
}

void WexAccount::HandleIncomingMessage(const unsigned char* frame, size_t size)
{
    Wex::IncomingMessage message;
    if (!message.Unpack(frame, size)) return;
    CZELString text = message.GetText();
    if (text.IsEmpty()) {
        AnswerXStatusQuery(frame, size);
        return;
    }
    int flags = 0;
    if (message.HasTlv6()) {
        text = Wex::OfflineMessageText(WexPlugin::Shared().Text(OfflineMessageTextId), time_t(message.GetTime()), text);
        flags = 1;
    }
    DeliverIncomingMessage(message.sender, flags, -1, text, CZELString());
    // Found again: delivering may have added the sender to the list.
    if (Wex::IsVisibleTo(ServerList, ServerList.FindBuddy(message.sender), PrivacyMode)) {
        Wex::MessageCookie cookie;
        cookie.first = message.cookie1;
        cookie.second = message.cookie2;
        SendPacket(Wex::RendezvousMessageAck(NextFlapSequence(), AnswerRequestId, cookie, message.sender, 0));
    }
}

void WexAccount::HandleClientAnswer(const unsigned char* frame, size_t size)
{
    Wex::XStatusReply answer;
    if (!answer.Unpack(frame, size)) return;
    if (answer.kind == Wex::XStatusReply::KindPlugin4) {
        const Wex::ServerListItem* item = ServerList.FindBuddy(answer.sender);
        IContactListData* data = ContactList();
        if (item && item->ContactId && data) data->PostMessageAck(item->ContactId, int(answer.cookie1));
    } else if (answer.kind == Wex::XStatusReply::KindNotice) {
        DeliverXStatusReply(answer.sender, answer.title, answer.description);
    }
}

void WexAccount::HandleTypingNotice(const unsigned char* frame, size_t size)
{
    Wex::TypingNotice notice;
    // A state the network does not define says nothing of the contact: it is let go.
    if (!notice.Unpack(frame, size) || !notice.known) return;
    Wex::ServerListItem* item = ServerList.FindBuddy(notice.uin);
    IContactListData* data = ContactList();
    if (!item || !item->ContactId || !data || !Settings.SendTypingNotification) return;
    const bool stopped = notice.state == Wex::TypingFinished;
    item->IsTyping = stopped ? 0 : 1;
    data->PostTypingNotify(item->ContactId, stopped ? 1 : 0);
}

void WexAccount::DeliverOfflineMessage(const Wex::OfflineMessage& message)
{
    if (message.text.IsEmpty()) return;
    const time_t sent = Wex::UniversalTimeOf(message.year, message.month, message.day, message.hour, message.minute);
    const CZELString shown =
        Wex::OfflineMessageText(WexPlugin::Shared().Text(OfflineMessageTextId), sent, message.text);
    DeliverIncomingMessage(message.SenderText(), 1, -1, shown, CZELString());
}

void WexAccount::DeliverIncomingMessage(const CZELString& uin, int flags, int kind, const CZELString& text,
                                        const CZELString& secondText)
{
    if (text.IsEmpty() && secondText.IsEmpty()) return;
    IContactListData* data = ContactList();
    if (!data) return;
    MessageRecord record;
    record.messageNumber = int(CZELRand::Rand());
    record.flags = flags;
    record.kind = kind;
    record.text = text;
    record.secondText = secondText;

    Wex::ServerListItem* item = ServerList.FindBuddy(uin);
    if (item && item->ContactId && !data->IsTempContact(item->ContactId)) {
        record.contactId = item->ContactId;
        data->PostIncomingMessage(item->ContactId, record);
        return;
    }
    // A sender who is not in the list: asked by the anti-spam filter, when such messages are taken.
    if (!data->GetAntispamMsgsFromNIL()) return;
    if (!item || !item->ContactId) {
        const int temporary = data->FindOrAddContact(AccountId(), uin);
        if (!temporary) return;
        if (!item) {
            // Kept before the filter runs: its question goes out to this contact through the item.
            Wex::ServerListItem local(temporary);
            local.Name = uin;
            item = &ServerList.Append(local);
        }
        item->ContactId = temporary;
    }
    record.contactId = item->ContactId;
    if (!data->FilterIncomingMessage(item->ContactId, record)) return;
    // Let through: the sender joins the list at the top level.
    const int temporary = item->ContactId;
    const int contactId = CreateListContact(0, uin, uin);
    if (!contactId) return;
    // Found again: the list may change while the contact is created.
    item = ServerList.FindItemByContact(temporary);
    if (item) item->ContactId = contactId;
    data->RemoveTempContact(temporary);
    record.contactId = contactId;
    data->PostIncomingMessage(contactId, record);
}
