// The chat window's bar: where the picker and the buttons stand for each choice of buttons, focus
// moving through the shown children and out to the dialog, characters reaching the parent, taps
// reaching the observer; and the picture button on its own.
#include "Zel/chat/MessageBarWnd.h"
#include "Zel/chat/SmileyPack.h"
#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/shell/tests/AppTestSupport.h"
#include "Handheld/tests/DisplayRequirement.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<WPARAM> parentChars;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CHAR) parentChars.push_back(wParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeParent()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ParentProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ZelBarTestParent";
    RegisterClassW(&windowClass);
    HWND parent = CreateWindowExW(WS_EX_CONTROLPARENT, L"ZelBarTestParent", L"bar", WS_POPUP | WS_VISIBLE, 0, 0, 300,
                                  100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(parent);
    return parent;
}

struct Observer : IMessageBarObserver {
    std::vector<std::string> calls;
    void OnPickerItem(CMessageBarWnd*, int item) override { calls.push_back("pick " + std::to_string(item)); }
    void OnSmiliesButton(CMessageBarWnd*) override { calls.push_back("smilies"); }
    void OnSendButton(CMessageBarWnd*) override { calls.push_back("send"); }
};

TEST(MessageBar, ButtonsStandAtTheRightOfThePicker)
{
    ZEL_REQUIRE_DISPLAY();
    HWND parent = MakeParent();
    MessageWindowSettings settings(nullptr);
    int w = CMessageBarWnd::ButtonWidth();
    struct Case {
        int smilies, send;
        int pickerWidth;
        int smiliesLeft, sendLeft;  // -1 hidden
    } cases[] = {
        {0, 0, 300, -1, -1},
        {1, 0, 300 - (w - 1), 300 - w, -1},
        {0, 1, 300 - (w - 1), -1, 300 - w},  // the send button takes the smilies button's place
        {1, 1, 300 - 2 * (w - 1), 300 - 2 * (w - 1) - 1, 300 - w},
    };
    for (const Case& c : cases) {
        settings.barSmileyButton = c.smilies;
        settings.barSendButton = c.send;
        RECT rect = {0, 0, 300, 25};
        CMessageBarWnd* bar = CreateMessageBar(parent, rect, &settings, nullptr);
        ASSERT_NE(bar, nullptr);
        RECT picker = TestSupport::RectIn(bar->Picker(), *bar);
        EXPECT_EQ(picker.right - picker.left, c.pickerWidth) << c.smilies << c.send;
        EXPECT_EQ(picker.bottom - picker.top, 26);  // one pixel taller than the bar
        EXPECT_EQ(IsWindowVisible(bar->SmiliesButton()) != FALSE, c.smilies != 0);
        EXPECT_EQ(IsWindowVisible(bar->SendButton()) != FALSE, c.send != 0);
        if (c.smilies) {
            RECT r = TestSupport::RectIn(bar->SmiliesButton(), *bar);
            EXPECT_EQ(r.left, c.smiliesLeft);
            EXPECT_EQ(r.left, picker.right - 1);  // borders coincide
            EXPECT_EQ(r.right - r.left, w);
        }
        if (c.send) EXPECT_EQ(TestSupport::RectIn(bar->SendButton(), *bar).left, c.sendLeft);
        delete bar;
    }
    DestroyWindow(parent);
}

TEST(MessageBar, FocusCharactersAndTaps)
{
    ZEL_REQUIRE_DISPLAY();
    HWND parent = MakeParent();
    MessageWindowSettings settings(nullptr);
    settings.barSmileyButton = 1;
    settings.barSendButton = 1;
    Observer observer;
    RECT before = {0, 0, 100, 20}, barRect = {0, 30, 300, 55}, after = {0, 60, 100, 80};
    HWND first = CreateWindowExW(0, L"BUTTON", L"a", WS_CHILD | WS_VISIBLE | WS_TABSTOP, before.left, before.top, 100, 20,
                                 parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    CMessageBarWnd* bar = CreateMessageBar(parent, barRect, &settings, &observer);
    HWND last = CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE | WS_TABSTOP, after.left, after.top, 100, 20,
                                parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(bar, nullptr);

    // Entering forwards lands on the picker, then the keys walk picker, smilies, send, out.
    SetFocus(first);
    SetFocus(*bar);
    EXPECT_EQ(GetFocus(), bar->Picker());
    SendMessageW(*bar, WM_NEXTDLGCTL, 0, 0);
    EXPECT_EQ(GetFocus(), bar->SmiliesButton());
    SendMessageW(*bar, WM_NEXTDLGCTL, 0, 0);
    EXPECT_EQ(GetFocus(), bar->SendButton());
    SendMessageW(*bar, WM_NEXTDLGCTL, 0, 0);
    EXPECT_EQ(GetFocus(), last);
    // Entering backwards lands on the send button; back from the picker leaves the bar.
    SetFocus(*bar);
    EXPECT_EQ(GetFocus(), bar->SendButton());
    SetFocus(bar->Picker());
    SendMessageW(*bar, WM_NEXTDLGCTL, 1, 0);
    EXPECT_EQ(GetFocus(), first);

    // A button's arrow key asks the bar to move on.
    SetFocus(bar->SmiliesButton());
    SendMessageW(bar->SmiliesButton(), WM_KEYDOWN, VK_RIGHT, 0);
    AppTest::PumpFor(50);
    EXPECT_EQ(GetFocus(), bar->SendButton());

    // Characters reach the parent; Tab and Enter do not.
    parentChars.clear();
    for (wchar_t c : {L'a', L'\t', L'\r', L'b'}) SendMessageW(*bar, WM_CHAR, c, 0);
    SendMessageW(bar->SendButton(), WM_CHAR, L'c', 0);  // the button hands it to the bar, the bar on
    EXPECT_EQ(parentChars, (std::vector<WPARAM>{L'a', L'b', L'c'}));

    // Taps and Enter on the buttons reach the observer; the picker's pick too.
    SendMessageW(bar->SmiliesButton(), WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
    SendMessageW(bar->SmiliesButton(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    SendMessageW(bar->SendButton(), WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(bar->SendButton(), WM_KEYUP, VK_RETURN, 0);
    SendMessageW(bar->SendButton(), WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
    SendMessageW(bar->SendButton(), WM_LBUTTONUP, 0, MAKELPARAM(500, 5));  // lifted outside: no tap
    bar->OnPickerItem(3);
    AppTest::PumpFor(50);
    EXPECT_EQ(observer.calls, (std::vector<std::string>{"pick 3", "smilies", "send"}));
    delete bar;
    DestroyWindow(parent);
}

}  // namespace

// The picker is the pack's recent-smilies strip: filled once the pack is in, and a pick by key
// reaches the observer as that smiley.
TEST(MessageBar, ThePickerIsThePacksStrip)
{
    ZEL_REQUIRE_DISPLAY();
    CSmileyPack pack(CZELString(L"ZEL PDA smilies"), nullptr);
    ASSERT_TRUE(pack.WaitLoaded(20000));
    SetSmileyPackInUse(&pack);
    HWND parent = MakeParent();
    MessageWindowSettings settings(nullptr);
    Observer observer;
    RECT rect = {0, 0, 300, 25};
    CMessageBarWnd* bar = CreateMessageBar(parent, rect, &settings, &observer);
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(bar->Strip(), nullptr);
    EXPECT_EQ(HWND(*bar->Strip()), bar->Picker());
    bar->Strip()->Fill();
    std::vector<int> shown = bar->Strip()->Smilies();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0], 0);
    SetFocus(bar->Picker());
    SendMessageW(bar->Picker(), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_FALSE(observer.calls.empty());
    EXPECT_EQ(observer.calls.back(), "pick " + std::to_string(shown[bar->Strip()->Selection() < 0 ? 0 : bar->Strip()->Selection()]));
    DestroyWindow(parent);
    SetSmileyPackInUse(nullptr);
}
