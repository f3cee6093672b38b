// The tabbed dialog base and the settings and details dialogs on it: the strip's arithmetic as tables,
// then real dialogs on the program's common template with pages made from the foundation library's
// empty page: removing pages, alerts and their timer, the key button, the stylus, the data exchange,
// the details dialogs' refresh and soft keys, and the strip on the screen.
#include "Zel/shell/dialogs/DetailsDialogs.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/dialogs/SettingsDialog.h"
#include "Zel/shell/dialogs/TabStripLayout.h"
#include "ZELCommon/ZELCommonMain.h"
#include "ZELCommon/ZELCommonResources.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"
#include "ZELCommon/tests/UiTestSupport.h"
#include "ZELCommon/tests/WindowScreenshot.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

using TestSupport::Scripted;

namespace {

std::vector<int> Widths(std::initializer_list<int> widths)
{
    return std::vector<int>(widths);
}

}  // namespace

TEST(TabStripLayout, AreasAndTabWidths)
{
    RECT client = {0, 0, 240, 300};
    TabStrip::Areas areas = TabStrip::Layout(client, 13, 25, 96);
    // 13 * 1.5 = 19 high, above a 25-pixel band; a one-pixel gap above the strip.
    EXPECT_EQ(areas.strip.bottom, 275);
    EXPECT_EQ(areas.strip.top, 256);
    EXPECT_EQ(areas.pageArea.bottom, 255);
    EXPECT_EQ(areas.pageArea.top, 0);
    areas = TabStrip::Layout(client, 26, 0, 192);
    EXPECT_EQ(areas.strip.top, 300 - 39);
    EXPECT_EQ(areas.pageArea.bottom, 300 - 2 - 39);

    struct Case {
        int extent;
        bool icons;
        int dpi;
        int width;
        int caption;
    } cases[] = {{40, false, 96, 40 + 2 * 4, 4}, {40, true, 96, 40 + 8 + 20, 24}, {80, true, 192, 80 + 16 + 40, 48},
                 {0, false, 96, 8, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        EXPECT_EQ(TabStrip::TabWidth(c.extent, c.icons, c.dpi), c.width);
        EXPECT_EQ(TabStrip::CaptionOffset(c.icons, c.dpi), c.caption);
    }
    EXPECT_EQ(TabStrip::IconSize(96), 16);
    EXPECT_EQ(TabStrip::IconSize(192), 32);
}

TEST(TabStripLayout, HitTestFindsTabsAndArrows)
{
    RECT strip = {0, 100, 200, 120};
    std::vector<int> widths = Widths({60, 60, 60, 60});
    struct Case {
        const char* name;
        int first;
        bool overflow, scrolled;
        POINT point;
        int hit;
    } cases[] = {
        {"above the strip", 0, false, false, {10, 99}, TabStrip::HitNone},
        {"first tab", 0, false, false, {0, 100}, 0},
        {"second tab", 0, false, false, {60, 110}, 1},
        {"third tab's last pixel", 0, false, false, {179, 120}, 2},
        {"the tab cut by the edge", 0, false, false, {199, 110}, 3},
        {"right arrow", 0, true, false, {170, 110}, TabStrip::HitScrollRight},
        {"right arrow's right edge", 0, true, false, {184, 110}, TabStrip::HitScrollRight},
        {"left of the right arrow", 0, true, false, {167, 110}, 2},
        // The left arrow: from 200 - 32 - 18 = 150 to 166.
        {"left arrow", 1, true, true, {150, 110}, TabStrip::HitScrollLeft},
        {"left arrow's right edge", 1, true, true, {166, 110}, TabStrip::HitScrollLeft},
        {"scrolled: the first visible is tab 1", 1, false, true, {10, 110}, 1},
        {"past the last tab", 3, false, true, {100, 110}, TabStrip::HitNone},
        {"outside on the right", 0, false, false, {201, 110}, TabStrip::HitNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TabStrip::HitTest(widths, c.first, strip, c.overflow, c.scrolled, c.point, 96), c.hit);
    }
    EXPECT_TRUE(TabStrip::Overflows(widths, 0, strip));
    EXPECT_FALSE(TabStrip::Overflows(widths, 1, strip));
    EXPECT_TRUE(TabStrip::Overflows(Widths({60, 60, 80}), 0, strip));
}

TEST(TabStripLayout, ScrollingBringsTabsIntoViewAndFollowsTheStylus)
{
    std::vector<int> widths = Widths({50, 50, 50, 50, 50, 50});
    struct Case {
        const char* name;
        int first, current, strip, result;
    } cases[] = {
        {"current before the first visible", 3, 1, 120, 1},
        {"current is the first visible", 2, 2, 120, 2},
        {"current within view", 0, 1, 120, 0},
        {"current past the right edge", 0, 4, 120, 3},
        {"current at the end", 0, 5, 120, 4},
        {"a tab wider than the strip", 0, 2, 30, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TabStrip::ScrollToTab(widths, c.first, c.current, c.strip), c.result);
    }
    // The pressed tab lands near the stylus: the tabs before it fill less than x.
    EXPECT_EQ(TabStrip::ScrollBy(widths, 3, 120, 0), 1);
    EXPECT_EQ(TabStrip::ScrollBy(widths, 3, 101, 0), 1);
    EXPECT_EQ(TabStrip::ScrollBy(widths, 3, 100, 0), 2);
    EXPECT_EQ(TabStrip::ScrollBy(widths, 3, 400, 0), 0);
    EXPECT_EQ(TabStrip::ScrollBy(widths, 3, 0, 0), 3);
    EXPECT_EQ(TabStrip::ScrollBy(widths, 3, 130, 10), 1);
}

namespace {

// Handles this thread's messages for a while, from inside a dialog's script.
void PumpFor(DWORD milliseconds)
{
    DWORD end = GetTickCount() + milliseconds;
    while (int(end - GetTickCount()) > 0) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
}

// The window's own visible flag: a modal dialog itself shows only once its loop is idle.
bool Shown(HWND window)
{
    return (GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

struct PageLog {
    std::vector<std::string> calls;
    int alive = 0;
};

// A settings page on the foundation library's empty child template.
class FakePage : public UI::CZELWMUI_SettingsPan {
public:
    FakePage(const std::string& name, int icon, PageLog* log) : name(name), icon(icon), log(log) { ++log->alive; }
    ~FakePage() override { --log->alive; }

    CZELString GetTitle() override { return CZELString(std::wstring(name.begin(), name.end()).c_str()); }
    CZELArray<int> GetIcons() override { return icon < 0 ? CZELArray<int>() : CZELArray<int>(1, icon); }
    ZELTabDlg::PanResource GetResource() override { return {GetZELCommonModule(), IDD_ZELCOMMON_EMPTY_PAGE}; }
    HBRUSH GetBkBrush() override { return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)); }
    int DoDataExchange(int save) override
    {
        log->calls.push_back(name + (save ? " save" : " load"));
        return save ? accept : 1;
    }

    std::string name;
    int icon;
    int accept = 1;
    PageLog* log;
};

class TestSettingsDialog : public Scripted<CSettingsDialog> {
public:
    TestSettingsDialog(PageLog* log, int count, int firstPage = 0) : log(log), count(count), firstPage(firstPage) {}

    void BuildPages(SettingsPageList& list) override
    {
        for (int i = 0; i < count; ++i) {
            FakePage* page = new FakePage("page" + std::to_string(i), i % 2 ? 20 + i : -1, log);
            made.push_back(page);
            list.pages.Add(page);
        }
        list.firstPage = firstPage;
    }
    void OnInitDialog() override
    {
        CSettingsDialog::OnInitDialog();
        StartScript();
    }
    void OnTabDoubleTap() override { ++doubleTaps; }
    void OnPageChanged() override { changes.push_back(GetCurrentPageId()); }

    // The windows of the pages that are visible.
    std::vector<int> VisiblePages()
    {
        std::vector<int> visible;
        for (int i = 0; i < GetPageCount(); ++i) {
            TabPage* page = FindPage(i);
            if (page && Shown(*page->window)) visible.push_back(page->id);
        }
        return visible;
    }
    // The x in the middle of the tab at index i, from the first visible tab.
    int TabMiddle(int index)
    {
        std::vector<int> widths = GetTabWidths();
        int x = GetStripRect().left;
        for (int i = GetFirstVisible(); i < index; ++i) x += widths[size_t(i)];
        return x + widths[size_t(index)] / 2;
    }
    int StripMiddle() { return (GetStripRect().top + GetStripRect().bottom) / 2; }

    PageLog* log;
    int count;
    int firstPage;
    std::vector<FakePage*> made;
    int doubleTaps = 0;
    std::vector<int> changes;
};

class TabbedDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        host = TestSupport::CreateHostWindow(240, 300, L"Tabbed dialog host");
    }
    void TearDown() override
    {
        if (host) DestroyWindow(host);
    }

    TestSupport::DpiScope dpi{96};
    HWND host = nullptr;
    PageLog log;
};

const int kStayedOpen = 777;

}  // namespace

TEST_F(TabbedDialog, ASettingsDialogOpensOnTheFirstPageItNamesAndFillsEveryPage)
{
    {
        TestSettingsDialog dialog(&log, 4, 2);
        dialog.steps.push_back([&] {
            EXPECT_EQ(dialog.GetPageCount(), 4);
            EXPECT_EQ(dialog.GetCurrentPageId(), 2);
            EXPECT_EQ(dialog.VisiblePages(), std::vector<int>{2});
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(dialog.IndexOfPage(i), i);
                EXPECT_EQ(dialog.PageIdOfWindow(dialog.made[size_t(i)]), i);
                EXPECT_TRUE(dialog.FindPage(i)->caption == CZELString(("page" + std::to_string(i)).c_str(), -1, 65001));
            }
            EXPECT_EQ(dialog.PageIdOfWindow(nullptr), -1);
            // The pages stand in the page area, above the strip.
            RECT page = {};
            GetWindowRect(*dialog.made[2], &page);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&page), 2);
            EXPECT_EQ(page.bottom, dialog.GetPageArea().bottom);
            EXPECT_LT(dialog.GetPageArea().bottom, dialog.GetStripRect().top);
            CZELString caption;
            EXPECT_EQ(dialog.GetSoftKeyCap(UI::CZELWMUI_BigDlg::SoftKeyLeft, caption), 1);
            EXPECT_TRUE(caption == L"OK");
            EXPECT_EQ(dialog.GetSoftKeyCap(UI::CZELWMUI_BigDlg::SoftKeyRight, caption), 1);
            EXPECT_TRUE(caption == L"Cancel");
            ::EndDialog(dialog, kStayedOpen);
        });
        EXPECT_EQ(DoModalDialog(&dialog, host), kStayedOpen);
        // Every page was filled when the dialog started.
        for (int i = 0; i < 4; ++i)
            EXPECT_NE(std::find(log.calls.begin(), log.calls.end(), "page" + std::to_string(i) + " load"),
                      log.calls.end());
    }
    EXPECT_EQ(log.alive, 0);

    // No pages: the dialog ends at once with IDCANCEL.
    TestSettingsDialog empty(&log, 0);
    EXPECT_EQ(DoModalDialog(&empty, host), IDCANCEL);
}

TEST_F(TabbedDialog, OkStopsAtTheFirstPageThatRefusesAndStaysOpen)
{
    TestSettingsDialog dialog(&log, 3);
    dialog.steps.push_back([&] {
        dialog.made[1]->accept = 0;
        log.calls.clear();
        SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_LEFT, 0);
        EXPECT_EQ(log.calls, (std::vector<std::string>{"page0 save", "page1 save"}));
    });
    dialog.steps.push_back([&] {
        EXPECT_TRUE(IsWindow(dialog));
        dialog.made[1]->accept = 1;
        SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_LEFT, 0);
    });
    EXPECT_EQ(DoModalDialog(&dialog, host), IDOK);

    TestSettingsDialog cancelled(&log, 2);
    cancelled.steps.push_back([&] {
        log.calls.clear();
        SendMessageW(cancelled, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_RIGHT, 0);
    });
    EXPECT_EQ(DoModalDialog(&cancelled, host), IDCANCEL);
    EXPECT_TRUE(log.calls.empty());
}

TEST_F(TabbedDialog, RemovingAPageKeepsOrMovesTheCurrentOne)
{
    struct Case {
        const char* name;
        int current;
        int removed;
        int currentAfter;
    } cases[] = {
        {"before the current page", 2, 0, 2},
        {"the current page in the middle", 2, 2, 3},
        {"the current page at the end", 4, 4, 3},
        {"after the current page", 1, 3, 1},
        {"a page that is not there", 1, 9, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestSettingsDialog dialog(&log, 5, c.current);
        dialog.steps.push_back([&] {
            int alive = log.alive;
            HWND removedWindow = dialog.HasPage(c.removed) ? HWND(*dialog.FindPage(c.removed)->window) : nullptr;
            dialog.RemovePage(c.removed);
            EXPECT_EQ(dialog.GetCurrentPageId(), c.currentAfter);
            EXPECT_EQ(dialog.VisiblePages(), std::vector<int>{c.currentAfter});
            if (removedWindow) {
                EXPECT_EQ(log.alive, alive - 1);
                EXPECT_FALSE(IsWindow(removedWindow));
                EXPECT_FALSE(dialog.HasPage(c.removed));
            }
            ::EndDialog(dialog, kStayedOpen);
        });
        EXPECT_EQ(DoModalDialog(&dialog, host), kStayedOpen);
    }
}

TEST_F(TabbedDialog, RemovingTheLastPageHidesTheDialogUntilAPageIsSelectedAgain)
{
    {
    TestSettingsDialog dialog(&log, 1);
    dialog.steps.push_back([&] {
        ShowWindow(dialog, SW_SHOW);
        dialog.RemovePage(0);
        EXPECT_FALSE(Shown(dialog));
        EXPECT_EQ(dialog.GetCurrentPageId(), -1);
        FakePage* page = new FakePage("again", -1, &log);
        page->Create(dialog);
        dialog.AddPage(7, page, CZELString(L"again"), CZELArray<int>());
        EXPECT_EQ(dialog.GetCurrentPageId(), -1);
        dialog.SelectPage(7);
        dialog.Show(1);
        EXPECT_TRUE(Shown(dialog));
        EXPECT_EQ(dialog.VisiblePages(), std::vector<int>{});
        EXPECT_TRUE(Shown(*page));
        EXPECT_EQ(dialog.GetCurrentPageId(), 7);
        ::EndDialog(dialog, kStayedOpen);
    });
    EXPECT_EQ(DoModalDialog(&dialog, host), kStayedOpen);
    }
    EXPECT_EQ(log.alive, 0);
}

TEST_F(TabbedDialog, TheAlertTimerRunsWhileAnyPageIsAlerted)
{
    {
    TestSettingsDialog dialog(&log, 4);
    dialog.steps.push_back([&] {
        EXPECT_FALSE(dialog.IsAlertTimerRunning());
        dialog.SetPageAlert(1, 24);
        dialog.SetPageAlert(2, 27);
        // A page keeps its first alert picture, counted once.
        dialog.SetPageAlert(2, 30);
        EXPECT_EQ(dialog.FindPage(2)->alert, 27);
        EXPECT_EQ(dialog.GetAlertedCount(), 2);
        EXPECT_TRUE(dialog.IsAlertTimerRunning());
        dialog.ClearPageAlert(1);
        EXPECT_EQ(dialog.GetAlertedCount(), 1);
        EXPECT_TRUE(dialog.IsAlertTimerRunning());
        dialog.ClearPageAlert(1);
        EXPECT_EQ(dialog.GetAlertedCount(), 1);
        // Selecting an alerted page clears its alert.
        dialog.SelectPage(2);
        EXPECT_EQ(dialog.FindPage(2)->alert, -1);
        EXPECT_EQ(dialog.GetAlertedCount(), 0);
        EXPECT_FALSE(dialog.IsAlertTimerRunning());

        // Removing an alerted page counts it out.
        dialog.SetPageAlert(3, 24);
        dialog.RemovePage(3);
        EXPECT_EQ(dialog.GetAlertedCount(), 0);
        EXPECT_FALSE(dialog.IsAlertTimerRunning());

        dialog.SetPageAlert(0, 24);
        dialog.SetPageAlert(1, 24);
        dialog.RemoveAllPages();
        EXPECT_EQ(dialog.GetAlertedCount(), 0);
        EXPECT_FALSE(dialog.IsAlertTimerRunning());
        EXPECT_EQ(dialog.GetPageCount(), 0);
        EXPECT_EQ(dialog.GetCurrentPageId(), -1);
        // A new alert starts the timer again.
        FakePage* page = new FakePage("later", -1, &log);
        page->Create(dialog);
        dialog.AddPage(5, page, CZELString(L"later"), CZELArray<int>());
        dialog.SetPageAlert(5, 24);
        EXPECT_TRUE(dialog.IsAlertTimerRunning());
        ::EndDialog(dialog, kStayedOpen);
    });
    EXPECT_EQ(DoModalDialog(&dialog, host), kStayedOpen);
    }
    EXPECT_EQ(log.alive, 0);
}

TEST_F(TabbedDialog, TheKeyButtonWrapsThroughTheTabs)
{
    TestSettingsDialog dialog(&log, 3);
    dialog.steps.push_back([&] {
        HWND button = dialog.GetKeyButton();
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(SendMessageW(button, WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);
        EXPECT_TRUE(dialog.IsStripFocused());
        struct Step {
            int key;
            int current;
        } steps[] = {{VK_LEFT, 2}, {VK_LEFT, 1}, {VK_RIGHT, 2}, {VK_RIGHT, 0}, {VK_RIGHT, 1}};
        for (const Step& step : steps) {
            EXPECT_EQ(SendMessageW(button, WM_KEYDOWN, step.key, 0), 0);
            EXPECT_EQ(dialog.GetCurrentPageId(), step.current);
        }
        EXPECT_EQ(dialog.changes.back(), 1);
        // Other keys are the button's: the strip stays.
        SendMessageW(button, WM_KEYDOWN, 'A', 0);
        EXPECT_EQ(dialog.GetCurrentPageId(), 1);
        // Without the strip's focus the dialog leaves the key alone.
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(0, BN_KILLFOCUS), LPARAM(button));
        EXPECT_FALSE(dialog.IsStripFocused());
        SendMessageW(button, WM_KEYDOWN, VK_RIGHT, 0);
        EXPECT_EQ(dialog.GetCurrentPageId(), 1);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(0, BN_SETFOCUS), LPARAM(button));
        EXPECT_TRUE(dialog.IsStripFocused());
        ::EndDialog(dialog, kStayedOpen);
    });
    EXPECT_EQ(DoModalDialog(&dialog, host), kStayedOpen);
}

TEST_F(TabbedDialog, TapsSelectTabsAndADoubleTapLeavesNoTabPressed)
{
    TestSettingsDialog dialog(&log, 3);
    dialog.steps.push_back([&] {
        ShowWindow(dialog, SW_SHOW);
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        int y = dialog.StripMiddle();
        TestSupport::ClickClient(dialog, dialog.TabMiddle(2), y);
        EXPECT_EQ(dialog.GetCurrentPageId(), 2);
        // Tapping the current tab again within 500 ms at the same place: a double tap.
        int x = dialog.TabMiddle(2);
        SendMessageW(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        EXPECT_EQ(dialog.doubleTaps, 1);
        EXPECT_EQ(dialog.GetPressedTab(), -1);
        EXPECT_NE(GetCapture(), HWND(dialog));
        SendMessageW(dialog, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        EXPECT_EQ(dialog.doubleTaps, 1);
        EXPECT_EQ(dialog.GetCurrentPageId(), 2);
        EXPECT_EQ(dialog.GetFirstVisible(), 0);
    });
    dialog.steps.push_back([&] {
        Sleep(600);
        // Later taps are single taps again; a tap outside the strip does nothing.
        int y = dialog.StripMiddle();
        TestSupport::ClickClient(dialog, dialog.TabMiddle(0), y);
        EXPECT_EQ(dialog.GetCurrentPageId(), 0);
        TestSupport::ClickClient(dialog, dialog.TabMiddle(1), dialog.GetStripRect().top - 20);
        EXPECT_EQ(dialog.GetCurrentPageId(), 0);
        EXPECT_EQ(dialog.doubleTaps, 1);
        ::EndDialog(dialog, kStayedOpen);
    });
    EXPECT_EQ(DoModalDialog(&dialog, host), kStayedOpen);
}

TEST_F(TabbedDialog, TheArrowsScrollAStripWiderThanTheScreen)
{
    TestSettingsDialog dialog(&log, 12);
    dialog.steps.push_back([&] {
        ShowWindow(dialog, SW_SHOW);
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_TRUE(dialog.IsOverflowing());
        EXPECT_FALSE(dialog.IsScrolled());
        RECT strip = dialog.GetStripRect();
        int icon = TabStrip::IconSize(96);
        int y = dialog.StripMiddle();
        TestSupport::ClickClient(dialog, strip.right - 2 * icon + 2, y);
        EXPECT_EQ(dialog.GetFirstVisible(), 1);
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_TRUE(dialog.IsScrolled());
        Sleep(600);
        TestSupport::ClickClient(dialog, strip.right - 2 * icon - 18 + 2, y);
        EXPECT_EQ(dialog.GetFirstVisible(), 0);
        // Selecting the last page scrolls it into view.
        dialog.SelectPage(11);
        EXPECT_GT(dialog.GetFirstVisible(), 0);
        std::wstring name = L"zel_tabstrip_96.png";
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        TestSupport::SaveScreenshot(dialog, false, name.c_str());
        ::EndDialog(dialog, kStayedOpen);
    });
    EXPECT_EQ(DoModalDialog(&dialog, host), kStayedOpen);
}

TEST_F(TabbedDialog, TheStripOnTheScreen)
{
    for (int density : {96, 192}) {
        SCOPED_TRACE(density);
        TestSupport::DpiScope scope(density);
        TestSettingsDialog dialog(&log, 3, 1);
        dialog.steps.push_back([&] {
            ShowWindow(dialog, SW_SHOW);
            RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            PumpFor(300);
            TestSupport::Image image;
            ASSERT_TRUE(TestSupport::CaptureWindow(dialog, false, &image));
            std::wstring name = L"zel_tabs_" + std::to_wstring(density) + L".png";
            TestSupport::SaveScreenshot(dialog, false, name.c_str());
            RECT strip = dialog.GetStripRect();
            int y = strip.top + 2;
            uint32_t face = TestSupport::Rgb(GetSysColor(COLOR_BTNFACE));
            uint32_t frame = TestSupport::Rgb(GetSysColor(COLOR_WINDOWFRAME));
            // The strip's top line, the face colour under the first tab, and the current tab
            // (the second) in the window's background instead.
            EXPECT_EQ(image.At(dialog.TabMiddle(0) - 2, strip.top), frame);
            EXPECT_EQ(image.At(strip.left + 2, y), face);
            std::vector<int> widths = dialog.GetTabWidths();
            int currentLeft = strip.left + widths[0];
            EXPECT_NE(image.At(currentLeft + 2, y), face);
            EXPECT_EQ(image.At(currentLeft + widths[1] + 3, y), face);
            // The separator after the first tab.
            EXPECT_EQ(image.At(currentLeft, strip.bottom - 2), frame);
            // The focus frame's left side in the current tab, in the highlight colour.
            uint32_t highlight = TestSupport::Rgb(GetSysColor(COLOR_HIGHLIGHT));
            int d = (density * 3 + 48) / 96;
            EXPECT_EQ(image.At(currentLeft + d, (strip.top + strip.bottom) / 2), highlight);
            ::EndDialog(dialog, kStayedOpen);
        });
        EXPECT_EQ(DoModalDialog(&dialog, host), kStayedOpen);
    }
}

namespace {

template <typename Details, typename Key> class TestDetails : public Scripted<Details> {
public:
    TestDetails(Key key, PageLog* log) : Scripted<Details>(key), log(log) {}

    void BuildPages(SettingsPageList& list) override
    {
        for (int i = 0; i < 2; ++i) {
            FakePage* page = new FakePage("details" + std::to_string(i), 40, log);
            made.push_back(page);
            list.pages.Add(page);
        }
    }
    void OnInitDialog() override
    {
        Details::OnInitDialog();
        this->StartScript();
    }

    PageLog* log;
    std::vector<FakePage*> made;
};

int Count(const std::vector<std::string>& calls, const std::string& call)
{
    return int(std::count(calls.begin(), calls.end(), call));
}

}  // namespace

TEST_F(TabbedDialog, TheContactDetailsReloadOnlyForTheirContactAndUpdateThroughThePages)
{
    TestDetails<CContactDetailsDialog, int> dialog(42, &log);
    dialog.steps.push_back([&] {
        EXPECT_EQ(OpenContactDetailsDialog(), &dialog);
        CZELString caption;
        EXPECT_EQ(dialog.GetSoftKeyCap(UI::CZELWMUI_BigDlg::SoftKeyLeft, caption), 1);
        EXPECT_TRUE(caption == L"Update");
        EXPECT_EQ(dialog.GetSoftKeyCap(UI::CZELWMUI_BigDlg::SoftKeyRight, caption), 1);
        EXPECT_TRUE(caption == L"Close");
        int loads = Count(log.calls, "details0 load");
        // New details for another contact do not reload the pages.
        RefreshContactDetailsDialog(7);
        EXPECT_EQ(Count(log.calls, "details0 load"), loads);
        RefreshContactDetailsDialog(42);
        EXPECT_EQ(Count(log.calls, "details0 load"), loads + 1);
        EXPECT_EQ(Count(log.calls, "details1 load"), loads + 1);
        // "Update" hands every page's values on, stopping at the first page that refuses; the
        // dialog stays.
        dialog.made[0]->accept = 0;
        SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_LEFT, 0);
        EXPECT_EQ(Count(log.calls, "details0 save"), 1);
        EXPECT_EQ(Count(log.calls, "details1 save"), 0);
        dialog.made[0]->accept = 1;
        SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_LEFT, 0);
        EXPECT_EQ(Count(log.calls, "details1 save"), 1);
    });
    dialog.steps.push_back([&] {
        EXPECT_TRUE(IsWindow(dialog));
        // A second request while one runs opens nothing more.
        ShowContactDetailsDialog(host, 43);
        EXPECT_EQ(OpenContactDetailsDialog(), &dialog);
        SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_RIGHT, 0);
    });
    EXPECT_EQ(RunContactDetailsDialog(&dialog, host), IDCANCEL);
    EXPECT_EQ(OpenContactDetailsDialog(), nullptr);
    // Outside a dialog a refresh finds nothing.
    RefreshContactDetailsDialog(42);
}

TEST_F(TabbedDialog, TheOwnDetailsReloadOnlyForTheirAccount)
{
    {
    TestDetails<COwnDetailsDialog, unsigned> dialog(0x10000002u, &log);
    dialog.steps.push_back([&] {
        EXPECT_EQ(OpenOwnDetailsDialog(), &dialog);
        int loads = Count(log.calls, "details1 load");
        RefreshOwnDetailsDialog(0x10000001u);
        EXPECT_EQ(Count(log.calls, "details1 load"), loads);
        RefreshOwnDetailsDialog(0x10000002u);
        EXPECT_EQ(Count(log.calls, "details1 load"), loads + 1);
        SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_RIGHT, 0);
    });
    EXPECT_EQ(RunOwnDetailsDialog(&dialog, host), IDCANCEL);
    EXPECT_EQ(OpenOwnDetailsDialog(), nullptr);
    }
    EXPECT_EQ(log.alive, 0);
}

TEST_F(TabbedDialog, AModelessDialogStandsOnTheCommonTemplateUntilDestroyed)
{
    {
        TestSettingsDialog dialog(&log, 2);
        HWND window = CreateModelessDialog(&dialog, host);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(HWND(dialog), window);
        EXPECT_EQ(GetWindow(window, GW_OWNER), host);
        wchar_t caption[32] = L"";
        GetWindowTextW(window, caption, 32);
        EXPECT_STREQ(caption, L"ZEL PDA");
        EXPECT_EQ(dialog.GetPageCount(), 2);
        EXPECT_EQ(dialog.GetCurrentPageId(), 0);
        // Nothing runs it: the caller ends it.
        DestroyWindow(window);
        EXPECT_FALSE(IsWindow(window));
    }
    EXPECT_EQ(log.alive, 0);
    EXPECT_EQ(CreateModelessDialog(nullptr, host), nullptr);
    EXPECT_EQ(DoModalDialog(nullptr, host), -1);
}
