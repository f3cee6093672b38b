#include "Wex/proto/UserInfo.h"

#include "Wex/proto/WireText.h"

namespace Wex {

bool StatusCodeOf(const TlvChain& items, unsigned short& status)
{
    const Tlv* item = items.Find(0x0006);
    if (!item) return false;
    ByteReader value = item->Reader();
    value.Skip(2);
    unsigned short code = value.U16LE();
    if (value.Failed()) return false;
    status = code;
    return true;
}

int UserOnlineInfo::Unpack(const unsigned char* frame, size_t size)
{
    items = TlvChain();
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac);
    name = NormaliseName(ReadStr8(reader, CodePageUtf8));
    warningLevel = reader.U16();
    unsigned count = reader.U16();
    if (reader.Failed()) return Reject(reader);
    items.ParseFrom(reader, count);
    return Accept(reader);
}

unsigned short UserOnlineInfo::GetStatus() const
{
    unsigned short status = 0;
    if (TryGetStatus(status)) return status;
    const Tlv* userClass = items.Find(0x0001);
    if (!userClass) return 0;
    ByteReader value = userClass->Reader();
    unsigned short flags = value.U16LE();
    return !value.Failed() && (flags & 0x2000) ? 0x0100 : 0;
}

int SelfInfoReply::Unpack(const unsigned char* frame, size_t size)
{
    items = TlvChain();
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac, FamilyService, 0x0F);
    uin = ReadStr8(reader, CodePageUtf8);
    reader.Skip(4);
    if (reader.Failed()) return Reject(reader);
    items.ParseFrom(reader, ~0u);
    return Accept(reader);
}

} // namespace Wex
