#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <climits>

int g_HIDPI_LogPixelsX = 96;
int g_HIDPI_LogPixelsY = 96;

namespace UI {

int HIDPI_Scale(int value, int dpi)
{
    long long product = (long long)value * dpi;
    long long scaled = product >= 0 ? (product + 48) / 96 : -((-product + 48) / 96);
    if (scaled > INT_MAX) return INT_MAX;
    if (scaled < INT_MIN) return INT_MIN;
    return int(scaled);
}

}  // namespace UI
