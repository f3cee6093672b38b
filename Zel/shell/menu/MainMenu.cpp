#include "Zel/shell/menu/MainMenu.h"

void ShowMainMenu(CApplication&) {}
void ShowContactDetailsDialog(HWND, int) {}
void RefreshOwnDetailsDialog(unsigned) {}
void RefreshContactDetailsDialog(int) {}
