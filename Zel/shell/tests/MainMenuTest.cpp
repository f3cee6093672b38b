// The main menu: its model for the accounts and settings of the moment, captured where the menu
// window would show it, and what each chosen id does.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Zel/prefs/GlobalSettings.h"
#include "Zel/prefs/PreferencesDialog.h"
#include "Zel/shell/ZelResources.h"
#include "Zel/shell/dialogs/DetailsDialogs.h"
#include "Zel/shell/menu/MainMenu.h"
#include "Zel/shell/menu/PopupMenuWnd.h"

#include <string>
#include <vector>

using namespace AppTest;

namespace {

// An item as (kind, first picture, text, id), with its sub-menu's ids.
struct ItemRow {
    int kind;
    int image;
    std::wstring text;
    int id;
    std::vector<int> subIds;
};

std::vector<ItemRow> Rows(const CPopupMenu& menu)
{
    std::vector<ItemRow> rows;
    for (int i = 0; i < menu.items.GetCount(); ++i) {
        const CMenuItem& item = menu.items[i];
        ItemRow row{item.kind, item.images.GetCount() ? item.images[0] : -1,
                    item.text.GetBuffer() ? item.text.GetBuffer() : L"", item.commandId, {}};
        if (item.subMenu)
            for (int k = 0; k < item.subMenu->items.GetCount(); ++k) row.subIds.push_back(item.subMenu->items[k].commandId);
        rows.push_back(row);
    }
    return rows;
}

void ExpectRows(const std::vector<ItemRow>& actual, const std::vector<ItemRow>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(actual[i].kind, expected[i].kind);
        if (expected[i].kind == MENU_ITEM_SEPARATOR) continue;
        EXPECT_EQ(actual[i].image, expected[i].image);
        EXPECT_EQ(actual[i].text, expected[i].text);
        EXPECT_EQ(actual[i].id, expected[i].id);
        EXPECT_EQ(actual[i].subIds, expected[i].subIds);
    }
}

const std::vector<int> kPageIds = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};

// The menu window's stand-in: keeps the model it was shown and picks a scripted id.
struct MenuCapture {
    CPopupMenu menu;
    RECT bounds = {};
    POINT anchor = {};
    int alignment = -1;
    int shown = 0;
    int pick = -1;
};

PopupMenuResult Capture(void* context, const CPopupMenu& menu, const RECT& bounds, const POINT& anchor, int alignment)
{
    MenuCapture* capture = static_cast<MenuCapture*>(context);
    capture->menu = menu;
    capture->bounds = bounds;
    capture->anchor = anchor;
    capture->alignment = alignment;
    ++capture->shown;
    return PopupMenuResult{nullptr, capture->pick, 0};
}

class RecordingDialogs : public IMainMenuDialogs {
public:
    void ShowSearch(HWND, unsigned account) override { searches.push_back(account); }
    void ShowAbout(HWND) override { ++abouts; }
    std::vector<unsigned> searches;
    int abouts = 0;
};

class MainMenu : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        SetPopupMenuRunner(&Capture, &capture);
        SetMainMenuDialogs(&dialogs);
    }
    void TearDown() override
    {
        SetPopupMenuRunner(nullptr, nullptr);
        SetMainMenuDialogs(nullptr);
    }

    // The left soft key, with the item the user picks.
    void Press(AppRun& run, int pick)
    {
        capture.pick = pick;
        SendMessageW(run.Window(), WM_COMMAND, MAKEWPARAM(IDM_SOFTKEY_LEFT, 0), 0);
    }

    AppFolder folder{L"MainMenuTest"};
    MenuCapture capture;
    RecordingDialogs dialogs;
};

}  // namespace

TEST_F(MainMenu, WithoutAccountsItOffersTheSwitchesPreferencesAboutAndQuit)
{
    AppRun run(folder, L"Missing");
    ASSERT_TRUE(run.started);
    Press(run, -1);
    ASSERT_EQ(capture.shown, 1);
    ExpectRows(Rows(capture.menu), {{0, 73, L"Hide offline contacts", 10, {}},
                                    {0, 70, L"Simple mode", 11, {}},
                                    {0, 75, L"Sound off", 12, {}},
                                    {3, 69, L"Preferences", 13, kPageIds},
                                    {1, -1, L"", 0, {}},
                                    {0, 68, L"About ZEL", 14, {}},
                                    {0, 67, L"Quit ZEL", 15, {}}});
    // The preference pages: text, picture and page index.
    const CPopupMenu& pages = *capture.menu.items[3].subMenu;
    ExpectRows(Rows(pages), {{0, 68, L"General", 0, {}},
                             {0, 50, L"Contact list", 1, {}},
                             {0, 51, L"Events", 2, {}},
                             {0, 53, L"Alerts", 3, {}},
                             {0, 54, L"Interface", 4, {}},
                             {0, 35, L"History", 5, {}},
                             {0, 52, L"Anti-spam", 6, {}},
                             {0, 55, L"Hardware", 7, {}},
                             {0, 57, L"Connection", 8, {}},
                             {0, 56, L"Accounts", 9, {}}});
    // Rising from the main window's bottom-left corner.
    RECT window = {};
    GetWindowRect(run.Window(), &window);
    EXPECT_EQ(capture.alignment, MenuAlignAboveLeft);
    EXPECT_EQ(capture.anchor.x, window.left);
    EXPECT_EQ(capture.anchor.y, window.bottom);
    EXPECT_TRUE(EqualRect(&capture.bounds, &window));
}

TEST_F(MainMenu, UnnamedAccountsAreLeftOutOfTheAccountSubMenus)
{
    struct Case {
        const char* name;
        std::vector<const wchar_t*> accounts;
        std::vector<int> search;  // empty: neither sub-menu nor their separator
        std::vector<int> details;
    } cases[] = {
        {"three with the second unnamed", {L"alice", L"", L"carol"}, {18, 20}, {21, 23}},
        {"only unnamed accounts", {L"", L""}, {}, {}},
        {"no account", {}, {}, {}},
    };
    GlobalSettings settings;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<MainMenuAccount> accounts;
        for (const wchar_t* name : c.accounts) accounts.push_back({CZELString(name), 40});
        std::vector<ItemRow> rows = Rows(BuildMainMenu(settings, accounts));
        if (c.search.empty()) {
            ASSERT_EQ(rows.size(), 7u);
            EXPECT_EQ(rows[0].id, 10);
            continue;
        }
        ASSERT_EQ(rows.size(), 10u);
        EXPECT_EQ(rows[0].text, L"Add/find users");
        EXPECT_EQ(rows[0].image, 77);
        EXPECT_EQ(rows[0].id, 17);
        EXPECT_EQ(rows[0].subIds, c.search);
        EXPECT_EQ(rows[1].text, L"My details");
        EXPECT_EQ(rows[1].image, 76);
        EXPECT_EQ(rows[1].id, 16);
        EXPECT_EQ(rows[1].subIds, c.details);
        EXPECT_EQ(rows[2].kind, MENU_ITEM_SEPARATOR);
        EXPECT_EQ(rows[3].id, 10);
    }
}

TEST_F(MainMenu, TheAccountsOfTheRunningProgramFillTheSubMenus)
{
    AppRun run(folder);
    ASSERT_TRUE(run.started);
    unsigned alice = run.NewAccount(L"alice");
    unsigned unnamed = run.NewAccount(L"");
    unsigned carol = run.NewAccount(L"carol");
    ASSERT_TRUE(alice && unnamed && carol);
    Press(run, -1);
    std::vector<ItemRow> rows = Rows(capture.menu);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[0].subIds, (std::vector<int>{18, 20}));
    EXPECT_EQ(rows[1].subIds, (std::vector<int>{21, 23}));
    CZELString name = capture.menu.items[0].subMenu->items[1].text;
    EXPECT_TRUE(name == L"carol");

    // Search for the third account; the own details of the first (its plug-in gives no pages: the
    // dialog ends at once).
    Press(run, 20);
    EXPECT_EQ(dialogs.searches, (std::vector<unsigned>{carol}));
    Press(run, 21);
    EXPECT_EQ(OpenOwnDetailsDialog(), nullptr);
    // An account gone while the menu was open opens nothing.
    ProtocolsManagerService->RemoveAccount(carol);
    PumpFor(50);
    dialogs.searches.clear();
    capture.pick = 20;
    RunMainMenuCommand(run.App(), 20, 3);
    EXPECT_TRUE(dialogs.searches.empty());
}

TEST_F(MainMenu, EachChosenIdDoesWhatItSays)
{
    AppRun run(folder, L"Missing");
    ASSERT_TRUE(run.started);
    GlobalSettings& settings = run.App().Settings();
    bool onlyOnline = settings.clOnlyOnline;
    int mode = settings.clMode;
    bool sound = settings.alertSoundOn;

    // Closed without a choice, or a sub-menu's head: nothing changes.
    for (int pick : {-1, 13, 16, 17}) {
        SCOPED_TRACE(pick);
        int opened = PreferencesOpened();
        Press(run, pick);
        EXPECT_EQ(settings.clOnlyOnline, onlyOnline);
        EXPECT_EQ(settings.clMode, mode);
        EXPECT_EQ(settings.alertSoundOn, sound);
        EXPECT_EQ(PreferencesOpened(), opened);
        EXPECT_EQ(dialogs.abouts, 0);
    }

    // "Hide offline contacts" turns the filter on, and the next menu offers to show them.
    Press(run, 10);
    EXPECT_EQ(settings.clOnlyOnline, !onlyOnline);
    Press(run, -1);
    EXPECT_EQ(Rows(capture.menu)[0].text, onlyOnline ? L"Hide offline contacts" : L"Show offline contacts");
    EXPECT_EQ(Rows(capture.menu)[0].image, onlyOnline ? 73 : 72);
    Press(run, 11);
    EXPECT_EQ(settings.clMode, mode ? 0 : 1);
    EXPECT_EQ(Rows(capture.menu)[1].text, mode ? L"Simple mode" : L"Group mode");
    Press(run, -1);
    EXPECT_EQ(Rows(capture.menu)[1].text, mode ? L"Group mode" : L"Simple mode");
    Press(run, 12);
    EXPECT_EQ(settings.alertSoundOn, !sound);
    Press(run, -1);
    EXPECT_EQ(Rows(capture.menu)[2].text, sound ? L"Sound on" : L"Sound off");

    for (int page : {0, 4, 9}) {
        Press(run, page);
        EXPECT_EQ(LastPreferencesPage(), page);
    }
    Press(run, 14);
    EXPECT_EQ(dialogs.abouts, 1);
    // An account id out of range with no accounts: nothing.
    Press(run, 18);
    EXPECT_TRUE(dialogs.searches.empty());

    Press(run, 15);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(run.Window()); }));
}
