// What the file browser computes without a window: device paths (rooted at "\", mapped onto the
// handheld layer's root folder), the folder listing in the browser's order, the path list, and the
// texts of sizes and dates. No path it builds is longer than MAX_PATH - 1 characters.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace FileBrowser {

struct Entry {
    std::wstring name;
    unsigned size;  // low 32 bits; folders 0
    FILETIME written;
};

// The real folder or file behind a device path ("\A\b" -> root folder + "A\b").
std::wstring RealPath(const std::wstring& devicePath);
// The device path of a real one under the root; empty when it lies elsewhere.
std::wstring DevicePath(const std::wstring& realPath);

// Folders and files of a device folder (ending in "\"); type such as "*.wav", empty for every
// file; hidden entries only with showAll. Each list is sorted by name, code point by code point.
// False when the folder cannot be found (the lists are then empty).
bool List(const std::wstring& folder, const std::wstring& type, bool showAll, std::vector<Entry>& folders,
          std::vector<Entry>& files);
void SortByName(std::vector<Entry>& entries);

// "1024", "1.00K", "1.00M".
std::wstring SizeText(unsigned size);
// Local time "YYYY/MM/DD hh:mm".
std::wstring DateText(const FILETIME& written);

// "\", then each folder of the path indented two blanks per level.
std::vector<std::wstring> PathEntries(const std::wstring& folder);
// The folder cut after its (index + 1)-th "\".
std::wstring CutAt(const std::wstring& folder, int index);
// The parent ("\" stays "\").
std::wstring Parent(const std::wstring& folder);
// folder + name + "\"; false when that would pass MAX_PATH.
bool Child(const std::wstring& folder, const std::wstring& name, std::wstring& out);
// The path a typed save name gives: the type's extension appended unless the name already ends
// with it (case-sensitive); false for an empty name or a path that would pass MAX_PATH.
bool SavePath(const std::wstring& folder, const std::wstring& name, const std::wstring& type, std::wstring& out);
// The filter's types: "*.wav;*.ini;" -> "*.wav", "*.ini".
std::vector<std::wstring> Types(const std::wstring& filter);

}  // namespace FileBrowser
