#include "Wex/proto/MessageCommands.h"

#include "Wex/proto/Capabilities.h"
#include "Wex/proto/PacketWriter.h"
#include "Wex/proto/Rendezvous.h"
#include "Wex/proto/WireText.h"

#include <cstring>
#include <cwchar>
#include <string>

namespace Wex {

namespace {

enum {
    ChannelPlain = 1,
    ChannelRendezvous = 2,
    RendezvousHeadSize = 45,  // both headers of the rendezvous data, up to the message type
    RendezvousFixedSize = 40, // TLV 0x0005 around the data: kind, cookie, capability, three TLVs' heads
    ReasonRendezvous = 3,
};

const char kPluginName[] = "Script Plug-in: Remote Notification Arrive";
const unsigned char kPluginTail[15] = {0x00, 0x00, 0x01};
const unsigned char kTextFragmentHead[6] = {0x05, 0x01, 0x00, 0x02, 0x01, 0x06};

const wchar_t kQueryHead[] =
    L"<N><QUERY>&lt;Q&gt;&lt;PluginID&gt;srvMng&lt;/PluginID&gt;&lt;/Q&gt;</QUERY><NOTIFY>&lt;srv&gt;&lt;id&gt;"
    L"cAwaySrv&lt;/id&gt;&lt;req&gt;&lt;id&gt;AwayStat&lt;/id&gt;&lt;trans&gt;";
const wchar_t kQueryMiddle[] = L"&lt;/trans&gt;&lt;senderId&gt;";
const wchar_t kQueryTail[] = L"&lt;/senderId&gt;&lt;/req&gt;&lt;/srv&gt;</NOTIFY></N>\r\n";

std::wstring Units(const CZELString& text)
{
    return text.IsEmpty() ? std::wstring() : std::wstring(text.GetBuffer(), size_t(text.GetLength()));
}

std::wstring Decimal(unsigned value)
{
    return std::to_wstring(value);
}

Bytes Utf8(const std::wstring& text)
{
    return NarrowBytes(CZELString(text.c_str(), int(text.size())), CodePageUtf8);
}

// UTF-16 units high byte first; the paragraph separator becomes a line feed.
Bytes Utf16BE(const CZELString& text)
{
    Bytes out;
    out.reserve(size_t(text.GetLength()) * 2);
    for (int i = 0; i < text.GetLength(); ++i) {
        wchar_t unit = text.GetBuffer()[i];
        if (unit == 0x2029) unit = 0x000A;
        out.push_back((unsigned char)(unit >> 8));
        out.push_back((unsigned char)unit);
    }
    return out;
}

// Both headers of the rendezvous data; s is the low half of the second cookie word.
void RendezvousHead(PacketWriter& writer, unsigned short s)
{
    writer.U16LE(27);
    writer.U16LE(10);
    writer.Raw(Bytes(16, 0));
    writer.U16LE(0);
    writer.U32LE(3);
    writer.U8(0);
    writer.U16LE(s);
    writer.U16LE(14);
    writer.U16LE(s);
    writer.Raw(Bytes(12, 0));
}

// The channel-2 frame around dataLength bytes of rendezvous data written by data.
template <typename WriteData>
Bytes RendezvousFrame(unsigned short sequence, unsigned requestId, const MessageCookie& cookie, const CZELString& uin,
                      size_t dataLength, WriteData data)
{
    const Bytes name = NarrowBytes(uin, CodePage1251);
    const size_t extension = dataLength + RendezvousFixedSize;
    PacketWriter writer(sequence, FamilyMessaging, 0x06, requestId,
                        10 + PacketWriter::Str8Size(name) + PacketWriter::TlvSize(extension) + PacketWriter::TlvSize(0));
    writer.U32(cookie.first);
    writer.U32(cookie.second);
    writer.U16(ChannelRendezvous);
    writer.Str8(name);
    if (extension > Tlv::MaxLength) return Bytes();
    writer.U16(0x0005);
    writer.U16((unsigned short)extension);
    writer.U16(0);
    writer.U32(cookie.first);
    writer.U32(cookie.second);
    writer.Raw(caWEXRelay.data(), caWEXRelay.size());
    writer.TlvItem(0x000A, Bytes{0x00, 0x01});
    writer.TlvItem(0x000F, Bytes());
    writer.U16(RendezvousDataType);
    writer.U16((unsigned short)dataLength);
    RendezvousHead(writer, (unsigned short)cookie.second);
    data(writer);
    writer.TlvItem(0x0003, Bytes());
    return writer.Finish();
}

// The 54 bytes after the reason of an acknowledgement and an x-status answer.
void AnswerHead(PacketWriter& writer, unsigned short messageSequence, unsigned char messageType)
{
    writer.Raw(Bytes{0x1B, 0x00, 0x09, 0x00});
    writer.Raw(Bytes(16, 0));
    writer.Raw(Bytes{0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00});
    writer.U16(messageSequence);
    writer.Raw(Bytes{0x0E, 0x00});
    writer.U16(messageSequence);
    writer.Raw(Bytes(12, 0));
    writer.Raw(Bytes{messageType, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00});
}

} // namespace

Bytes SendPlainMessage(unsigned short sequence, unsigned requestId, const MessageCookie& cookie, const CZELString& uin,
                       const CZELString& text, bool unicode)
{
    const Bytes name = NarrowBytes(uin, CodePage1251);
    // Measured on the bytes sent: a surrogate pair may become one byte in code page 1251.
    const Bytes body = unicode ? Utf16BE(text) : NarrowBytes(text, CodePage1251);
    const size_t fragments = sizeof kTextFragmentHead + 8 + body.size();
    PacketWriter writer(sequence, FamilyMessaging, 0x06, requestId,
                        10 + PacketWriter::Str8Size(name) + PacketWriter::TlvSize(fragments) + 2 * Tlv::HeaderSize);
    writer.U32(cookie.first);
    writer.U32(cookie.second);
    writer.U16(ChannelPlain);
    writer.Str8(name);
    if (fragments > Tlv::MaxLength) return Bytes();
    writer.U16(0x0002);
    writer.U16((unsigned short)fragments);
    writer.Raw(kTextFragmentHead, sizeof kTextFragmentHead);
    writer.Raw(Bytes{0x01, 0x01});
    writer.U16((unsigned short)(body.size() + 4));
    writer.U16(unicode ? 2 : 0);
    writer.U16(0);
    writer.Raw(body);
    writer.TlvItem(0x0003, Bytes());
    writer.TlvItem(0x0006, Bytes());
    return writer.Finish();
}

Bytes SendRendezvousMessage(unsigned short sequence, unsigned requestId, const MessageCookie& cookie,
                            const CZELString& uin, const CZELString& text, bool utf8)
{
    Bytes body = NarrowBytes(text, utf8 ? CodePageUtf8 : CodePage1251);
    body.push_back(0);
    const size_t capability = utf8 ? 4 + strlen(Utf8CapabilityText) : 0;
    const size_t dataLength = RendezvousHeadSize + 8 + body.size() + 8 + capability;
    if (body.size() > 0xFFFF) return Bytes();
    return RendezvousFrame(sequence, requestId, cookie, uin, dataLength, [&](PacketWriter& writer) {
        writer.U8(MessageTypePlainText);
        writer.U8(0);
        writer.U16LE(0);
        writer.U16LE(4);
        writer.U16LE((unsigned short)body.size());
        writer.Raw(body);
        writer.U32LE(0);
        writer.U32LE(0xFFFFFF);
        if (utf8) {
            writer.U32LE(unsigned(strlen(Utf8CapabilityText)));
            writer.Raw(reinterpret_cast<const unsigned char*>(Utf8CapabilityText), strlen(Utf8CapabilityText));
        }
    });
}

Bytes SendXStatusQuery(unsigned short sequence, unsigned requestId, const MessageCookie& cookie, const CZELString& uin,
                       int query, const CZELString& ownUin)
{
    const Bytes notice =
        Utf8(kQueryHead + Decimal(unsigned(query)) + kQueryMiddle + Units(ownUin) + kQueryTail);
    const size_t dataLength = RendezvousHeadSize + 9 + PluginHeaderSize + strlen(kPluginName) + sizeof kPluginTail + 8 +
                              notice.size();
    return RendezvousFrame(sequence, requestId, cookie, uin, dataLength, [&](PacketWriter& writer) {
        writer.U8(MessageTypePlugin);
        writer.U8(0);
        writer.U16LE(0);
        writer.U16LE(1);
        writer.U16LE(1);
        writer.U8(0);
        writer.Raw(XStatusPluginHeader, PluginHeaderSize);
        writer.Raw(reinterpret_cast<const unsigned char*>(kPluginName), strlen(kPluginName));
        writer.Raw(kPluginTail, sizeof kPluginTail);
        writer.U32LE(unsigned(notice.size() + 4));
        writer.U32LE(unsigned(notice.size()));
        writer.Raw(notice);
    });
}

Bytes RendezvousMessageAck(unsigned short sequence, unsigned requestId, const MessageCookie& cookie,
                           const CZELString& uin, unsigned short messageSequence)
{
    const Bytes name = NarrowBytes(uin, CodePage1251);
    PacketWriter writer(sequence, FamilyMessaging, 0x0B, requestId, 10 + PacketWriter::Str8Size(name) + 2 + 54 + 8);
    writer.U32(cookie.first);
    writer.U32(cookie.second);
    writer.U16(ChannelRendezvous);
    writer.Str8(name);
    writer.U16(ReasonRendezvous);
    AnswerHead(writer, messageSequence, MessageTypePlainText);
    writer.U32(0);
    writer.U32(0xFFFFFF);
    return writer.Finish();
}

CZELString EscapeXml(const CZELString& text)
{
    std::wstring out;
    for (wchar_t unit : Units(text)) {
        switch (unit) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"': out += L"&quot;"; break;
        case L'\'': out += L"&apos;"; break;
        default: out += unit; break;
        }
    }
    return CZELString(out.c_str(), int(out.size()));
}

CZELString UnescapeXml(const CZELString& text)
{
    static const struct {
        const wchar_t* entity;
        wchar_t unit;
    } kEntities[] = {{L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&apos;", L'\''}};
    const std::wstring in = Units(text);
    std::wstring out;
    out.reserve(in.size());
    for (size_t at = 0; at < in.size();) {
        bool replaced = false;
        if (in[at] == L'&') {
            for (const auto& entity : kEntities) {
                const size_t length = wcslen(entity.entity);
                if (in.compare(at, length, entity.entity) == 0) {
                    out += entity.unit;
                    at += length;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += in[at++];
    }
    return CZELString(out.c_str(), int(out.size()));
}

CZELString XStatusNoticeText(const CZELString& carried)
{
    return UnescapeXml(UnescapeXml(carried));
}

CZELString XStatusResponseText(const CZELString& ownUin, int index, const CZELString& title,
                               const CZELString& description)
{
    // The answer is itself escaped once inside the notification: the user's own texts are escaped
    // for the inner XML first, then like the markup around them.
    const std::wstring text =
        std::wstring(L"<NR><RES>&lt;ret event='OnRemoteNotification'&gt;&lt;srv&gt;&lt;id&gt;") +
        L"cAwaySrv&lt;/id&gt;&lt;val srv_id='cAwaySrv'&gt;&lt;Root&gt;&lt;" +
        L"CASXtraSetAwayMessage&gt;&lt;/CASXtraSetAwayMessage&gt;&lt;uin&gt;" + Units(ownUin) +
        L"&lt;/uin&gt;&lt;index&gt;" + Decimal(unsigned(index)) + L"&lt;/index&gt;&lt;title&gt;" +
        Units(EscapeXml(EscapeXml(title))) + L"&lt;/title&gt;&lt;desc&gt;" + Units(EscapeXml(EscapeXml(description))) +
        L"&lt;/desc&gt;&lt;/Root&gt;" + L"\r\n&lt;/val&gt;&lt;/srv&gt;&lt;srv&gt;&lt;id&gt;" +
        L"cRandomizerSrv&lt;/id&gt;&lt;val srv_id='cRandomizerSrv'&gt;undefined&lt;/val&gt;&lt;/" +
        L"srv&gt;&lt;/ret&gt;</RES></NR>\r\n";
    return CZELString(text.c_str(), int(text.size()));
}

Bytes XStatusResponse(unsigned short sequence, unsigned requestId, const MessageCookie& cookie, const CZELString& ownUin,
                      const CZELString& contactUin, int index, const CZELString& title,
                      const CZELString& description, unsigned short messageSequence)
{
    const Bytes name = NarrowBytes(contactUin, CodePage1251);
    const Bytes notice = Utf8(Units(XStatusResponseText(ownUin, index, title, description)));
    PacketWriter writer(sequence, FamilyMessaging, 0x0B, requestId,
                        10 + PacketWriter::Str8Size(name) + 2 + 54 + PluginHeaderSize + strlen(kPluginName) +
                            sizeof kPluginTail + 8 + notice.size());
    writer.U32(cookie.first);
    writer.U32(cookie.second);
    writer.U16(ChannelRendezvous);
    writer.Str8(name);
    writer.U16(ReasonRendezvous);
    AnswerHead(writer, messageSequence, MessageTypePlugin);
    writer.Raw(XStatusPluginHeader, PluginHeaderSize);
    writer.Raw(reinterpret_cast<const unsigned char*>(kPluginName), strlen(kPluginName));
    writer.Raw(kPluginTail, sizeof kPluginTail);
    writer.U32LE(unsigned(notice.size() + 4));
    writer.U32LE(unsigned(notice.size()));
    writer.Raw(notice);
    return writer.Finish();
}

Bytes TypingNotification(unsigned short sequence, unsigned requestId, const CZELString& uin, TypingState state)
{
    const Bytes name = NarrowBytes(uin, CodePageUtf8);
    PacketWriter writer(sequence, FamilyMessaging, 0x14, requestId, 10 + PacketWriter::Str8Size(name) + 2);
    writer.U32(0);
    writer.U32(0);
    writer.U16(ChannelPlain);
    writer.Str8(name);
    writer.U16((unsigned short)(2 - int(state)));
    return writer.Finish();
}

int TypingNotice::Unpack(const unsigned char* frame, size_t size)
{
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac);
    reader.Skip(10);
    uin = NormaliseName(ReadStr8(reader, CodePageUtf8));
    wireState = reader.U16();
    if (reader.Failed()) return Reject(reader);
    known = wireState <= 2;
    if (known) state = TypingState(2 - wireState);
    return Accept(reader);
}

} // namespace Wex
