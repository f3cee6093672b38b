// An incoming message (04/07): u32 cookie part 1, u32 cookie part 2, u16 message channel, the sender
// as a str8 (UTF-8, normalised), u16 warning level, u16 count n of user-information TLVs, then TLVs
// to the end of the frame: the first n describe the sender, the rest are the message's own. A
// sender whose name is empty once normalised rejects the frame. See Reply.h for the pattern.
#pragma once

#include "Wex/proto/MessageHead.h"
#include "Wex/proto/Tlv.h"

#include "ZELCommon/ZELString.h"

namespace Wex {

struct IncomingMessage : MessageHead {
    unsigned short warningLevel = 0;
    TlvChain userInfo;
    TlvChain messageTlvs;
    // The rendezvous message sequence, stored by IsXStatusQuery: 0 until it has looked.
    unsigned short messageSequence = 0;

    int Unpack(const unsigned char* frame, size_t size);

    // A channel-2 x-status query: the rendezvous data through the server (Rendezvous.h) of type
    // 0x1A with the plug-in header after its text. On the way it stores messageSequence: the two
    // bytes at offset h1 of the data, read big-endian.
    bool IsXStatusQuery();
    bool HasTlv6() const { return messageTlvs.Find(0x0006) != nullptr; }
    // The u32 of message TLV 0x0016; 0 without it.
    unsigned GetTime() const;
    CZELString GetText() const;
};

} // namespace Wex
