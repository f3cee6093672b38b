#include "Wex/proto/XStatusReply.h"

#include "Wex/proto/Rendezvous.h"
#include "Wex/proto/WireText.h"

#include <algorithm>

namespace Wex {

namespace {

// Plug-in identifiers, each with its first three fields stored low byte first.
const unsigned char kPluginOfKind4[16] = {0xBE, 0x6B, 0x73, 0x05, 0x0F, 0xC2, 0x10, 0x4F,
                                          0xA6, 0xDE, 0x4D, 0xB1, 0xE3, 0x56, 0x4B, 0x0E};
const unsigned char kPluginOfKind2[16] = {0x81, 0x1A, 0x18, 0xBC, 0x0E, 0x6C, 0x18, 0x47,
                                          0xA5, 0x91, 0x6F, 0x18, 0xDC, 0xC7, 0x6F, 0x1A};
const unsigned char kNotifyFunction = 8;

} // namespace

int XStatusReply::Unpack(const unsigned char* frame, size_t size)
{
    *this = XStatusReply();
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac);
    if (!ReadHead(reader)) return 0;
    reader.Skip(2);  // reason
    if (reader.Failed()) return Reject(reader);
    if (channel == 2 && !ReadRendezvous(reader)) return Reject(reader);
    return Accept(reader);
}

// The two rendezvous headers and the message; false when they run past the frame.
bool XStatusReply::ReadRendezvous(ByteReader& reader)
{
    ByteReader first = reader;
    size_t h1 = reader.U16LE();
    first.Skip(4);
    const unsigned char* marker = first.Bytes(16);
    if (first.Failed()) {
        reader = first;
        return false;
    }
    if (std::any_of(marker, marker + 16, [](unsigned char b) { return b != 0; })) return true;
    reader.Skip(h1);
    reader.Skip(reader.U16LE());
    unsigned char type = reader.U8();
    reader.Skip(5);  // flags, status, priority
    size_t length = reader.U16LE();
    if (reader.Failed()) return false;
    if (type != MessageTypePlugin) return true;
    const unsigned char* text = reader.Bytes(length);
    if (reader.Failed()) return false;
    message = Widen(text, length, CodePageUtf8);
    return reader.Remaining() == 0 || ReadPlugin(reader);
}

// The plug-in header and, from the notification plug-in, the title and the description.
bool XStatusReply::ReadPlugin(ByteReader& reader)
{
    size_t headerLength = reader.U16LE();
    ByteReader header = reader;
    unsigned char function = 0;
    if (headerLength > 16) {
        const unsigned char* plugin = header.Bytes(16);
        if (header.Failed()) {
            reader = header;
            return false;
        }
        if (std::equal(plugin, plugin + 16, kPluginOfKind4))
            kind = KindPlugin4;
        else if (std::equal(plugin, plugin + 16, kPluginOfKind2))
            kind = KindPlugin2;
        else
            function = header.U8();
    }
    reader.Skip(headerLength);
    reader.Skip(4);
    size_t noticeLength = reader.U32LE();
    if (reader.Failed()) return false;

    if (function == kNotifyFunction) {
        size_t available = std::min(noticeLength, reader.Remaining());
        const unsigned char* notice = reader.Bytes(available);
        Bytes titleBytes, descriptionBytes;
        ReadXStatusNotice(notice, available, titleBytes, descriptionBytes);
        title = Widen(titleBytes.data(), titleBytes.size(), CodePageUtf8);
        description = Widen(descriptionBytes.data(), descriptionBytes.size(), CodePageUtf8);
        if (!title.IsEmpty() || !description.IsEmpty()) kind = KindNotice;
    } else if (cookie2 != 0) {
        kind = KindPlugin4;
    }
    return true;
}

} // namespace Wex
