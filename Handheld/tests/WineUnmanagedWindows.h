// Under Wine, a window that was ever active is handed to the window manager, and destroying it
// waits two seconds for a window manager that Xvfb does not have. A test program that makes windows
// includes this header: before the display driver starts, it asks Wine to manage no window of the
// program itself. Header only, so that test programs of any module can use it; elsewhere than
// under Wine it does nothing.
#pragma once

#include <windows.h>

#include <string>

namespace WineTestSupport {

struct UnmanagedWindowsUnderWine {
    UnmanagedWindowsUnderWine()
    {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return;
        wchar_t path[MAX_PATH] = L"";
        DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring program(path, length);
        size_t slash = program.find_last_of(L"\\/");
        if (slash != std::wstring::npos) program = program.substr(slash + 1);
        std::wstring key = L"Software\\Wine\\AppDefaults\\" + program + L"\\X11 Driver";
        RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Managed", REG_SZ, L"N", 2 * sizeof(wchar_t));
    }
};

// One for the whole program, however many files include this header; made before main.
inline UnmanagedWindowsUnderWine g_unmanagedWindows;

}  // namespace WineTestSupport
