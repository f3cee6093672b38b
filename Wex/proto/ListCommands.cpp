#include "Wex/proto/ListCommands.h"

#include "Wex/proto/PacketWriter.h"
#include "Wex/proto/WireText.h"

namespace Wex {

namespace {

Bytes ListEdit(unsigned short sequence, unsigned short subtype, unsigned requestId, const ListItem& item)
{
    Bytes name = NarrowBytes(item.name, CodePageUtf8);
    Bytes attributes = item.attributes.Serialize();
    PacketWriter writer(sequence, FamilyList, subtype, requestId, PacketWriter::Str16Size(name) + 8 + attributes.size());
    writer.Str16(name);
    writer.U16(item.groupId);
    writer.U16(item.itemId);
    writer.U16(item.itemType);
    writer.Str16(attributes);
    return writer.Finish();
}

} // namespace

Bytes ListRightsRequest(unsigned short sequence)
{
    return TlvSnac(sequence, FamilyList, 0x02, 2, 0x000B, Bytes{0x00, 0x0F});
}

Bytes ListRequest(unsigned short sequence)
{
    return EmptySnac(sequence, FamilyList, 0x04, 0x10004);
}

Bytes ListActivate(unsigned short sequence)
{
    return EmptySnac(sequence, FamilyList, 0x07, 7);
}

Bytes ListAddItem(unsigned short sequence, unsigned requestId, const ListItem& item)
{
    return ListEdit(sequence, 0x08, requestId, item);
}

Bytes ListUpdateItem(unsigned short sequence, unsigned requestId, const ListItem& item)
{
    return ListEdit(sequence, 0x09, requestId, item);
}

Bytes ListDeleteItem(unsigned short sequence, unsigned requestId, const ListItem& item)
{
    return ListEdit(sequence, 0x0A, requestId, item);
}

Bytes ListEditBegin(unsigned short sequence, unsigned requestId)
{
    return EmptySnac(sequence, FamilyList, 0x11, requestId);
}

Bytes ListEditEnd(unsigned short sequence, unsigned requestId)
{
    return EmptySnac(sequence, FamilyList, 0x12, requestId);
}

Bytes AuthRequest(unsigned short sequence, unsigned requestId, const CZELString& uin, const CZELString& text)
{
    Bytes number = NarrowBytes(uin, CodePageUtf8);
    Bytes request = NarrowBytes(text, CodePageUtf8);
    PacketWriter writer(sequence, FamilyList, 0x18, requestId,
                        PacketWriter::Str8Size(number) + PacketWriter::Str16Size(request) + 2);
    writer.Str8(number);
    writer.Str16(request);
    writer.U16(0);
    return writer.Finish();
}

Bytes AuthReply(unsigned short sequence, unsigned requestId, const CZELString& uin, bool accept)
{
    Bytes number = NarrowBytes(uin, CodePageUtf8);
    PacketWriter writer(sequence, FamilyList, 0x1A, requestId, PacketWriter::Str8Size(number) + 3);
    writer.Str8(number);
    writer.U8(accept ? 1 : 0);
    writer.U16(0);
    return writer.Finish();
}

} // namespace Wex
