// Tlv and TlvChain: the type-length-value items of the network's packets and their ordered chains.
//
// Byte form of one item: u16 type, u16 length, then length value bytes, big-endian (a chain can be
// serialised with type and length little-endian instead). Items follow each other with nothing
// between them; several items may share a type, and a chain keeps the order in which items were
// added or parsed.
#pragma once

#include "ZELCommon/ByteReader.h"

#include <cstddef>
#include <vector>

namespace Wex {

class Tlv {
public:
    enum : unsigned { HeaderSize = 4, MaxLength = 0xFFFF };

    // Type 0xFFFF, empty.
    Tlv() : type(0xFFFF) {}
    Tlv(unsigned short type, unsigned char value);
    // Numbers are stored big-endian: 2 and 4 value bytes.
    Tlv(unsigned short type, unsigned short value);
    Tlv(unsigned short type, unsigned value);
    // Copies length bytes (bytes may be null only when length is 0).
    Tlv(unsigned short type, unsigned short length, const unsigned char* bytes);

    void Set(unsigned short type, unsigned short length, const unsigned char* bytes);

    unsigned short GetType() const { return type; }
    unsigned short GetLength() const { return (unsigned short)value.size(); }
    // Null when the length is 0.
    const unsigned char* GetValue() const { return value.empty() ? nullptr : value.data(); }
    // A bounded reader over the value.
    ByteReader Reader() const { return ByteReader(GetValue(), value.size()); }

private:
    unsigned short type;
    std::vector<unsigned char> value;
};

class TlvChain {
public:
    // Appends a copy; returns its index.
    int Add(const Tlv& item);
    // Removes the item at index (the later ones move down one place); an index outside the chain
    // removes nothing.
    void Remove(int index);
    // The index of the first item of that type, or -1.
    int IndexOf(unsigned short type) const;

    // Appends every whole item found from the start of the buffer: an item whose value runs past
    // the end is dropped and ends the parse, and up to three bytes after the last item are ignored.
    // Returns TotalSize (which counts items held before the call too).
    size_t Parse(const unsigned char* bytes, size_t size);

    // Appends up to count whole items from reader, which is left just after the last one taken; the
    // reading ends early, taking nothing of it, at an item that does not fit.
    void ParseFrom(ByteReader& reader, unsigned count);

    // The serialised size: the sum of length + 4 over the items.
    size_t TotalSize() const;

    // The items in chain order, TotalSize bytes; with littleEndian each item's type and length are
    // written low byte first (the values are copied as they are).
    std::vector<unsigned char> Serialize(bool littleEndian = false) const;

    // The first item of that type, or null.
    const Tlv* Find(unsigned short type) const;

    int GetCount() const { return int(items.size()); }
    const Tlv& operator[](int index) const { return items[size_t(index)]; }

private:
    std::vector<Tlv> items;
};

} // namespace Wex
