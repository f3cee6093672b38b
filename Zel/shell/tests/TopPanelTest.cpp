// The status strip: how many groups scroll out, where the cells stand and what a tap hits, as tables;
// the window's stylus and keyboard paths, its lock against updates from another thread; and in the
// whole application a tap on an account's status cell that brings the account online, and the faint
// scroll arrow on the screen.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/toppanel/TopPanelLayout.h"
#include "Zel/shell/toppanel/TopPanelWnd.h"
#include "ZELCommon/tests/WindowScreenshot.h"
#include "Handheld/Device.h"

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

using namespace AppTest;
using namespace TopPanelLayout;

namespace {

const Metrics At96(int width)
{
    return MetricsFor(width, 96);
}

// A slot as (kind, flat, group, cell, left, right).
struct SlotRow {
    SlotKind kind;
    int flat, group, cell, left, right;
};

void ExpectSlots(const Place& place, const std::vector<SlotRow>& rows)
{
    ASSERT_EQ(place.slots.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const Slot& slot = place.slots[i];
        EXPECT_EQ(slot.kind, rows[i].kind);
        EXPECT_EQ(slot.flat, rows[i].flat);
        EXPECT_EQ(slot.group, rows[i].group);
        EXPECT_EQ(slot.cell, rows[i].cell);
        EXPECT_EQ(slot.left, rows[i].left);
        EXPECT_EQ(slot.right, rows[i].right);
    }
}

}  // namespace

TEST(TopPanelLayout, HiddenGroupsFollowTheRoomAndTheCellLimits)
{
    struct Case {
        const char* name;
        std::vector<int> groups;
        int width;
        int dpi;
        int hidden;
    } cases[] = {
        {"no groups", {}, 240, 96, 0},
        {"three accounts of two cells on a wide strip", {2, 2, 2}, 240, 96, 0},
        // 13 cells: from the last group back 2, 4, 6 account cells fit under 8; the third group back
        // would make 9.
        {"more than ten cells", {2, 2, 2, 2, 2, 2}, 480, 96, 3},
        {"exactly ten cells scroll nothing", {3, 3, 3}, 480, 96, 0},
        // 150 pixels: room 120 takes the last two groups with their gaps, not the first; with the
        // arrows packed only the last group fits.
        {"a narrow strip", {2, 2, 2}, 150, 96, 2},
        {"a narrow strip at 192 dpi", {2, 2, 2}, 300, 192, 2},
        // One group wider than the limit is never scrolled past: it shows, cut.
        {"one group of eleven cells", {11}, 480, 96, 0},
        {"the last group wider than the limit", {1, 11}, 480, 96, 1},
        {"groups without cells", {0, 0, 0}, 240, 96, 0},
        {"a strip narrower than a cell", {1, 1}, 10, 96, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HiddenGroups(1, c.groups, MetricsFor(c.width, c.dpi)), c.hidden);
    }
}

TEST(TopPanelLayout, ThreeAccountsOnAWideStripShowEveryCellWithoutArrows)
{
    std::vector<int> groups = {2, 2, 2};
    Place place = PlaceCells(1, groups, 0, HiddenGroups(1, groups, At96(240)), At96(240));
    EXPECT_FALSE(place.arrows);
    ExpectSlots(place, {{SlotGlobal, 0, -1, 0, 0, 24},
                        {SlotAccount, 1, 0, 0, 30, 54},
                        {SlotAccount, 2, 0, 1, 54, 78},
                        {SlotAccount, 3, 1, 0, 84, 108},
                        {SlotAccount, 4, 1, 1, 108, 132},
                        {SlotAccount, 5, 2, 0, 138, 162},
                        {SlotAccount, 6, 2, 1, 162, 186}});
    EXPECT_EQ(place.separators, (std::vector<int>{24, 78, 132, 186}));

    // Each cell maps to its account's group and cell; gaps and the space after are no cell.
    struct Hit {
        int x;
        int group;  // -2: no cell; -1: the global cell
        int cell;
    } hits[] = {{0, -1, 0}, {23, -1, 0}, {24, -2, 0}, {29, -2, 0}, {30, 0, 0}, {60, 0, 1}, {80, -2, 0},
                {84, 1, 0}, {131, 1, 1}, {140, 2, 0}, {185, 2, 1}, {186, -2, 0}, {239, -2, 0}};
    for (const Hit& hit : hits) {
        SCOPED_TRACE(hit.x);
        const Slot* slot = HitTest(place, hit.x);
        if (hit.group == -2) {
            EXPECT_EQ(slot, nullptr);
            continue;
        }
        ASSERT_NE(slot, nullptr);
        EXPECT_EQ(slot->group, hit.group);
        EXPECT_EQ(slot->cell, hit.cell);
    }
}

TEST(TopPanelLayout, MoreThanTenCellsShowTheArrowsAndAtMostNineCells)
{
    std::vector<int> groups = {2, 2, 2, 2, 2, 2};
    int hidden = HiddenGroups(1, groups, At96(480));
    ASSERT_EQ(hidden, 3);

    Place first = PlaceCells(1, groups, 0, hidden, At96(480));
    EXPECT_TRUE(first.arrows);
    ExpectSlots(first, {{SlotGlobal, 0, -1, 0, 0, 24},
                        {SlotLeftArrow, 1, -1, -1, 30, 54},
                        {SlotAccount, 2, 0, 0, 54, 78},
                        {SlotAccount, 3, 0, 1, 78, 102},
                        {SlotAccount, 4, 1, 0, 108, 132},
                        {SlotAccount, 5, 1, 1, 132, 156},
                        {SlotAccount, 6, 2, 0, 162, 186},
                        {SlotAccount, 7, 2, 1, 186, 210},
                        {SlotAccount, 8, 3, 0, 216, 240},
                        {SlotRightArrow, 9, -1, -1, 240, 480}});
    // Anything right of the cells is the right arrow.
    ASSERT_NE(HitTest(first, 479), nullptr);
    EXPECT_EQ(HitTest(first, 479)->kind, SlotRightArrow);

    // Scrolled to the end: the last three groups, the first visible clamped to the hidden count.
    Place last = PlaceCells(1, groups, 7, hidden, At96(480));
    ASSERT_EQ(last.slots.size(), 9u);
    EXPECT_EQ(last.slots[2].group, 3);
    EXPECT_EQ(last.slots[7].group, 5);
    EXPECT_EQ(last.slots[7].cell, 1);
    EXPECT_EQ(last.slots[8].kind, SlotRightArrow);
}

TEST(TopPanelLayout, ANarrowStripStopsBeforeTheRightArrowsRoom)
{
    std::vector<int> groups = {2, 2, 2};
    Place place = PlaceCells(1, groups, 0, HiddenGroups(1, groups, At96(150)), At96(150));
    ExpectSlots(place, {{SlotGlobal, 0, -1, 0, 0, 24},
                        {SlotLeftArrow, 1, -1, -1, 30, 54},
                        {SlotAccount, 2, 0, 0, 54, 78},
                        {SlotAccount, 3, 0, 1, 78, 102},
                        {SlotRightArrow, 9, -1, -1, 108, 150}});
}

namespace {

class RecordingObserver : public IStatusMenuCallback {
public:
    void ShowAccountStatusMenu(unsigned key, int cellIndex) override { calls.push_back({key, cellIndex}); }
    std::vector<std::pair<unsigned, int>> calls;
};

class TopPanelWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        host = TestSupport::CreateHostWindow(480, 60, L"Top panel");
        ASSERT_NE(host, nullptr);
        panel.reset(new CTopPanelWnd(&observer));
        RECT rect = {0, 10, 480, 38};
        ASSERT_TRUE(panel->Create(GetModuleHandleW(nullptr), host, WS_VISIBLE | WS_TABSTOP, rect));
        panel->AddGlobalCell(CZELArray<int>(1, 13));
    }
    void TearDown() override
    {
        panel.reset();
        if (host) DestroyWindow(host);
    }

    // Accounts 101, 102, ... with the given cell counts.
    void AddAccounts(const std::vector<int>& cells)
    {
        for (size_t i = 0; i < cells.size(); ++i) {
            panel->AddAccountGroup(unsigned(101 + i));
            for (int c = 0; c < cells[i]; ++c) panel->AddAccountCell(unsigned(101 + i), CZELArray<int>(1, c));
        }
    }

    void Tap(int x) { TestSupport::ClickClient(*panel, x, 14); }

    TestSupport::DpiScope dpi{96};
    HWND host = nullptr;
    RecordingObserver observer;
    std::unique_ptr<CTopPanelWnd> panel;
};

}  // namespace

TEST_F(TopPanelWindow, ATapAsksForTheStatusMenuOfTheCellTapped)
{
    AddAccounts({2, 2, 2});
    Tap(5);
    Tap(35);
    Tap(60);
    Tap(170);
    Tap(26);  // the gap
    Tap(300);  // past the cells
    std::vector<std::pair<unsigned, int>> expected = {{0u, 0}, {101u, 0}, {101u, 1}, {103u, 1}};
    EXPECT_EQ(observer.calls, expected);
    EXPECT_EQ(panel->GetPressedCell(), -1);

    // The menu's anchor: the top-left corner of the cell last tapped, on the screen.
    POINT origin = {0, 0};
    ClientToScreen(*panel, &origin);
    POINT anchor = panel->GetAnchor();
    EXPECT_EQ(anchor.x, origin.x + 162);
    EXPECT_EQ(anchor.y, origin.y);
}

TEST_F(TopPanelWindow, TheMenuIsForTheCellPressedWhereverThePenIsLifted)
{
    AddAccounts({2});
    SendMessageW(*panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(35, 14));
    EXPECT_EQ(panel->GetPressedCell(), 1);
    EXPECT_EQ(GetCapture(), HWND(*panel));
    SendMessageW(*panel, WM_LBUTTONUP, 0, MAKELPARAM(400, 14));
    EXPECT_EQ(observer.calls, (std::vector<std::pair<unsigned, int>>{{101u, 0}}));
    EXPECT_EQ(panel->GetPressedCell(), -1);
    EXPECT_NE(GetCapture(), HWND(*panel));
}

TEST_F(TopPanelWindow, TheArrowsScrollAtOnceAndAskForNoMenu)
{
    AddAccounts({2, 2, 2, 2, 2, 2});
    ASSERT_EQ(panel->GetHiddenGroups(), 3);
    // The left arrow does nothing while the first group shows.
    Tap(40);
    EXPECT_EQ(panel->GetFirstVisibleGroup(), 0);
    for (int step = 1; step <= 4; ++step) {
        Tap(470);
        EXPECT_EQ(panel->GetFirstVisibleGroup(), step < 3 ? step : 3);
    }
    Tap(40);
    EXPECT_EQ(panel->GetFirstVisibleGroup(), 2);
    EXPECT_TRUE(observer.calls.empty());
    // A cell after scrolling belongs to the group now shown there.
    Tap(60);
    EXPECT_EQ(observer.calls, (std::vector<std::pair<unsigned, int>>{{103u, 0}}));

    // The keyboard's path: flat indices.
    panel->ActivateCell(9);
    EXPECT_EQ(panel->GetFirstVisibleGroup(), 3);
    panel->ActivateCell(1);
    EXPECT_EQ(panel->GetFirstVisibleGroup(), 2);
    panel->ActivateCell(0);
    EXPECT_EQ(observer.calls.back(), (std::pair<unsigned, int>{0u, 0}));

    // Removing groups brings the first visible back within range.
    for (unsigned account = 101; account <= 105; ++account) panel->RemoveAccountGroup(account);
    EXPECT_EQ(panel->GetHiddenGroups(), 0);
    EXPECT_EQ(panel->GetFirstVisibleGroup(), 0);
}

TEST_F(TopPanelWindow, UpdatesKeepOrderAndIgnoreWhatIsNotThere)
{
    AddAccounts({1, 1, 1});
    panel->MoveAccountGroup(103, 0);
    EXPECT_EQ(panel->GetGroupOrder(), (std::vector<unsigned>{103, 101, 102}));
    // An index beyond the group count leaves the order unchanged.
    panel->MoveAccountGroup(101, 3);
    EXPECT_EQ(panel->GetGroupOrder(), (std::vector<unsigned>{103, 101, 102}));
    EXPECT_EQ(panel->AddAccountCell(999, CZELArray<int>(1, 1)), -1);
    panel->SetAccountCellIcons(101, 5, CZELArray<int>(1, 7));
    panel->RemoveAccountCell(101, -1);
    EXPECT_EQ(panel->GetAccountCells(101), (std::vector<std::vector<int>>{{0}}));
}

TEST_F(TopPanelWindow, UpdatesFromAnotherThreadMeetPaintingAndTaps)
{
    std::atomic<bool> stop(false);
    // The queue "GUI" thread's part: accounts come and go, cells grow and shrink.
    std::thread updater([&] {
        for (int round = 0; !stop && round < 3000; ++round) {
            unsigned account = 200 + unsigned(round % 7);
            panel->AddAccountGroup(account);
            panel->AddAccountCell(account, CZELArray<int>(1, round % 40));
            panel->SetAccountCellIcons(account, 0, CZELArray<int>(2, 3));
            if (round % 3 == 0) panel->RemoveAccountCell(account, 0);
            if (round % 5 == 0) panel->RemoveAccountGroup(account);
            if (round % 11 == 0) panel->MoveAccountGroup(account, 0);
        }
    });
    for (int i = 0; i < 300; ++i) {
        RedrawWindow(*panel, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Tap((i * 37) % 480);
    }
    stop = true;
    updater.join();
    for (const auto& call : observer.calls) EXPECT_TRUE(call.first == 0 || (call.first >= 200 && call.first < 207));
}

namespace {

// The status menu as the application shows it: the item named Online is chosen.
struct MenuPick {
    std::vector<std::wstring> items;
    POINT anchor = {};
    int alignment = -1;
    int shown = 0;
};

PopupMenuResult PickOnline(void* context, const CPopupMenu& menu, const RECT&, const POINT& anchor, int alignment)
{
    MenuPick* pick = static_cast<MenuPick*>(context);
    ++pick->shown;
    pick->anchor = anchor;
    pick->alignment = alignment;
    pick->items.clear();
    PopupMenuResult result = {nullptr, -1, 0};
    for (int i = 0; i < menu.items.GetCount(); ++i) {
        const CMenuItem& item = menu.items[i];
        pick->items.push_back(item.text.GetBuffer() ? item.text.GetBuffer() : L"");
        if (item.text == L"Online") result = {item.callback, item.commandId, item.argument};
    }
    return result;
}

}  // namespace

TEST(TopPanelApp, TappingAnAccountsStatusCellBringsItOnlineThroughItsMenu)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder(L"TopPanelAppTest");
    AppRun run(folder);
    ASSERT_TRUE(run.started);
    AccountTest::FakePlugin fake(L"Accounts", L"FakeA");
    ASSERT_TRUE(fake.Loaded());
    unsigned account = run.NewAccount(L"alice");
    ASSERT_NE(account, 0u);
    CTopPanelWnd& panel = *run.App().TopPanel();
    // The account publishes its status icon, as it does once it is added.
    fake.notify(account, ACC_ICON_ADD, AccountStatus::Offline, nullptr, FAKE_NOTIFY_OWN);
    ASSERT_TRUE(PumpUntil([&] { return panel.GetAccountCells(account).size() == 1; }));

    MenuPick pick;
    SetPopupMenuRunner(&PickOnline, &pick);
    Place place = panel.GetPlace();
    const Slot* cell = nullptr;
    for (const Slot& slot : place.slots)
        if (slot.kind == SlotAccount) cell = &slot;
    ASSERT_NE(cell, nullptr);
    TestSupport::ClickClient(panel, cell->left + 3, 10);
    SetPopupMenuRunner(nullptr, nullptr);

    ASSERT_EQ(pick.shown, 1);
    EXPECT_EQ(pick.items, (std::vector<std::wstring>{L"Online", L"Offline"}));
    // Above the tapped cell, from its top-left corner.
    POINT corner = {cell->left, 0};
    ClientToScreen(panel, &corner);
    EXPECT_EQ(pick.anchor.x, corner.x);
    EXPECT_EQ(pick.anchor.y, corner.y);
    EXPECT_EQ(pick.alignment, MenuAlignAboveLeft);
    // A digit from the contact list picks the same cell by its flat index.
    SetPopupMenuRunner(&PickOnline, &pick);
    run.App().UpdateTopPanel(cell->flat);
    SetPopupMenuRunner(nullptr, nullptr);
    EXPECT_EQ(pick.shown, 2);
    EXPECT_EQ(pick.anchor.x, corner.x);
    // The item's callback set the status: the account reports it and its cell follows.
    ASSERT_TRUE(PumpUntil([&] {
        int status = -1;
        return ProtocolsManagerService->GetStatus(account, &status) == 0 && status == AccountStatus::Online;
    }));
    EXPECT_TRUE(PumpUntil(
        [&] { return panel.GetAccountCells(account) == std::vector<std::vector<int>>{{AccountStatus::Online}}; }));
}

TEST(TopPanelApp, TheLeftArrowIsFaintWhileTheFirstGroupShows)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder(L"TopPanelArrowTest");
    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        SetScreenLogPixels(dpi);
        {
            AppRun run(folder, L"Missing");
            ASSERT_TRUE(run.started);
            HWND window = run.Window();
            SetWindowPos(window, HWND_TOP, 0, 0, dpi * 5 / 2, dpi * 7 / 2, SWP_SHOWWINDOW);
            CTopPanelWnd& panel = *run.App().TopPanel();
            for (unsigned account = 1; account <= 6; ++account) {
                panel.AddAccountGroup(account);
                panel.AddAccountCell(account, CZELArray<int>(1, AccountStatus::Online));
                panel.AddAccountCell(account, CZELArray<int>(1, AccountStatus::Away));
            }
            ASSERT_GT(panel.GetHiddenGroups(), 0);
            Place place = panel.GetPlace();
            ASSERT_TRUE(place.arrows);

            auto arrowPixels = [&](bool left, int* strong, int* faint) {
                RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
                PumpFor(100);
                TestSupport::Image image;
                ASSERT_TRUE(TestSupport::CaptureWindow(panel, false, &image));
                int cellWidth = (dpi * 24 + 48) / 96;
                int from = left ? place.slots[1].left : image.width - cellWidth;
                int to = from + cellWidth;
                *strong = *faint = 0;
                for (int y = 1; y < image.height - 1; ++y)
                    for (int x = from; x < to; ++x) {
                        uint32_t pixel = image.At(x, y);
                        int red = int(pixel >> 16), blue = int(pixel & 0xFF);
                        // The arrows' blue at full strength, and the same blue a quarter strong over the
                        // pale background.
                        if (red < 80 && blue > 150) ++*strong;
                        int green = int((pixel >> 8) & 0xFF);
                        if (red >= 170 && red < 196 && green >= 195 && green < 214 && blue > 220) ++*faint;
                    }
            };
            int strong = 0, faint = 0;
            arrowPixels(true, &strong, &faint);
            EXPECT_EQ(strong, 0);
            EXPECT_GT(faint, 4);
            arrowPixels(false, &strong, &faint);
            EXPECT_GT(strong, 4);
            std::wstring name = L"zel_toppanel_" + std::to_wstring(dpi) + L".png";
            TestSupport::SaveScreenshot(panel, false, name.c_str());

            // Scrolled once: the left arrow at full strength.
            panel.ActivateCell(TopPanelLayout::RightArrowFlat);
            arrowPixels(true, &strong, &faint);
            EXPECT_GT(strong, 4);
        }
    }
    SetScreenLogPixels(0);
}

namespace {

struct CallbackRecord {
    int calls = 0;
    intptr_t context = 0;
    intptr_t argument = 0;
};
CallbackRecord g_callbackRecord;

void RecordCallback(intptr_t context, intptr_t argument)
{
    ++g_callbackRecord.calls;
    g_callbackRecord.context = context;
    g_callbackRecord.argument = argument;
}

// Picks an item with the recording callback; first removes the account when asked to.
struct RemovingPick {
    unsigned removeAccount = 0;
};

PopupMenuResult PickRecorded(void* context, const CPopupMenu&, const RECT&, const POINT&, int)
{
    RemovingPick* pick = static_cast<RemovingPick*>(context);
    if (pick->removeAccount) {
        // Gone while the menu is up: the removal ends on the manager's queue.
        unsigned account = pick->removeAccount;
        ProtocolsManagerService->RemoveAccount(account);
        EXPECT_TRUE(PumpUntil([account] {
            for (int i = 0; i < ProtocolsManagerService->GetAccountCount(); ++i)
                if (ProtocolsManagerService->GetAccountId(unsigned(i)) == account) return false;
            return true;
        }));
    }
    return PopupMenuResult{&RecordCallback, 0, 77};
}

}  // namespace

TEST(TopPanelApp, AChoiceFromTheMenuOfAnAccountRemovedMeanwhileRunsNothing)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder(L"TopPanelRemovedTest");
    AppRun run(folder);
    ASSERT_TRUE(run.started);
    unsigned kept = run.NewAccount(L"kept");
    unsigned removed = run.NewAccount(L"removed");
    ASSERT_TRUE(kept && removed);

    RemovingPick pick;
    SetPopupMenuRunner(&PickRecorded, &pick);
    g_callbackRecord = CallbackRecord();
    run.App().ShowAccountStatusMenu(kept, 0);
    EXPECT_EQ(g_callbackRecord.calls, 1);
    EXPECT_EQ(g_callbackRecord.context, intptr_t(kept));
    EXPECT_EQ(g_callbackRecord.argument, 77);

    g_callbackRecord = CallbackRecord();
    pick.removeAccount = removed;
    run.App().ShowAccountStatusMenu(removed, 0);
    SetPopupMenuRunner(nullptr, nullptr);
    EXPECT_EQ(g_callbackRecord.calls, 0);
}
