// Removing a test's folder with everything in it. Header only, for any test program.
#pragma once

#include <windows.h>

#include <string>

namespace TestSupport {

// Deletes folder (a path ending in a backslash), its files and its subfolders; what cannot be
// deleted stays.
inline void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name + L"\\");
            else
                DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace TestSupport
