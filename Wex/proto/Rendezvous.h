// The rendezvous extension of channel-2 messages, as far as the replies read it. Message TLV 0x0005
// holds u16 kind, the 8-byte cookie, a 16-byte capability (caWEXRelay for messages through the
// server), then TLVs; among them TLV 0x2711, the message data:
//
//   u16 LE h1, h1 header bytes, u16 LE h2, h2 header bytes      (message type at S = h1 + h2 + 4)
//   u8 type, u8 flags, u16 LE status, u16 LE priority, u16 LE m, m text bytes, then per type more
//
// An x-status message (type 0x1A) carries after its text the 24-byte plug-in header and the
// notification. All numbers of the data are little-endian.
#pragma once

#include "Wex/proto/Flap.h"
#include "Wex/proto/Tlv.h"

#include <cstddef>

namespace Wex {

enum {
    RendezvousCapabilityOffset = 10,
    RendezvousTlvsOffset = 26,
    RendezvousDataType = 0x2711,
    MessageTypePlainText = 0x01,
    MessageTypePlugin = 0x1A,
    PluginHeaderSize = 24,
};

// u16 LE 79, the x-status plug-in's identifier, u16 LE 8, u32 LE 42.
extern const unsigned char XStatusPluginHeader[PluginHeaderSize];

// The capability text that marks a rendezvous text as UTF-8.
extern const char Utf8CapabilityText[];

struct RendezvousLayout {
    size_t h1 = 0;
    size_t typeOffset = 0;  // S
    unsigned char type = 0;
    size_t textLength = 0;  // m

    size_t TextOffset() const { return typeOffset + 8; }
};

// Reads h1, h2, the type and m; false when any of them lies past the data.
bool ReadRendezvousLayout(const Tlv& data, RendezvousLayout& out);

// The message data (TLV 0x2711) of a channel-2 message, parsed out of message TLV 0x0005 into
// inner; null when TLV 0x0005 is missing, does not carry caWEXRelay, or holds no TLV 0x2711.
const Tlv* FindRendezvousData(const TlvChain& messageTlvs, TlvChain& inner);

// An x-status plug-in message: type 0x1A, at least S + m + 32 bytes, and the plug-in header at
// S + m + 8.
bool IsXStatusPluginData(const Tlv& data, const RendezvousLayout& layout);

// The title and the description of an x-status notification: the bytes between "title&gt;" and the
// next "&lt;/title", and between "desc&gt;" and the next "&lt;/desc"; each empty unless at least
// one byte lies between its markers.
void ReadXStatusNotice(const unsigned char* text, size_t length, Bytes& title, Bytes& description);

} // namespace Wex
