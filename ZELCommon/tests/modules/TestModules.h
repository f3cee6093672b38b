// Where the tests' run-time libraries are built: the folder "TestModules\" beside the test program.
#pragma once

#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <string>

inline std::wstring TestProgramFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

inline CZELString TestModulesFolder()
{
    return CZELString((TestProgramFolder() + L"TestModules\\").c_str());
}

inline std::wstring WideText(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

// The decorated name every language module exports its text function under.
const wchar_t kMuiGetStringExport[] = L"?MUI_GetString@@YA_NHAAVCZELString@@@Z";
