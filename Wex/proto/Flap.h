// FLAP frames and SNAC headers of the network's wire format, as pure functions over byte buffers.
//
//   FLAP frame   2A, u8 channel, u16 sequence, u16 length, then length data bytes
//   SNAC header  (channel 2, in the data) u16 family, u16 subtype, u16 flags, u32 request id;
//                with flags bit 15 a u16 length N and N bytes follow, skipped unread
//
// All numbers are big-endian. A frame's extent is its header and the length its header names: a
// parser given a buffer reads nothing past that extent, and rejects a frame whose extent runs past
// the buffer it was given.
#pragma once

#include "ZELCommon/ByteReader.h"

#include <cstddef>
#include <vector>

namespace Wex {

typedef std::vector<unsigned char> Bytes;

enum {
    FlapMarker = 0x2A,
    FlapHeaderSize = 6,
    SnacHeaderSize = 10,
    SnacBodyOffset = FlapHeaderSize + SnacHeaderSize,
    MaxFlapData = 0xFFFF,
    MaxFrameSize = FlapHeaderSize + MaxFlapData,
    SnacFlagExtraBlock = 0x8000,  // a length-prefixed block follows the header
    SnacFlagMoreFollow = 0x0001,  // another frame of the same reply follows
};

enum FlapChannel { ChannelSignOn = 1, ChannelSnac = 2, ChannelSignOff = 4, ChannelKeepAlive = 5 };

enum SnacFamily {
    FamilyService = 0x01,
    FamilyLocation = 0x02,
    FamilyBuddy = 0x03,
    FamilyMessaging = 0x04,
    FamilyPrivacy = 0x09,
    FamilyList = 0x13,
    FamilyMeta = 0x15,
    FamilyAuth = 0x17,
};

struct FlapPacket {
    unsigned char channel = 0;
    unsigned short sequence = 0;
    unsigned short length = 0;  // data bytes after the header

    size_t FrameSize() const { return FlapHeaderSize + size_t(length); }
};

struct SnacPacket : FlapPacket {
    unsigned short family = 0;
    unsigned short subtype = 0;
    unsigned short flags = 0;
    unsigned requestId = 0;
};

// Reads a FLAP header from the first 6 bytes: FlapHeaderSize, or 0 when fewer than 6 bytes are
// given or the first is not the marker. The data need not have arrived yet.
int UnpackFlap(const unsigned char* data, size_t size, FlapPacket& out);

// Writes the 6 header bytes; returns FlapHeaderSize.
int PackFlap(const FlapPacket& header, unsigned char* out);

// Reads the FLAP and SNAC headers of a whole frame and returns the offset of the body: 16, or
// 18 + N after a flags bit 15 block. 0 when the FLAP header is rejected, when the frame runs past
// size, or when the SNAC header or its block runs past the frame.
int UnpackSnac(const unsigned char* frame, size_t size, SnacPacket& out);

// Writes the FLAP and SNAC headers (never a flags bit 15 block); returns SnacBodyOffset.
int PackSnac(const SnacPacket& header, unsigned char* out);

// A reader over the data of a whole frame (after its FLAP header), with the header in flap; failed
// at once when the header is rejected or the frame runs past size.
ByteReader OpenFlap(const unsigned char* frame, size_t size, FlapPacket& flap);

// A reader over the body of a whole SNAC frame, with the headers in snac; failed at once when they
// are rejected, or, when family is not 0, when the family and subtype are not the ones given.
ByteReader OpenSnac(const unsigned char* frame, size_t size, SnacPacket& snac, unsigned short family = 0,
                    unsigned short subtype = 0);

} // namespace Wex
