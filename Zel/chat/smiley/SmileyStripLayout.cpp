#include "Zel/chat/smiley/SmileyStripLayout.h"

#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <algorithm>

namespace {

const int kSlotMinWidth = 38;  // dip

}  // namespace

int SmileyStripSlotWidth(int elementWidth, int dpi)
{
    return std::max(UI::HIDPI_Scale(kSlotMinWidth, dpi), elementWidth);
}

int SmileyStripFillCount(const std::vector<int>& elementWidths, int clientWidth, int dpi)
{
    int gap = UI::HIDPI_Scale(1, dpi);
    int room = clientWidth - gap;
    int count = 0;
    while (room > 0 && count < int(elementWidths.size())) {
        room -= gap + SmileyStripSlotWidth(elementWidths[size_t(count)], dpi);
        ++count;
    }
    return count;
}

int SmileyStripKeepCount(const std::vector<int>& elementWidths, int clientWidth, int dpi)
{
    int gap = UI::HIDPI_Scale(1, dpi);
    int room = clientWidth - gap;
    for (size_t i = 0; i < elementWidths.size(); ++i) {
        room -= gap + SmileyStripSlotWidth(elementWidths[i], dpi);
        if (room < 1) return int(i) + 1;
    }
    return int(elementWidths.size());
}

std::vector<int> SmileyStripSlotStarts(const std::vector<int>& elementWidths, int dpi)
{
    int gap = UI::HIDPI_Scale(1, dpi);
    std::vector<int> starts;
    int x = gap;
    for (int width : elementWidths) {
        starts.push_back(x);
        x += SmileyStripSlotWidth(width, dpi) + gap;
    }
    return starts;
}

int SmileyStripHitTest(const std::vector<int>& elementWidths, int x, int dpi)
{
    int gap = UI::HIDPI_Scale(1, dpi);
    int end = gap;
    for (size_t i = 0; i < elementWidths.size(); ++i) {
        end += SmileyStripSlotWidth(elementWidths[i], dpi) + gap;
        if (end >= x) return int(i);
    }
    return -1;
}
