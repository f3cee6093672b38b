#include "Wex/proto/Tlv.h"

#include "ZELCommon/Packer.h"

namespace Wex {

Tlv::Tlv(unsigned short type, unsigned char value) : type(type), value{value} {}

Tlv::Tlv(unsigned short type, unsigned short value)
    : type(type), value{(unsigned char)(value >> 8), (unsigned char)value}
{
}

Tlv::Tlv(unsigned short type, unsigned value)
    : type(type),
      value{(unsigned char)(value >> 24), (unsigned char)(value >> 16), (unsigned char)(value >> 8),
            (unsigned char)value}
{
}

Tlv::Tlv(unsigned short type, unsigned short length, const unsigned char* bytes) : type(0xFFFF)
{
    Set(type, length, bytes);
}

void Tlv::Set(unsigned short newType, unsigned short length, const unsigned char* bytes)
{
    type = newType;
    if (bytes)
        value.assign(bytes, bytes + length);
    else
        value.clear();
}

int TlvChain::Add(const Tlv& item)
{
    items.push_back(item);
    return int(items.size()) - 1;
}

void TlvChain::ParseFrom(ByteReader& reader, unsigned count)
{
    for (unsigned i = 0; i < count && reader.Remaining() >= Tlv::HeaderSize; ++i) {
        ByteReader item = reader;
        unsigned short type = item.U16();
        unsigned short length = item.U16();
        const unsigned char* value = item.Bytes(length);
        if (item.Failed()) return;  // the value runs past the end: dropped, and the reader stays before it
        items.emplace_back(type, length, value);
        reader = item;
    }
}

size_t TlvChain::Parse(const unsigned char* bytes, size_t size)
{
    ByteReader reader(bytes, size);
    ParseFrom(reader, ~0u);
    return TotalSize();
}

size_t TlvChain::TotalSize() const
{
    size_t size = 0;
    for (const Tlv& item : items) size += item.GetLength() + size_t(Tlv::HeaderSize);
    return size;
}

std::vector<unsigned char> TlvChain::Serialize(bool littleEndian) const
{
    void (*pack16)(unsigned char*, unsigned short) = littleEndian ? CPacker::Pack16LE : CPacker::Pack16;
    std::vector<unsigned char> out(TotalSize());
    size_t at = 0;
    for (const Tlv& item : items) {
        pack16(out.data() + at, item.GetType());
        pack16(out.data() + at + 2, item.GetLength());
        CPacker::PackBuffer(out.data() + at + Tlv::HeaderSize, item.GetValue(), item.GetLength());
        at += Tlv::HeaderSize + item.GetLength();
    }
    return out;
}

void TlvChain::Remove(int index)
{
    if (index >= 0 && index < GetCount()) items.erase(items.begin() + index);
}

int TlvChain::IndexOf(unsigned short type) const
{
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].GetType() == type) return int(i);
    return -1;
}

const Tlv* TlvChain::Find(unsigned short type) const
{
    for (const Tlv& item : items)
        if (item.GetType() == type) return &item;
    return nullptr;
}

} // namespace Wex
