#include "Dax/proto/MrimReplies.h"

#include "Dax/proto/MrimRequests.h"

#include <cstring>

namespace Mrim {

bool ReadLeadingU32(const unsigned char* body, size_t length, unsigned& value)
{
    ByteReader reader(body, length);
    unsigned read = reader.U32LE();
    if (reader.Failed()) return false;
    value = read;
    return true;
}

bool ParseLoginRejected(const unsigned char* body, size_t length, CZELString& reason)
{
    ByteReader reader(body, length);
    CZELString text = ReadLps(reader, Encoding::Utf8);
    if (reader.Failed()) return false;
    reason = text;
    return true;
}

std::vector<std::pair<CZELString, CZELString>> ParseUserInfo(const unsigned char* body, size_t length)
{
    std::vector<std::pair<CZELString, CZELString>> pairs;
    ByteReader reader(body, length);
    while (reader.Remaining() > 0) {
        CZELString key = ReadLps(reader, Encoding::Utf8);
        CZELString value = ReadLps(reader, Encoding::Utf16LE);
        if (reader.Failed()) break;
        pairs.emplace_back(key, value);
    }
    return pairs;
}

bool ParseNewMail(const unsigned char* body, size_t length, NewMail& out)
{
    ByteReader reader(body, length);
    NewMail mail;
    mail.count = reader.U32LE();
    mail.sender = ReadLps(reader, Encoding::Cp1251);
    mail.subject = ReadLps(reader, Encoding::Cp1251);
    if (reader.Failed()) return false;
    out = mail;
    return true;
}

bool ParseWebSessionKey(const unsigned char* body, size_t length, WebSessionKey& out)
{
    ByteReader reader(body, length);
    WebSessionKey key;
    key.status = reader.U32LE();
    if (reader.Failed()) return false;
    if (key.status == 1) {
        key.key = ReadLps(reader, Encoding::Utf8);
        if (reader.Failed()) return false;
    }
    out = key;
    return true;
}

bool ParseIncomingMessage(const unsigned char* body, size_t length, IncomingMessage& out)
{
    ByteReader reader(body, length);
    IncomingMessage message;
    message.id = reader.U32LE();
    message.flags = reader.U32LE();
    message.sender = ReadLps(reader, Encoding::Utf8);
    ReadLps(reader, message.text, message.textLength);
    if (reader.Failed()) return false;
    out = message;
    return true;
}

Encoding TextEncoding(unsigned flags)
{
    if ((flags & Message1251) || !(flags & MessageUtf16)) return Encoding::Cp1251;
    return Encoding::Utf16LE;
}

bool ParseAuthBlock(const Bytes& block, unsigned flags, CZELString& text)
{
    ByteReader reader(block.data(), block.size());
    unsigned count = reader.U32LE();
    if (reader.Failed() || count < 2) return false;
    const unsigned char* bytes = nullptr;
    size_t length = 0;
    ReadLps(reader, bytes, length);
    ReadLps(reader, bytes, length);
    if (reader.Failed()) return false;
    text = Decode(bytes, length, TextEncoding(flags));
    return true;
}

bool ParseAddress(const unsigned char* body, size_t length, CZELString& address)
{
    ByteReader reader(body, length);
    CZELString text = ReadLps(reader, Encoding::Utf8);
    if (reader.Failed()) return false;
    address = text;
    return true;
}

bool ParseOfflineMessagePacket(const unsigned char* body, size_t length, OfflineMessagePacket& out)
{
    if (!body || length < 8) return false;
    memcpy(out.key, body, 8);
    out.text = length > 12 ? Decode(body + 12, length - 12, Encoding::Cp1251) : CZELString();
    return true;
}

bool ParseUserStatus(const unsigned char* body, size_t length, UserStatus& out)
{
    ByteReader reader(body, length);
    UserStatus status;
    status.status = reader.U32LE();
    status.xstatusId = ReadLps(reader, Encoding::Utf8);
    status.title = ReadLps(reader, Encoding::Utf16LE);
    status.text = ReadLps(reader, Encoding::Utf16LE);
    status.email = ReadLps(reader, Encoding::Utf8);
    if (reader.Failed()) return false;
    reader.U32LE();
    CZELString agent = ReadLps(reader, Encoding::Utf8);
    if (!reader.Failed()) status.userAgent = agent;
    out = status;
    return true;
}

bool ParseContactAck(const unsigned char* body, size_t length, ContactAck& out)
{
    ByteReader reader(body, length);
    ContactAck ack;
    ack.status = reader.U32LE();
    if (reader.Failed()) return false;
    unsigned id = reader.U32LE();
    ack.id = reader.Failed() ? 0 : id;
    out = ack;
    return true;
}

} // namespace Mrim
