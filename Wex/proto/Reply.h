// What every parser of an incoming frame shares. A reply is a plain struct, filled by its Unpack
// (whole frame, size): 0 when the frame is rejected, else a positive count of the bytes read. A
// rejected frame leaves in failedAt the offset in the frame at which reading failed; the other
// fields then hold only what was read before it and are not to be used.
//
// Every read is bounded by the frame's extent (its header and the length the header names), and a
// frame whose extent runs past the size given is rejected: no parser reads past either.
#pragma once

#include "Wex/proto/Flap.h"

namespace Wex {

struct Reply {
    size_t failedAt = 0;

protected:
    int Reject(const ByteReader& reader)
    {
        failedAt = reader.Offset();
        return 0;
    }
    int Accept(const ByteReader& reader)
    {
        failedAt = 0;
        return int(reader.Offset());
    }
};

} // namespace Wex
