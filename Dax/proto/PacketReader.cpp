#include "Dax/proto/PacketReader.h"

namespace Mrim {

void PacketReader::Feed(const unsigned char* bytes, size_t length)
{
    if (!bytes || length == 0 || oversized) return;
    if (offset > 0) {
        buffer.erase(buffer.begin(), buffer.begin() + std::ptrdiff_t(offset));
        offset = 0;
    }
    buffer.insert(buffer.end(), bytes, bytes + length);
}

PacketReader::Result PacketReader::Next(Packet& out)
{
    if (oversized) return Oversized;
    const size_t available = buffer.size() - offset;
    if (available < HeaderSize) return NeedMore;
    PacketHeader header;
    ReadHeader(buffer.data() + offset, available, header);
    if (header.bodyLength > MaxBodyLength) {
        oversized = true;
        buffer.clear();
        offset = 0;
        return Oversized;
    }
    // Both terms are below 2^23, so the sum cannot wrap.
    const size_t whole = size_t(HeaderSize) + header.bodyLength;
    if (available < whole) return NeedMore;
    out.header = header;
    out.body = buffer.data() + offset + HeaderSize;
    out.length = header.bodyLength;
    offset += whole;
    return GotPacket;
}

void PacketReader::Reset()
{
    Bytes().swap(buffer);
    offset = 0;
    oversized = false;
}

} // namespace Mrim
