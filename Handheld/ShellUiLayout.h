// Geometry of the shell layer's title strip and soft-key bar, free of windows so that it can be
// checked alone. Sizes are given for 96 dots per inch and scaled as (v * dpi + 48) / 96.
#pragma once

#include "Handheld/HandheldApi.h"

#include <windows.h>

namespace ShellLayout {

// The most keys a soft-key bar shows.
const int kMaxSoftKeys = 2;

// value (for 96 dpi) at dpi, rounded to the nearest pixel, halves away from zero.
HANDHELD_API int Scale(int value, int dpi);

// Height of the title strip and of the soft-key bar.
HANDHELD_API int TitleStripHeight(int dpi);
HANDHELD_API int SoftKeyBarHeight(int dpi);

// The title strip's button in strip coordinates (the strip spans 0,0 to width,height): at the
// right end, inset by a margin. Empty (left == right) when the strip has no room for it.
HANDHELD_API RECT TitleButtonRect(int stripWidth, int stripHeight, int dpi);

// Key `index` of `keyCount` equal keys across a bar of width x height; empty for an index outside
// the keys or a count outside 1..kMaxSoftKeys.
HANDHELD_API RECT SoftKeyRect(int barWidth, int barHeight, int keyCount, int index);
// The key under a bar point, or -1.
HANDHELD_API int SoftKeyAt(int barWidth, int barHeight, int keyCount, POINT point);

}  // namespace ShellLayout
