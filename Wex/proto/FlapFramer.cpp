#include "Wex/proto/FlapFramer.h"

#include <algorithm>

namespace Wex {

size_t FlapFramer::Feed(const unsigned char* data, size_t length)
{
    if (frame && frame == held.data()) held.clear();
    frame = nullptr;
    if (broken || !data || length == 0) return 0;

    if (held.empty()) {
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
    size_t used = 0;
    if (held.size() < FlapHeaderSize) {
        used = std::min(length, FlapHeaderSize - held.size());
        held.insert(held.end(), data, data + used);
        if (held.size() < FlapHeaderSize) return used;
        if (!UnpackFlap(held.data(), held.size(), header)) {
            broken = true;
            held.clear();
            return used;
        }
        held.reserve(header.FrameSize());
    }
    size_t take = std::min(length - used, header.FrameSize() - held.size());
    held.insert(held.end(), data + used, data + used + take);
    used += take;
    if (held.size() == header.FrameSize()) frame = held.data();
    return used;
}

void FlapFramer::Reset()
{
    held.clear();
    frame = nullptr;
    broken = false;
    header = FlapPacket();
}

} // namespace Wex
