#include "Zel/shell/menu/PopupMenuLayout.h"

#include <algorithm>

void BuildMenuItems(const CPopupMenu& menu, const MenuMetrics& metrics, const MenuTextMeasure& measure,
                    CPopupMenuLevel& level)
{
    level.items.clear();
    level.noIcons = true;
    for (int i = 0; i < menu.items.GetCount(); ++i)
        if (menu.items[i].kind != MENU_ITEM_SEPARATOR && menu.items[i].images.GetCount() > 0) level.noIcons = false;

    for (int i = 0; i < menu.items.GetCount(); ++i) {
        const CMenuItem& source = menu.items[i];
        if (source.kind == MENU_ITEM_SEPARATOR) {
            if (!level.items.empty()) level.items.back().flags |= MenuItemLineBelow;
            continue;
        }
        MenuLevelItem item;
        item.flags = source.kind == MENU_ITEM_INFO      ? MenuItemInactive
                     : source.kind == MENU_ITEM_SUBMENU ? MenuItemHasSubMenu
                                                        : MenuItemPlain;
        if (source.checked) item.flags |= MenuItemChecked;
        item.icons = source.images;
        item.text = source.text;
        item.subMenu = source.kind == MENU_ITEM_SUBMENU ? source.subMenu : nullptr;
        item.callback = source.callback;
        item.id = source.commandId;
        item.data = source.argument;
        int width = 0;
        if (!level.noIcons) width += metrics.IconWidth();
        if (!source.text.IsEmpty()) {
            if (!level.noIcons) width += metrics.ScaleX(3);
            width += measure ? measure(source.text, false) : 0;
        }
        if (item.flags & MenuItemHasSubMenu) width += metrics.ScaleX(11);
        item.width = width;
        level.items.push_back(item);
    }

    level.titled = !menu.title.IsEmpty();
    level.title = MenuLevelItem();
    if (level.titled) {
        level.title.flags = MenuItemTitle;
        level.title.text = menu.title;
        level.title.width = (measure ? measure(menu.title, true) : 0) + 2 * metrics.ScaleX(10);
    }
}

void LayoutMenuLevel(CPopupMenuLevel& level, const MenuMetrics& metrics, const RECT& bounds)
{
    level.bounds = bounds;
    const int p1x = metrics.P1x(), p1y = metrics.P1y();
    int w = 0;
    for (const MenuLevelItem& item : level.items) w = std::max(w, item.width);
    int h = metrics.wideMenu ? metrics.ScaleY(25) : metrics.ScaleY(16);
    w = std::max(w, h);
    const int titleHeight = level.titled ? metrics.IconHeight() + 2 * p1y : 0;

    const int count = level.Count();
    // Rows that fit; bounds lower than one row still take one.
    int fit = (bounds.bottom - 2 * p1y - bounds.top - titleHeight) / (h + p1y);
    if (fit < 1) fit = 1;
    level.columns = count > 0 ? (count - 1) / fit + 1 : 1;
    level.rows = count > 0 ? (count - 1) / level.columns + 1 : 0;

    if (level.titled) {
        level.title.x = metrics.ScaleX(11);
        level.title.y = (metrics.dpiY + 24) * 2 / 96;
        if ((w + p1x) * level.columns - p1x < level.title.width) {
            int widened = (level.title.width + p1x) / level.columns - p1x;
            int widest = bounds.right - bounds.left - 2;
            w = std::max(w, std::min(widened, widest));
        }
    }
    level.itemSize.cx = w;
    level.itemSize.cy = h;

    for (int index = 0; index < count; ++index) {
        int column = index / level.rows, row = index % level.rows;
        level.items[size_t(index)].x = p1x + column * (w + p1x);
        level.items[size_t(index)].y = p1y + row * (h + p1y) + titleHeight;
    }
    level.total.cx = p1x + level.columns * (w + p1x);
    level.total.cy = p1y + level.rows * (h + p1y) + titleHeight;
}

RECT PlaceMenu(const SIZE& size, const POINT& anchor, int alignment, const RECT& bounds)
{
    const int cx = size.cx, cy = size.cy;
    int left = anchor.x, top = anchor.y;
    switch (alignment) {
    case MenuAlignTopCentre: left -= cx / 2; break;
    case MenuAlignTopRight: left -= cx; break;
    case MenuAlignAboveLeft: top -= cy; break;
    case MenuAlignAboveCentre: left -= cx / 2; top -= cy; break;
    case MenuAlignAboveRight: left -= cx; top -= cy; break;
    case MenuAlignLeftMiddle: top -= cy / 2; break;
    case MenuAlignRightMiddle: left -= cx; top -= cy / 2; break;
    default: break;
    }
    // Into the bounds along one axis: against the near edge, or, when it sticks out past the far
    // edge, to whichever side loses less.
    auto fit = [](int start, int length, int low, int high) {
        if (start < low) return low;
        if (start + length > high) {
            int overflow = start + length - high;
            int room = start - low;
            return overflow > room ? low : high - length;
        }
        return start;
    };
    left = fit(left, cx, bounds.left, bounds.right);
    top = fit(top, cy, bounds.top, bounds.bottom);
    RECT placed = {left, top, left + cx, top + cy};
    RECT window = {};
    IntersectRect(&window, &placed, &bounds);
    return window;
}

void BuildMenuLevel(const CPopupMenu& menu, const MenuMetrics& metrics, const MenuTextMeasure& measure,
                    const RECT& bounds, const POINT& anchor, int alignment, CPopupMenuLevel& level)
{
    BuildMenuItems(menu, metrics, measure, level);
    LayoutMenuLevel(level, metrics, bounds);
    level.window = PlaceMenu(level.total, anchor, alignment, bounds);
}

int MenuHitTest(const CPopupMenuLevel& level, const SIZE& client, const POINT& point, int scroll)
{
    if (point.x < 0 || point.y < 0 || point.x > client.cx || point.y > client.cy) return -2;
    for (int i = 0; i < level.Count(); ++i) {
        const MenuLevelItem& item = level.items[size_t(i)];
        int x = point.x - scroll;
        if (item.x <= x && x <= item.x + level.itemSize.cx && item.y <= point.y && point.y <= item.y + level.itemSize.cy)
            return i;
    }
    return -1;
}

int ClampMenuScroll(const CPopupMenuLevel& level, int clientWidth, int scroll)
{
    int lowest = -(level.total.cx - clientWidth);
    if (lowest > 0) lowest = 0;
    return std::max(lowest, std::min(0, scroll));
}

int ScrollToSelection(const CPopupMenuLevel& level, const MenuMetrics& metrics, int clientWidth, int selected,
                      int scroll)
{
    if (!level.Scrolls(clientWidth) || selected < 0 || level.rows <= 0) return scroll;
    const int p1x = metrics.P1x(), w = level.itemSize.cx;
    int column = selected / level.rows;
    int left = column * (w + p1x);
    int available = clientWidth - 2 * p1x;
    int centre = (available - w) / 2;
    // Centred, unless the columns on either side would not fill the room beside it.
    int remaining = (level.columns - column - 1) * (w + p1x);
    int target;
    if (left <= centre) target = left;
    else if (remaining < available - w - centre) target = available - w - remaining;
    else target = centre;
    return ClampMenuScroll(level, clientWidth, target - left);
}

MenuKeyResult MenuKey(const CPopupMenuLevel& level, int selected, int virtualKey)
{
    const int count = level.Count();
    if (count == 0) return {MenuKeyResult::Nothing, selected};
    const int last = count - 1;
    const int rows = level.rows > 0 ? level.rows : 1;
    const bool valid = selected >= 0 && selected < count;
    const int flags = valid ? level.items[size_t(selected)].flags : 0;
    switch (virtualKey) {
    case VK_UP: return {MenuKeyResult::Move, !valid || selected == 0 ? last : selected - 1};
    case VK_DOWN: return {MenuKeyResult::Move, !valid || selected >= last ? 0 : selected + 1};
    case VK_LEFT:
        if (!valid || selected / rows == 0) return {MenuKeyResult::Close, selected};
        return {MenuKeyResult::Move, selected - rows};
    case VK_RIGHT:
        if (!valid) return {MenuKeyResult::Move, 0};
        if (flags & MenuItemHasSubMenu) return {MenuKeyResult::OpenSubMenu, selected};
        if (selected / rows == level.columns - 1) return {MenuKeyResult::Move, selected == last ? 0 : last};
        return {MenuKeyResult::Move, std::min(selected + rows, last)};
    case VK_RETURN:
        if (!valid || (flags & MenuItemInactive)) return {MenuKeyResult::Nothing, selected};
        if (flags & MenuItemHasSubMenu) return {MenuKeyResult::OpenSubMenu, selected};
        return {MenuKeyResult::Choose, selected};
    default: return {MenuKeyResult::Nothing, selected};
    }
}
