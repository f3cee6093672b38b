// A temporary folder for one test, removed with everything in it at the end. Header only.
#pragma once

#include "ZELCommon/tests/RemoveTree.h"

#include <windows.h>

#include <string>

namespace TestSupport {

class TempFolder {
public:
    // %TEMP%\<name><process id>\, empty.
    explicit TempFolder(const wchar_t* name)
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root = std::wstring(temp) + name + std::to_wstring(GetCurrentProcessId()) + L"\\";
        RemoveTree(root);
        CreateDirectoryW(root.c_str(), nullptr);
    }
    ~TempFolder() { RemoveTree(root); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Writes a file at a path under the folder, making the folders on the way.
    template <typename Bytes> void Write(const std::wstring& path, const Bytes& bytes) const
    {
        for (size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1))
            CreateDirectoryW((root + path.substr(0, at)).c_str(), nullptr);
        HANDLE file = CreateFileW((root + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        if (!bytes.empty()) WriteFile(file, &bytes[0], DWORD(bytes.size() * sizeof(bytes[0])), &written, nullptr);
        CloseHandle(file);
    }
    void Write(const std::wstring& path, const char* text) const { Write(path, std::string(text)); }
    void Folder(const std::wstring& path) const { CreateDirectoryW((root + path).c_str(), nullptr); }

    std::wstring root;
};

}  // namespace TestSupport
