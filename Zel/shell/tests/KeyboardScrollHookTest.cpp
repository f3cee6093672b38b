// The volume keys' scroll hook with keys sent through the system's input queue: F6 and F7 scroll a
// shown target and are swallowed; a hidden target lets them pass; 0x5C lets the next F6 pass once.
#include "Zel/chat/KeyboardScrollHook.h"
#include "Zel/shell/tests/AppTestSupport.h"
#include "Handheld/tests/DisplayRequirement.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Recorded {
    std::vector<WPARAM> scrolls;
    std::vector<WPARAM> keys;
};

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Recorded* recorded = reinterpret_cast<Recorded*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (recorded && message == WM_VSCROLL) recorded->scrolls.push_back(wParam);
    if (recorded && message == WM_KEYDOWN) recorded->keys.push_back(wParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow(Recorded* recorded, int x)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ZelScrollHookTarget";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"ZelScrollHookTarget", L"target", WS_OVERLAPPEDWINDOW, x, 0, 200, 200, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(recorded));
    return window;
}

void Press(WORD key)
{
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    AppTest::PumpFor(150);
}

TEST(KeyboardScrollHook, VolumeKeysScrollTheShownTarget)
{
    ZEL_REQUIRE_DISPLAY();
    Recorded targetLog, focusLog;
    HWND target = MakeWindow(&targetLog, 0);
    HWND focus = MakeWindow(&focusLog, 300);
    ShowWindow(focus, SW_SHOW);
    SetForegroundWindow(focus);
    SetFocus(focus);
    ASSERT_TRUE(AppTest::PumpUntil([&] { return GetForegroundWindow() == focus; }));

    ShowWindow(target, SW_SHOWNOACTIVATE);
    EXPECT_EQ(KeyboardScrollHook::SetTarget(target), nullptr);
    ASSERT_TRUE(KeyboardScrollHook::IsInstalled());
    Press(VK_F7);
    Press(VK_F6);
    EXPECT_EQ(targetLog.scrolls, (std::vector<WPARAM>{SB_LINEDOWN, SB_LINEUP}));
    EXPECT_TRUE(focusLog.keys.empty());  // swallowed

    // After 0x5C the next F6 passes once; F7 is not affected.
    Press(0x5C);
    Press(VK_F7);
    Press(VK_F6);
    Press(VK_F6);
    EXPECT_EQ(targetLog.scrolls, (std::vector<WPARAM>{SB_LINEDOWN, SB_LINEUP, SB_LINEDOWN, SB_LINEUP}));
    EXPECT_EQ(focusLog.keys, (std::vector<WPARAM>{0x5C, VK_F6}));

    // A hidden target lets the keys pass.
    focusLog.keys.clear();
    ShowWindow(target, SW_HIDE);
    Press(VK_F7);
    EXPECT_EQ(targetLog.scrolls.size(), 4u);
    EXPECT_EQ(focusLog.keys, (std::vector<WPARAM>{VK_F7}));

    // A dialog takes the target over and hands it back; none uninstalls the hook.
    EXPECT_EQ(KeyboardScrollHook::SetTarget(focus), target);
    EXPECT_EQ(KeyboardScrollHook::SetTarget(target), focus);
    EXPECT_EQ(KeyboardScrollHook::SetTarget(nullptr), target);
    EXPECT_FALSE(KeyboardScrollHook::IsInstalled());
    Press(VK_F7);
    EXPECT_EQ(focusLog.keys, (std::vector<WPARAM>{VK_F7, VK_F7}));
    DestroyWindow(target);
    DestroyWindow(focus);
}

}  // namespace
