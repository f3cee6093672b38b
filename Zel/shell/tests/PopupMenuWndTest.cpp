// The popup menu window under a display: its own message loop driven by keys and clicks that a
// helper thread posts once the window stands, what it returns, and what it draws.
#include "Zel/shell/menu/PopupMenuWnd.h"

#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/tests/UiTestSupport.h"
#include "ZELCommon/tests/WindowScreenshot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

const wchar_t kMenuClass[] = L"ZELMENUWNDCLASS";

std::vector<HWND> MenuWindows()
{
    std::vector<HWND> found;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, kMenuClass, nullptr)) != nullptr)
        if (IsWindowVisible(window)) found.push_back(window);
    return found;
}

// The deepest open level: the one no other level owns.
HWND TopLevel()
{
    std::vector<HWND> levels = MenuWindows();
    for (HWND level : levels) {
        bool owns = false;
        for (HWND other : levels) owns = owns || GetWindow(other, GW_OWNER) == level;
        if (!owns) return level;
    }
    return nullptr;
}

HWND WaitForLevels(size_t count)
{
    for (int i = 0; i < 500; ++i) {
        if (MenuWindows().size() == count) return TopLevel();
        Sleep(10);
    }
    return nullptr;
}

void Key(HWND window, UINT message, WPARAM key)
{
    PostMessageW(window, message, key, 0);
    Sleep(30);
}

// Runs script on a helper thread while the menu runs here.
class Driver {
public:
    explicit Driver(std::function<void()> script) : thread([script] { script(); }) {}
    ~Driver() { thread.join(); }

private:
    std::thread thread;
};

CPopupMenu Numbers(int count)
{
    CPopupMenu menu;
    for (int i = 0; i < count; ++i) {
        wchar_t text[16];
        wsprintfW(text, L"Item %d", i);
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(text), 100 + i, nullptr, 1000 + i, false));
    }
    return menu;
}

class PopupMenuWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        host = TestSupport::CreateHostWindow(240, 320);
        SetPopupMenuWide(true);
        GetWindowRect(host, &area);
    }
    void TearDown() override
    {
        if (host) DestroyWindow(host);
    }

    PopupMenuResult Show(const CPopupMenu& menu)
    {
        return ShowPopupMenu(menu, area, POINT{area.left, area.top}, MenuAlignTopLeft, host, false);
    }

    HWND host = nullptr;
    RECT area = {};
};

}  // namespace

TEST_F(PopupMenuWindow, KeysChooseAnItem)
{
    PopupMenuResult result;
    {
        Driver driver([] {
            HWND menu = WaitForLevels(1);
            Key(menu, WM_KEYDOWN, VK_DOWN);
            Key(menu, WM_KEYDOWN, VK_RETURN);
        });
        result = Show(Numbers(4));
    }
    EXPECT_EQ(result.commandId, 101);
    EXPECT_EQ(result.argument, 1001);
    EXPECT_TRUE(MenuWindows().empty());
}

TEST_F(PopupMenuWindow, ACancelledMenuChoosesNothing)
{
    struct Case {
        const char* name;
        std::function<void(HWND)> cancel;
    } cases[] = {
        {"escape", [](HWND menu) { Key(menu, WM_KEYUP, VK_ESCAPE); }},
        {"soft key", [](HWND menu) { Key(menu, WM_KEYUP, VK_F2); }},
        {"left in the first column", [](HWND menu) { Key(menu, WM_KEYDOWN, VK_LEFT); }},
        {"tap outside", [](HWND menu) {
             PostMessageW(menu, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-5, -5));
             Sleep(30);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PopupMenuResult result;
        {
            Driver driver([&c] {
                HWND menu = WaitForLevels(1);
                // Highlighted, but not chosen.
                Key(menu, WM_KEYDOWN, VK_DOWN);
                Sleep(550);
                c.cancel(menu);
            });
            result = Show(Numbers(3));
        }
        EXPECT_EQ(result.callback, nullptr);
        EXPECT_EQ(result.commandId, -1);
        EXPECT_EQ(result.argument, 0);
    }
}

TEST_F(PopupMenuWindow, TheKeyThatOpenedItIsNotACancel)
{
    PopupMenuResult result;
    {
        Driver driver([] {
            HWND menu = WaitForLevels(1);
            Key(menu, WM_KEYUP, VK_F1);
            Key(menu, WM_KEYDOWN, VK_RETURN);
        });
        result = Show(Numbers(3));
    }
    EXPECT_EQ(result.commandId, 100);
}

TEST_F(PopupMenuWindow, ATapChoosesTheItemUnderIt)
{
    PopupMenuResult result;
    {
        Driver driver([] {
            HWND menu = WaitForLevels(1);
            RECT client;
            GetClientRect(menu, &client);
            // Third row of three, at the left.
            int y = client.bottom - 6;
            PostMessageW(menu, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, y));
            PostMessageW(menu, WM_LBUTTONUP, 0, MAKELPARAM(8, y));
        });
        result = Show(Numbers(3));
    }
    EXPECT_EQ(result.commandId, 102);
}

TEST_F(PopupMenuWindow, LeftClosesOnlyTheSubMenu)
{
    CPopupMenu menu = Numbers(2);
    menu.AddItem(CMenuItem(-1, CZELString(L"More"), 7, Numbers(2)));
    PopupMenuResult result;
    std::atomic<size_t> levelsWithSubMenu{0};
    {
        Driver driver([&] {
            HWND top = WaitForLevels(1);
            Key(top, WM_KEYDOWN, VK_UP);  // to the sub-menu item, the last
            Key(top, WM_KEYDOWN, VK_RIGHT);
            HWND sub = WaitForLevels(2);
            levelsWithSubMenu = MenuWindows().size();
            Key(sub, WM_KEYDOWN, VK_LEFT);
            top = WaitForLevels(1);
            Key(top, WM_KEYDOWN, VK_UP);
            Key(top, WM_KEYDOWN, VK_RETURN);
        });
        result = Show(menu);
    }
    EXPECT_EQ(levelsWithSubMenu.load(), 2u);
    EXPECT_EQ(result.commandId, 101);
}

TEST_F(PopupMenuWindow, ASubMenuChoiceEndsEveryLevel)
{
    CPopupMenu menu = Numbers(1);
    menu.AddItem(CMenuItem(-1, CZELString(L"More"), 7, Numbers(3)));
    PopupMenuResult result;
    {
        Driver driver([] {
            HWND top = WaitForLevels(1);
            Key(top, WM_KEYDOWN, VK_DOWN);
            Key(top, WM_KEYDOWN, VK_RETURN);
            HWND sub = WaitForLevels(2);
            Key(sub, WM_KEYDOWN, VK_DOWN);
            Key(sub, WM_KEYDOWN, VK_DOWN);
            Key(sub, WM_KEYDOWN, VK_RETURN);
        });
        result = Show(menu);
    }
    EXPECT_EQ(result.commandId, 102);
    EXPECT_TRUE(MenuWindows().empty());
}

TEST_F(PopupMenuWindow, AnEmptyMenuShowsNothing)
{
    CPopupMenu empty;
    PopupMenuResult result = Show(empty);
    EXPECT_FALSE(result.Chosen());
    CPopupMenu lines;
    lines.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    EXPECT_FALSE(Show(lines).Chosen());
}

TEST_F(PopupMenuWindow, DrawsFrameAndSelectionInTheSchemeColours)
{
    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        TestSupport::DpiScope scope(dpi);
        TestSupport::Image image;
        bool captured = false;
        {
            Driver driver([&] {
                HWND menu = WaitForLevels(1);
                Sleep(150);
                captured = TestSupport::CaptureWindow(menu, false, &image);
                TestSupport::SaveScreenshot(menu, false, dpi == 96 ? L"popup-menu-96.png" : L"popup-menu-192.png");
                Key(menu, WM_KEYDOWN, VK_RETURN);
            });
            Show(Numbers(3));
        }
        ASSERT_TRUE(captured);
        const int p1 = (dpi + 48) / 96;
        EXPECT_EQ(image.At(0, 0), TestSupport::Rgb(GetSchemeColor(23)));
        EXPECT_EQ(image.At(image.width - 1, image.height / 2), TestSupport::Rgb(GetSchemeColor(23)));
        // The selected first row, inside its rounded box and above its text.
        EXPECT_EQ(image.At(image.width / 2, 4 * p1), TestSupport::Rgb(GetSchemeColor(30)));
        // The second row is not selected: the background gradient there.
        uint32_t second = image.At(image.width / 2, p1 + (25 * dpi + 48) / 96 + 4 * p1);
        EXPECT_NE(second, TestSupport::Rgb(GetSchemeColor(30)));
    }
}

TEST(PopupMenuPlacement, WindowVariantsAnchorAtTheWindowsCorners)
{
    ZEL_REQUIRE_DISPLAY();
    HWND host = TestSupport::CreateHostWindow(200, 100);
    RECT rect;
    GetWindowRect(host, &rect);
    struct Seen {
        RECT area;
        POINT anchor;
        int alignment;
    } seen = {};
    SetPopupMenuRunner(
        [](void* context, const CPopupMenu&, const RECT& area, const POINT& anchor, int alignment) {
            *static_cast<Seen*>(context) = Seen{area, anchor, alignment};
            return PopupMenuResult{nullptr, 5, 6};
        },
        &seen);
    CPopupMenu menu = Numbers(1);
    EXPECT_EQ(ShowPopupMenuAtWindow(menu, host, false).commandId, 5);
    EXPECT_EQ(seen.alignment, int(MenuAlignAboveRight));
    EXPECT_EQ(seen.anchor.x, rect.right);
    EXPECT_EQ(seen.anchor.y, rect.bottom);
    EXPECT_EQ(seen.area.left, rect.left);
    ShowPopupMenuBelowWindow(menu, host, false);
    EXPECT_EQ(seen.alignment, int(MenuAlignAboveLeft));
    EXPECT_EQ(seen.anchor.x, rect.left);
    EXPECT_EQ(seen.anchor.y, rect.bottom);
    SetPopupMenuRunner(nullptr, nullptr);
    DestroyWindow(host);
}
