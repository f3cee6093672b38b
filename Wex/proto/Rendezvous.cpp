#include "Wex/proto/Rendezvous.h"

#include "Wex/proto/Capabilities.h"

#include <algorithm>
#include <cstring>

namespace Wex {

const unsigned char XStatusPluginHeader[PluginHeaderSize] = {
    0x4F, 0x00, 0x3B, 0x60, 0xB3, 0xEF, 0xD8, 0x2A, 0x6C, 0x45, 0xA4, 0xE0,
    0x9C, 0x5A, 0x5E, 0x67, 0xE8, 0x65, 0x08, 0x00, 0x2A, 0x00, 0x00, 0x00,
};

const char Utf8CapabilityText[] = "{0946134E-4C7F-11D1-8222-444553540000}";

namespace {

// The bytes between the first open marker and the next close marker after it.
Bytes Between(const unsigned char* text, size_t length, const char* open, const char* close)
{
    const unsigned char* end = text + length;
    const unsigned char* start = std::search(text, end, open, open + strlen(open));
    if (start == end) return Bytes();
    start += strlen(open);
    const unsigned char* stop = std::search(start, end, close, close + strlen(close));
    if (stop == end || stop == start) return Bytes();
    return Bytes(start, stop);
}

} // namespace

bool ReadRendezvousLayout(const Tlv& data, RendezvousLayout& out)
{
    ByteReader reader = data.Reader();
    size_t h1 = reader.U16LE();
    reader.Skip(h1);
    size_t h2 = reader.U16LE();
    reader.Skip(h2);
    size_t typeOffset = reader.Offset();
    unsigned char type = reader.U8();
    reader.Skip(5);  // flags, status, priority
    size_t textLength = reader.U16LE();
    if (reader.Failed()) return false;
    out.h1 = h1;
    out.typeOffset = typeOffset;
    out.type = type;
    out.textLength = textLength;
    return true;
}

const Tlv* FindRendezvousData(const TlvChain& messageTlvs, TlvChain& inner)
{
    const Tlv* extension = messageTlvs.Find(0x0005);
    if (!extension || extension->GetLength() < RendezvousTlvsOffset) return nullptr;
    const unsigned char* value = extension->GetValue();
    if (!std::equal(caWEXRelay.begin(), caWEXRelay.end(), value + RendezvousCapabilityOffset)) return nullptr;
    inner.Parse(value + RendezvousTlvsOffset, extension->GetLength() - size_t(RendezvousTlvsOffset));
    return inner.Find(RendezvousDataType);
}

bool IsXStatusPluginData(const Tlv& data, const RendezvousLayout& layout)
{
    size_t afterText = layout.TextOffset() + layout.textLength;
    return layout.type == MessageTypePlugin && data.GetLength() >= afterText + PluginHeaderSize &&
           memcmp(data.GetValue() + afterText, XStatusPluginHeader, PluginHeaderSize) == 0;
}

void ReadXStatusNotice(const unsigned char* text, size_t length, Bytes& title, Bytes& description)
{
    title = Between(text, length, "title&gt;", "&lt;/title");
    description = Between(text, length, "desc&gt;", "&lt;/desc");
}

} // namespace Wex
