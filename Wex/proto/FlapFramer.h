// FlapFramer: cuts the bytes of one connection, as they come in pieces of any size, into whole FLAP
// frames.
//
//     while (length > 0) {
//         size_t used = framer.Feed(data, length);
//         data += used; length -= used;
//         if (framer.IsBroken()) { disconnect; break; }
//         if (framer.HasFrame()) handle(framer.Frame(), framer.FrameSize(), framer.Header());
//     }
//
// Feed takes bytes up to the end of the next whole frame and says how many it took; the rest belong
// to the frames after it. A frame that lies whole in the bytes given is handed out in place, without
// a copy; only a frame split across pieces is gathered in the framer's own buffer (at most one frame,
// MaxFrameSize bytes). A frame stays valid until the next Feed, and the caller keeps its bytes alive
// until then. A header without the marker breaks the stream for good: nothing after it can be
// trusted to start a frame.
#pragma once

#include "Wex/proto/Flap.h"

namespace Wex {

class FlapFramer {
public:
    // Drops any frame handed out before, then takes bytes toward the next frame; returns how many
    // of the length bytes it took (all of them unless a frame ended inside them; none once broken).
    size_t Feed(const unsigned char* data, size_t length);

    bool HasFrame() const { return frame != nullptr; }
    // The whole frame, header included, and its header; valid until the next Feed.
    const unsigned char* Frame() const { return frame; }
    size_t FrameSize() const { return frame ? header.FrameSize() : 0; }
    const FlapPacket& Header() const { return header; }

    bool IsBroken() const { return broken; }
    // Bytes of an unfinished frame held.
    size_t Pending() const { return frame ? 0 : heldLength; }

    // Forgets everything: a new connection starts a new stream.
    void Reset();

private:
    size_t Gather(const unsigned char* data, size_t length);

    Bytes held;  // MaxFrameSize bytes once needed: the start of a frame that has not arrived whole
    size_t heldLength = 0;
    FlapPacket header;
    const unsigned char* frame = nullptr;
    bool broken = false;
};

} // namespace Wex
