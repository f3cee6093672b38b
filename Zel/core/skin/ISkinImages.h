// ISkinImages: the skin image registry as other modules see it. Plug-ins reach it on the bus under
// GUID_SKIN_IMAGES and call it only through these virtual slots, so their order is the interface:
// nothing may be inserted before or between them.
#pragma once

#include "ZELCommon/ZELString.h"

#include <windows.h>

class ISkinImages {
public:
    // The index of the image named name (letter case ignored), its use count raised by one; a new
    // name gets a new index, which it keeps for the rest of the run.
    virtual int AcquireImage(const CZELString& name) = 0;
    // Lowers the use count; an added image whose count reaches 0 frees its picture.
    virtual void ReleaseImage(int index) = 0;
    // out = the current interface language's name; returns out.
    virtual CZELString& GetLanguageName(CZELString& out) = 0;
    virtual HBRUSH GetBkBrush() = 0;
    // Colour 22 of the current colour scheme.
    virtual COLORREF GetTextColor() = 0;

protected:
    // Nobody deletes the service through the interface; keeping the destructor out of it keeps the
    // operations in the first slots.
    ~ISkinImages() {}
};
