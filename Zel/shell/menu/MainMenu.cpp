#include "Zel/shell/menu/MainMenu.h"

#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/prefs/AboutDialog.h"
#include "Zel/prefs/GlobalSettings.h"
#include "Zel/prefs/SearchDialog.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/app/Application.h"
#include "Zel/shell/menu/PopupMenuWnd.h"

namespace {

// The dialogs made elsewhere.
class CProgramDialogs : public IMainMenuDialogs {
public:
    void ShowSearch(HWND owner, unsigned account) override { ShowSearchDialog(owner, account); }
    void ShowAbout(HWND owner) override { ShowAboutDialog(owner); }
};

CProgramDialogs g_programDialogs;
IMainMenuDialogs* g_dialogs = &g_programDialogs;

// The preference pages: text, picture, in menu order; the id is the page index.
const struct {
    int text;
    int image;
    int page;
} kPages[] = {{51, 68, 0}, {52, 50, 1}, {53, 51, 2}, {56, 53, 3}, {57, 54, 4},
              {54, 35, 5}, {55, 52, 6}, {58, 55, 7}, {60, 57, 8}, {59, 56, 9}};

CMenuItem Item(int text, int image, int id)
{
    return CMenuItem(MENU_ITEM_PLAIN, image, GuiText(text), id, nullptr, 0, false);
}

// The account id behind an account entry, read again now: 0 when it is gone.
unsigned AccountAt(int index)
{
    return ProtocolsManagerService && index >= 0 ? ProtocolsManagerService->GetAccountId(unsigned(index)) : 0;
}

}  // namespace

void SetMainMenuDialogs(IMainMenuDialogs* dialogs)
{
    g_dialogs = dialogs ? dialogs : &g_programDialogs;
}

CPopupMenu BuildMainMenu(const GlobalSettings& settings, const std::vector<MainMenuAccount>& accounts)
{
    CPopupMenu menu;
    int count = int(accounts.size());
    CPopupMenu search, details;
    for (int i = 0; i < count; ++i) {
        const MainMenuAccount& account = accounts[size_t(i)];
        if (account.name.IsEmpty()) continue;
        search.AddItem(CMenuItem(MENU_ITEM_PLAIN, account.icon, account.name, MainMenuFirstAccount + i, nullptr, 0, false));
        details.AddItem(
            CMenuItem(MENU_ITEM_PLAIN, account.icon, account.name, count + MainMenuFirstAccount + i, nullptr, 0, false));
    }
    if (count != 0 && search.GetCount() > 0) {
        menu.AddItem(CMenuItem(77, GuiText(17), MainMenuFindUsers, search));
        menu.AddItem(CMenuItem(76, GuiText(18), MainMenuMyDetails, details));
        menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    }
    menu.AddItem(settings.clOnlyOnline ? Item(19, 72, MainMenuOnlyOnline) : Item(20, 73, MainMenuOnlyOnline));
    menu.AddItem(settings.clMode ? Item(21, 70, MainMenuMode) : Item(22, 71, MainMenuMode));
    menu.AddItem(settings.alertSoundOn ? Item(24, 75, MainMenuSound) : Item(23, 74, MainMenuSound));
    CPopupMenu pages;
    for (const auto& page : kPages) pages.AddItem(Item(page.text, page.image, page.page));
    menu.AddItem(CMenuItem(69, GuiText(25), MainMenuPreferences, pages));
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    menu.AddItem(Item(26, 68, MainMenuAbout));
    menu.AddItem(Item(27, 67, MainMenuQuit));
    return menu;
}

void RunMainMenuCommand(CApplication& application, int id, int accountCount)
{
    GlobalSettings& settings = application.Settings();
    HWND window = application.GetMainWindow();
    if (id >= 0 && id <= MainMenuLastPage) {
        application.OpenPreferences(id);
    } else if (id == MainMenuOnlyOnline) {
        settings.clOnlyOnline = !settings.clOnlyOnline;
        application.ApplyOption(OPT_CL_ONLY_ONLINE);
    } else if (id == MainMenuMode) {
        settings.clMode = settings.clMode ? 0 : 1;
        application.ApplyOption(OPT_CL_MODE);
    } else if (id == MainMenuSound) {
        settings.alertSoundOn = !settings.alertSoundOn;
    } else if (id == MainMenuAbout) {
        g_dialogs->ShowAbout(window);
    } else if (id == MainMenuQuit) {
        if (window) SendMessageW(window, WM_CLOSE, 0, 0);
    } else if (id >= MainMenuFirstAccount && id < MainMenuFirstAccount + accountCount) {
        if (unsigned account = AccountAt(id - MainMenuFirstAccount)) g_dialogs->ShowSearch(window, account);
    } else if (id >= MainMenuFirstAccount + accountCount && id < MainMenuFirstAccount + 2 * accountCount) {
        if (unsigned account = AccountAt(id - accountCount - MainMenuFirstAccount)) ShowOwnDetailsDialog(window, account);
    }
    // 13, 16, 17 head sub-menus; nothing chosen (-1) changes nothing.
}

void ShowMainMenu(CApplication& application)
{
    std::vector<MainMenuAccount> accounts;
    if (ProtocolsManagerService) {
        int count = ProtocolsManagerService->GetAccountCount();
        for (int i = 0; i < count; ++i) {
            unsigned id = ProtocolsManagerService->GetAccountId(unsigned(i));
            MainMenuAccount account{CZELString(), -1};
            ProtocolsManagerService->GetAccountName(account.name, id, false);
            if (!account.name.IsEmpty()) account.icon = ProtocolsManagerService->GetAccountProtocol(id).imageIndex;
            accounts.push_back(account);
        }
    }
    int accountCount = int(accounts.size());
    PopupMenuResult chosen;
    {
        CPopupMenu menu = BuildMainMenu(application.Settings(), accounts);
        // Rising from the window's bottom-left corner, within the window.
        HWND window = application.GetMainWindow();
        RECT bounds = {};
        GetWindowRect(window, &bounds);
        POINT anchor = {bounds.left, bounds.bottom};
        chosen = ShowPopupMenu(menu, bounds, anchor, MenuAlignAboveLeft, window, application.Settings().fullScreen);
    }
    RunMainMenuCommand(application, chosen.commandId, accountCount);
}
