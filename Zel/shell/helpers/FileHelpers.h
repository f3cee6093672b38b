// Files and folders for the pack loaders and the preference pages: existence, whole-file reads and
// sorted listings. Every helper fails quietly with an empty result.
#pragma once

#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"

// True when FindFirstFile finds the path.
bool FileExists(const wchar_t* path);

// The whole file and a zero byte after it, in a new[] buffer the caller frees with delete[]; null
// for a file that cannot be opened, is empty, is larger than limit bytes, or reads short. *size
// (when given) receives the byte count without the zero.
unsigned char* ReadWholeFile(const wchar_t* path, unsigned* size = nullptr, unsigned limit = 0x7FFFFFFEu);

// out = the zero-terminated pieces after first, up to a null pointer, joined; out must hold them.
void ConcatStrings(wchar_t* out, const wchar_t* first, ...);

// The names of folder's sub-folders ("." and ".." aside), or of the entries matching mask, sorted by
// plain UTF-16 unit order (so "Z" comes before "a"), equal names kept in the order found. folder
// ends with "\". A missing folder gives an empty list.
void ListSubdirectories(const CZELString& folder, CZELArray<CZELString>& out);
void ListFiles(const CZELString& folder, const CZELString& mask, CZELArray<CZELString>& out);
