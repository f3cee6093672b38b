// The colour scheme: 33 COLORREF values (0x00BBGGRR) with built-in defaults, kept by a skin in
// "_colors.ini": the header "[ZELColors]" with no line end, then "\r\n%d=%06X" for colours 1 to 33.
// The reader ignores the numbers before "=" and takes the first 33 values in file order; anything
// less (a missing or short file, a missing header, six characters that are not hexadecimal) gives
// every default.
#pragma once

#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <cstddef>

namespace ColorScheme {

enum { Count = 33, TextColor = 22 };

extern const COLORREF Defaults[Count];

void SetDefaults(COLORREF* table);
// The colours from the file's text (length bytes; no terminator needed); false, with every
// default in table, when the text is not a whole scheme.
bool Parse(const char* text, size_t length, COLORREF* table);
void Load(const wchar_t* path, COLORREF* table);
// Load of root (the application folder when empty) + "Skins\" + skinName + "\" + "_colors.ini".
void LoadPack(const CZELString& skinName, COLORREF* table, const CZELString& root = CZELString());
// Writes a new file (replacing one there); false when it cannot be created or written whole.
bool Save(const wchar_t* path, const COLORREF* table);
// The text Save writes.
size_t Format(const COLORREF* table, char* out, size_t capacity);

// The scheme every window draws with: the application's record once it is set, else the defaults.
void SetCurrent(const COLORREF* table);

}  // namespace ColorScheme

// Colour index of the current scheme; an index outside 0 to 32 is clamped into it.
COLORREF GetSchemeColor(int index);
