// PacketReader: cuts the session's byte stream into packets. Bytes are fed as they arrive; Next
// hands out each packet once its last byte is there. The reader keeps a read offset into its buffer
// and moves the unread rest to the front only when new bytes come, so a run of small packets behind
// a large one costs one pass. A header whose body length is above MaxBodyLength stops the stream for
// good: the caller drops the connection.
#pragma once

#include "Dax/proto/MrimPacket.h"

namespace Mrim {

struct Packet {
    PacketHeader header;
    const unsigned char* body = nullptr;  // valid until the next Feed or Reset
    size_t length = 0;
};

class PacketReader {
public:
    enum Result { GotPacket, NeedMore, Oversized };

    // Appends bytes to the unread rest.
    void Feed(const unsigned char* bytes, size_t length);
    // The next whole packet, NeedMore when it is not all there, Oversized (for this and every later
    // call) when its body length is above the limit.
    Result Next(Packet& out);
    // Forgets everything buffered and the oversized state (a new connection).
    void Reset();

    size_t Buffered() const { return buffer.size() - offset; }

private:
    Bytes buffer;
    size_t offset = 0;
    bool oversized = false;
};

} // namespace Mrim
