// Small owners of GDI objects for painting code: each gives back what it took when it goes out of
// scope, on every path.
#pragma once

#include <windows.h>

namespace UI {

// Any object that DeleteObject frees (pens, brushes, bitmaps, fonts, regions).
template <typename Handle> class GdiObject {
public:
    explicit GdiObject(Handle handle = nullptr) : handle(handle) {}
    ~GdiObject()
    {
        if (handle) DeleteObject(handle);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle Get() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }

private:
    Handle handle;
};

// Selects an object into a DC and restores the previous one.
class GdiSelection {
public:
    GdiSelection(HDC dc, HGDIOBJ object) : dc(dc), previous(object ? SelectObject(dc, object) : nullptr) {}
    ~GdiSelection()
    {
        if (previous) SelectObject(dc, previous);
    }
    GdiSelection(const GdiSelection&) = delete;
    GdiSelection& operator=(const GdiSelection&) = delete;

private:
    HDC dc;
    HGDIOBJ previous;
};

// A memory DC holding a bitmap compatible with another DC. Valid only for a positive size: a
// zero-sized bitmap cannot be made, and there is nothing to draw anyway.
class MemoryBitmapDC {
public:
    MemoryBitmapDC(HDC compatible, int width, int height)
        : dc(nullptr), bitmap(nullptr), previous(nullptr)
    {
        if (width <= 0 || height <= 0) return;
        dc = CreateCompatibleDC(compatible);
        if (!dc) return;
        bitmap = CreateCompatibleBitmap(compatible, width, height);
        if (bitmap) previous = SelectObject(dc, bitmap);
    }
    ~MemoryBitmapDC()
    {
        if (previous) SelectObject(dc, previous);
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
    }
    MemoryBitmapDC(const MemoryBitmapDC&) = delete;
    MemoryBitmapDC& operator=(const MemoryBitmapDC&) = delete;

    bool IsValid() const { return dc && bitmap && previous; }
    HDC Get() const { return dc; }
    HBITMAP Bitmap() const { return bitmap; }

private:
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
};

}  // namespace UI
