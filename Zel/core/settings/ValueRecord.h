// ValueRecord: a named run of bytes, the one storage format of the service core. Its byte form is
//   [u8 name length][name in UTF-8][u32 little-endian data length][data]
// with no alignment, no terminator, and records written back to back with nothing between them.
//
// Limits: a name has a byte form only when its UTF-8 form fits the one length byte (MaxNameBytes);
// a record with a longer name is never serialised (Serialise writes nothing) and the containers
// refuse it, so a length byte is never wrapped. The whole record size always fits 32 bits.
//
// Copying copies the bytes (a record never shares them). Construction with bytes and copying throw
// std::bad_alloc when the bytes cannot be had; the containers turn that into their failure results.
// Parse and the writers never throw: they return their failure instead.
#pragma once

#include "ZELCommon/ZELString.h"

class ValueRecord {
public:
    enum : unsigned {
        MaxNameBytes = 255,
        HeaderBytes = 5,  // the length byte and the 32-bit data length
    };

    ValueRecord();
    // Copies length bytes; no data when bytes is null or length is 0.
    explicit ValueRecord(const CZELString& name, const void* bytes = nullptr, unsigned length = 0);
    ValueRecord(const ValueRecord& other);
    ValueRecord(ValueRecord&& other) noexcept;
    ValueRecord& operator=(const ValueRecord& other);
    ValueRecord& operator=(ValueRecord&& other) noexcept;
    ~ValueRecord();

    CZELString GetName() const { return name; }
    unsigned GetLength() const { return length; }
    // Null when the length is 0.
    const unsigned char* GetData() const { return data; }
    // False when the name's UTF-8 form is longer than MaxNameBytes: no byte form exists.
    bool HasValidName() const { return nameBytes <= MaxNameBytes; }

    // Name bytes + data length + HeaderBytes.
    unsigned GetSize() const;

    // Reads one record from the first available bytes. Returns its size, or 0 (the record left
    // as it was) when no whole record stands there or memory runs out.
    unsigned Parse(const unsigned char* input, unsigned available);
    // Writes the byte form; its size, or 0 (nothing written) when the buffer is absent, smaller
    // than GetSize, or the name has no byte form.
    unsigned Serialise(unsigned char* buffer, unsigned capacity) const;

    // The first byte, or 0 when the record is empty.
    unsigned char ReadByte() const;
    // The first 2 (4) bytes little-endian, or 0 when fewer are stored.
    short ReadShort() const;
    int ReadInt() const;
    // The data as UTF-8; scrambled data is unscrambled in a copy, the stored bytes stay.
    CZELString ReadString(bool scrambled) const;

    // The writers replace the data and return true; on failure (out of memory, or a length that
    // would not fit the record's 32-bit size) they return false and leave the record as it was.
    bool WriteByte(unsigned char value);
    bool WriteShort(short value);
    bool WriteInt(int value);
    bool WriteBlob(const void* bytes, unsigned count);
    bool WriteString(const CZELString& text, bool scrambled);

    // The keyless scramble of string values: byte i becomes (254 - i - b) mod 256. It is its own
    // inverse, so one routine scrambles and unscrambles.
    static void Scramble(unsigned char* bytes, unsigned count);

    // The UTF-8 byte count of a text.
    static unsigned Utf8Length(const CZELString& text);

private:
    bool FitsSize(unsigned count) const;
    // Replaces the data with count bytes (which may lie inside the old data); reallocates only
    // when the length changes.
    bool Replace(const unsigned char* bytes, unsigned count);

    CZELString name;
    unsigned nameBytes;  // UTF-8 byte count of name
    unsigned length;
    unsigned char* data;
};
