// The default smiley pack as the build puts it beside the program: its folder and its GIF files in
// sorted order, as the pack folder's listing gives them. Header only, for the tests and the
// benchmark.
#pragma once

#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELPath.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace TestSupport {

inline CZELString DefaultSmileyPackFolder()
{
    return CZELPath::AppDir() + CZELPath::SmiliesDir() + L"ZEL PDA smilies\\";
}

// False when the folder holds no GIF file.
inline bool ListDefaultSmileyPack(CZELArray<CZELString>& files)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((std::wstring(DefaultSmileyPackFolder().GetBuffer()) + L"*.gif").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    do names.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    for (const auto& name : names) files.Add(CZELString(name.c_str()));
    return true;
}

}  // namespace TestSupport
