// What the plug-in's accounts share: the module, the account table, the language controller, the
// status images and the status table. Accounts run on their own queue threads and a language change
// reaches each of them, so every piece is read and written under one lock; the status table is
// rebuilt whole and swapped in. The resources are made by the first account that loads and given
// back by the last that unloads.
#pragma once

#include "Zel/core/bus/Payloads.h"
#include "Zel/core/plugin/AccountRegistry.h"

#include <windows.h>

#include <atomic>

namespace Services {
class CServicesManager;
}
class MrimAccount;

namespace DaxShared {

HMODULE& Module();
AccountRegistry<MrimAccount>& Registry();

// Makes the language controller and acquires the 31 images when no loaded account has them yet.
void AddLoadedAccount(Services::CServicesManager* bus);
// Releases the images (last to first) and the controller when the last loaded account unloads.
void RemoveLoadedAccount(Services::CServicesManager* bus);
int LoadedAccounts();
// The skin's background brush, for the plug-in's full-screen dialogs; null with no account loaded.
HBRUSH BackgroundBrush();
// The skin's text colour, for the labels on that background.
COLORREF TextColor();
// The account pane's "show password", one for the plug-in; it outlives the pane. Window thread only.
bool& ShowPasswordFlag();

// Switches the language and rebuilds the status table from its texts.
void ChangeLanguage(const CZELString& language);
// The text of number in the current language.
CZELString Text(int number);
// The image index at position of the image list; its last one past the end, -1 when it is empty.
int Image(int position);
int ImageCount();
// The status table's record of status (4 reads as 3); an empty record when there is none.
StatusEntry StatusRecord(int status);

// How long the reconnection waits after a lost connection (a test shortens it).
extern std::atomic<unsigned> ReconnectDelayMs;

// The ping timer's callback (context: the account's queue handle); runs on the user interface's
// thread and only posts the tick to the account.
unsigned DaxPingTimerCallback(intptr_t context);

} // namespace DaxShared
