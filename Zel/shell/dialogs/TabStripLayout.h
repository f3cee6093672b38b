// The tab strip's arithmetic, free of windows: where the page area and the strip lie, how wide a
// tab is, which tab or scroll arrow is under a point, and how the strip scrolls. The tabbed dialog
// paints, hit-tests and scrolls through these, so the tests check them as tables.
//
// Widths are in pixels; dpiX and dpiY are the screen's densities. A strip holds the tabs from the
// first visible one on; when they run past its right edge the strip overflows (right arrow), and
// when the first visible tab is not the first it is scrolled (left arrow). Both arrows sit at the
// right end, the left arrow first.
#pragma once

#include <windows.h>

#include <vector>

namespace TabStrip {

enum { HitNone = -1, HitScrollRight = -2, HitScrollLeft = -3 };

// The icon size w, also the stylus threshold that tells a tap from a drag.
int IconSize(int dpiX);

// A tab: the caption's extent, a margin on both sides and, with icons, room for them.
int TabWidth(int textExtent, bool hasIcons, int dpiX);
// Where the caption starts inside its tab.
int CaptionOffset(bool hasIcons, int dpiX);

struct Areas {
    RECT pageArea;
    RECT strip;
};

// From the top: the page area, a one-pixel gap, the strip (1.5 times the font's height), the
// subclass's bottom band.
Areas Layout(const RECT& client, int fontHeight, int bottomBand, int dpiY);

// True when the tabs from first on reach the strip's right edge.
bool Overflows(const std::vector<int>& widths, int first, const RECT& strip);

// The tab index under the point, HitScrollRight or HitScrollLeft for the arrows, HitNone outside
// the strip or past the last tab. Edges are inclusive.
int HitTest(const std::vector<int>& widths, int first, const RECT& strip, bool overflow, bool scrolled,
            const POINT& point, int dpiX);

// The first visible tab that brings the current one into view.
int ScrollToTab(const std::vector<int>& widths, int first, int current, int stripWidth);

// The first visible tab after the pressed tab was dragged to x (a client coordinate): the pressed
// tab lands near the stylus.
int ScrollBy(const std::vector<int>& widths, int pressed, int x, int stripLeft);

}  // namespace TabStrip
