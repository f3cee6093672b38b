// The main menu (left soft key): the accounts' search and own-details sub-menus, the contact-list
// and sound switches, the preference pages, about and quit. The model is built fresh on each press
// and gone when the menu closes; a chosen account entry is looked up again by its index afterwards,
// so an account removed meanwhile opens nothing.
#pragma once

#include "Zel/core/plugin/PopupMenu.h"
#include "Zel/shell/dialogs/DetailsDialogs.h"

#include <windows.h>

#include <vector>

class CApplication;
class GlobalSettings;

// Command ids of the main menu. Account entries follow: search 18 + i, own details a + 18 + i for
// account index i of a accounts.
enum MainMenuCommand {
    MainMenuLastPage = 9,  // 0 to 9: the preference pages
    MainMenuOnlyOnline = 10,
    MainMenuMode = 11,
    MainMenuSound = 12,
    MainMenuPreferences = 13,
    MainMenuAbout = 14,
    MainMenuQuit = 15,
    MainMenuMyDetails = 16,
    MainMenuFindUsers = 17,
    MainMenuFirstAccount = 18,
};

// One account as the menu shows it.
struct MainMenuAccount {
    CZELString name;  // empty: not offered
    int icon;         // the protocol's picture
};

// The dialogs the menu opens that are made elsewhere.
class IMainMenuDialogs {
public:
    virtual void ShowSearch(HWND owner, unsigned account) = 0;
    virtual void ShowAbout(HWND owner) = 0;

protected:
    ~IMainMenuDialogs() {}
};

// Null puts the program's own back.
void SetMainMenuDialogs(IMainMenuDialogs* dialogs);

CPopupMenu BuildMainMenu(const GlobalSettings& settings, const std::vector<MainMenuAccount>& accounts);
// Acts on a chosen command id (-1: nothing chosen); accountCount is the a the menu was built with.
void RunMainMenuCommand(CApplication& application, int commandId, int accountCount);
void ShowMainMenu(CApplication& application);
