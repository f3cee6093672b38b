#include "Zel/core/settings/ValueRecord.h"

#include "ZELCommon/Packer.h"

#include <windows.h>

#include <cstring>
#include <new>

namespace {

const unsigned kUtf8 = CP_UTF8;

// A fresh copy of count bytes; throws std::bad_alloc (copying a record is all or nothing).
unsigned char* CopyOrThrow(const unsigned char* bytes, unsigned count)
{
    if (!bytes || count == 0) return nullptr;
    unsigned char* copy = new unsigned char[count];
    std::memcpy(copy, bytes, count);
    return copy;
}

}  // namespace

ValueRecord::ValueRecord() : nameBytes(0), length(0), data(nullptr) {}

ValueRecord::ValueRecord(const CZELString& name, const void* bytes, unsigned count)
    : name(name), nameBytes(Utf8Length(name)), length(0), data(nullptr)
{
    if (!bytes || count == 0) return;
    if (!FitsSize(count)) throw std::bad_alloc();
    data = CopyOrThrow(static_cast<const unsigned char*>(bytes), count);
    length = count;
}

ValueRecord::ValueRecord(const ValueRecord& other)
    : name(other.name), nameBytes(other.nameBytes), length(other.length),
      data(CopyOrThrow(other.data, other.length))
{
}

ValueRecord::ValueRecord(ValueRecord&& other) noexcept
    : name(other.name), nameBytes(other.nameBytes), length(other.length), data(other.data)
{
    other.length = 0;
    other.data = nullptr;
}

ValueRecord& ValueRecord::operator=(const ValueRecord& other)
{
    if (this == &other) return *this;
    unsigned char* copy = CopyOrThrow(other.data, other.length);  // before anything changes
    delete[] data;
    data = copy;
    length = other.length;
    name = other.name;
    nameBytes = other.nameBytes;
    return *this;
}

ValueRecord& ValueRecord::operator=(ValueRecord&& other) noexcept
{
    if (this == &other) return *this;
    delete[] data;
    data = other.data;
    length = other.length;
    name = other.name;
    nameBytes = other.nameBytes;
    other.data = nullptr;
    other.length = 0;
    return *this;
}

ValueRecord::~ValueRecord()
{
    delete[] data;
}

unsigned ValueRecord::Utf8Length(const CZELString& text)
{
    if (text.IsEmpty()) return 0;
    int bytes = WideCharToMultiByte(kUtf8, 0, text.GetBuffer(), text.GetLength(), nullptr, 0, nullptr, nullptr);
    return bytes > 0 ? unsigned(bytes) : 0;
}

bool ValueRecord::FitsSize(unsigned count) const
{
    // The record's size (name + data + header) must stay a 32-bit number.
    return (unsigned long long)nameBytes + HeaderBytes + count <= 0xFFFFFFFFull;
}

unsigned ValueRecord::GetSize() const
{
    return nameBytes + length + HeaderBytes;  // kept within 32 bits by FitsSize
}

unsigned ValueRecord::Parse(const unsigned char* input, unsigned available)
{
    if (!input || available == 0) return 0;
    unsigned nameLength = input[0];
    if (available < nameLength + HeaderBytes) return 0;
    unsigned dataLength = CPacker::Unpack32LE(input + 1 + nameLength);
    // Compared with what remains, never summed: a length near 4 GB must not wrap the test.
    if (dataLength > available - nameLength - HeaderBytes) return 0;

    unsigned char* copy = nullptr;
    if (dataLength != 0) {
        copy = new (std::nothrow) unsigned char[dataLength];
        if (!copy) return 0;
        std::memcpy(copy, input + HeaderBytes + nameLength, dataLength);
    }
    CZELString parsed(reinterpret_cast<const char*>(input + 1), int(nameLength), kUtf8);
    delete[] data;
    data = copy;
    length = dataLength;
    name = parsed;
    nameBytes = Utf8Length(parsed);
    return nameLength + dataLength + HeaderBytes;
}

unsigned ValueRecord::Serialise(unsigned char* buffer, unsigned capacity) const
{
    if (!buffer || !HasValidName()) return 0;
    unsigned size = GetSize();
    if (capacity < size) return 0;
    if (nameBytes != 0) {
        int written = WideCharToMultiByte(kUtf8, 0, name.GetBuffer(), name.GetLength(),
                                          reinterpret_cast<char*>(buffer + 1), int(nameBytes), nullptr, nullptr);
        if (written != int(nameBytes)) return 0;
    }
    buffer[0] = (unsigned char)nameBytes;
    CPacker::Pack32LE(buffer + 1 + nameBytes, length);
    if (length != 0) std::memcpy(buffer + HeaderBytes + nameBytes, data, length);
    return size;
}

unsigned char ValueRecord::ReadByte() const
{
    return length >= 1 ? data[0] : 0;
}

short ValueRecord::ReadShort() const
{
    return length >= 2 ? short(CPacker::Unpack16LE(data)) : 0;
}

int ValueRecord::ReadInt() const
{
    return length >= 4 ? int(CPacker::Unpack32LE(data)) : 0;
}

CZELString ValueRecord::ReadString(bool scrambled) const
{
    if (length == 0) return CZELString();
    if (!scrambled) return CZELString(reinterpret_cast<const char*>(data), int(length), kUtf8);
    unsigned char* plain = new (std::nothrow) unsigned char[length];
    if (!plain) return CZELString();
    std::memcpy(plain, data, length);
    Scramble(plain, length);
    CZELString text(reinterpret_cast<const char*>(plain), int(length), kUtf8);
    delete[] plain;
    return text;
}

bool ValueRecord::Replace(const unsigned char* bytes, unsigned count)
{
    if (!FitsSize(count)) return false;
    if (count == length) {
        if (count != 0) std::memmove(data, bytes, count);
        return true;
    }
    unsigned char* fresh = nullptr;
    if (count != 0) {
        fresh = new (std::nothrow) unsigned char[count];
        if (!fresh) return false;
        std::memcpy(fresh, bytes, count);  // bytes may lie in the old data, freed only now
    }
    delete[] data;
    data = fresh;
    length = count;
    return true;
}

bool ValueRecord::WriteByte(unsigned char value)
{
    return Replace(&value, 1);
}

bool ValueRecord::WriteShort(short value)
{
    unsigned char bytes[2];
    CPacker::Pack16LE(bytes, (unsigned short)value);
    return Replace(bytes, 2);
}

bool ValueRecord::WriteInt(int value)
{
    unsigned char bytes[4];
    CPacker::Pack32LE(bytes, unsigned(value));
    return Replace(bytes, 4);
}

bool ValueRecord::WriteBlob(const void* bytes, unsigned count)
{
    if (!bytes && count != 0) return false;
    return Replace(static_cast<const unsigned char*>(bytes), count);
}

bool ValueRecord::WriteString(const CZELString& text, bool scrambled)
{
    unsigned count = Utf8Length(text);
    if (count == 0) return Replace(nullptr, 0);
    unsigned char* utf8 = new (std::nothrow) unsigned char[count];
    if (!utf8) return false;
    bool done = WideCharToMultiByte(kUtf8, 0, text.GetBuffer(), text.GetLength(), reinterpret_cast<char*>(utf8),
                                    int(count), nullptr, nullptr) == int(count);
    if (done) {
        if (scrambled) Scramble(utf8, count);
        done = Replace(utf8, count);
    }
    delete[] utf8;
    return done;
}

void ValueRecord::Scramble(unsigned char* bytes, unsigned count)
{
    if (!bytes) return;
    for (unsigned i = 0; i < count; ++i) bytes[i] = (unsigned char)(254u - i - bytes[i]);
}
