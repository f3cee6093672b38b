// The Dax plug-in's e-mail cell in the running program's status strip, with the real plug-in from
// the program's protocols folder and the fake MRIM servers: once online the account's group shows
// the mailbox picture beside its status; "Hide email button" in the Advanced pane takes the cell
// away, leaving the strip's background, and clearing it brings the very same picture back. At the
// display's density and in a process started at 192 dpi; the screenshots are kept.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Dax/DaxGuids.h"
#include "Dax/DaxResources.h"
#include "Dax/proto/MrimCommands.h"
#include "Dax/proto/tests/MrimTestSupport.h"
#include "Dax/tests/FakeMrimServers.h"
#include "Zel/shell/tests/ProgramFolder.h"
#include "Zel/shell/toppanel/TopPanelWnd.h"
#include "ZELCommon/ZELTabDlg_IPan.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"
#include "ZELCommon/tests/WindowScreenshot.h"
#include "Handheld/tests/SystemDensity.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace AppTest;

namespace {

std::unique_ptr<AppRun> StartWithThePlugins(const AppFolder& folder)
{
    return std::unique_ptr<AppRun>(new AppRun(folder, L"Missing", WithProtocolsFolder()));
}

int Status(unsigned id)
{
    int status = -1;
    ProtocolsManagerService->GetStatus(id, &status);
    return status;
}

// The x range of an account's cell in the strip, empty when it is not drawn.
std::pair<int, int> CellRange(CTopPanelWnd& panel, unsigned account, int cell)
{
    std::vector<unsigned> order = panel.GetGroupOrder();
    int group = -1;
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i] == account) group = int(i);
    for (const TopPanelLayout::Slot& slot : panel.GetPlace().slots)
        if (slot.kind == TopPanelLayout::SlotAccount && slot.group == group && slot.cell == cell)
            return {slot.left, slot.right};
    return {0, 0};
}

// Ticks the Advanced pane's "Hide email button" to hidden and stores the pane, as the settings
// dialog's OK does.
void StoreHidden(unsigned account, bool hidden, HWND parent)
{
    ZELTabDlg::PanList pages;
    ProtocolsManagerService->GetSettingsPages(account, &pages);
    ASSERT_EQ(2, pages.GetCount());
    UI::CZELWMUI_SettingsPan* pane = dynamic_cast<UI::CZELWMUI_SettingsPan*>(pages[1]);
    ASSERT_NE(nullptr, pane);
    HWND window = pane->Create(parent);
    ASSERT_NE(nullptr, window);
    ShowWindow(window, SW_HIDE);
    if ((IsDlgButtonChecked(window, IDC_HIDE_EMAIL) == BST_CHECKED) != hidden)
        SendDlgItemMessageW(window, IDC_HIDE_EMAIL, BM_CLICK, 0, 0);
    EXPECT_TRUE(static_cast<UI::CZELWMUI_TabPan*>(pane)->DoDataExchange(1));
    for (int i = 0; i < pages.GetCount(); ++i) delete dynamic_cast<UI::CZELWMUI_SettingsPan*>(pages[i]);
}

void CheckEmailCell()
{
    AppFolder folder(L"AppDaxEmailCellTest");
    std::unique_ptr<AppRun> run = StartWithThePlugins(folder);
    ASSERT_TRUE(run->started);
    MrimTest::FakeSessionServer server;
    MrimTest::FakeRedirector redirector(server.Port());
    // The mailbox as the server reports it after the login: nothing unread, so the empty mailbox.
    server.afterLogin = {MrimTest::Packet(Mrim::CmdUserInfo, 0,
                                          MrimTest::Wire().Lps("MESSAGES.TOTAL").Lps16(L"4").Lps("MESSAGES.UNREAD")
                                              .Lps16(L"0"))};
    unsigned id = ProtocolsManagerService->CreateAccount(GUID_DAX_PROTOCOL);
    ASSERT_NE(0u, id) << "Dax.dll in the program's Protos\\";
    ProtocolsManagerService->SetAccountString(id, CZELString(L"Account name"), CZELString(L"me@example.org"), 0);
    ProtocolsManagerService->SetAccountString(id, CZELString(L"Account password"), CZELString(L"secret"), 1);
    ProtocolsManagerService->SetAccountString(id, CZELString(L"Server host"), CZELString(L"127.0.0.1"), 0);
    int port = redirector.Port();
    ProtocolsManagerService->SetAccountInt(id, CZELString(L"Server port"), &port);
    CTopPanelWnd* panel = run->App().TopPanel();
    ASSERT_NE(nullptr, panel);
    HWND window = run->Window();
    const int dpi = g_HIDPI_LogPixelsY;
    SetWindowPos(window, HWND_TOP, 0, 0, dpi * 5 / 2, dpi * 7 / 2, SWP_SHOWWINDOW);

    ProtocolsManagerService->SetStatus(id, AccountStatus::Online);
    ASSERT_TRUE(PumpUntil([&] { return Status(id) == AccountStatus::Online; })) << "status " << Status(id);
    ASSERT_TRUE(PumpUntil([&] { return panel->GetAccountCells(id).size() == 2; }))
        << panel->GetAccountCells(id).size() << " cells";
    ASSERT_EQ(1u, panel->GetAccountCells(id)[1].size());

    auto capture = [&](const wchar_t* state, TestSupport::Image* shot) {
        PumpFor(100);
        RedrawWindow(*panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        ASSERT_TRUE(TestSupport::CaptureWindow(*panel, false, shot));
        std::wstring name = L"DaxEmailCell_" + std::to_wstring(dpi) + L"_" + state + L".png";
        TestSupport::WriteFileBytes(TestSupport::ScreenshotPath(name.c_str()), TestSupport::EncodePng(*shot));
    };
    TestSupport::Image shown, hidden, again;
    capture(L"shown", &shown);
    const std::pair<int, int> cell = CellRange(*panel, id, 1);
    ASSERT_LT(cell.first, cell.second);
    const int status = CellRange(*panel, id, 0).second;
    EXPECT_LE(status, cell.first);
    EXPECT_EQ((dpi * 24 + 48) / 96, cell.second - cell.first);

    StoreHidden(id, true, window);
    ASSERT_TRUE(PumpUntil([&] { return panel->GetAccountCells(id).size() == 1; }));
    capture(L"hidden", &hidden);
    EXPECT_EQ(std::make_pair(0, 0), CellRange(*panel, id, 1));
    // The group now ends after its status cell, with the gap (and its separator) that follows it.
    const int gap = (dpi * 6 + 48) / 96;
    std::vector<int> separators = panel->GetPlace().separators;
    auto inGap = [&](int x) {
        for (int separator : separators)
            if (x >= separator && x < separator + gap) return true;
        return false;
    };

    StoreHidden(id, false, window);
    ASSERT_TRUE(PumpUntil([&] { return panel->GetAccountCells(id).size() == 2; }));
    capture(L"shown_again", &again);
    EXPECT_EQ(cell, CellRange(*panel, id, 1));

    // The strip's background: what it shows right of every cell, inside its frame.
    ASSERT_EQ(shown.width, hidden.width);
    std::set<uint32_t> background;
    for (int y = 2; y < shown.height - 2; ++y)
        for (int x = cell.second + (dpi * 12 + 48) / 96; x < shown.width - 2; ++x) background.insert(shown.At(x, y));
    ASSERT_FALSE(background.empty());
    ASSERT_LE(background.size(), 4u);
    int pictured = 0, left = 0, differs = 0;
    for (int y = 2; y < shown.height - 2; ++y)
        for (int x = cell.first; x < cell.second; ++x) {
            pictured += background.count(shown.At(x, y)) == 0;
            left += background.count(hidden.At(x, y)) == 0 && !inGap(x);
            differs += shown.At(x, y) != again.At(x, y);
        }
    const int icon = (dpi + 3) * 16 / 96;
    EXPECT_GT(pictured, icon * icon / 4) << "the mailbox picture in the e-mail cell";
    EXPECT_EQ(0, left) << "pixels of the hidden cell that are not the strip's background";
    EXPECT_EQ(0, differs) << "the cell shown again differs from the first time";
    // The cells before it stay as they were.
    int moved = 0;
    for (int y = 0; y < shown.height; ++y)
        for (int x = 0; x < status; ++x) moved += shown.At(x, y) != hidden.At(x, y);
    EXPECT_EQ(0, moved);

    ProtocolsManagerService->SetStatus(id, AccountStatus::Offline);
    PumpUntil([&] { return Status(id) == AccountStatus::Offline; });
}

}  // namespace

TEST(AppDaxEmailCell, HidingTheEmailButtonTakesTheCellAwayAndBringsItBack)
{
    ZEL_REQUIRE_DISPLAY();
    CheckEmailCell();
}

TEST(AppDaxEmailCell, HidingTheEmailButtonTakesTheCellAwayAndBringsItBackAt192Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    ZEL_AT_SYSTEM_DENSITY(192);
    CheckEmailCell();
}
