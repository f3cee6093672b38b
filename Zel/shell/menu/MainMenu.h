// The main menu (left soft key) and the details dialogs. This build shows neither yet: the menu
// opens nothing and the dialogs' refreshes find no dialog.
#pragma once

#include <windows.h>

class CApplication;

void ShowMainMenu(CApplication& application);
void ShowContactDetailsDialog(HWND owner, int contact);
void RefreshOwnDetailsDialog(unsigned account);
void RefreshContactDetailsDialog(int contact);
