// Templates are laid out in dialog units for the device's font. Under a wider font (a desktop's
// stand-in face) a dialog comes out wider than the screen it fills and its right-hand controls are
// cut off. The fit squeezes the controls sideways, positions and widths alike in proportion, so that
// none reaches past the width the window is given; a window whose controls all fit is left as it is,
// even where the template's right margin does not.
#pragma once

#include "ZELCommon/ZELCommonApi.h"

#include <windows.h>

namespace UI {

// A horizontal coordinate of a layout designed wide, on a window width wide: scaled down when the
// layout is wider, as it is otherwise. A designed width of 0 or less leaves x as it is.
ZELCOMMON_API int FitToWidth(int x, int designed, int width);

// Fits the window's child controls, laid out for a window designed pixels wide (or wider where a
// control reaches further), into width pixels when any of them reaches past it.
ZELCOMMON_API void FitChildrenToWidth(HWND window, int designed, int width);

}  // namespace UI
