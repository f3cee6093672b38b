// CSkinImageSet: the user interface's table of skin pictures, one entry per index. Indices 0 to 77 are
// the built-in pictures, present from the start; later names are appended by Acquire and keep their
// index for the whole run. A picture is loaded from the current skin's folder the first time its
// index is drawn, and stays loaded (an empty picture too, so a missing file is not tried again) until
// UnloadAll, or, for an added entry, a release to a use count of 0.
//
// Accounts acquire and release pictures on their own threads while the window thread draws, so
// every operation, drawing included, runs under the set's one lock; a picture is never freed while
// it is being drawn, and the table never grows under a reader.
//
// The set does not decode files itself: the program installs its PNG loader (SetLoader).
#pragma once

#include "Zel/core/skin/SkinPicture.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <memory>
#include <vector>

// Fills out from the file at path; leaves it empty when the file cannot be read.
typedef void (*SkinPictureLoader)(const wchar_t* path, CSkinPicture& out);

class CSkinImageSet {
public:
    enum { BuiltInCount = 78 };

    CSkinImageSet();
    ~CSkinImageSet();
    CSkinImageSet(const CSkinImageSet&) = delete;
    CSkinImageSet& operator=(const CSkinImageSet&) = delete;

    // Index of the picture named name (letter case ignored), its use count raised by one; a new name
    // gets a new entry with use count 1.
    int Acquire(const CZELString& name);
    // Lowers the use count; an added entry whose count reaches 0 frees its picture (it is loaded again
    // when next drawn). Built-in pictures stay; indices never given out and counts at 0 are ignored.
    void Release(int index);

    // Where pictures come from: skinsFolder (ending with "\"; empty = the application folder's
    // "Skins\") + skinName + "\" + the picture's file name. Pictures already loaded stay.
    void SetSkin(const CZELString& skinsFolder, const CZELString& skinName);
    void SetLoader(SkinPictureLoader loader);

    // Index -1, or one never given out, draws nothing.
    void Draw(int index, HDC dc, const POINT& point, int alpha);
    void DrawStretched(int index, HDC dc, int left, int top, int right, int bottom, int mode, int alpha);
    // Loads the entry's picture now (when not loaded yet).
    void LoadEntry(int index);
    // Frees every loaded picture; names and counts stay, and the next draw loads from the skin then
    // current.
    void UnloadAll();

    CZELString GetName(int index);
    int GetUseCount(int index);
    // Whether the entry holds a picture (loaded, possibly empty), and its bitmap (null when none).
    bool IsLoaded(int index);
    HBITMAP GetBitmap(int index);
    // Puts a picture in place of the entry's own (taking it over); for pictures made in memory.
    void SetPicture(int index, CSkinPicture* picture);

    static const wchar_t* BuiltInName(int index);

private:
    struct Entry {
        std::unique_ptr<CSkinPicture> picture;
        CZELString name;  // stored for added entries only
        int useCount = 0;
    };
    bool Valid(int index) const { return index >= 0 && index < int(entries.size()); }
    // The entry's picture, loaded on first use; lock held.
    CSkinPicture* Loaded(int index);
    CZELString PathOf(int index) const;

    CZELCriticalSection lock;
    std::vector<Entry> entries;
    CZELString skinsFolder;
    CZELString skinName;
    SkinPictureLoader loader;
};
