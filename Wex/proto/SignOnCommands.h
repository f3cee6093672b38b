// The frames that sign a client on: the channel-1 hellos, the channel-5 keep-alive, and the login
// commands of family 0x17 with the MD5 login digest. Each builder returns the whole frame, sized
// from its own values, or no bytes when a value does not fit its length field (PacketWriter).
#pragma once

#include "Wex/proto/Flap.h"

#include "ZELCommon/ZELString.h"

#include <array>

namespace Wex {

typedef std::array<unsigned char, 16> Md5Digest;

// Channel 1 on the login server: u32 1, then TLV 0x8003 holding u32 0x100000 (18 bytes in all).
Bytes LoginHello(unsigned short sequence);
// Channel 1 on the main server: u32 1, then TLV 0x0006 holding the cookie of the login reply.
Bytes CookieHello(unsigned short sequence, const Bytes& cookie);
// Channel 5, no data.
Bytes KeepAliveFrame(unsigned short sequence);

// 17/06: TLV 0x0001 = own UIN in UTF-8.
Bytes AuthKeyRequest(unsigned short sequence, unsigned requestId, const CZELString& uin);

// MD5 of the auth key, the stored 16-byte password digest and "Generic Messenger Salt 01x": the
// password itself never goes on the wire.
Md5Digest Md5LoginDigest(const Bytes& authKey, const Md5Digest& passwordDigest);

// 17/02: own UIN, the login digest over the key of the auth key reply, and the client's fixed
// identification items, as one TLV chain.
Bytes Md5LoginRequest(unsigned short sequence, unsigned requestId, const CZELString& uin, const Bytes& authKey,
                      const Md5Digest& passwordDigest);

} // namespace Wex
