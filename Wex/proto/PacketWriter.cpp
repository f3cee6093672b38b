#include "Wex/proto/PacketWriter.h"

#include "ZELCommon/Packer.h"

#include <cassert>
#include <utility>

namespace Wex {

PacketWriter::PacketWriter(unsigned char channel, unsigned short sequence, size_t dataLength)
{
    if (dataLength > MaxFlapData) {
        failed = true;
        return;
    }
    bytes.resize(FlapHeaderSize + dataLength);
    FlapPacket header;
    header.channel = channel;
    header.sequence = sequence;
    header.length = (unsigned short)dataLength;
    written = size_t(PackFlap(header, bytes.data()));
}

PacketWriter::PacketWriter(unsigned short sequence, unsigned short family, unsigned short subtype,
                           unsigned requestId, size_t bodyLength)
{
    if (bodyLength > MaxFlapData - SnacHeaderSize) {
        failed = true;
        return;
    }
    bytes.resize(SnacBodyOffset + bodyLength);
    SnacPacket header;
    header.sequence = sequence;
    header.length = (unsigned short)(SnacHeaderSize + bodyLength);
    header.family = family;
    header.subtype = subtype;
    header.requestId = requestId;
    written = size_t(PackSnac(header, bytes.data()));
}

unsigned char* PacketWriter::Take(size_t length)
{
    // The builders size their frames from the same values they write: overrunning is our mistake.
    assert(failed || length <= bytes.size() - written);
    if (failed || length > bytes.size() - written) {
        failed = true;
        return nullptr;
    }
    unsigned char* p = bytes.data() + written;
    written += length;
    return p;
}

void PacketWriter::U8(unsigned char value)
{
    if (unsigned char* p = Take(1)) CPacker::Pack8(p, value);
}

void PacketWriter::U16(unsigned short value)
{
    if (unsigned char* p = Take(2)) CPacker::Pack16(p, value);
}

void PacketWriter::U32(unsigned value)
{
    if (unsigned char* p = Take(4)) CPacker::Pack32(p, value);
}

void PacketWriter::U16LE(unsigned short value)
{
    if (unsigned char* p = Take(2)) CPacker::Pack16LE(p, value);
}

void PacketWriter::U32LE(unsigned value)
{
    if (unsigned char* p = Take(4)) CPacker::Pack32LE(p, value);
}

void PacketWriter::Raw(const unsigned char* source, size_t length)
{
    if (length == 0) return;
    if (unsigned char* p = Take(length)) CPacker::PackBuffer(p, source, int(length));
}

void PacketWriter::Str8(const Bytes& text)
{
    if (text.size() > 0xFF) failed = true;
    U8((unsigned char)text.size());
    Raw(text);
}

void PacketWriter::Str16(const Bytes& text)
{
    if (text.size() > 0xFFFF) failed = true;
    U16((unsigned short)text.size());
    Raw(text);
}

void PacketWriter::TlvItem(unsigned short type, const Bytes& value)
{
    TlvItem(type, value.data(), value.size());
}

void PacketWriter::TlvItem(unsigned short type, const unsigned char* value, size_t length)
{
    if (length > Tlv::MaxLength) failed = true;
    U16(type);
    U16((unsigned short)length);
    Raw(value, length);
}

Bytes PacketWriter::Finish()
{
    assert(failed || written == bytes.size());
    if (failed || written != bytes.size()) return Bytes();
    return std::move(bytes);
}

Bytes EmptySnac(unsigned short sequence, unsigned short family, unsigned short subtype, unsigned requestId)
{
    PacketWriter writer(sequence, family, subtype, requestId, 0);
    return writer.Finish();
}

Bytes TlvSnac(unsigned short sequence, unsigned short family, unsigned short subtype, unsigned requestId,
              unsigned short type, const Bytes& value)
{
    PacketWriter writer(sequence, family, subtype, requestId, PacketWriter::TlvSize(value.size()));
    writer.TlvItem(type, value);
    return writer.Finish();
}

} // namespace Wex
