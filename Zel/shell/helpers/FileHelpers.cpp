#include "Zel/shell/helpers/FileHelpers.h"

#include "Zel/shell/helpers/ResourcePaths.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

bool FileExists(const wchar_t* path)
{
    if (!path || !*path) return false;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(path, &data);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

unsigned char* ReadWholeFile(const wchar_t* path, unsigned* size, unsigned limit)
{
    if (size) *size = 0;
    if (!path) return nullptr;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    unsigned char* buffer = nullptr;
    LARGE_INTEGER length;
    if (GetFileSizeEx(file, &length) && length.QuadPart > 0 && length.QuadPart <= limit &&
        length.QuadPart < 0x7FFFFFFF) {
        DWORD count = DWORD(length.QuadPart);
        buffer = new (std::nothrow) unsigned char[count + 1];
        DWORD read = 0;
        if (buffer && ReadFile(file, buffer, count, &read, nullptr) && read == count) {
            buffer[count] = 0;
            if (size) *size = count;
        } else {
            delete[] buffer;
            buffer = nullptr;
        }
    }
    CloseHandle(file);
    return buffer;
}

void ConcatStrings(wchar_t* out, const wchar_t* first, ...)
{
    if (!out) return;
    *out = 0;
    va_list pieces;
    va_start(pieces, first);
    for (const wchar_t* piece = first; piece; piece = va_arg(pieces, const wchar_t*)) {
        size_t length = wcslen(piece);
        wmemcpy(out, piece, length);
        out += length;
        *out = 0;
    }
    va_end(pieces);
}

namespace {

void List(const CZELString& folder, const CZELString& mask, bool foldersOnly, CZELArray<CZELString>& out)
{
    out = CZELArray<CZELString>();
    std::vector<std::wstring> names;
    CZELString pattern = folder + mask;
    WIN32_FIND_DATAW entry;
    HANDLE search = pattern.GetBuffer() ? FindFirstFileW(pattern.GetBuffer(), &entry) : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE) return;
    try {
        do {
            std::wstring name(entry.cFileName, wcsnlen(entry.cFileName, MAX_PATH));
            if (foldersOnly && (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L".."))
                continue;
            names.push_back(name);
        } while (FindNextFileW(search, &entry));
        // Plain unit order, case-sensitive; equal names keep the order they were found in.
        std::stable_sort(names.begin(), names.end());
    } catch (const std::bad_alloc&) {
        names.clear();
    }
    FindClose(search);
    for (const std::wstring& name : names) out.Add(CZELString(name.c_str(), int(name.size())));
}

}  // namespace

void ListSubdirectories(const CZELString& folder, CZELArray<CZELString>& out)
{
    List(folder, CZELString(GetAllFilesMask()), true, out);
}

void ListFiles(const CZELString& folder, const CZELString& mask, CZELArray<CZELString>& out)
{
    List(folder, mask, false, out);
}
