#include "Wex/proto/FlapFramer.h"

#include <algorithm>
#include <cstring>

namespace Wex {

size_t FlapFramer::Feed(const unsigned char* data, size_t length)
{
    if (frame && frame == held.data()) heldLength = 0;
    frame = nullptr;
    if (broken || !data || length == 0) return 0;

    if (heldLength == 0) {
        // The common case: a whole frame in the bytes given, handed out where it lies.
        if (length >= FlapHeaderSize) {
            if (!UnpackFlap(data, length, header)) {
                broken = true;
                return 0;
            }
            if (header.FrameSize() <= length) {
                frame = data;
                return header.FrameSize();
            }
        } else if (data[0] != FlapMarker) {
            broken = true;
            return 0;
        }
    }
    return Gather(data, length);
}

size_t FlapFramer::Gather(const unsigned char* data, size_t length)
{
    if (held.empty()) held.resize(MaxFrameSize);
    size_t used = 0;
    if (heldLength < FlapHeaderSize) {
        used = std::min(length, FlapHeaderSize - heldLength);
        memcpy(held.data() + heldLength, data, used);
        heldLength += used;
        if (heldLength < FlapHeaderSize) return used;
        if (!UnpackFlap(held.data(), heldLength, header)) {
            broken = true;
            heldLength = 0;
            return used;
        }
    }
    size_t take = std::min(length - used, header.FrameSize() - heldLength);
    memcpy(held.data() + heldLength, data + used, take);
    heldLength += take;
    used += take;
    if (heldLength == header.FrameSize()) frame = held.data();
    return used;
}

void FlapFramer::Reset()
{
    heldLength = 0;
    frame = nullptr;
    broken = false;
    header = FlapPacket();
}

} // namespace Wex
