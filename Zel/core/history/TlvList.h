// Tlv and TlvList: an ordered list of type-length-value items, the body format of every history
// record. Pure code over byte buffers.
//
// Byte form of one item: [type u16][length u16][value], big-endian (Serialise can write both
// numbers little-endian instead; Parse reads big-endian only). Items follow each other with nothing
// between them and no count in front, so a list's size is the sum of length + 4 over its items.
// Several items may share a type; order is the order of appending or parsing.
#pragma once

#include <cstddef>
#include <vector>

class Tlv {
public:
    enum : unsigned { HeaderBytes = 4, MaxLength = 0xFFFF };

    // Length 4: the number big-endian.
    Tlv(unsigned short type, unsigned number);
    // Copies length bytes (bytes may be null only when length is 0).
    Tlv(unsigned short type, unsigned short length, const unsigned char* bytes);

    unsigned short GetType() const { return type; }
    unsigned short GetLength() const { return (unsigned short)value.size(); }
    // Null when the length is 0.
    const unsigned char* GetValue() const { return value.empty() ? nullptr : value.data(); }

    // The value as a big-endian 32-bit number; false (out untouched) unless the length is exactly 4.
    bool GetUint32(unsigned& out) const;

private:
    unsigned short type;
    std::vector<unsigned char> value;  // at most MaxLength bytes
};

class TlvList {
public:
    void Add(const Tlv& item) { items.push_back(item); }

    // Indexing past the end is a usage error: throws std::out_of_range("invalid vector<T> subscript").
    const Tlv& At(unsigned index) const;
    // The first item of that type, or null.
    const Tlv* Find(unsigned type) const;
    unsigned GetCount() const { return unsigned(items.size()); }
    // Sum over the items of length + 4.
    size_t GetSize() const;

    // The items in order, GetSize bytes.
    std::vector<unsigned char> Serialise(bool littleEndian = false) const;

    // Appends every whole big-endian item found from the start of bytes: parsing stops at an item
    // whose value runs past the end (it is dropped) and ignores up to 3 bytes after the last item.
    // The result is GetSize afterwards, which counts items held before the call too.
    size_t Parse(const unsigned char* bytes, int length);

    void Clear() { items.clear(); }

private:
    std::vector<Tlv> items;
};
