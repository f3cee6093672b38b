// A folder of a test's own under the system's temporary folder, and whole-file reads and writes for
// looking at what the code under test left there. Header only, for any test program.
#pragma once

#include "ZELCommon/ZELString.h"
#include "ZELCommon/tests/RemoveTree.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace TestSupport {

// The whole content of a file (any container of bytes: std::string, std::vector<unsigned char>).
// False when the file cannot be opened or read; others may hold it open for reading meanwhile.
template <typename Bytes> bool ReadWholeFile(const std::wstring& path, Bytes& out)
{
    out.clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    unsigned char buffer[4096];
    DWORD got = 0;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != FALSE) && got) out.insert(out.end(), buffer, buffer + got);
    CloseHandle(file);
    return ok;
}

// Replaces the file with the bytes; false when it cannot be written whole.
template <typename Bytes> bool WriteWholeFile(const std::wstring& path, const Bytes& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    bool ok = bytes.empty() || (WriteFile(file, &bytes[0], DWORD(bytes.size()), &done, nullptr) && done == bytes.size());
    CloseHandle(file);
    return ok;
}

inline bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A fresh, empty folder named from prefix, the process and a serial, removed with everything in it
// when the object goes. Its path ends with a backslash, so file names are appended directly.
class TempFolder {
public:
    explicit TempFolder(const wchar_t* prefix)
    {
        static std::atomic<int> serial{0};
        wchar_t temp[MAX_PATH + 1];
        DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        path = std::wstring(temp, length) + prefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(++serial) + L"\\";
        RemoveTree(path);
        CreateDirectoryW(path.c_str(), nullptr);
    }
    ~TempFolder() { RemoveTree(path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    CZELString Path() const { return CZELString(path.c_str()); }
    CZELString File(const wchar_t* name) const { return CZELString((path + name).c_str()); }

    // The file's content, empty when it cannot be read.
    static std::string Read(const std::wstring& file)
    {
        std::string bytes;
        ReadWholeFile(file, bytes);
        return bytes;
    }
    static bool Exists(const std::wstring& file) { return FileExists(file); }

    // Writes a file at a path under the folder, making the folders on the way.
    template <typename Bytes> void Write(const std::wstring& name, const Bytes& bytes) const
    {
        for (size_t at = name.find(L'\\'); at != std::wstring::npos; at = name.find(L'\\', at + 1))
            CreateDirectoryW((path + name.substr(0, at)).c_str(), nullptr);
        HANDLE file = CreateFileW((path + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        if (!bytes.empty()) WriteFile(file, &bytes[0], DWORD(bytes.size() * sizeof(bytes[0])), &written, nullptr);
        CloseHandle(file);
    }
    void Write(const std::wstring& name, const char* text) const { Write(name, std::string(text)); }
    void Folder(const std::wstring& name) const { CreateDirectoryW((path + name).c_str(), nullptr); }

    std::wstring path;
};

}  // namespace TestSupport
