// GifImage and GifFrame: what the GIF decoder makes of a file. Each frame is an 8-bit indexed,
// top-down device-independent bitmap with its own colour table, ready to hand to the drawing calls
// without a conversion pass; composing frames is left to the caller.
//
// The colour table always holds 256 entries: the frame's 2^colorBits entries first, zeros after
// them. A header that says "0 colours used" at 8 bits makes the drawing calls read 256 entries, and
// pixel values are not checked against the table, so every value a pixel can hold has an entry.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

// Limits checked before anything is allocated: the pixels of one frame, and the memory all the
// frames of one image hold (their rows and their records).
const int kGifMaxFramePixels = 1 << 24;
const long long kGifMaxImageBytes = 1LL << 26;

struct GifBitmapInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

struct GifFrame {
    int width = 0, height = 0;  // the image descriptor's size
    int colorBits = 0;          // 1 to 8: the table in use holds 2^colorBits entries
    int stride = 0;             // width rounded up to a multiple of 4
    int transparentIndex = -1;  // -1 for none; always below 2^colorBits
    int left = 0, top = 0;      // the image descriptor's position
    int delay = 0;              // ms
    int disposal = 0;           // the graphic control extension's method, 0 to 7
    std::unique_ptr<unsigned char[]> pixels;  // stride x height bytes, rows top first
    GifBitmapInfo bitmapInfo;

    RGBQUAD* Palette() { return bitmapInfo.colors; }
    const RGBQUAD* Palette() const { return bitmapInfo.colors; }
    const BITMAPINFO* BitmapInfo() const { return reinterpret_cast<const BITMAPINFO*>(&bitmapInfo); }
    const unsigned char* Row(int y) const { return pixels.get() + size_t(y) * size_t(stride); }

    // Allocates zeroed pixel rows and fills the header, with a zeroed table. False, holding nothing,
    // for a size outside 1..kGifMaxFramePixels, colour bits outside 1..8, or no memory.
    bool Init(int width, int height, int colorBits);
    void Free();
};

struct GifImage {
    int width = 0, height = 0;  // the logical screen size
    std::vector<std::unique_ptr<GifFrame>> frames;

    int Count() const { return int(frames.size()); }
    // The memory the frames hold, as FrameBytes counts it.
    long long Bytes() const { return bytes; }
    void AddFrame(std::unique_ptr<GifFrame> frame);
    void Free();

    // The memory a frame of width x height takes, its record included.
    static long long FrameBytes(int width, int height);

private:
    long long bytes = 0;
};
