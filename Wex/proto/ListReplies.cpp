#include "Wex/proto/ListReplies.h"

#include "Wex/proto/WireText.h"

#include <utility>

namespace Wex {

int ListRoster::Unpack(const unsigned char* frame, size_t size)
{
    *this = ListRoster();
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac);
    version = reader.U8();
    unsigned count = reader.U16();
    for (unsigned i = 0; i < count && !reader.Failed(); ++i) {
        ListItem item;
        item.name = ReadStr16(reader, CodePageUtf8);
        item.groupId = reader.U16();
        item.itemId = reader.U16();
        item.itemType = reader.U16();
        size_t length = reader.U16();
        const unsigned char* attributes = reader.Bytes(length);
        if (reader.Failed()) break;
        item.attributes.Parse(attributes, length);
        items.push_back(std::move(item));
    }
    last = !(snac.flags & SnacFlagMoreFollow);
    if (last) lastChange = reader.U32();
    if (reader.Failed()) return Reject(reader);
    return Accept(reader);
}

int ListAck::Unpack(const unsigned char* frame, size_t size)
{
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac);
    result = reader.U16();
    if (reader.Failed()) return Reject(reader);
    return Accept(reader);
}

int AuthRequestNotice::Unpack(const unsigned char* frame, size_t size)
{
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac);
    uin = ReadStr8(reader, CodePageUtf8);
    text = ReadStr16(reader, CodePageUtf8);
    if (reader.Failed()) return Reject(reader);
    return Accept(reader);
}

int AuthReplyNotice::Unpack(const unsigned char* frame, size_t size)
{
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac);
    uin = ReadStr8(reader, CodePageUtf8);
    granted = reader.U8() == 1;
    reason = ReadStr16(reader, CodePageUtf8);
    if (reader.Failed()) return Reject(reader);
    return Accept(reader);
}

} // namespace Wex
