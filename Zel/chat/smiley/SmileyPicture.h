// A smiley's picture as plain data: its codes, its logical screen size and its frames, each with
// its own 32-bit pixels, key colour, delay, position and the frame that must be drawn underneath it
// first. The windows that show smilies turn the frames into device bitmaps once and draw them in the
// order SmileyPaintOrder gives; ComposeSmileyFrame draws the same order into a plain pixel buffer.
//
// A picture without frames is neither drawn nor animated: IsAnimated is false for it as for a
// single frame, and both functions draw nothing.
#pragma once

#include "Zel/chat/gif/GifImage.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

const int kSmileyMinDelay = 150;  // ms: every frame lasts at least this long

struct SmileyFrame {
    // width x height words, rows top first, each 0x00RRGGBB as a 32-bit top-down DIB holds it.
    std::vector<uint32_t> pixels;
    COLORREF transparentColor = CLR_INVALID;  // the colour drawing keys on, CLR_INVALID for none
    int delay = kSmileyMinDelay;              // ms
    int baseFrame = -1;                       // the frame drawn underneath first, or -1
    int left = 0, top = 0, width = 0, height = 0;
};

struct SmileyPicture {
    CZELString path;
    std::vector<CZELString> codes;
    int width = 0, height = 0;  // the GIF's logical screen size
    std::vector<SmileyFrame> frames;

    int FrameCount() const { return int(frames.size()); }
    // Only pictures of two frames or more take part in animation.
    bool IsAnimated() const { return frames.size() > 1; }
};

// The frame drawn under frame index, from the disposal method of the frame before it: "do not
// dispose" (and the unspecified 0) draws over the previous frame, "restore to previous" over the
// one before that, anything else draws the frame alone. The first two frames never restore.
int SmileyBaseFrame(int index, int previousDisposal);

// The picture's size and frames from a decoded image (nothing when it has no frame).
void MakeSmileyFrames(const GifImage& image, SmileyPicture& picture);

// Decodes picture.path and makes its frames; false (and no frames) when nothing could be decoded.
bool LoadSmileyFrames(SmileyPicture& picture);

// The frames to draw, bottom first, to show frame n (an index past the last means the last, one
// below 0 the first). A frame that cannot be drawn (drawable says no) is replaced by the frame
// before it, unless it is the first or has a base frame. Computed by a loop over the chain of base
// frames, however long.
std::vector<int> SmileyPaintOrder(const std::vector<SmileyFrame>& frames, int n,
                                  const std::function<bool(int)>& drawable);
std::vector<int> SmileyPaintOrder(const std::vector<SmileyFrame>& frames, int n);

// Draws frame n over canvas (canvasWidth x canvasHeight words, rows top first, holding what lies
// behind the picture) in paint order: each frame at its position, clipped to the canvas, its
// pixels of the key colour left out. Returns the number of frames drawn.
int ComposeSmileyFrame(const SmileyPicture& picture, int n, uint32_t* canvas, int canvasWidth, int canvasHeight);
