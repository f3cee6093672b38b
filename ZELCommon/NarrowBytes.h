// NarrowBytes: a text in a narrow code page as the bytes a protocol sends, measured on the converted
// bytes (never on the UTF-16 units: a surrogate pair may become one byte, a letter three). Embedded
// zero units are kept. Header only, for every module that packs texts.
#pragma once

#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <vector>

inline std::vector<unsigned char> NarrowBytes(const CZELString& text, unsigned codePage)
{
    std::vector<unsigned char> out;
    if (text.IsEmpty()) return out;
    int size = WideCharToMultiByte(codePage, 0, text.GetBuffer(), text.GetLength(), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return out;
    out.resize(size_t(size));
    if (WideCharToMultiByte(codePage, 0, text.GetBuffer(), text.GetLength(), reinterpret_cast<char*>(out.data()), size,
                            nullptr, nullptr) != size)
        out.clear();
    return out;
}
