#include "Zel/core/history/TlvList.h"

#include "ZELCommon/ByteReader.h"
#include "ZELCommon/Packer.h"

#include <stdexcept>

Tlv::Tlv(unsigned short type, unsigned number) : type(type), value(4)
{
    CPacker::Pack32(value.data(), number);
}

Tlv::Tlv(unsigned short type, unsigned short length, const unsigned char* bytes)
    : type(type), value(bytes ? bytes : nullptr, bytes ? bytes + length : nullptr)
{
}

bool Tlv::GetUint32(unsigned& out) const
{
    if (value.size() != 4) return false;
    ByteReader reader(value.data(), value.size());
    out = reader.U32();
    return true;
}

const Tlv& TlvList::At(unsigned index) const
{
    if (index >= items.size()) throw std::out_of_range("invalid vector<T> subscript");
    return items[index];
}

const Tlv* TlvList::Find(unsigned type) const
{
    for (const Tlv& item : items)
        if (item.GetType() == type) return &item;
    return nullptr;
}

size_t TlvList::GetSize() const
{
    size_t size = 0;
    for (const Tlv& item : items) size += item.GetLength() + size_t(Tlv::HeaderBytes);
    return size;
}

std::vector<unsigned char> TlvList::Serialise(bool littleEndian) const
{
    std::vector<unsigned char> out;
    out.reserve(GetSize());
    for (const Tlv& item : items) {
        unsigned short type = item.GetType(), length = item.GetLength();
        unsigned char head[Tlv::HeaderBytes];
        if (littleEndian) {
            CPacker::Pack16LE(head, type);
            CPacker::Pack16LE(head + 2, length);
        } else {
            CPacker::Pack16(head, type);
            CPacker::Pack16(head + 2, length);
        }
        out.insert(out.end(), head, head + Tlv::HeaderBytes);
        if (length) out.insert(out.end(), item.GetValue(), item.GetValue() + length);
    }
    return out;
}

size_t TlvList::Parse(const unsigned char* bytes, int length)
{
    ByteReader reader(bytes, length > 0 ? size_t(length) : 0);
    while (reader.Remaining() >= Tlv::HeaderBytes) {
        unsigned short type = reader.U16();
        unsigned short valueLength = reader.U16();
        const unsigned char* value = reader.Bytes(valueLength);
        if (reader.Failed()) break;  // the value runs past the end: dropped
        items.push_back(Tlv(type, valueLength, value));
    }
    return GetSize();
}
