// CZELFileSystem: deleting files and listing the entries of a folder.
#pragma once

#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELString.h"

class ZELCOMMON_API CZELFileSystem {
public:
    // The result is not reported.
    static void DeleteFileW(const CZELString& path);

    // Appends to out the names (without folder) of the sub-folders (flags bit 0) and files (bit 1)
    // of folder, which ends with the separator, in the file system's order; "." and ".." are never
    // listed. A missing or empty folder appends nothing. Always true.
    static bool GetDirectoryFiles(const CZELString& folder, unsigned flags, CZELArray<CZELString>& out);
};
