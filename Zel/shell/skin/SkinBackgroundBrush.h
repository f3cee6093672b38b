// The skin's background brush: picture 38 ("zel_mw_background.png") tiled, as a pattern brush. Every
// window paints its background with it.
#pragma once

#include <windows.h>

class CSkinImageSet;

class SkinBackgroundBrush {
public:
    SkinBackgroundBrush() : brush(nullptr) {}
    ~SkinBackgroundBrush() { Destroy(); }
    SkinBackgroundBrush(const SkinBackgroundBrush&) = delete;
    SkinBackgroundBrush& operator=(const SkinBackgroundBrush&) = delete;

    enum { BackgroundPicture = 38 };

    // Makes the brush from the set's background picture; false when no brush could be made.
    bool Create(CSkinImageSet& images);
    // Deletes the current brush, then Create.
    bool Rebuild(CSkinImageSet& images);
    void Destroy();
    HBRUSH Get() const { return brush; }

private:
    HBRUSH brush;
};

// A bitmap of the window's client size filled with brush, the brush's origin at minus the window's
// screen position so that the pattern lines up with the windows behind; the caller deletes it.
HBITMAP MakeSkinBackgroundBitmap(HBRUSH brush, HWND window);
