// The preferences dialog and the user search's result feed. This build has no preferences window
// yet: opening it only remembers the page asked for, and search results go nowhere.
#pragma once

class GlobalSettings;
class IOptionObserver;

enum { PreferencesAccountsPage = 9 };

// Runs the dialog over the main window; observers are told of every changed option in order.
void ShowPreferencesDialog(GlobalSettings& settings, IOptionObserver* const* observers, int observerCount, int page);
// The page the last ShowPreferencesDialog asked for, -1 before any, and how often it was asked.
int LastPreferencesPage();
int PreferencesOpened();
// One row of the search dialog's results; null ends the search.
void AddSearchResult(const void* row);
