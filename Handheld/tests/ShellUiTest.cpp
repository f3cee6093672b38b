#include "Handheld/ShellUi.h"
#include "Handheld/ShellUiLayout.h"

#include "DisplayRequirement.h"
#include "ShellUiTestResources.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

HINSTANCE TestModule()
{
    return GetModuleHandleW(nullptr);
}

// What the parent window saw.
struct ParentLog {
    std::vector<std::string> commands;
    std::vector<HMENU> popups;
    bool paintRed = false;
    std::vector<std::pair<UINT, WPARAM>> answerInMenu;  // keyboard messages to post while a menu is open
    // The open menu was given its keys: idle moments until they are taken.
    bool answered = false;
    int idleAfterAnswer = 0;
};
ParentLog g_parent;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        g_parent.commands.push_back(std::to_string(LOWORD(wParam)) + "," + std::to_string(HIWORD(wParam)) + "," +
                                    std::to_string(lParam != 0));
        return 0;
    case WM_INITMENUPOPUP:
        g_parent.popups.push_back((HMENU)wParam);
        g_parent.answered = false;
        return 0;
    case WM_ENTERIDLE:
        // The pop-up menu stands: answer it with the prepared keys, or close it. A menu given keys
        // may go idle again before it has taken them (a busy machine): it is closed only if they
        // never take effect.
        if (wParam == MSGF_MENU) {
            if (!g_parent.answerInMenu.empty()) {
                for (const auto& input : g_parent.answerInMenu) PostMessageW((HWND)lParam, input.first, input.second, 1);
                g_parent.answerInMenu.clear();
                g_parent.answered = true;
                g_parent.idleAfterAnswer = 0;
            } else if (!g_parent.answered || ++g_parent.idleAfterAnswer > 200) {
                EndMenu();
            } else {
                Sleep(5);
            }
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        HBRUSH brush = CreateSolidBrush(g_parent.paintRed ? RGB(255, 0, 0) : RGB(255, 255, 255));
        FillRect(dc, &client, brush);
        DeleteObject(brush);
        EndPaint(window, &ps);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RegisterParentClass()
{
    static bool registered = false;
    if (registered) return true;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ParentProc;
    windowClass.hInstance = TestModule();
    windowClass.lpszClassName = L"ShellUiTestParent";
    registered = RegisterClassW(&windowClass) != 0;
    return registered;
}

HWND CreateParent(int width, int height)
{
    if (!RegisterParentClass()) return nullptr;
    // No WS_CLIPCHILDREN: the parent's painting would cover its children.
    return CreateWindowExW(0, L"ShellUiTestParent", L"Screen", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                           nullptr, TestModule(), nullptr);
}

void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::wstring Caption(HWND bar, WPARAM id, DWORD extraMask = 0, int room = 64)
{
    wchar_t text[300] = L"?";
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT | extraMask;
    info.pszText = text;
    info.cchText = room;
    if (SendMessageW(bar, TB_GETBUTTONINFOW, id, (LPARAM)&info) < 0) return L"<none>";
    return text;
}

BOOL SetCaption(HWND bar, WPARAM id, const wchar_t* text, DWORD extraMask = 0, UINT size = sizeof(TBBUTTONINFOW))
{
    TBBUTTONINFOW info = {};
    info.cbSize = size;
    info.dwMask = TBIF_TEXT | extraMask;
    info.pszText = const_cast<wchar_t*>(text);
    return (BOOL)SendMessageW(bar, TB_SETBUTTONINFOW, id, (LPARAM)&info);
}

POINT KeyCentre(HWND bar, int index, int count = 2)
{
    RECT client;
    GetClientRect(bar, &client);
    RECT key = ShellLayout::SoftKeyRect(client.right, client.bottom, count, index);
    return {(key.left + key.right) / 2, (key.top + key.bottom) / 2};
}

void Click(HWND window, POINT down, POINT up)
{
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(down.x, down.y));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(up.x, up.y));
}

class SoftKeyBar : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        g_parent = ParentLog();
        parent = CreateParent(240, 300);
        ASSERT_NE(nullptr, parent);
        Pump();
    }
    void TearDown() override
    {
        if (parent) DestroyWindow(parent);
    }
    HWND MakeBar(UINT menuId)
    {
        SHMENUBARINFO info = {};
        info.size = sizeof(info);
        info.parent = parent;
        info.flags = SHCMBF_HMENU | SHCMBF_HIDESIPBUTTON;
        info.menuId = menuId;
        info.resourceModule = TestModule();
        return SHCreateMenuBar(&info) ? info.bar : nullptr;
    }
    HWND parent = nullptr;
};

TEST_F(SoftKeyBar, BadRequestsMakeNoBar)
{
    SHMENUBARINFO good = {};
    good.size = sizeof(good);
    good.parent = parent;
    good.flags = SHCMBF_HMENU;
    good.menuId = IDM_TEST_COMMAND_AND_POPUP;
    good.resourceModule = TestModule();

    EXPECT_FALSE(SHCreateMenuBar(nullptr));
    struct Case {
        const char* name;
        void (*spoil)(SHMENUBARINFO&);
        DWORD error;
    } cases[] = {
        {"wrong size", [](SHMENUBARINFO& i) { i.size = 36; }, ERROR_INVALID_PARAMETER},
        {"no parent", [](SHMENUBARINFO& i) { i.parent = nullptr; }, ERROR_INVALID_PARAMETER},
        {"parent not a window", [](SHMENUBARINFO& i) { i.parent = (HWND)(LONG_PTR)0x7FFF1234; }, ERROR_INVALID_PARAMETER},
        {"not from a menu", [](SHMENUBARINFO& i) { i.flags = 0; }, ERROR_NOT_SUPPORTED},
        {"missing menu", [](SHMENUBARINFO& i) { i.menuId = 4242; }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SHMENUBARINFO info = good;
        c.spoil(info);
        SetLastError(0);
        EXPECT_FALSE(SHCreateMenuBar(&info));
        EXPECT_EQ(nullptr, info.bar);
        if (c.error) {
            EXPECT_EQ(c.error, GetLastError());
        }
    }
    EXPECT_EQ(nullptr, GetWindow(parent, GW_CHILD));
}

TEST_F(SoftKeyBar, KeysComeFromTheMenusTopLevelItems)
{
    HWND bar = MakeBar(IDM_TEST_COMMAND_AND_POPUP);
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(parent, GetParent(bar));
    EXPECT_TRUE(GetWindowLongPtrW(bar, GWL_STYLE) & WS_CHILD);
    EXPECT_TRUE(IsWindowVisible(bar));
    RECT rect;
    GetWindowRect(bar, &rect);
    MapWindowPoints(nullptr, parent, (POINT*)&rect, 2);
    int height = ShellLayout::SoftKeyBarHeight(ScreenDpi());
    EXPECT_EQ(0, rect.left);
    EXPECT_EQ(240, rect.right);
    EXPECT_EQ(300, rect.bottom);
    EXPECT_EQ(300 - height, rect.top);

    EXPECT_EQ(2, SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
    TBBUTTON button = {};
    ASSERT_TRUE(SendMessageW(bar, TB_GETBUTTON, 0, (LPARAM)&button));
    EXPECT_EQ(ID_TEST_SEND, button.idCommand);
    EXPECT_TRUE(button.fsState & TBSTATE_ENABLED);
    ASSERT_TRUE(SendMessageW(bar, TB_GETBUTTON, 1, (LPARAM)&button));
    EXPECT_EQ(0, button.idCommand);  // a plain pop-up item has no identifier
    EXPECT_FALSE(SendMessageW(bar, TB_GETBUTTON, 2, (LPARAM)&button));
    EXPECT_FALSE(SendMessageW(bar, TB_GETBUTTON, 0, 0));

    EXPECT_EQ(L"Send", Caption(bar, ID_TEST_SEND));
    EXPECT_EQ(L"Menu", Caption(bar, 1, TBIF_BYINDEX));
    EXPECT_EQ(L"Se", Caption(bar, ID_TEST_SEND, 0, 3));
    EXPECT_EQ(L"<none>", Caption(bar, 9999));
    EXPECT_EQ(L"<none>", Caption(bar, 2, TBIF_BYINDEX));
}

TEST_F(SoftKeyBar, ExtendedMenusNameTheirPopupKeys)
{
    HWND bar = MakeBar(IDM_TEST_EXTENDED);
    ASSERT_NE(nullptr, bar);
    TBBUTTON button = {};
    ASSERT_TRUE(SendMessageW(bar, TB_GETBUTTON, 1, (LPARAM)&button));
    EXPECT_EQ(ID_TEST_RIGHT_POPUP, button.idCommand);
    EXPECT_EQ(L"Right", Caption(bar, ID_TEST_RIGHT_POPUP));
}

TEST_F(SoftKeyBar, AtMostTwoKeysAndNoSeparators)
{
    HWND bar = MakeBar(IDM_TEST_MANY);
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(2, SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
    EXPECT_EQ(L"A", Caption(bar, ID_TEST_A));
    EXPECT_EQ(L"B", Caption(bar, ID_TEST_B));
    EXPECT_EQ(L"<none>", Caption(bar, ID_TEST_C));

    HWND empty = MakeBar(IDM_TEST_EMPTY);
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(0, SendMessageW(empty, TB_BUTTONCOUNT, 0, 0));
    Click(empty, {10, 10}, {10, 10});
    EXPECT_TRUE(g_parent.commands.empty());
}

TEST_F(SoftKeyBar, CaptionsChangeByCommandOrIndex)
{
    HWND bar = MakeBar(IDM_TEST_COMMAND_AND_POPUP);
    ASSERT_NE(nullptr, bar);
    EXPECT_TRUE(SetCaption(bar, ID_TEST_SEND, L"Reply"));
    EXPECT_EQ(L"Reply", Caption(bar, ID_TEST_SEND));
    EXPECT_TRUE(SetCaption(bar, 1, L"Options", TBIF_BYINDEX));
    EXPECT_EQ(L"Options", Caption(bar, 1, TBIF_BYINDEX));
    EXPECT_TRUE(SetCaption(bar, ID_TEST_SEND, nullptr));
    EXPECT_EQ(L"", Caption(bar, ID_TEST_SEND));
    EXPECT_TRUE(SetCaption(bar, ID_TEST_SEND, LPSTR_TEXTCALLBACKW));
    EXPECT_EQ(L"", Caption(bar, ID_TEST_SEND));

    // A caption without an end stops at the bar's limit.
    std::wstring longText(1000, L'x');
    EXPECT_TRUE(SetCaption(bar, ID_TEST_SEND, longText.c_str()));
    EXPECT_EQ(std::wstring(255, L'x'), Caption(bar, ID_TEST_SEND, 0, 300));

    EXPECT_FALSE(SetCaption(bar, 9999, L"nobody"));
    EXPECT_FALSE(SetCaption(bar, 5, L"nobody", TBIF_BYINDEX));
    EXPECT_FALSE(SetCaption(bar, ID_TEST_SEND, L"short record", 0, sizeof(TBBUTTONINFOW) - 4));
    EXPECT_FALSE(SendMessageW(bar, TB_SETBUTTONINFOW, ID_TEST_SEND, 0));
}

TEST_F(SoftKeyBar, CommandKeysTellTheParent)
{
    HWND bar = MakeBar(IDM_TEST_COMMAND_AND_POPUP);
    ASSERT_NE(nullptr, bar);
    POINT left = KeyCentre(bar, 0);
    Click(bar, left, left);
    EXPECT_EQ((std::vector<std::string>{std::to_string(ID_TEST_SEND) + ",0,1"}), g_parent.commands);

    // Pressed on one key and released on the other: nothing.
    g_parent.commands.clear();
    Click(bar, left, KeyCentre(bar, 1));
    EXPECT_TRUE(g_parent.commands.empty());
    EXPECT_EQ(nullptr, GetCapture());
}

TEST_F(SoftKeyBar, DisabledKeysDoNothing)
{
    HWND bar = MakeBar(IDM_TEST_GRAYED);
    ASSERT_NE(nullptr, bar);
    TBBUTTON button = {};
    ASSERT_TRUE(SendMessageW(bar, TB_GETBUTTON, 0, (LPARAM)&button));
    EXPECT_FALSE(button.fsState & TBSTATE_ENABLED);
    Click(bar, KeyCentre(bar, 0), KeyCentre(bar, 0));
    EXPECT_TRUE(g_parent.commands.empty());

    EXPECT_TRUE(SendMessageW(bar, TB_ENABLEBUTTON, ID_TEST_OFF, TRUE));
    Click(bar, KeyCentre(bar, 0), KeyCentre(bar, 0));
    EXPECT_EQ(1u, g_parent.commands.size());

    // Disabled by index through the state, as the main window does with both keys.
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_STATE | TBIF_BYINDEX;
    info.fsState = 0;
    EXPECT_TRUE(SendMessageW(bar, TB_SETBUTTONINFOW, 1, (LPARAM)&info));
    g_parent.commands.clear();
    Click(bar, KeyCentre(bar, 1), KeyCentre(bar, 1));
    EXPECT_TRUE(g_parent.commands.empty());
    EXPECT_FALSE(SendMessageW(bar, TB_ENABLEBUTTON, 9999, TRUE));
}

TEST_F(SoftKeyBar, PopupKeysOpenTheirMenus)
{
    HWND bar = MakeBar(IDM_TEST_COMMAND_AND_POPUP);
    ASSERT_NE(nullptr, bar);
    HMENU menu = LoadMenuW(TestModule(), MAKEINTRESOURCEW(IDM_TEST_COMMAND_AND_POPUP));
    ASSERT_NE(nullptr, menu);
    DestroyMenu(menu);

    // Opened and closed again: no command.
    Click(bar, KeyCentre(bar, 1), KeyCentre(bar, 1));
    Pump();
    ASSERT_EQ(1u, g_parent.popups.size());
    EXPECT_EQ(ID_TEST_FIRST, (int)GetMenuItemID(g_parent.popups[0], 0));
    EXPECT_TRUE(g_parent.commands.empty());

    // Opened and the first item chosen with the keys.
    g_parent.answerInMenu = {{WM_KEYDOWN, VK_DOWN}, {WM_CHAR, L'\r'}};
    Click(bar, KeyCentre(bar, 1), KeyCentre(bar, 1));
    Pump();  // a menu posts its command
    EXPECT_EQ(2u, g_parent.popups.size());
    EXPECT_EQ((std::vector<std::string>{std::to_string(ID_TEST_FIRST) + ",0,0"}), g_parent.commands);
}

TEST_F(SoftKeyBar, StaysAlongTheBottomAndOutOfTheParentsPainting)
{
    HWND bar = MakeBar(IDM_TEST_COMMAND_AND_POPUP);
    ASSERT_NE(nullptr, bar);
    g_parent.paintRed = true;
    RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    InvalidateRect(parent, nullptr, TRUE);
    UpdateWindow(parent);
    HDC dc = GetDC(parent);
    COLORREF above = GetPixel(dc, 5, 200);
    COLORREF onBar = GetPixel(dc, 5, 295);
    ReleaseDC(parent, dc);
    EXPECT_EQ(RGB(255, 0, 0), above);
    EXPECT_EQ(GetSysColor(COLOR_ACTIVECAPTION), onBar);

    SetWindowPos(parent, nullptr, 0, 0, 320, 240, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rect;
    GetWindowRect(bar, &rect);
    MapWindowPoints(nullptr, parent, (POINT*)&rect, 2);
    EXPECT_EQ(320, rect.right);
    EXPECT_EQ(240, rect.bottom);

    // A bar destroyed before its parent leaves the parent working.
    DestroyWindow(bar);
    SetWindowPos(parent, nullptr, 0, 0, 200, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(parent);
    EXPECT_EQ(nullptr, GetWindow(parent, GW_CHILD));
}

// ---- Full-screen dialogs -----------------------------------------------------------------------

std::vector<std::string> g_dialogCommands;

INT_PTR CALLBACK RecordingDialogProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND) {
        g_dialogCommands.push_back(std::to_string(LOWORD(wParam)));
        return TRUE;
    }
    return FALSE;
}

// An in-memory template: no controls, no font.
struct DialogTemplate {
    DWORD words[32] = {};
    explicit DialogTemplate(DWORD style)
    {
        DLGTEMPLATE* header = (DLGTEMPLATE*)words;
        header->style = style;
        header->cx = 100;
        header->cy = 80;
        WORD* tail = (WORD*)(header + 1);
        *tail++ = 0;  // no menu
        *tail++ = 0;  // standard class
        const wchar_t title[] = L"Details";
        for (wchar_t c : title) *tail++ = c;
    }
    const DLGTEMPLATE* Get() const { return (const DLGTEMPLATE*)words; }
};

class ShellDialog : public SoftKeyBar {
protected:
    HWND MakeDialog(DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU, HWND owner = (HWND)-1)
    {
        g_dialogCommands.clear();
        DialogTemplate dialogTemplate(style);
        return CreateDialogIndirectParamW(TestModule(), dialogTemplate.Get(), owner == (HWND)-1 ? parent : owner,
                                          RecordingDialogProc, 0);
    }
    static BOOL Init(HWND dialog, DWORD flags, DWORD mask = SHIDIM_FLAGS)
    {
        SHINITDLGINFO info = {mask, dialog, flags};
        return SHInitDialog(&info);
    }
    static RECT ScreenClientOf(HWND window)
    {
        RECT rect;
        GetClientRect(window, &rect);
        MapWindowPoints(window, nullptr, (POINT*)&rect, 2);
        return rect;
    }
    // Presses the title-strip button (or where it would be) and releases it at the given offset.
    static LRESULT PressTitleButton(HWND dialog, int releaseOffset = 0)
    {
        RECT client = ScreenClientOf(dialog);
        int strip = ShellLayout::TitleStripHeight(ScreenDpi());
        RECT button = ShellLayout::TitleButtonRect(client.right - client.left, strip, ScreenDpi());
        POINT centre = {client.left + (button.left + button.right) / 2, client.top - strip + (button.top + button.bottom) / 2};
        LRESULT hit = SendMessageW(dialog, WM_NCHITTEST, 0, MAKELPARAM(centre.x, centre.y));
        SendMessageW(dialog, WM_NCLBUTTONDOWN, hit, MAKELPARAM(centre.x, centre.y));
        POINT release = {centre.x - releaseOffset, centre.y};
        ScreenToClient(dialog, &release);
        SendMessageW(dialog, WM_LBUTTONUP, 0, MAKELPARAM(release.x, release.y));
        return hit;
    }
};

TEST_F(ShellDialog, BadRequestsAreRefused)
{
    EXPECT_FALSE(SHInitDialog(nullptr));
    SHINITDLGINFO info = {SHIDIM_FLAGS, (HWND)(LONG_PTR)0x7FFF1234, SHIDIF_DONEBUTTON};
    SetLastError(0);
    EXPECT_FALSE(SHInitDialog(&info));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
}

TEST_F(ShellDialog, FullScreenDialogFillsItsOwnerBelowATitleStrip)
{
    HWND dialog = MakeDialog();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(Init(dialog, SHIDIF_DONEBUTTON | SHIDIF_SIPDOWN | SHIDIF_SIZEDLGFULLSCREEN));
    RECT window, owner = ScreenClientOf(parent), client = ScreenClientOf(dialog);
    GetWindowRect(dialog, &window);
    EXPECT_TRUE(EqualRect(&owner, &window));
    EXPECT_EQ(ShellLayout::TitleStripHeight(ScreenDpi()), client.top - window.top);
    EXPECT_EQ(window.bottom, client.bottom);
    EXPECT_EQ(window.left, client.left);
    EXPECT_FALSE((GetWindowLongPtrW(dialog, GWL_STYLE) & WS_CAPTION) == WS_CAPTION);
    DestroyWindow(dialog);
}

TEST_F(ShellDialog, TitleStripButtonSendsItsCommand)
{
    struct Case {
        const char* name;
        DWORD flags;
        int releaseOffset;
        LRESULT hit;
        std::vector<std::string> commands;
    } cases[] = {
        {"done", SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN, 0, HTOBJECT, {"1"}},
        {"cancel", SHIDIF_CANCELBUTTON | SHIDIF_SIZEDLGFULLSCREEN, 0, HTOBJECT, {"2"}},
        {"released off the button", SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN, 120, HTOBJECT, {}},
        {"no button", SHIDIF_SIZEDLGFULLSCREEN, 0, HTBORDER, {}},
        {"flags not given", SHIDIF_DONEBUTTON, 0, HTBORDER, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND dialog = MakeDialog();
        ASSERT_NE(nullptr, dialog);
        ASSERT_TRUE(Init(dialog, c.flags, std::string(c.name) == "flags not given" ? 0 : SHIDIM_FLAGS));
        EXPECT_EQ(c.hit, PressTitleButton(dialog, c.releaseOffset));
        EXPECT_EQ(c.commands, g_dialogCommands);
        EXPECT_EQ(nullptr, GetCapture());
        DestroyWindow(dialog);
    }
}

TEST_F(ShellDialog, WithoutFullScreenTheDialogKeepsItsPlace)
{
    HWND dialog = MakeDialog();
    ASSERT_NE(nullptr, dialog);
    RECT before;
    GetWindowRect(dialog, &before);
    RECT clientBefore = ScreenClientOf(dialog);
    ASSERT_TRUE(Init(dialog, SHIDIF_DONEBUTTON));
    RECT after;
    GetWindowRect(dialog, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    RECT clientAfter = ScreenClientOf(dialog);
    EXPECT_EQ(clientBefore.top + ShellLayout::TitleStripHeight(ScreenDpi()), clientAfter.top);
    DestroyWindow(dialog);
}

TEST_F(ShellDialog, ChildAndOwnerlessDialogsFillTheirScreen)
{
    HWND child = MakeDialog(WS_CHILD | WS_VISIBLE);
    ASSERT_NE(nullptr, child);
    ASSERT_TRUE(Init(child, SHIDIF_SIZEDLGFULLSCREEN));
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, (POINT*)&rect, 2);
    RECT parentClient;
    GetClientRect(parent, &parentClient);
    EXPECT_TRUE(EqualRect(&parentClient, &rect));
    DestroyWindow(child);

    HWND alone = MakeDialog(WS_POPUP | WS_CAPTION, nullptr);
    ASSERT_NE(nullptr, alone);
    ASSERT_TRUE(Init(alone, SHIDIF_SIZEDLGFULLSCREEN));
    RECT work, window;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(alone, &window);
    EXPECT_TRUE(EqualRect(&work, &window));
    DestroyWindow(alone);
}

TEST_F(ShellDialog, ScreenChangesRefitFullScreenDialogs)
{
    HWND dialog = MakeDialog();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(Init(dialog, SHIDIF_SIZEDLGFULLSCREEN));
    SHACTIVATEINFO info = {};
    info.size = sizeof(info);
    SetWindowPos(parent, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT owner = ScreenClientOf(parent), window;

    // Another setting leaves the dialog alone.
    EXPECT_TRUE(SHHandleWMSettingChange(dialog, SPI_SETDESKWALLPAPER, 0, &info));
    GetWindowRect(dialog, &window);
    EXPECT_FALSE(EqualRect(&owner, &window));
    const WPARAM codes[] = {SPI_SETSIPINFO, SETTINGCHANGE_RESET};
    for (WPARAM code : codes) {
        SCOPED_TRACE(code);
        SetWindowPos(parent, nullptr, 0, 0, 300 - (int)code % 7, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        owner = ScreenClientOf(parent);
        EXPECT_TRUE(SHHandleWMSettingChange(dialog, code, 0, &info));
        GetWindowRect(dialog, &window);
        EXPECT_TRUE(EqualRect(&owner, &window));
    }
    info.size = 12;
    EXPECT_FALSE(SHHandleWMSettingChange(dialog, SETTINGCHANGE_RESET, 0, &info));
    EXPECT_FALSE(SHHandleWMSettingChange(dialog, SETTINGCHANGE_RESET, 0, nullptr));
    DestroyWindow(dialog);
}

TEST_F(ShellDialog, ActivationRecordKeepsTheFocusedChild)
{
    HWND dialog = MakeDialog(WS_POPUP | WS_VISIBLE);
    ASSERT_NE(nullptr, dialog);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, dialog, nullptr, TestModule(),
                                nullptr);
    ASSERT_NE(nullptr, edit);
    SHACTIVATEINFO info = {};
    info.size = sizeof(info);
    EXPECT_TRUE(SHHandleWMActivate(dialog, WA_ACTIVE, 0, &info, 0));
    EXPECT_EQ(1u, info.active);
    SetFocus(edit);
    EXPECT_TRUE(SHHandleWMActivate(dialog, WA_INACTIVE, 0, &info, 0));
    EXPECT_EQ(0u, info.active);
    EXPECT_EQ(edit, info.lastFocus);

    // Focus outside the window is not taken for its own.
    SetFocus(parent);
    EXPECT_TRUE(SHHandleWMActivate(dialog, WA_INACTIVE, 0, &info, 0));
    EXPECT_EQ(edit, info.lastFocus);

    info.size = 0;
    EXPECT_FALSE(SHHandleWMActivate(dialog, WA_ACTIVE, 0, &info, 0));
    EXPECT_FALSE(SHHandleWMActivate(dialog, WA_ACTIVE, 0, nullptr, 0));
    DestroyWindow(dialog);
}

}  // namespace
