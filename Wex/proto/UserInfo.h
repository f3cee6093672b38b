// The user-information block: a contact's online information (02/06, 03/0B, 03/0C) and the
// account's own (01/0F). See Reply.h for the pattern.
#pragma once

#include "Wex/proto/Reply.h"
#include "Wex/proto/Tlv.h"

#include "ZELCommon/ZELString.h"

namespace Wex {

// The 16-bit status code of a user-information chain: value bytes 2 and 3 of TLV 0x0006, low byte
// first. False when TLV 0x0006 is missing or shorter than 4 bytes.
bool StatusCodeOf(const TlvChain& items, unsigned short& status);

// The contact's name as a str8 (UTF-8, normalised), u16 warning level, u16 TLV count n, then up to
// n TLV items.
struct UserOnlineInfo : Reply {
    CZELString name;
    unsigned short warningLevel = 0;
    TlvChain items;

    int Unpack(const unsigned char* frame, size_t size);
    bool TryGetStatus(unsigned short& status) const { return StatusCodeOf(items, status); }
    // The status code; without one, 0x0100 when TLV 0x0001's first two bytes, low byte first, have
    // bit 0x2000 set, else 0.
    unsigned short GetStatus() const;
};

// 01/0F: the own UIN as a str8 (UTF-8), u16 warning level and u16 TLV count (both not used), then
// the rest of the frame as a TLV chain.
struct SelfInfoReply : Reply {
    CZELString uin;
    TlvChain items;

    int Unpack(const unsigned char* frame, size_t size);
    bool TryGetStatus(unsigned short& status) const { return StatusCodeOf(items, status); }
};

} // namespace Wex
