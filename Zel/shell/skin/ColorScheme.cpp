#include "Zel/shell/skin/ColorScheme.h"

#include "Zel/shell/helpers/FileHelpers.h"
#include "Zel/shell/helpers/ResourcePaths.h"
#include "ZELCommon/ZELPath.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>

namespace ColorScheme {

const COLORREF Defaults[Count] = {
    0x008000, 0xFFFFFF, 0xC8D0D4, 0x808080, 0x804000, 0xFF0000, 0xFF0000, 0x0000FF, 0x800000,
    0xC0D9F4, 0xFFFFFF, 0x357EC9, 0x0000FF, 0xFF0000, 0x000000, 0x808080, 0x000080, 0xD6C731,
    0xFFFFFF, 0x800000, 0x005353, 0x000000, 0x000000, 0x000000, 0xC97E35, 0xF4D9C0, 0xFFFFFF,
    0xC03000, 0x0000FF, 0x000000, 0xFFFFFF, 0xC97E35, 0xA0A0A0,
};

namespace {

const char kHeader[] = "[ZELColors]";
const size_t kHeaderLength = sizeof(kHeader) - 1;
// Six hexadecimal digits follow each "="; the next value is looked for after one more character.
const size_t kDigits = 6;
const size_t kStride = kDigits + 2;

std::atomic<const COLORREF*> current{nullptr};

// The six characters as "%06X" reads them.
bool ReadValue(const char* six, COLORREF& value)
{
    char copy[kDigits + 1];
    memcpy(copy, six, kDigits);
    copy[kDigits] = 0;
    unsigned number = 0;
    if (sscanf(copy, "%06X", &number) != 1) return false;
    value = number;
    return true;
}

}  // namespace

void SetDefaults(COLORREF* table)
{
    memcpy(table, Defaults, sizeof Defaults);
}

bool Parse(const char* text, size_t length, COLORREF* table)
{
    COLORREF read[Count];
    if (!text || length < kHeaderLength || memcmp(text, kHeader, kHeaderLength) != 0) {
        SetDefaults(table);
        return false;
    }
    size_t position = kHeaderLength;
    for (int n = 0; n < Count; ++n) {
        // position never passes length, so nothing past the text is looked at.
        const void* found = memchr(text + position, '=', length - position);
        if (!found) {
            SetDefaults(table);
            return false;
        }
        size_t equals = size_t(static_cast<const char*>(found) - text);
        if (length - equals - 1 < kDigits || !ReadValue(text + equals + 1, read[n])) {
            SetDefaults(table);
            return false;
        }
        position = equals + kStride < length ? equals + kStride : length;
    }
    memcpy(table, read, sizeof read);
    return true;
}

void Load(const wchar_t* path, COLORREF* table)
{
    unsigned size = 0;
    std::unique_ptr<unsigned char[]> text(ReadWholeFile(path, &size));
    if (!text) {
        SetDefaults(table);
        return;
    }
    Parse(reinterpret_cast<const char*>(text.get()), size, table);
}

void LoadPack(const CZELString& skinName, COLORREF* table, const CZELString& root)
{
    CZELString path = (root.IsEmpty() ? CZELPath::AppDir() : root) + GetSkinsFolderName() + skinName + GetPathSeparator() + GetColorsFileName();
    Load(path.GetBuffer(), table);
}

size_t Format(const COLORREF* table, char* out, size_t capacity)
{
    size_t used = 0;
    if (capacity <= kHeaderLength) return 0;
    memcpy(out, kHeader, kHeaderLength);
    used = kHeaderLength;
    for (int n = 0; n < Count; ++n) {
        int written = snprintf(out + used, capacity - used, "\r\n%d=%06X", n + 1, unsigned(table[n]));
        if (written < 0 || size_t(written) >= capacity - used) return 0;
        used += size_t(written);
    }
    return used;
}

bool Save(const wchar_t* path, const COLORREF* table)
{
    char text[kHeaderLength + Count * 20];
    size_t length = Format(table, text, sizeof text);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // The header first; the lines follow only when it was written whole.
    DWORD written = 0;
    bool whole = WriteFile(file, text, DWORD(kHeaderLength), &written, nullptr) && written == kHeaderLength;
    if (whole) {
        DWORD rest = DWORD(length - kHeaderLength);
        whole = WriteFile(file, text + kHeaderLength, rest, &written, nullptr) && written == rest;
    }
    CloseHandle(file);
    return whole;
}

void SetCurrent(const COLORREF* table)
{
    current.store(table);
}

}  // namespace ColorScheme

COLORREF GetSchemeColor(int index)
{
    if (index < 0) index = 0;
    if (index >= ColorScheme::Count) index = ColorScheme::Count - 1;
    const COLORREF* table = ColorScheme::current.load();
    return table ? table[index] : ColorScheme::Defaults[index];
}
