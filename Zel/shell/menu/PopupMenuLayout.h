// The popup menu's arithmetic, free of windows: a level built from a menu model (its items measured
// by the caller's text measure), laid out in as many columns as the bounds need, placed by an
// anchor and an alignment, hit-tested, scrolled sideways and moved through by the direction keys.
//
// Guards: bounds lower than one row still give one row, a menu of separators alone gives a level
// without items (which shows nothing), and every division is by a count of at least 1.
#pragma once

#include "Zel/core/plugin/PopupMenu.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <functional>
#include <vector>

// Alignment modes: which point of the menu lies on the anchor. Any other value acts as the first.
enum MenuAlignment {
    MenuAlignTopLeft = 0,
    MenuAlignTopCentre = 1,
    MenuAlignTopRight = 2,
    MenuAlignAboveLeft = 3,    // bottom-left corner
    MenuAlignAboveCentre = 4,  // bottom edge centred
    MenuAlignAboveRight = 5,   // bottom-right corner
    MenuAlignLeftMiddle = 6,
    MenuAlignRightMiddle = 7,
};

// Item flags of a level.
enum MenuLevelFlags {
    MenuItemPlain = 1,
    MenuItemInactive = 2,
    MenuItemHasSubMenu = 4,
    MenuItemTitle = 8,
    MenuItemLineBelow = 0x10,
    MenuItemChecked = 0x20,
};

struct MenuLevelItem {
    MenuLevelItem() : flags(0), subMenu(nullptr), x(0), y(0), width(0), callback(nullptr), id(-1), data(0) {}

    int flags;
    CZELArray<int> icons;
    CZELString text;
    const CPopupMenu* subMenu;  // the model's, not owned
    int x, y, width;
    MenuCallback callback;
    int id;
    intptr_t data;
};

// The densities and the row height choice a level is built with.
struct MenuMetrics {
    int dpiX;
    int dpiY;
    bool wideMenu;  // rows of 25 pixels at 96 dpi, else 16

    int P1x() const { return (dpiX + 48) / 96; }
    int P1y() const { return (dpiY + 48) / 96; }
    int IconWidth() const { return (dpiX + 3) * 16 / 96; }
    int IconHeight() const { return (dpiY + 3) * 16 / 96; }
    int ScaleX(int v) const { return (dpiX * v + 48) / 96; }
    int ScaleY(int v) const { return (dpiY * v + 48) / 96; }
    // The items' and the title's font height.
    int FontHeight() const { return ScaleY(13); }
};

class CPopupMenuLevel {
public:
    CPopupMenuLevel() : columns(1), rows(0), noIcons(true), titled(false)
    {
        total.cx = total.cy = 0;
        itemSize.cx = itemSize.cy = 0;
        window = bounds = RECT{0, 0, 0, 0};
    }

    int Count() const { return int(items.size()); }
    // The level was cut by its bounds: it scrolls sideways.
    bool Scrolls(int clientWidth) const { return total.cx != clientWidth; }

    std::vector<MenuLevelItem> items;
    int columns;
    int rows;
    SIZE total;
    SIZE itemSize;
    bool noIcons;
    RECT window;
    RECT bounds;
    bool titled;
    MenuLevelItem title;
};

// Width of a text in the item font (title false) or the title font (true).
typedef std::function<int(const CZELString& text, bool title)> MenuTextMeasure;

// Steps 1 to 3: the items (separators become lines under the item before them) with their widths,
// and the title.
void BuildMenuItems(const CPopupMenu& menu, const MenuMetrics& metrics, const MenuTextMeasure& measure,
                    CPopupMenuLevel& level);
// Steps 4 to 9 inside bounds: item size, rows and columns, positions, total size.
void LayoutMenuLevel(CPopupMenuLevel& level, const MenuMetrics& metrics, const RECT& bounds);
// The menu's rectangle for an anchor and an alignment, moved into bounds; the window rectangle is
// it cut by the bounds.
RECT PlaceMenu(const SIZE& size, const POINT& anchor, int alignment, const RECT& bounds);
// All three steps; the level's window rectangle set.
void BuildMenuLevel(const CPopupMenu& menu, const MenuMetrics& metrics, const MenuTextMeasure& measure,
                    const RECT& bounds, const POINT& anchor, int alignment, CPopupMenuLevel& level);

// Hit test in client coordinates: -2 outside the client (edges inclusive), the item's index, or -1.
int MenuHitTest(const CPopupMenuLevel& level, const SIZE& client, const POINT& point, int scroll);
// The scroll offset after moving by dx: between -(total width - client width) and 0.
int ClampMenuScroll(const CPopupMenuLevel& level, int clientWidth, int scroll);
// The scroll offset that brings the selected item's column into view (centred unless near an end).
int ScrollToSelection(const CPopupMenuLevel& level, const MenuMetrics& metrics, int clientWidth, int selected,
                      int scroll);

// What a direction or Enter key does at a selection.
struct MenuKeyResult {
    enum Action { Move, Close, OpenSubMenu, Choose, Nothing };
    Action action;
    int selection;
};
MenuKeyResult MenuKey(const CPopupMenuLevel& level, int selected, int virtualKey);
