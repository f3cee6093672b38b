// PacketReader: cuts the session's byte stream into packets. Bytes are fed as they arrive; Next
// hands out each packet once its last byte is there. Packets are handed out straight from the bytes
// fed; only a packet cut by the end of a feed is gathered in a buffer, from the rest of that feed and
// as much of the next ones as it lacks, so each byte is copied at most once and a run of small
// packets behind a large one costs one pass. A header whose body length is above MaxBodyLength stops
// the stream for good: the caller drops the connection.
#pragma once

#include "Dax/proto/MrimPacket.h"

namespace Mrim {

struct Packet {
    PacketHeader header;
    const unsigned char* body = nullptr;  // valid until the next call of Next, Feed or Reset
    size_t length = 0;
};

class PacketReader {
public:
    enum Result { GotPacket, NeedMore, Oversized };

    // Appends bytes to the unread rest. The caller keeps them unchanged until Next answers NeedMore
    // (or Reset), and feeds again only then.
    void Feed(const unsigned char* bytes, size_t length);
    // The next whole packet, NeedMore when it is not all there, Oversized (for this and every later
    // call) when its body length is above the limit.
    Result Next(Packet& out);
    // Forgets everything buffered and the oversized state (a new connection).
    void Reset();

    size_t Buffered() const { return (gathered ? 0 : held) + (fedLength - fedOffset); }

private:
    // Moves up to want bytes of the feed into the buffer.
    void Gather(size_t want);
    void Drop();

    Bytes buffer;           // a packet cut by the end of a feed, gathered in its first held bytes
    size_t held = 0;
    bool gathered = false;  // the buffer's packet was handed out
    const unsigned char* fed = nullptr;
    size_t fedLength = 0;
    size_t fedOffset = 0;
    bool oversized = false;
};

} // namespace Mrim
