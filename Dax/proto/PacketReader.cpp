#include "Dax/proto/PacketReader.h"

#include <algorithm>

namespace Mrim {

void PacketReader::Feed(const unsigned char* bytes, size_t length)
{
    if (!bytes || length == 0 || oversized) return;
    if (gathered) {
        buffer.clear();
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
    if (take) buffer.insert(buffer.end(), fed + fedOffset, fed + fedOffset + take);
    fedOffset += take;
}

void PacketReader::Drop()
{
    Bytes().swap(buffer);
    gathered = false;
    fed = nullptr;
    fedLength = fedOffset = 0;
}

PacketReader::Result PacketReader::Next(Packet& out)
{
    if (oversized) return Oversized;
    if (gathered) {
        buffer.clear();
        gathered = false;
    }
    PacketHeader header;
    if (!buffer.empty()) {
        // Complete the gathered packet from the feed: its header first, then its body.
        if (buffer.size() < HeaderSize) Gather(HeaderSize - buffer.size());
        if (buffer.size() < HeaderSize) return NeedMore;
        ReadHeader(buffer.data(), buffer.size(), header);
        if (header.bodyLength > MaxBodyLength) {
            oversized = true;
            Drop();
            return Oversized;
        }
        const size_t whole = size_t(HeaderSize) + header.bodyLength;
        if (buffer.size() < whole) Gather(whole - buffer.size());
        if (buffer.size() < whole) return NeedMore;
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
