// The replies a client reads while it signs on: the server's hello (channel 1), its close frame
// (channel 4), the auth key (17/07) and the login reply (17/03). See Reply.h for the pattern.
#pragma once

#include "Wex/proto/Reply.h"
#include "Wex/proto/Tlv.h"

#include "ZELCommon/ZELString.h"

namespace Wex {

// Data length 4 holding u32 1. Unpack returns 10.
struct ServerHello : Reply {
    int Unpack(const unsigned char* frame, size_t size);
};

// Channel 4: the whole data as a TLV chain. Unpack returns 6 + the chain's size.
struct CloseFrame : Reply {
    TlvChain items;

    int Unpack(const unsigned char* frame, size_t size);
    // The first two value bytes of TLV 0x0008 and of TLV 0x0009; 0 without them.
    unsigned short ErrorCode() const;
    unsigned short Reason() const;
    // String numbers (ErrorTexts.h) of the error and of the disconnect reason.
    int ErrorTextId() const;
    int CloseTextId() const;
};

// 17/07: u16 key length, then the key.
struct AuthKeyReply : Reply {
    Bytes key;

    int Unpack(const unsigned char* frame, size_t size);
};

// 17/03: a TLV chain with the account's UIN (0x0001, UTF-8), the main server's address "host:port"
// (0x0005, system code page), the cookie for it (0x0006), or an error code (0x0008). Unpack returns
// the body offset plus the chain's size.
struct LoginReply : Reply {
    CZELString uin;
    CZELString host;
    int port = 0;  // 0 when the address has no valid port
    Bytes cookie;
    unsigned short errorCode = 0;  // 0 when all of UIN, address and cookie came

    int Unpack(const unsigned char* frame, size_t size);
    int ErrorTextId() const;
};

// The first two value bytes of the first item of that type, big-endian; 0 without it (or when it is
// shorter).
unsigned short FirstWord(const TlvChain& items, unsigned short type);

} // namespace Wex
