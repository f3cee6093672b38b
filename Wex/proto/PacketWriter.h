// PacketWriter: writes one outgoing frame into a buffer of exactly its own size. The builder computes
// the frame's data length from its own values first; the writer allocates header and data at once
// and Finish hands the bytes over. A length that does not fit its field (a frame over MaxFlapData
// bytes of data, a str8 over 255 bytes, a str16 over 65,535) fails the frame: Finish then returns
// no bytes, so nothing is sent rather than a frame the peer would read wrong.
#pragma once

#include "Wex/proto/Flap.h"
#include "Wex/proto/Tlv.h"

namespace Wex {

class PacketWriter {
public:
    // A frame of channel with dataLength data bytes to follow.
    PacketWriter(unsigned char channel, unsigned short sequence, size_t dataLength);
    // A SNAC frame (flags 0) with bodyLength body bytes to follow.
    PacketWriter(unsigned short sequence, unsigned short family, unsigned short subtype, unsigned requestId,
                 size_t bodyLength);

    void U8(unsigned char value);
    void U16(unsigned short value);
    void U32(unsigned value);
    void U16LE(unsigned short value);
    void U32LE(unsigned value);
    void Raw(const unsigned char* bytes, size_t length);
    void Raw(const Bytes& bytes) { Raw(bytes.data(), bytes.size()); }
    // u8 length and the bytes; u16 length and the bytes.
    void Str8(const Bytes& bytes);
    void Str16(const Bytes& bytes);
    // u16 type, u16 length and the value.
    void TlvItem(unsigned short type, const Bytes& value);
    void TlvItem(unsigned short type, const unsigned char* value, size_t length);

    // The frame, or nothing when a length did not fit its field.
    Bytes Finish();

    // The serialised size of a str8, a str16 and a TLV item holding length bytes.
    static size_t Str8Size(const Bytes& bytes) { return 1 + bytes.size(); }
    static size_t Str16Size(const Bytes& bytes) { return 2 + bytes.size(); }
    static size_t TlvSize(size_t length) { return Tlv::HeaderSize + length; }

private:
    unsigned char* Take(size_t length);

    Bytes bytes;
    size_t written = 0;
    bool failed = false;
};

// A SNAC frame without a body.
Bytes EmptySnac(unsigned short sequence, unsigned short family, unsigned short subtype, unsigned requestId);
// A SNAC frame whose body is one TLV item.
Bytes TlvSnac(unsigned short sequence, unsigned short family, unsigned short subtype, unsigned requestId,
              unsigned short type, const Bytes& value);

} // namespace Wex
