#include "Handheld/ShellUiLayout.h"

#include <climits>

namespace ShellLayout {

int Scale(int value, int dpi)
{
    long long product = (long long)value * dpi;
    long long scaled = product >= 0 ? (product + 48) / 96 : -((-product + 48) / 96);
    return scaled > INT_MAX ? INT_MAX : scaled < INT_MIN ? INT_MIN : int(scaled);
}

int TitleStripHeight(int dpi)
{
    return Scale(26, dpi);
}

int SoftKeyBarHeight(int dpi)
{
    return Scale(26, dpi);
}

RECT TitleButtonRect(int stripWidth, int stripHeight, int dpi)
{
    RECT button = {0, 0, 0, 0};
    int margin = Scale(3, dpi);
    int width = Scale(56, dpi);
    if (stripWidth <= 2 * margin || stripHeight <= 2 * margin) return button;
    int available = stripWidth - 2 * margin;
    if (width > available) width = available;
    button.right = stripWidth - margin;
    button.left = button.right - width;
    button.top = margin;
    button.bottom = stripHeight - margin;
    return button;
}

RECT SoftKeyRect(int barWidth, int barHeight, int keyCount, int index)
{
    RECT key = {0, 0, 0, 0};
    if (keyCount < 1 || keyCount > kMaxSoftKeys || index < 0 || index >= keyCount) return key;
    if (barWidth <= 0 || barHeight <= 0) return key;
    key.left = int((long long)barWidth * index / keyCount);
    key.right = int((long long)barWidth * (index + 1) / keyCount);
    key.bottom = barHeight;
    return key;
}

int SoftKeyAt(int barWidth, int barHeight, int keyCount, POINT point)
{
    for (int index = 0; index < keyCount && index < kMaxSoftKeys; ++index) {
        RECT key = SoftKeyRect(barWidth, barHeight, keyCount, index);
        if (PtInRect(&key, point)) return index;
    }
    return -1;
}

}  // namespace ShellLayout
