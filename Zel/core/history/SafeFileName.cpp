#include "Zel/core/history/SafeFileName.h"

#include <cwchar>
#include <cwctype>
#include <string>

namespace {

const wchar_t kReplacement = L'_';

bool IsRefused(wchar_t c)
{
    return c < 0x20 || wcschr(L"\\/:*?\"<>|", c) != nullptr;
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

}  // namespace

CZELString MakeSafeFileName(const CZELString& name)
{
    std::wstring out;
    if (name.GetBuffer()) out.assign(name.GetBuffer(), size_t(name.GetLength()));
    for (wchar_t& c : out)
        if (IsRefused(c)) c = kReplacement;
    // ".." anywhere: no run of dots can then name a parent folder, whatever else the name holds.
    for (size_t i = 0; i + 1 < out.size(); ++i) {
        if (out[i] == L'.' && out[i + 1] == L'.') out[i] = out[i + 1] = kReplacement;
    }
    for (size_t i = out.size(); i > 0 && (out[i - 1] == L'.' || out[i - 1] == L' '); --i) out[i - 1] = kReplacement;
    if (out.empty()) out = kReplacement;
    if (IsDeviceName(out)) out.insert(out.begin(), kReplacement);
    return CZELString(out.c_str(), int(out.size()));
}
