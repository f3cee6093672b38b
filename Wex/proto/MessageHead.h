// The head that the message family's replies share (04/07, 04/0B): u32 cookie part 1, u32 cookie
// part 2, u16 message channel, and the sender as a str8 (UTF-8, normalised). See Reply.h.
#pragma once

#include "Wex/proto/Reply.h"

#include "ZELCommon/ZELString.h"

namespace Wex {

struct MessageHead : Reply {
    unsigned cookie1 = 0;
    unsigned cookie2 = 0;
    unsigned short channel = 0;
    CZELString sender;

protected:
    // Reads the head; false when it runs past the frame, or when the sender's name is empty once
    // normalised (failedAt then points at the name).
    bool ReadHead(ByteReader& reader);
};

} // namespace Wex
