#include "ZELCommon/ZELFileSystem.h"

#include "ZELCommon/ZELPath.h"

#include <windows.h>

#include <cwchar>

void CZELFileSystem::DeleteFileW(const CZELString& path)
{
    if (!path.IsEmpty()) ::DeleteFileW(path.GetBuffer());
}

bool CZELFileSystem::GetDirectoryFiles(const CZELString& folder, unsigned flags, CZELArray<CZELString>& out)
{
    if (folder.IsEmpty()) return true;
    CZELString pattern = folder + CZELPath::Ast();
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern.GetBuffer(), &entry);
    if (search == INVALID_HANDLE_VALUE) return true;
    do {
        // The desktop file system lists the folder itself and its parent; they are not entries.
        if (!wcscmp(entry.cFileName, L".") || !wcscmp(entry.cFileName, L"..")) continue;
        bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if ((isFolder && (flags & 1)) || (!isFolder && (flags & 2)))
            out.Add(CZELString(entry.cFileName));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return true;
}
