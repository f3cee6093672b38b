// Shared by the tests of the image-list controls on real windows: an observer that records what it
// hears, controls that record their layout and painting, and a fixture with a host window. Needs a
// display (Xvfb): without one no window can be made and the tests skip (fail under CI).
#pragma once

#include "UiTestSupport.h"
#include "WindowScreenshot.h"

#include "ZELCommon/ZELWMUI_FloatListImageCtrl.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"
#include "ZELCommon/ZELWMUI_ListImageCtrl.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace ImageListTest {

using TestSupport::DpiScope;
using UI::CZELWMUI_FloatListImageCtrl;
using UI::CZELWMUI_ListImageCtrl;

struct Event {
    enum Kind { Activate, Select } kind;
    int index;
    bool operator==(const Event& other) const { return kind == other.kind && index == other.index; }
};

inline std::ostream& operator<<(std::ostream& out, const Event& event)
{
    return out << (event.kind == Event::Activate ? "Activate(" : "Select(") << event.index << ")";
}

// Hears both controls; remembers which control spoke.
class Recorder : public CZELWMUI_ListImageCtrl::MLICtrlObserver, public CZELWMUI_FloatListImageCtrl::MFLICtrlObserver {
public:
    void OnImageActivate(CZELWMUI_ListImageCtrl* control, int index) override { Add(control, Event::Activate, index); }
    void OnImageSelect(CZELWMUI_ListImageCtrl* control, int index) override { Add(control, Event::Select, index); }
    void OnImageActivate(CZELWMUI_FloatListImageCtrl* control, int index) override
    {
        Add(control, Event::Activate, index);
    }
    void OnImageSelect(CZELWMUI_FloatListImageCtrl* control, int index) override
    {
        Add(control, Event::Select, index);
    }

    std::vector<Event> Take()
    {
        std::vector<Event> taken;
        taken.swap(events);
        return taken;
    }
    const void* lastControl = nullptr;

private:
    void Add(const void* control, Event::Kind kind, int index)
    {
        lastControl = control;
        events.push_back(Event{kind, index});
    }
    std::vector<Event> events;
};

// A colour of each item's own, distinct from its neighbours'.
inline COLORREF CellColour(int index)
{
    return RGB(40 + (index * 53) % 200, 90 + (index * 29) % 120, 220 - (index * 37) % 160);
}

// What the derived classes of the controls see: the last rectangle each item was laid out at and
// the items painted since the last Take. Each item is filled with a colour of its own.
struct Drawn {
    std::map<int, RECT> layout;
    std::vector<int> painted;

    void Paint(int index, const RECT& rect, HDC dc)
    {
        painted.push_back(index);
        HBRUSH brush = CreateSolidBrush(CellColour(index));
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
    }
    std::vector<int> TakePainted()
    {
        std::vector<int> taken;
        taken.swap(painted);
        return taken;
    }
};

class TestGrid : public CZELWMUI_ListImageCtrl {
public:
    using CZELWMUI_ListImageCtrl::CZELWMUI_ListImageCtrl;
    void RedrawImage(int index, const RECT& rect, HDC dc) override { drawn.Paint(index, rect, dc); }
    void LayoutItem(int index, const RECT& rect) override { drawn.layout[index] = rect; }
    HBRUSH GetBkBrush() override { return (HBRUSH)GetStockObject(WHITE_BRUSH); }
    Drawn drawn;
};

class TestFlow : public CZELWMUI_FloatListImageCtrl {
public:
    using CZELWMUI_FloatListImageCtrl::CZELWMUI_FloatListImageCtrl;
    void RedrawImage(int index, const RECT& rect, HDC dc) override { drawn.Paint(index, rect, dc); }
    void LayoutItem(int index, const RECT& rect) override { drawn.layout[index] = rect; }
    HBRUSH GetBkBrush() override { return (HBRUSH)GetStockObject(WHITE_BRUSH); }
    Drawn drawn;
};

inline RECT Rect(LONG left, LONG top, LONG right, LONG bottom)
{
    return RECT{left, top, right, bottom};
}

inline ::testing::AssertionResult SameRect(const RECT& actual, const RECT& expected)
{
    if (EqualRect(&actual, &expected)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "{" << actual.left << ", " << actual.top << ", " << actual.right << ", "
                                         << actual.bottom << "} instead of {" << expected.left << ", " << expected.top
                                         << ", " << expected.right << ", " << expected.bottom << "}";
}

inline RECT ImageRect(const CZELWMUI_ListImageCtrl& grid, int index)
{
    RECT rect = {-1, -1, -1, -1};
    EXPECT_EQ(grid.GetImageRect(index, &rect), 1) << "index " << index;
    return rect;
}

inline LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendMessageW(window, message, wParam, lParam);
}

inline void Tap(HWND window, int x, int y)
{
    Send(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Send(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

inline void Repaint(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

// Calls the control's full paint straight into a memory DC, as the window would.
template <typename Control> inline void PaintDirectly(Control& control)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    control.Paint(memory);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// The colour the window shows at a client point, 0x00RRGGBB; 0xFF000000 when it cannot be read.
inline uint32_t PixelAt(HWND window, int x, int y)
{
    TestSupport::Image image;
    if (!TestSupport::CaptureWindow(window, false, &image) || x < 0 || y < 0 || x >= image.width ||
        y >= image.height) {
        return 0xFF000000u;
    }
    return image.At(x, y);
}

inline uint32_t Rgb(COLORREF colour)
{
    return TestSupport::Rgb(colour);
}

class ImageListWindow : public ::testing::Test {
protected:
    // One host for the whole suite: each top-level window made and destroyed costs time under Wine.
    static void SetUpTestSuite()
    {
        if (DisplayTestSupport::DisplayAvailable()) parent = TestSupport::CreateHostWindow(400, 400, L"Image lists");
    }
    static void TearDownTestSuite()
    {
        if (parent) DestroyWindow(parent);
        parent = nullptr;
    }
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        ASSERT_NE(parent, nullptr);
    }

    // The control's window sized so that its client (without a scroll bar) is width x height.
    template <typename Control> void Create(Control& control, int width, int height)
    {
        RECT rect = {0, 0, width, height};
        AdjustWindowRectEx(&rect, WS_CHILD | WS_BORDER, FALSE, 0);
        OffsetRect(&rect, 10 - rect.left, 10 - rect.top);
        ASSERT_EQ(control.Create(GetModuleHandleW(nullptr), parent, WS_VISIBLE, rect), 1);
        ASSERT_NE((HWND)control, nullptr);
    }
    // Resizes the control's window to a client of width x height (without a scroll bar).
    template <typename Control> void ResizeClient(Control& control, int width, int height)
    {
        RECT rect = {0, 0, width, height};
        AdjustWindowRectEx(&rect, WS_CHILD | WS_BORDER, FALSE, 0);
        control.Resize(rect.right - rect.left, rect.bottom - rect.top);
    }

    static inline HWND parent = nullptr;
    Recorder recorder;
};

}  // namespace ImageListTest
