// LoadGif: a GIF87a or GIF89a file, animated or not, decoded into a GifImage of 8-bit frames.
//
// The file is read whole into memory and parsed with bounded reads: blocks until the trailer or the
// end of the data, graphic control extensions remembered for the next image only, other extensions
// skipped, stray bytes between blocks ignored. A frame whose data fails is dropped and the frames
// before it stay. Failures show only as debugger lines "ERROR: .\ZELWMSmile_GifLoad line N: ".
//
// Hostile files: a transparent index outside the frame's table means no transparency; a frame over
// kGifMaxFramePixels, or one that would take the image past kGifMaxImageBytes, is refused before
// anything is allocated; a file over kGifMaxFileBytes is not read.
#pragma once

#include "Zel/chat/gif/GifImage.h"

#include <cstddef>

const size_t kGifMaxFileBytes = size_t(64) << 20;

// The debugger lines' numbers.
enum GifDebugLine {
    GifLineFileNotOpened = 106,
    GifLineSignature = 112,
    GifLineImageData = 319,
    GifLineNoFrame = 339
};

// Where debugger lines go: OutputDebugStringA unless a test looks at them.
extern void (*GifDebugOutput)(const char* line);

// Fills image (emptied first) from the file and returns the number of frames decoded; 0 on any
// failure before the first frame. The narrow path is in the system code page.
int LoadGif(GifImage& image, const char* path);
int LoadGif(GifImage& image, const wchar_t* path);

// The same from the file's bytes.
int DecodeGif(GifImage& image, const unsigned char* data, size_t size);

// Replaces palette[transparentIndex] by the first colour (components in steps of 16, blue changing
// fastest, then green, then red) whose 16-wide box holds none of the other count - 1 entries, so
// the pixels of that index show a colour no other pixel has: the drawing side keys on it.
void ChooseGifKeyColour(RGBQUAD* palette, int count, int transparentIndex);
