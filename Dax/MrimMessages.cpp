// Messages: the user's texts, typing notices, wake-up calls and authorisation requests out; live
// messages, receipts, authorisation grants and offline messages in.
#include "Dax/MrimAccount.h"

#include "Dax/DaxGuids.h"
#include "Dax/DaxShared.h"
#include "Dax/proto/BuiltinTexts.h"
#include "Dax/proto/MrimCommands.h"
#include "Dax/proto/MrimReplies.h"
#include "Dax/proto/OfflineMessage.h"
#include "Dax/proto/Smileys.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "ZELCommon/ZELRand.h"

namespace {

enum : int { RecordNormal = 0, RecordOffline = 1, RecordService = 2 };
enum : int { KindNone = -1, KindAuthRequest = 20, KindAuthAccept = 24, KindWakeUp = 26 };

} // namespace

int MrimAccount::SendInstantMessage(MessageRecord* message)
{
    if (message && message->flags == 0) {
        MrimContact* contact = contactList.FindByContactId(message->contactId);
        if (contact) {
            const unsigned sequence = unsigned(message->messageNumber);
            SendPacket(Mrim::CmdMessage, Mrim::TextMessageBody(contact->email, message->text), sequence);
            if (status >= 2 && sequence) sentMessages[sequence] = message->contactId;
        }
    }
    delete message;
    return 0;
}

int MrimAccount::SetTyping(int contactId, bool stopped)
{
    if (stopped) return 0;
    MrimContact* contact = contactList.FindByContactId(contactId);
    if (contact) SendPacket(Mrim::CmdMessage, Mrim::TypingNoticeBody(contact->email));
    return 0;
}

void MrimAccount::SendWakeUp(int contactId)
{
    MrimContact* contact = contactList.FindByContactId(contactId);
    if (contact && status >= 2) SendPacket(Mrim::CmdMessage, Mrim::WakeUpBody(contact->email));
}

void MrimAccount::SendAuthRequest(int contactId, const CZELString& reason)
{
    MrimContact* contact = contactList.FindByContactId(contactId);
    if (!contact || status < 2) return;
    SendPacket(Mrim::CmdMessage, Mrim::AuthRequestBody(contact->email, reason));
}

void MrimAccount::AnswerAuthorization(int contactId, int action)
{
    MrimContact* contact = contactList.FindByContactId(contactId);
    if (!contact || status < 2) return;
    if (action != ActionIgnore && !contact->authAsked) return;
    contact->authAsked = false;
    if (action == ActionAccept) SendPacket(Mrim::CmdAuthorize, Mrim::AuthorizeBody(contact->email));
    else if (action == ActionDecline)
        SendPacket(Mrim::CmdMessage,
                   Mrim::TextMessageBody(contact->email, DaxShared::Text(Mrim::TextAuthorizationDenied)));
}

void MrimAccount::OnIncomingMessage(const Mrim::Packet& packet)
{
    Mrim::IncomingMessage message;
    if (!Mrim::ParseIncomingMessage(packet.body, packet.length, message)) return;
    bool text = FormatIncomingMessage(message.sender, message.flags, message.text, message.textLength, nullptr);
    if (text && !(message.flags & Mrim::MessageNoReceipt))
        SendPacket(Mrim::CmdMessageReceived, Mrim::MessageReceivedBody(message.sender, message.id));
}

bool MrimAccount::FormatIncomingMessage(const CZELString& sender, unsigned flags, const unsigned char* bytes,
                                        size_t length, const CZELString* date)
{
    CZELString text;
    int kind = KindNone;
    bool textMessage = false;
    if (flags & Mrim::MessageRtf) {
        text = Mrim::Decode(bytes, length, Mrim::TextEncoding(flags));
        textMessage = true;
        contactList.OnTypingStopped(sender);
    } else if (flags & Mrim::MessageAuthorize) {
        Mrim::Bytes block = Mrim::FromBase64(bytes, length);
        if (!block.empty()) Mrim::ParseAuthBlock(block, flags, text);
        kind = KindAuthRequest;
        if (MrimContact* contact = contactList.FindByEmail(sender)) contact->authAsked = true;
    } else if ((flags & Mrim::MessageTyping) && !(flags & Mrim::MessageText)) {
        // A typing notice has a zero low byte too: it is told apart first, or every notice would
        // show as a message of one space.
        contactList.OnTypingNotice(sender);
    } else if ((flags & 0xFF) == 0 || (flags & Mrim::MessageText)) {
        text = Mrim::Decode(bytes, length, Mrim::TextEncoding(flags));
        textMessage = true;
        contactList.OnTypingStopped(sender);
    }
    int recordFlags = RecordNormal;
    if (flags & Mrim::MessageService) recordFlags = RecordService;
    if (flags & Mrim::MessageWakeUp) {
        kind = KindWakeUp;
        text = DaxShared::Text(Mrim::TextWakeYou);
        recordFlags = RecordService;
    }
    if (flags & Mrim::MessageCartoon) text = Mrim::ExpandCartoonMessage(text);
    if (!text.IsEmpty()) text = Mrim::ReplaceSmileyTags(text);
    if (date) {
        text = CZELString(L"Offline message (") + *date + L")\r\n" + text;
        recordFlags = RecordOffline;
    }
    DeliverIncomingMessage(sender, recordFlags, kind, text);
    return textMessage;
}

void MrimAccount::DeliverIncomingMessage(const CZELString& sender, int flags, int kind, const CZELString& text)
{
    IContactListData* data = Data();
    if (text.IsEmpty() || !data) return;
    MessageRecord record;
    record.messageNumber = int(CZELRand::Rand());
    record.flags = flags;
    record.kind = kind < 0 ? -1 : DaxShared::Image(kind);
    record.text = text;
    MrimContact* contact = contactList.FindByEmail(sender);
    int contactId = contact ? contact->clContactId : 0;
    if (!contactId) {
        if (!data->GetAntispamMsgsFromNIL()) return;
        contactId = data->FindOrAddContact(accountId, sender);
    }
    if (contactId) data->PostIncomingMessage(contactId, record);
}

void MrimAccount::OnMessageStatus(const Mrim::Packet& packet)
{
    unsigned value = 1;
    if (!Mrim::ReadLeadingU32(packet.body, packet.length, value) || value != 0) return;
    auto sent = sentMessages.find(packet.header.sequence);
    if (sent == sentMessages.end()) return;
    IContactListData* data = Data();
    if (data) data->PostMessageAck(sent->second, int(packet.header.sequence));
    sentMessages.erase(sent);
}

void MrimAccount::OnAuthorizeAck(const Mrim::Packet& packet)
{
    CZELString address;
    if (!Mrim::ParseAddress(packet.body, packet.length, address)) return;
    MrimContact* contact = contactList.FindByEmail(address);
    if (!contact || !(contact->serverFlags & Mrim::ServerNotAuthorised)) return;
    contact->serverFlags &= ~unsigned(Mrim::ServerNotAuthorised);
    IContactListData* data = Data();
    if (data && contact->clContactId) {
        char zero = 0;
        data->SetPropertyByte(contact->clContactId, CZELString(L"Auth req"), &zero);
        contactList.NotifyStatus(contact->clContactId);
    }
    DeliverIncomingMessage(address, RecordNormal, KindAuthAccept,
                           contact->nickname + L"\n" + DaxShared::Text(Mrim::TextAcceptedAuthorization));
}

void MrimAccount::OnOfflineMessage(const Mrim::Packet& packet)
{
    Mrim::OfflineMessagePacket offline;
    if (!Mrim::ParseOfflineMessagePacket(packet.body, packet.length, offline)) return;
    Mrim::OfflineMessage message = Mrim::ParseOfflineMessage(offline.text);
    if (message.readable) {
        FormatIncomingMessage(message.from, message.flags, message.body.data(), message.body.size(), &message.date);
    } else if (!message.from.IsEmpty()) {
        // Deleted on the server below, so it is shown as it came rather than lost.
        DeliverIncomingMessage(message.from, RecordOffline, KindNone,
                               CZELString(L"Offline message (") + message.date + L")\r\n" + offline.text);
    } else if (!offline.text.IsEmpty()) {
        PostWarning(CZELString(L"Offline message\r\n") + offline.text);
    }
    SendPacket(Mrim::CmdDeleteOfflineMessage, Mrim::Bytes(offline.key, offline.key + 8));
}
