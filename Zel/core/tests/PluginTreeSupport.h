// Where the tests find the plug-in trees built beside the test program, and small checks on what a
// scan left loaded. Each scenario has its own protocols folder: PluginTrees\<scenario>\Protos\.
#pragma once

#include "Zel/core/accounts/ProtocolInfo.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELFileSystem.h"
#include "ZELCommon/ZELGuid.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

namespace PluginTree {

inline std::wstring Wide(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

inline std::string Narrow(const CZELString& s)
{
    std::wstring wide = Wide(s);
    return std::string(wide.begin(), wide.end());
}

inline std::string GuidText(const ZEL_GUID& guid)
{
    return Narrow(guid.GetString());
}

inline std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

// The protocols folder of a scenario, ending with "\".
inline CZELString ProtosFolder(const wchar_t* scenario)
{
    return CZELString((ProgramFolder() + L"PluginTrees\\" + scenario + L"\\Protos\\").c_str());
}

// The plug-in folders of a scenario in the order the file system lists them, which is the order
// the scan visits them in.
inline std::vector<std::wstring> ListedFolders(const wchar_t* scenario)
{
    CZELArray<CZELString> names;
    CZELFileSystem::GetDirectoryFiles(ProtosFolder(scenario), 1, names);
    std::vector<std::wstring> out;
    for (int i = 0; i < names.GetCount(); ++i) out.push_back(Wide(names[i]));
    return out;
}

inline int ListedIndex(const wchar_t* scenario, const wchar_t* folder)
{
    std::vector<std::wstring> listed = ListedFolders(scenario);
    for (size_t i = 0; i < listed.size(); ++i)
        if (listed[i] == folder) return int(i);
    return -1;
}

inline bool IsLoaded(const std::wstring& dllName)
{
    return GetModuleHandleW(dllName.c_str()) != nullptr;
}

// A record for a plug-in folder of a scenario, as the scan would have made it.
inline ProtocolRecord RecordFor(const wchar_t* scenario, const wchar_t* folder, const ZEL_GUID& guid)
{
    ProtocolRecord record;
    record.guid = guid;
    record.dllFile = CZELString((std::wstring(folder) + L".dll").c_str());
    record.folder = ProtosFolder(scenario) + folder + L"\\";
    return record;
}

// The bus address as the test plug-ins write it into every protocol's credits.
inline std::wstring BusText(const void* bus)
{
    wchar_t text[24];
    swprintf(text, 24, L"%016llX", (unsigned long long)(uintptr_t)bus);
    return text;
}

}  // namespace PluginTree
