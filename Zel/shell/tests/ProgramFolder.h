// A folder laid out as a user's program folder: the program, its libraries, the default skin and a
// protocols folder, for the tests and benchmarks that start the program as its own process. Header
// only.
#pragma once

#include <windows.h>

#include <string>

namespace ProgramFolder {

// The folder of the running test or benchmark program, ending with "\".
inline std::wstring Bin()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path, length);
    return full.substr(0, full.rfind(L'\\') + 1);
}

// Copies a folder (both paths end with "\") with everything in it.
inline void CopyTree(const std::wstring& from, const std::wstring& to)
{
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((from + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + name + L"\\", to + name + L"\\");
        else
            CopyFileW((from + name).c_str(), (to + name).c_str(), FALSE);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

// Lays the program out in folder (made, ending with "\"), with the test plug-ins of a scenario as
// its "Protos\"; false when a file of the program is missing.
inline bool LayOut(const std::wstring& folder, const wchar_t* pluginScenario)
{
    std::wstring bin = Bin();
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* file : {L"Zel.exe", L"ZELCommon.dll", L"Handheld.dll", L"libstdc++-6.dll", L"libgcc_s_seh-1.dll",
                                L"libwinpthread-1.dll"})
        if (!CopyFileW((bin + file).c_str(), (folder + file).c_str(), FALSE)) return false;
    CopyTree(bin + L"PluginTrees\\" + pluginScenario + L"\\Protos\\", folder + L"Protos\\");
    CopyTree(bin + L"Skins\\", folder + L"Skins\\");
    return true;
}

}  // namespace ProgramFolder
