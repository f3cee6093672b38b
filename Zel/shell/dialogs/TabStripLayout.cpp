#include "Zel/shell/dialogs/TabStripLayout.h"

namespace TabStrip {

int IconSize(int dpiX)
{
    return (dpiX + 3) * 16 / 96;
}

int CaptionOffset(bool hasIcons, int dpiX)
{
    return (dpiX + 12) * 4 / 96 + (hasIcons ? (dpiX * 20 + 48) / 96 : 0);
}

int TabWidth(int textExtent, bool hasIcons, int dpiX)
{
    return textExtent + 2 * ((dpiX + 12) * 4 / 96) + (hasIcons ? (dpiX * 20 + 48) / 96 : 0);
}

Areas Layout(const RECT& client, int fontHeight, int bottomBand, int dpiY)
{
    int height = fontHeight * 3 / 2;
    Areas areas;
    areas.pageArea = client;
    areas.pageArea.bottom = client.bottom - (dpiY + 48) / 96 - bottomBand - height;
    areas.strip = client;
    areas.strip.bottom = client.bottom - bottomBand;
    areas.strip.top = areas.strip.bottom - height;
    return areas;
}

bool Overflows(const std::vector<int>& widths, int first, const RECT& strip)
{
    long long x = strip.left;
    for (size_t i = first < 0 ? 0 : size_t(first); i < widths.size(); ++i) {
        x += widths[i];
        if (x >= strip.right) return true;
    }
    return false;
}

int HitTest(const std::vector<int>& widths, int first, const RECT& strip, bool overflow, bool scrolled,
            const POINT& point, int dpiX)
{
    if (point.x < strip.left || point.x > strip.right || point.y < strip.top || point.y > strip.bottom)
        return HitNone;
    int icon = IconSize(dpiX);
    if (overflow && point.x >= strip.right - 2 * icon && point.x <= strip.right - icon) return HitScrollRight;
    if (scrolled) {
        int left = strip.right - 2 * icon - (dpiX * 18 + 48) / 96;
        if (point.x >= left && point.x <= left + icon) return HitScrollLeft;
    }
    long long end = strip.left;
    for (size_t i = first < 0 ? 0 : size_t(first); i < widths.size(); ++i) {
        end += widths[i];
        if (end > strip.right || end > point.x) return int(i);
    }
    return HitNone;
}

int ScrollToTab(const std::vector<int>& widths, int first, int current, int stripWidth)
{
    if (current < 0 || current >= int(widths.size())) return first;
    if (first < 0) first = 0;
    if (first >= current) return current;
    long long excess = -stripWidth;
    for (int i = first; i <= current; ++i) excess += widths[size_t(i)];
    while (excess > 0 && first < current) {
        excess -= widths[size_t(first)];
        ++first;
    }
    return first;
}

int ScrollBy(const std::vector<int>& widths, int pressed, int x, int stripLeft)
{
    if (pressed < 0) return 0;
    if (pressed > int(widths.size())) pressed = int(widths.size());
    long long offset = x - stripLeft;
    // Walk left from the pressed tab while the tabs before it still fit left of the stylus.
    long long sum = 0;
    int first = pressed;
    while (first > 0 && sum + widths[size_t(first - 1)] < offset) {
        sum += widths[size_t(first - 1)];
        --first;
    }
    return first;
}

}  // namespace TabStrip
