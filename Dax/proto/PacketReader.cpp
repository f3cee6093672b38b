#include "Dax/proto/PacketReader.h"

#include <algorithm>
#include <cstring>

namespace Mrim {

void PacketReader::Feed(const unsigned char* bytes, size_t length)
{
    if (!bytes || length == 0 || oversized) return;
    if (gathered) {
        held = 0;
        gathered = false;
    }
    // A caller that feeds before reading everything keeps its earlier bytes first.
    Gather(fedLength - fedOffset);
    fed = bytes;
    fedLength = length;
    fedOffset = 0;
}

void PacketReader::Gather(size_t want)
{
    size_t take = std::min(want, fedLength - fedOffset);
    if (!take) return;
    if (buffer.size() < held + take) buffer.resize(std::max(held + take, 2 * buffer.size()));
    memcpy(buffer.data() + held, fed + fedOffset, take);
    held += take;
    fedOffset += take;
}

void PacketReader::Drop()
{
    Bytes().swap(buffer);
    held = 0;
    gathered = false;
    fed = nullptr;
    fedLength = fedOffset = 0;
}

PacketReader::Result PacketReader::Next(Packet& out)
{
    if (oversized) return Oversized;
    if (gathered) {
        held = 0;
        gathered = false;
    }
    PacketHeader header;
    if (held > 0) {
        // Complete the gathered packet from the feed: its header first, then its body.
        if (held < HeaderSize) Gather(HeaderSize - held);
        if (held < HeaderSize) return NeedMore;
        ReadHeader(buffer.data(), held, header);
        if (header.bodyLength > MaxBodyLength) {
            oversized = true;
            Drop();
            return Oversized;
        }
        const size_t whole = size_t(HeaderSize) + header.bodyLength;
        if (held < whole) Gather(whole - held);
        if (held < whole) return NeedMore;
        out.header = header;
        out.body = buffer.data() + HeaderSize;
        out.length = header.bodyLength;
        gathered = true;
        return GotPacket;
    }
    const size_t available = fedLength - fedOffset;
    if (available >= HeaderSize) {
        ReadHeader(fed + fedOffset, available, header);
        if (header.bodyLength > MaxBodyLength) {
            oversized = true;
            Drop();
            return Oversized;
        }
        // Both terms are below 2^23, so the sum cannot wrap.
        const size_t whole = size_t(HeaderSize) + header.bodyLength;
        if (available >= whole) {
            out.header = header;
            out.body = fed + fedOffset + HeaderSize;
            out.length = header.bodyLength;
            fedOffset += whole;
            return GotPacket;
        }
    }
    // A packet cut by the end of the feed waits in the buffer for the rest.
    Gather(available);
    return NeedMore;
}

void PacketReader::Reset()
{
    Drop();
    oversized = false;
}

} // namespace Mrim
