#include "Zel/core/history/SafeFileName.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string>

namespace {

bool IsRefused(wchar_t c)
{
    return c < 0x20 || wcschr(L"\\/:*?\"<>|", c) != nullptr;
}

bool IsHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
}

// Names the file system opens as devices in every folder, also with an extension ("NUL.txt").
bool IsDeviceName(const std::wstring& name)
{
    static const wchar_t* const kDevices[] = {L"CON",  L"PRN",  L"AUX",  L"NUL",    L"COM1",   L"COM2", L"COM3",
                                              L"COM4", L"COM5", L"COM6", L"COM7",   L"COM8",   L"COM9", L"LPT1",
                                              L"LPT2", L"LPT3", L"LPT4", L"LPT5",   L"LPT6",   L"LPT7", L"LPT8",
                                              L"LPT9", L"COM0", L"LPT0", L"CONIN$", L"CONOUT$"};
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    for (wchar_t& c : stem) c = wchar_t(std::towupper(c));
    for (const wchar_t* device : kDevices)
        if (stem == device) return true;
    return false;
}

// Appends "%XX" backwards, for a name built from its end.
void PushEscapedBackwards(std::wstring& reversed, wchar_t c)
{
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    reversed += kDigits[c & 0xF];
    reversed += kDigits[(c >> 4) & 0xF];
    reversed += L'%';
}

}  // namespace

namespace {

CZELString MakeSafe(const CZELString& name, bool separatorToo)
{
    std::wstring in;
    if (name.GetBuffer()) in.assign(name.GetBuffer(), size_t(name.GetLength()));

    // Built from the end, because whether a '%' needs its code depends on what is written after it.
    std::wstring reversed;
    bool atEnd = true;  // every unit after this one is a dot or a space
    for (size_t i = in.size(); i-- > 0;) {
        wchar_t c = in[i];
        atEnd = atEnd && (c == L'.' || c == L' ');
        bool escape = IsRefused(c) || (separatorToo && c == L'_') || atEnd;
        if (c == L'.' && i + 1 < in.size() && in[i + 1] == L'.') escape = true;
        size_t n = reversed.size();
        if (c == L'%' && n >= 2 && IsHexDigit(reversed[n - 1]) && IsHexDigit(reversed[n - 2])) escape = true;
        if (escape)
            PushEscapedBackwards(reversed, c);
        else
            reversed += c;
    }
    std::wstring out(reversed.rbegin(), reversed.rend());
    // The first unit of a device name is a letter, written as it is so far.
    if (IsDeviceName(out)) {
        std::wstring code;
        PushEscapedBackwards(code, out[0]);
        out.replace(0, 1, std::wstring(code.rbegin(), code.rend()));
    }
    return CZELString(out.c_str(), int(out.size()));
}

}  // namespace

CZELString MakeSafeFileName(const CZELString& name)
{
    return MakeSafe(name, false);
}

CZELString MakeSafeFilePart(const CZELString& name)
{
    return MakeSafe(name, true);
}

CZELString MakeTransferFileName(const CZELString& name)
{
    CZELString safe = MakeSafeFileName(name);
    const int length = safe.GetLength();
    for (const wchar_t* reserved : {L".zhf", L".damaged"}) {
        const int tail = int(wcslen(reserved));
        if (length >= tail && safe.Substring(length - tail, tail) == CZELString(reserved)) return safe + L".bin";
    }
    return safe;
}
