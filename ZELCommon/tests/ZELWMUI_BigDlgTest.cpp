#include "ZELCommon/ZELCommonResources.h"
#include "ZELCommon/ZELWMUI_BigDlg.h"
#include "ZELCommon/ZELWMUI_TabPan.h"
#include "Handheld/ShellUiLayout.h"

#include "SlotOf.h"
#include "UiTestResources.h"
#include "UiTestSupport.h"
#include "WindowScreenshot.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace UI;
using TestSupport::Scripted;
using TestSupport::SlotOf;

namespace {

const int kStayedOpen = 777;  // the script's own end code: nothing else ended the dialog

int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

TEST(BigDlgFlags, TitleButtonChoiceGivesTheShellFlags)
{
    struct Case {
        const char* name;
        int button;
        DWORD flags;
    } cases[] = {
        {"cancel button", CZELWMUI_BigDlg::CommandCancel, 0x8C},
        {"done button", CZELWMUI_BigDlg::CommandDone, 0x0D},
        {"no button", CZELWMUI_BigDlg::CommandNone, 0x0C},
        {"unknown value", -1, 0x0C},
        {"large value", 1000, 0x0C},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.flags, FullScreenDialogFlags(c.button));
    }
}

TEST(BigDlgSlots, FullScreenOperationsFollowTheDialogOnes)
{
    long long exchange = SlotOf(&CZELWMUI_TabPan::DoDataExchange);
    EXPECT_EQ(exchange + 1, SlotOf(&CZELWMUI_BigDlg::OnScreenSizeChanged));
    EXPECT_EQ(exchange + 2, SlotOf(&CZELWMUI_BigDlg::OnActivate));
    EXPECT_EQ(exchange + 3, SlotOf(&CZELWMUI_BigDlg::GetSoftKeyCap));
    EXPECT_EQ(exchange + 4, SlotOf(&CZELWMUI_BigDlg::OnSoftKey));
    EXPECT_EQ(exchange + 5, SlotOf(&CZELWMUI_BigDlg::GetCommandButton));
    EXPECT_EQ(exchange + 6, SlotOf(&CZELWMUI_BigDlg::OnCommandButton));
}

class SignInDlg : public Scripted<CZELWMUI_BigDlg> {
public:
    TCommandButton button = CommandDone;
    int accept = 1;
    const wchar_t* leftCaption = nullptr;
    const wchar_t* rightCaption = nullptr;
    bool dropBar = false;  // behave as if the bar could not be made
    std::vector<std::string> calls;
    int captionRequests = 0;
    std::vector<std::string> activations;

    void OnInitDialog() override
    {
        CZELWMUI_BigDlg::OnInitDialog();
        if (dropBar) {
            DestroyWindow(menuBar);
            menuBar = nullptr;
            captionRequests = 0;
            SetSoftKeys();
        }
        calls.push_back("OnInitDialog");
        StartScript();
    }
    int DoDataExchange(int save) override
    {
        calls.push_back(save ? "Save" : "Load");
        return save ? accept : 1;
    }
    TCommandButton GetCommandButton() override { return button; }
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override
    {
        ++captionRequests;
        const wchar_t* text = key == SoftKeyLeft ? leftCaption : rightCaption;
        if (!text) return 0;
        caption = text;
        return 1;
    }
    void OnSoftKey(TSoftKey key) override { calls.push_back(key == SoftKeyLeft ? "SoftKey(left)" : "SoftKey(right)"); }
    void OnCommandButton() override
    {
        calls.push_back("OnCommandButton");
        CZELWMUI_BigDlg::OnCommandButton();
    }
    void OnScreenSizeChanged() override { calls.push_back("OnScreenSizeChanged"); }
    void OnActivate(WORD state, int minimized, HWND other) override
    {
        activations.push_back(std::to_string(state) + "," + std::to_string(minimized) + "," +
                              std::to_string((LONG_PTR)other));
    }
    HBRUSH GetBkBrush() override { return (HBRUSH)GetStockObject(WHITE_BRUSH); }

    const SHACTIVATEINFO& Activation() const { return activateInfo; }
    void Finish() { ::EndDialog(hwnd, kStayedOpen); }

    std::wstring KeyCaption(int command) const
    {
        wchar_t text[64] = L"?";
        TBBUTTONINFOW info = {};
        info.cbSize = sizeof(info);
        info.dwMask = TBIF_TEXT;
        info.pszText = text;
        info.cchText = 64;
        if (SendMessageW(menuBar, TB_GETBUTTONINFOW, command, (LPARAM)&info) < 0) return L"<none>";
        return text;
    }
    // Centre of a soft key in the bar's client coordinates.
    POINT KeyCentre(int index) const
    {
        RECT bar = {};
        GetClientRect(menuBar, &bar);
        RECT key = ShellLayout::SoftKeyRect(bar.right, bar.bottom, 2, index);
        return {(key.left + key.right) / 2, (key.top + key.bottom) / 2};
    }
    // The title strip's button on the screen.
    RECT TitleButtonOnScreen() const
    {
        POINT origin = {0, 0};
        ClientToScreen(hwnd, &origin);
        RECT client = {};
        GetClientRect(hwnd, &client);
        int strip = ShellLayout::TitleStripHeight(ScreenDpi());
        RECT button = ShellLayout::TitleButtonRect(client.right, strip, ScreenDpi());
        OffsetRect(&button, origin.x, origin.y - strip);
        return button;
    }
};

class FullScreenDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        // The owner plays the handheld's screen.
        host = TestSupport::CreateHostWindow(240, 320, L"Screen");
        ASSERT_NE(nullptr, host);
    }
    void TearDown() override
    {
        if (host) DestroyWindow(host);
    }
    int Run(SignInDlg& dialog) { return dialog.DoModal(IDD_TEST_SIGN_IN, TestSupport::TestModule(), host); }

    HWND host = nullptr;
};

TEST_F(FullScreenDialog, FillsItsOwnerWithTitleStripAndSoftKeyBar)
{
    SignInDlg dialog;
    RECT windowRect = {}, clientRect = {}, barRect = {}, ownerRect = {};
    POINT clientOrigin = {};
    LONG_PTR style = 0;
    HWND bar = nullptr;
    LRESULT keyCount = 0;
    int leftId = 0, rightId = 0, missingId = 0;
    std::wstring leftCaption, rightCaption;
    dialog.steps = {[&] {
        GetWindowRect(dialog, &windowRect);
        GetClientRect(dialog, &clientRect);
        ClientToScreen(dialog, &clientOrigin);
        style = GetWindowLongPtrW(dialog, GWL_STYLE);
        GetClientRect(host, &ownerRect);
        MapWindowPoints(host, nullptr, (POINT*)&ownerRect, 2);
        bar = dialog.Menu();
        GetWindowRect(bar, &barRect);
        MapWindowPoints(nullptr, dialog, (POINT*)&barRect, 2);
        keyCount = SendMessageW(bar, TB_BUTTONCOUNT, 0, 0);
        leftId = CZELWMUI_BigDlg::GetSoftKeyId(bar, CZELWMUI_BigDlg::SoftKeyLeft);
        rightId = CZELWMUI_BigDlg::GetSoftKeyId(bar, CZELWMUI_BigDlg::SoftKeyRight);
        missingId = CZELWMUI_BigDlg::GetSoftKeyId(bar, (CZELWMUI_BigDlg::TSoftKey)2);
        leftCaption = dialog.KeyCaption(ID_ZELCOMMON_SOFTKEY_LEFT);
        rightCaption = dialog.KeyCaption(ID_ZELCOMMON_SOFTKEY_RIGHT);
        dialog.Finish();
    }};
    EXPECT_EQ(kStayedOpen, Run(dialog));

    EXPECT_TRUE(EqualRect(&ownerRect, &windowRect));
    EXPECT_FALSE((style & WS_CAPTION) == WS_CAPTION);
    EXPECT_EQ(ShellLayout::TitleStripHeight(ScreenDpi()), clientOrigin.y - windowRect.top);
    EXPECT_EQ(windowRect.bottom - clientOrigin.y, clientRect.bottom);
    ASSERT_NE(nullptr, bar);
    EXPECT_FALSE(IsWindow(bar));  // went with the dialog
    EXPECT_EQ(0, barRect.left);
    EXPECT_EQ(clientRect.right, barRect.right);
    EXPECT_EQ(clientRect.bottom, barRect.bottom);
    EXPECT_EQ(ShellLayout::SoftKeyBarHeight(ScreenDpi()), barRect.bottom - barRect.top);
    EXPECT_EQ(2, keyCount);
    EXPECT_EQ(ID_ZELCOMMON_SOFTKEY_LEFT, leftId);
    EXPECT_EQ(ID_ZELCOMMON_SOFTKEY_RIGHT, rightId);
    EXPECT_EQ(-1, missingId);
    // Without captions from the dialog both keys are blank, not the menu's placeholders.
    EXPECT_EQ(L"", leftCaption);
    EXPECT_EQ(L"", rightCaption);
    EXPECT_EQ(2, dialog.captionRequests);
    EXPECT_EQ((std::vector<std::string>{"OnInitDialog", "Load"}), dialog.calls);
}

TEST_F(FullScreenDialog, SoftKeyCaptionsComeFromTheDialog)
{
    struct Case {
        const char* name;
        const wchar_t* left;
        const wchar_t* right;
        const wchar_t* shownLeft;
        const wchar_t* shownRight;
    } cases[] = {
        {"both", L"Done", L"Menu", L"Done", L"Menu"},
        {"right only", nullptr, L"Cancel", L"", L"Cancel"},
        {"left only", L"OK", nullptr, L"OK", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SignInDlg dialog;
        dialog.leftCaption = c.left;
        dialog.rightCaption = c.right;
        std::wstring left, right;
        dialog.steps = {[&] {
            left = dialog.KeyCaption(ID_ZELCOMMON_SOFTKEY_LEFT);
            right = dialog.KeyCaption(ID_ZELCOMMON_SOFTKEY_RIGHT);
            dialog.Finish();
        }};
        EXPECT_EQ(kStayedOpen, Run(dialog));
        EXPECT_EQ(c.shownLeft, left);
        EXPECT_EQ(c.shownRight, right);
    }
}

TEST_F(FullScreenDialog, SoftKeysReachOnSoftKey)
{
    SignInDlg dialog;
    dialog.steps = {
        [&] {
            POINT left = dialog.KeyCentre(0);
            TestSupport::ClickClient(dialog.Menu(), left.x, left.y);
        },
        [&] {
            POINT right = dialog.KeyCentre(1);
            TestSupport::ClickClient(dialog.Menu(), right.x, right.y);
        },
        [&] { SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_RIGHT, 0); },
        [&] { SendMessageW(dialog, WM_COMMAND, 40003, 0); },
        [&] { dialog.Finish(); },
    };
    EXPECT_EQ(kStayedOpen, Run(dialog));
    EXPECT_EQ((std::vector<std::string>{"OnInitDialog", "Load", "SoftKey(left)", "SoftKey(right)", "SoftKey(right)"}),
              dialog.calls);
}

// IDOK and IDCANCEL by the title-strip button choice. The cancel button ends with IDCANCEL and no
// data exchange; only IDOK passes through the data exchange, which can keep the dialog open.
TEST_F(FullScreenDialog, OkAndCancelFollowTheTitleButton)
{
    typedef CZELWMUI_BigDlg B;
    struct Case {
        const char* name;
        B::TCommandButton button;
        int accept;
        UINT message;
        WPARAM command;
        int result;
        std::vector<std::string> calls;
    } cases[] = {
        {"done button, accepted", B::CommandDone, 1, WM_COMMAND, IDOK, IDOK, {"OnCommandButton", "Save"}},
        {"done button, refused", B::CommandDone, 0, WM_COMMAND, IDOK, kStayedOpen, {"OnCommandButton", "Save"}},
        {"done button, cancel key", B::CommandDone, 1, WM_COMMAND, IDCANCEL, IDCANCEL, {}},
        {"cancel button", B::CommandCancel, 1, WM_COMMAND, IDCANCEL, IDCANCEL, {"OnCommandButton"}},
        {"cancel button, OK key accepted", B::CommandCancel, 1, WM_COMMAND, IDOK, IDOK, {"Save"}},
        {"cancel button, OK key refused", B::CommandCancel, 0, WM_COMMAND, IDOK, kStayedOpen, {"Save"}},
        {"no button, OK accepted", B::CommandNone, 1, WM_COMMAND, IDOK, IDOK, {"Save"}},
        {"no button, OK refused", B::CommandNone, 0, WM_COMMAND, IDOK, kStayedOpen, {"Save"}},
        {"no button, cancel", B::CommandNone, 1, WM_COMMAND, IDCANCEL, IDCANCEL, {}},
        {"close", B::CommandDone, 1, WM_CLOSE, 0, IDCANCEL, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SignInDlg dialog;
        dialog.button = c.button;
        dialog.accept = c.accept;
        dialog.steps = {[&] { SendMessageW(dialog, c.message, c.command, 0); }, [&] { dialog.Finish(); }};
        EXPECT_EQ(c.result, Run(dialog));
        std::vector<std::string> expected = {"OnInitDialog", "Load"};
        expected.insert(expected.end(), c.calls.begin(), c.calls.end());
        EXPECT_EQ(expected, dialog.calls);
    }
}

TEST_F(FullScreenDialog, TitleStripButtonIsPressedWithTheStylus)
{
    typedef CZELWMUI_BigDlg B;
    struct Case {
        const char* name;
        B::TCommandButton button;
        bool releaseOnButton;
        LRESULT hit;
        int result;
        std::vector<std::string> calls;
    } cases[] = {
        {"done", B::CommandDone, true, HTOBJECT, IDOK, {"OnCommandButton", "Save"}},
        {"cancel", B::CommandCancel, true, HTOBJECT, IDCANCEL, {"OnCommandButton"}},
        {"released elsewhere", B::CommandCancel, false, HTOBJECT, kStayedOpen, {}},
        {"no button", B::CommandNone, true, HTBORDER, kStayedOpen, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SignInDlg dialog;
        dialog.button = c.button;
        LRESULT hit = -1;
        dialog.steps = {
            [&] {
                RECT button = dialog.TitleButtonOnScreen();
                POINT centre = {(button.left + button.right) / 2, (button.top + button.bottom) / 2};
                hit = SendMessageW(dialog, WM_NCHITTEST, 0, MAKELPARAM(centre.x, centre.y));
                SendMessageW(dialog, WM_NCLBUTTONDOWN, hit, MAKELPARAM(centre.x, centre.y));
                POINT release = c.releaseOnButton ? centre : POINT{centre.x - 100, centre.y + 100};
                ScreenToClient(dialog, &release);
                SendMessageW(dialog, WM_LBUTTONUP, 0, MAKELPARAM(release.x, release.y));
            },
            [&] { dialog.Finish(); },
        };
        EXPECT_EQ(c.result, Run(dialog));
        EXPECT_EQ(c.hit, hit);
        std::vector<std::string> expected = {"OnInitDialog", "Load"};
        expected.insert(expected.end(), c.calls.begin(), c.calls.end());
        EXPECT_EQ(expected, dialog.calls);
    }
}

TEST_F(FullScreenDialog, ScreenChangesAndActivationReachTheDialog)
{
    SignInDlg dialog;
    LRESULT settingAnswer = -1;
    RECT refitted = {}, ownerAfter = {};
    SHACTIVATEINFO afterDeactivation = {}, afterActivation = {};
    std::vector<std::string> mine;
    HWND account = nullptr;
    dialog.steps = {
        [&] {
            settingAnswer = SendMessageW(dialog, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
            SendMessageW(dialog, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
            SendMessageW(dialog, WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, 0);
        },
        [&] {
            // The screen turns: the owner changes size and the dialog follows on the next change.
            SetWindowPos(host, nullptr, 0, 0, 320, 240, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            SendMessageW(dialog, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
            GetWindowRect(dialog, &refitted);
            GetClientRect(host, &ownerAfter);
            MapWindowPoints(host, nullptr, (POINT*)&ownerAfter, 2);
        },
        [&] {
            account = dialog.GetDlgItem(IDC_TEST_ACCOUNT);
            SetFocus(account);
            size_t before = dialog.activations.size();
            SendMessageW(dialog, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1), (LPARAM)host);
            afterDeactivation = dialog.Activation();
            SendMessageW(dialog, WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 0), 0);
            afterActivation = dialog.Activation();
            mine.assign(dialog.activations.begin() + before, dialog.activations.end());
        },
        [&] { dialog.Finish(); },
    };
    EXPECT_EQ(kStayedOpen, Run(dialog));
    EXPECT_EQ(0, settingAnswer);
    EXPECT_EQ((std::vector<std::string>{"OnInitDialog", "Load", "OnScreenSizeChanged", "OnScreenSizeChanged",
                                        "OnScreenSizeChanged"}),
              dialog.calls);
    EXPECT_TRUE(EqualRect(&ownerAfter, &refitted));
    EXPECT_EQ((std::vector<std::string>{"0,1," + std::to_string((LONG_PTR)host), "2,0,0"}), mine);
    EXPECT_EQ(0u, afterDeactivation.active);
    EXPECT_EQ(sizeof(SHACTIVATEINFO), afterDeactivation.size);
    ASSERT_NE(nullptr, account);
    EXPECT_EQ(account, afterDeactivation.lastFocus);
    EXPECT_EQ(1u, afterActivation.active);
}

TEST_F(FullScreenDialog, RunsWithoutASoftKeyBar)
{
    SignInDlg dialog;
    dialog.dropBar = true;
    dialog.button = CZELWMUI_BigDlg::CommandCancel;
    HWND bar = (HWND)1;
    dialog.steps = {[&] { bar = dialog.Menu(); }, [&] { SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0); }};
    EXPECT_EQ(IDCANCEL, Run(dialog));
    EXPECT_EQ(nullptr, bar);
    EXPECT_EQ(0, dialog.captionRequests);
}

// A screenshot of a full-screen dialog with its soft-key bar, written to bin\screenshots for a
// person to look at; the test checks the strip, the bar and the dialog's own background.
TEST_F(FullScreenDialog, ScreenshotShowsTitleStripAndSoftKeys)
{
    SignInDlg dialog;
    dialog.leftCaption = L"Sign in";
    dialog.rightCaption = L"Menu";
    TestSupport::Image shot;
    bool captured = false, saved = false;
    std::wstring path;
    int strip = 0, barHeight = 0;
    dialog.steps = {[&] {
        SetDlgItemTextW(dialog, IDC_TEST_ACCOUNT, L"alice@example.org");
        SetDlgItemTextW(dialog, IDC_TEST_PASSWORD, L"secret");
        ShowWindow(dialog, SW_SHOWNORMAL);
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
        strip = ShellLayout::TitleStripHeight(ScreenDpi());
        barHeight = ShellLayout::SoftKeyBarHeight(ScreenDpi());
        captured = TestSupport::CaptureWindow(dialog, true, &shot);
        saved = TestSupport::SaveScreenshot(dialog, true, L"FullScreenDialog.png", &path);
        dialog.Finish();
    }};
    EXPECT_EQ(kStayedOpen, Run(dialog));
    ASSERT_TRUE(captured);
    EXPECT_TRUE(saved) << "could not write the screenshot";
    ASSERT_EQ(240, shot.width);
    ASSERT_EQ(320, shot.height);
    uint32_t stripColour = TestSupport::Rgb(GetSysColor(COLOR_ACTIVECAPTION));
    // Title strip: its colour at the left end, away from the title text.
    EXPECT_EQ(stripColour, shot.At(1, 1));
    EXPECT_EQ(stripColour, shot.At(1, strip - 2));
    // The dialog's own white background between strip and bar.
    EXPECT_EQ(0xFFFFFFu, shot.At(shot.width - 3, strip + 120));
    // Soft-key bar along the bottom: its colour at the edges of the keys.
    EXPECT_EQ(stripColour, shot.At(2, shot.height - 3));
    EXPECT_EQ(stripColour, shot.At(shot.width - 3, shot.height - barHeight + 3));
    // Each key shows its caption: some pixel of each key's middle differs from the bar's colour.
    for (int key = 0; key < 2; ++key) {
        SCOPED_TRACE(key);
        RECT rect = ShellLayout::SoftKeyRect(240, barHeight, 2, key);
        bool text = false;
        for (int y = shot.height - barHeight + 4; y < shot.height - 4 && !text; ++y)
            for (int x = rect.left + 4; x < rect.right - 4 && !text; ++x) text = shot.At(x, y) != stripColour;
        EXPECT_TRUE(text);
    }
    std::string narrow(path.begin(), path.end());
    RecordProperty("screenshot", narrow);
    printf("screenshot: %s\n", narrow.c_str());
}

}  // namespace
