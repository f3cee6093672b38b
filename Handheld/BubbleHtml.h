// The small part of HTML a notification bubble shows: "<br>", "<b>", "<center>", "<font color=...>"
// (with their closing tags), "<img ...>" drawn as a square, and the entities "&amp;", "&lt;", "&gt;"
// and "&quot;". Any other tag is left out; any other "&" stays as it is; line ends and tabs are
// blanks. Pure code, so the bubble's body can be checked without a window (internal to the layer,
// exported for its tests).
#pragma once

#include "Handheld/HandheldApi.h"

#include <windows.h>

#include <string>
#include <vector>

namespace BubbleHtml {

enum RunKind { RunText = 0, RunBreak = 1, RunImage = 2 };

struct Run {
    RunKind kind;
    std::wstring text;  // RunText only
    bool bold;
    bool center;  // the line this run is on is centred
    COLORREF color;
};

// The body's runs in order; adjacent text of the same look is one run. A tag that never closes
// ('<' without '>') ends the body.
HANDHELD_API std::vector<Run> Parse(const wchar_t* html, COLORREF textColor);

// "#RRGGBB" (quoted or not) as a colour; false for anything else.
HANDHELD_API bool ParseColor(const std::wstring& value, COLORREF* color);

}  // namespace BubbleHtml
