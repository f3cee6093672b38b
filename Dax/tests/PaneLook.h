// What a pane or dialog of the plug-in looks like on the screen, checked against its own template:
// the skin's brush wherever no control stands, a label inked in the skin's text colour, and a
// control standing exactly where MapDialogRect puts the template's dialog units (its origin and its
// size, each mapped, as the dialog manager does), its frame drawn on its edge and nothing of it
// outside. Each window's screenshot is kept for a person to look at, named with the screen's
// density. Header only.
#pragma once

#include "ZELCommon/tests/SurfaceCheck.h"
#include "ZELCommon/tests/WindowScreenshot.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace PaneLook {

struct TemplateControl {
    RECT units;  // left, top, right, bottom in dialog units
    bool framed; // an edit, combo box or push button: its frame lies on its edge
    bool dropDown;
};

// The controls of dialog template id in module by id, read from the resource as the system reads it.
inline std::map<int, TemplateControl> ReadTemplate(HMODULE module, int id, SIZE* size = nullptr)
{
    std::map<int, TemplateControl> controls;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
    const BYTE* at = resource ? static_cast<const BYTE*>(LockResource(LoadResource(module, resource))) : nullptr;
    if (!at) return controls;
    auto word = [&](const BYTE* p) { return *reinterpret_cast<const WORD*>(p); };
    // A name or ordinal field: 0, 0xFFFF + ordinal, or a zero-ended string.
    auto skipField = [&](const BYTE* p) -> const BYTE* {
        if (word(p) == 0) return p + 2;
        if (word(p) == 0xFFFF) return p + 4;
        while (word(p)) p += 2;
        return p + 2;
    };
    auto align = [](const BYTE* p, const BYTE* base) { return base + ((p - base + 3) & ~3); };
    const BYTE* base = at;
    bool extended = word(at) == 1 && word(at + 2) == 0xFFFF;
    if (!extended) {
        ADD_FAILURE() << "template " << id << " is not an extended template";
        return controls;
    }
    DWORD style = *reinterpret_cast<const DWORD*>(at + 12);
    WORD count = word(at + 16);
    if (size) *size = SIZE{*reinterpret_cast<const short*>(at + 22), *reinterpret_cast<const short*>(at + 24)};
    const BYTE* p = at + 26;
    p = skipField(p);  // menu
    p = skipField(p);  // class
    p = skipField(p);  // title
    if (style & DS_SETFONT) {
        p += 6;  // point size, weight, italic, character set
        p = skipField(p);
    }
    for (WORD i = 0; i < count; ++i) {
        p = align(p, base);
        DWORD itemStyle = *reinterpret_cast<const DWORD*>(p + 8);
        const short* box = reinterpret_cast<const short*>(p + 12);
        int controlId = int(*reinterpret_cast<const LONG*>(p + 20));
        const BYTE* className = p + 24;
        WORD kind = word(className) == 0xFFFF ? word(className + 2) : 0;
        p = skipField(className);
        p = skipField(p);                 // title
        p += 2 + word(p);                 // creation data
        TemplateControl control;
        control.units = RECT{box[0], box[1], box[0] + box[2], box[1] + box[3]};
        const WORD button = 0x80, edit = 0x81, combo = 0x85;
        DWORD buttonType = itemStyle & 0x0F;
        control.framed = kind == edit || kind == combo ||
                         (kind == button && (buttonType == BS_PUSHBUTTON || buttonType == BS_DEFPUSHBUTTON));
        control.dropDown = kind == combo;
        controls[controlId] = control;
    }
    return controls;
}

// The visible controls' rectangles in the window's client coordinates.
inline std::vector<RECT> ControlRects(HWND window)
{
    struct Found {
        HWND window;
        std::vector<RECT> rects;
    } found{window, {}};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM context) -> BOOL {
            Found* f = reinterpret_cast<Found*>(context);
            if (IsWindowVisible(child) && GetParent(child) == f->window) f->rects.push_back(TestSupport::RectIn(child, f->window));
            return TRUE;
        },
        LPARAM(&found));
    return found.rects;
}

inline bool Inside(const std::vector<RECT>& rects, int x, int y)
{
    POINT point = {x, y};
    for (const RECT& rect : rects)
        if (PtInRect(&rect, point)) return true;
    return false;
}

struct Look {
    const wchar_t* name;  // the screenshot's name, the density is added
    int dialog;           // its template
    int label;            // a label in the skin's text colour, 0 for none
    int placed;           // the control whose place and frame are checked
};

// Makes sure what the window shows is painted, from any thread.
inline void Settle(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
    Sleep(50);
}

inline void Check(HWND window, HMODULE module, const Look& look, COLORREF background, COLORREF text)
{
    SCOPED_TRACE(std::string(look.name, look.name + wcslen(look.name)));
    const int dpi = TestSupport::ScreenDensity();
    TestSupport::Image shot;
    ASSERT_TRUE(TestSupport::CaptureWindow(window, false, &shot));
    std::wstring name = std::wstring(look.name) + L"_" + std::to_wstring(dpi) + L".png";
    TestSupport::WriteFileBytes(TestSupport::ScreenshotPath(name.c_str()), TestSupport::EncodePng(shot));
    const uint32_t brush = TestSupport::Rgb(background), ink = TestSupport::Rgb(text);

    // The skin's brush wherever no control stands.
    std::vector<RECT> controls = ControlRects(window);
    int outside = 0, brushed = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            if (!Inside(controls, x, y)) {
                ++outside;
                brushed += shot.At(x, y) == brush;
            }
    EXPECT_GT(outside, shot.width * shot.height / 4);
    EXPECT_EQ(outside, brushed) << "pixels outside the controls that are not the skin's brush";

    // A label in the skin's text colour.
    if (look.label) {
        HWND label = GetDlgItem(window, look.label);
        ASSERT_NE(nullptr, label);
        RECT r = TestSupport::RectIn(label, window);
        int inked = 0;
        for (int y = std::max(0L, r.top); y < r.bottom && y < shot.height; ++y)
            for (int x = std::max(0L, r.left); x < r.right && x < shot.width; ++x) inked += shot.At(x, y) == ink;
        EXPECT_GT(inked, 5 * dpi / 96) << "label " << look.label << " in the skin's text colour";
    }

    // The control where its dialog units say, its frame on its edge and nothing of it beyond.
    std::map<int, TemplateControl> units = ReadTemplate(module, look.dialog);
    ASSERT_EQ(1u, units.count(look.placed)) << "control " << look.placed << " in template " << look.dialog;
    const TemplateControl& control = units[look.placed];
    // Placed as the dialog manager places it: its origin and its size each mapped.
    RECT expected = {control.units.left, control.units.top, control.units.right - control.units.left,
                     control.units.bottom - control.units.top};
    ASSERT_TRUE(MapDialogRect(window, &expected));
    expected.right += expected.left;
    expected.bottom += expected.top;
    HWND placed = GetDlgItem(window, look.placed);
    ASSERT_NE(nullptr, placed);
    RECT actual = TestSupport::RectIn(placed, window);
    EXPECT_EQ(expected.left, actual.left);
    EXPECT_EQ(expected.top, actual.top);
    EXPECT_EQ(expected.right, actual.right);
    // A drop-down list's template height holds its list; the closed box is shorter.
    if (control.dropDown) {
        EXPECT_LT(actual.bottom, expected.bottom);
        expected.bottom = actual.bottom;
    } else {
        EXPECT_EQ(expected.bottom, actual.bottom);
    }
    ASSERT_LE(expected.right, shot.width);
    ASSERT_LE(expected.bottom, shot.height);
    int edge = 0, edgeDrawn = 0, inner = 0;
    for (int y = expected.top; y < expected.bottom; ++y)
        for (int x = expected.left; x < expected.right; ++x) {
            bool onEdge = x == expected.left || y == expected.top || x == expected.right - 1 || y == expected.bottom - 1;
            bool drawn = shot.At(x, y) != brush;
            if (onEdge) {
                ++edge;
                edgeDrawn += drawn;
            } else {
                inner += drawn;
            }
        }
    if (control.framed) {
        EXPECT_EQ(edge, edgeDrawn) << "the frame of control " << look.placed << " on its edge";
    } else {
        EXPECT_GT(inner + edgeDrawn, 0) << "control " << look.placed << " draws something";
    }
    // The ring just outside the control, where no other control stands, is the brush.
    std::vector<RECT> others;
    for (const RECT& r : controls)
        if (!EqualRect(&r, &actual)) others.push_back(r);
    int ring = 0, ringBrushed = 0;
    for (int y = expected.top - 1; y <= expected.bottom; ++y)
        for (int x = expected.left - 1; x <= expected.right; ++x) {
            bool onRing = x == expected.left - 1 || y == expected.top - 1 || x == expected.right || y == expected.bottom;
            if (!onRing || x < 0 || y < 0 || x >= shot.width || y >= shot.height || Inside(others, x, y)) continue;
            ++ring;
            ringBrushed += shot.At(x, y) == brush;
        }
    EXPECT_GT(ring, 0);
    EXPECT_EQ(ring, ringBrushed) << "control " << look.placed << " reaches outside its place";
}

}  // namespace PaneLook
