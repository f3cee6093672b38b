// A contact's answer to an x-status query, or another client's automatic reply (04/0B): u32 cookie
// part 1, u32 cookie part 2, u16 channel, the sender as a str8 (UTF-8, normalised; empty rejects the
// frame), u16 reason; then, on channel 2, the rendezvous data with the plug-in's notification. See
// Reply.h for the pattern; a rendezvous part whose lengths run past the frame rejects it too.
#pragma once

#include "Wex/proto/MessageHead.h"

#include "ZELCommon/ZELString.h"

namespace Wex {

struct XStatusReply : MessageHead {
    enum Kind { KindNone = 0, KindPlugin2 = 2, KindNotice = 3, KindPlugin4 = 4 };

    int kind = KindNone;
    CZELString message;  // the text of a plug-in message, UTF-8
    CZELString title;
    CZELString description;

    int Unpack(const unsigned char* frame, size_t size);

private:
    bool ReadRendezvous(ByteReader& reader);
    bool ReadPlugin(ByteReader& reader);
};

} // namespace Wex
