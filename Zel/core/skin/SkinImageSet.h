// CSkinImageSet: the user interface's table of skin images, one entry per index. Indices 0 to 77 are
// the built-in images, present from the start; later names are appended and keep their index for the
// whole run. Accounts acquire images on their own threads while the window thread draws, so every
// operation takes the set's lock.
#pragma once

#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <vector>

class CSkinImageSet {
public:
    enum { BuiltInCount = 78 };

    CSkinImageSet();
    ~CSkinImageSet();
    CSkinImageSet(const CSkinImageSet&) = delete;
    CSkinImageSet& operator=(const CSkinImageSet&) = delete;

    // Index of the image named name (letter case ignored), its use count raised by one; a new name
    // gets a new entry.
    int Acquire(const CZELString& name);
    // Lowers the use count; an added entry whose count reaches 0 frees its picture (it is loaded again
    // when next drawn). Indices never given out are ignored.
    void Release(int index);

    CZELString GetName(int index);
    int GetUseCount(int index);
    // The picture drawn for the entry, null until it is loaded; the set owns it.
    HBITMAP GetPicture(int index);
    void SetPicture(int index, HBITMAP picture);

    static const wchar_t* BuiltInName(int index);

private:
    struct Entry {
        HBITMAP picture = nullptr;
        CZELString name;  // stored for added entries only
        int useCount = 0;
    };
    bool Valid(int index) const { return index >= 0 && index < int(entries.size()); }

    CZELCriticalSection lock;
    std::vector<Entry> entries;
};
