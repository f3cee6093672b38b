// Screen density. Sizes that must look the same at every density are given for 96 dots per inch
// and scaled through one helper. The program sets both values once at start-up from the screen's
// logical pixels per inch; until then they are 96, which means no scaling.
#pragma once

#include "ZELCommon/ZELCommonApi.h"

extern ZELCOMMON_API int g_HIDPI_LogPixelsX;
extern ZELCOMMON_API int g_HIDPI_LogPixelsY;

namespace UI {

// value (given for 96 dpi) at dpi: (value * dpi + 48) / 96, rounded to the nearest pixel, halves
// away from zero, so a negative offset scales like its positive mirror. Results beyond the int
// range are clamped.
ZELCOMMON_API int HIDPI_Scale(int value, int dpi);

// Widths scale with the horizontal density, heights with the vertical one.
inline int HIDPI_ScaleX(int value)
{
    return HIDPI_Scale(value, g_HIDPI_LogPixelsX);
}
inline int HIDPI_ScaleY(int value)
{
    return HIDPI_Scale(value, g_HIDPI_LogPixelsY);
}

}  // namespace UI
