#include "Zel/prefs/FileBrowserModel.h"

#include "Handheld/FileSystemRoot.h"

#include <algorithm>
#include <cstdio>

namespace FileBrowser {

namespace {

const size_t kLongestPath = MAX_PATH - 1;

std::wstring Root()
{
    wchar_t root[MAX_PATH] = L"";
    GetDeviceRootFolder(root, MAX_PATH);
    return root;
}

bool Hidden(const WIN32_FIND_DATAW& found)
{
    return (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
}

}  // namespace

std::wstring RealPath(const std::wstring& devicePath)
{
    std::wstring rest = devicePath;
    if (!rest.empty() && rest[0] == L'\\') rest.erase(0, 1);
    return Root() + rest;
}

std::wstring DevicePath(const std::wstring& realPath)
{
    const std::wstring root = Root();
    if (realPath.size() < root.size() || CompareStringOrdinal(realPath.c_str(), int(root.size()), root.c_str(),
                                                              int(root.size()), TRUE) != CSTR_EQUAL)
        return std::wstring();
    return L"\\" + realPath.substr(root.size());
}

void SortByName(std::vector<Entry>& entries)
{
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
}

bool List(const std::wstring& folder, const std::wstring& type, bool showAll, std::vector<Entry>& folders,
          std::vector<Entry>& files)
{
    folders.clear();
    files.clear();
    std::wstring real = RealPath(folder);
    std::wstring bare = real;
    if (bare.size() > 3 && bare.back() == L'\\') bare.pop_back();
    const DWORD attributes = GetFileAttributesW(bare.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((real + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
            // The desktop's own entries for this folder and its parent.
            if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0) continue;
            if (Hidden(found) && !showAll) continue;
            folders.push_back(Entry{found.cFileName, 0, found.ftLastWriteTime});
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    search = FindFirstFileW((real + (type.empty() ? L"*.*" : type)).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            if (Hidden(found) && !showAll) continue;
            files.push_back(Entry{found.cFileName, unsigned(found.nFileSizeLow), found.ftLastWriteTime});
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    SortByName(folders);
    SortByName(files);
    return true;
}

std::wstring SizeText(unsigned size)
{
    wchar_t text[32];
    if (size < 1025)
        swprintf(text, 32, L"%d", int(size));
    else if (size < 1048577)
        swprintf(text, 32, L"%.2fK", double(float(size) / 1024.0f));
    else
        swprintf(text, 32, L"%.2fM", double(float(size) / 1048576.0f));
    return text;
}

std::wstring DateText(const FILETIME& written)
{
    FILETIME local = {};
    SYSTEMTIME time = {};
    FileTimeToLocalFileTime(&written, &local);
    FileTimeToSystemTime(&local, &time);
    wchar_t text[32];
    swprintf(text, 32, L"%04d/%02d/%02d %02d:%02d", time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute);
    return text;
}

std::vector<std::wstring> PathEntries(const std::wstring& folder)
{
    std::vector<std::wstring> entries{L"\\"};
    size_t start = 1;
    int depth = 1;
    while (start < folder.size()) {
        const size_t end = folder.find(L'\\', start);
        if (end == std::wstring::npos) break;
        entries.push_back(std::wstring(size_t(depth) * 2, L' ') + folder.substr(start, end - start));
        start = end + 1;
        ++depth;
    }
    return entries;
}

std::wstring CutAt(const std::wstring& folder, int index)
{
    size_t at = 0;
    for (int seen = 0; at < folder.size(); ++at)
        if (folder[at] == L'\\' && seen++ == index) return folder.substr(0, at + 1);
    return folder;
}

std::wstring Parent(const std::wstring& folder)
{
    if (folder.size() <= 1) return L"\\";
    const size_t at = folder.rfind(L'\\', folder.size() - 2);
    return at == std::wstring::npos ? L"\\" : folder.substr(0, at + 1);
}

bool Child(const std::wstring& folder, const std::wstring& name, std::wstring& out)
{
    std::wstring path = folder + name + L"\\";
    if (RealPath(path).size() > kLongestPath) return false;
    out = path;
    return true;
}

bool SavePath(const std::wstring& folder, const std::wstring& name, const std::wstring& type, std::wstring& out)
{
    if (name.empty()) return false;
    std::wstring full = name;
    const std::wstring extension = type.size() > 1 ? type.substr(1) : std::wstring();
    if (!extension.empty() &&
        (full.size() < extension.size() || full.compare(full.size() - extension.size(), extension.size(), extension) != 0))
        full += extension;
    std::wstring path = folder + full;
    if (RealPath(path).size() > kLongestPath) return false;
    out = path;
    return true;
}

std::vector<std::wstring> Types(const std::wstring& filter)
{
    std::vector<std::wstring> types;
    size_t start = 0;
    for (size_t end; (end = filter.find(L';', start)) != std::wstring::npos; start = end + 1)
        if (end > start) types.push_back(filter.substr(start, end - start));
    return types;
}

}  // namespace FileBrowser
