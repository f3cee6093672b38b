// The code-to-text lists of the network's directory (countries, languages, interests...), read from
// UTF-16 little-endian files in the plug-in's folder: a line is a decimal code, ';' and the text,
// lines end in CR LF. Shared by the details and search pages of every account, on the user
// interface's thread; each open page set holds them, the last to close empties them.
#pragma once

#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <cstddef>
#include <vector>

struct LookupEntry {
    int code;
    CZELString text;
};

class LookupList {
public:
    // Adds the entry unless its text (letter case aside) is there already; false then.
    bool Insert(int code, const CZELString& text);
    // Reads the lines of a file's bytes; a line past the longest kept is skipped.
    void Parse(const unsigned char* bytes, size_t size);
    // False when the file cannot be read (the list is left as it was).
    bool Load(const CZELString& path);
    void Clear() { entries.clear(); }
    int Count() const { return int(entries.size()); }
    // The text of the first entry in text order with code; empty when none has it.
    CZELString Text(int code) const;
    // In text order.
    const std::vector<LookupEntry>& Entries() const { return entries; }

    enum { LongestLine = 254 };

private:
    std::vector<LookupEntry> entries;
};

namespace LookupLists {

enum Kind { Countries, Occupations, Languages, Interests, Groups, PastBackgrounds, Gender, MaritalStatus, Count };

// A page set opens: the lists not loaded are read from folder (ending in '\').
void Open(const CZELString& folder);
// A page set closes: the last one empties the lists.
void Close();
int OpenSets();
LookupList& Get(Kind kind);
// The file name of a list.
const wchar_t* FileName(Kind kind);

}  // namespace LookupLists

// Fills a drop-down list that holds no rows yet: an empty row (data 0), then the entries in text
// order with their codes as data.
void FillLookupCombo(HWND dialog, int controlId, const LookupList& list);
