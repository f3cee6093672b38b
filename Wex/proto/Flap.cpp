#include "Wex/proto/Flap.h"

#include "ZELCommon/Packer.h"

namespace Wex {

namespace {

ByteReader FailedReader()
{
    ByteReader reader(nullptr, 0);
    reader.Skip(1);
    return reader;
}

// The frame's data from offset up to the end its header names; failed when that end is past size.
ByteReader FrameReader(const unsigned char* frame, size_t size, const FlapPacket& header, size_t offset)
{
    if (header.FrameSize() > size) return FailedReader();
    ByteReader reader(frame, header.FrameSize());
    reader.Skip(offset);
    return reader;
}

} // namespace

int UnpackFlap(const unsigned char* data, size_t size, FlapPacket& out)
{
    ByteReader reader(data, size);
    if (reader.U8() != FlapMarker) return 0;
    unsigned char channel = reader.U8();
    unsigned short sequence = reader.U16();
    unsigned short length = reader.U16();
    if (reader.Failed()) return 0;
    out.channel = channel;
    out.sequence = sequence;
    out.length = length;
    return FlapHeaderSize;
}

int PackFlap(const FlapPacket& header, unsigned char* out)
{
    CPacker::Pack8(out, FlapMarker);
    CPacker::Pack8(out + 1, header.channel);
    CPacker::Pack16(out + 2, header.sequence);
    CPacker::Pack16(out + 4, header.length);
    return FlapHeaderSize;
}

int UnpackSnac(const unsigned char* frame, size_t size, SnacPacket& out)
{
    FlapPacket flap;
    if (!UnpackFlap(frame, size, flap)) return 0;
    ByteReader reader = FrameReader(frame, size, flap, FlapHeaderSize);
    SnacPacket snac;
    static_cast<FlapPacket&>(snac) = flap;
    snac.family = reader.U16();
    snac.subtype = reader.U16();
    snac.flags = reader.U16();
    snac.requestId = reader.U32();
    if (snac.flags & SnacFlagExtraBlock) reader.Skip(reader.U16());
    if (reader.Failed()) return 0;
    out = snac;
    return int(reader.Offset());
}

int PackSnac(const SnacPacket& header, unsigned char* out)
{
    FlapPacket flap = header;
    flap.channel = ChannelSnac;
    PackFlap(flap, out);
    CPacker::Pack16(out + 6, header.family);
    CPacker::Pack16(out + 8, header.subtype);
    CPacker::Pack16(out + 10, header.flags);
    CPacker::Pack32(out + 12, header.requestId);
    return SnacBodyOffset;
}

ByteReader OpenFlap(const unsigned char* frame, size_t size, FlapPacket& flap)
{
    if (!UnpackFlap(frame, size, flap)) return FailedReader();
    return FrameReader(frame, size, flap, FlapHeaderSize);
}

ByteReader OpenSnac(const unsigned char* frame, size_t size, SnacPacket& snac, unsigned short family,
                    unsigned short subtype)
{
    int body = UnpackSnac(frame, size, snac);
    if (!body || (family && (snac.family != family || snac.subtype != subtype))) return FailedReader();
    return FrameReader(frame, size, snac, size_t(body));
}

} // namespace Wex
