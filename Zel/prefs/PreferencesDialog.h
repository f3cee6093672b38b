// PreferencesDialog: the full-screen tabbed dialog in which the user edits the global settings, ten
// pages in a fixed order. Eight pages edit the record in place, the Connection page the connection
// service's proxy, the Accounts page the protocols manager's accounts (at once, button by button).
// Changes other parts of the program apply at once go to the observers as option codes, in the
// order the caller gave them, then to the dialog itself. User-interface thread only.
#pragma once

#include "Zel/shell/alerts/AlertPack.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/dialogs/SettingsDialog.h"

#include <vector>

class GlobalSettings;

enum PreferencesPageIndex {
    PreferencesGeneralPage = 0,
    PreferencesContactListPage,
    PreferencesEventsPage,
    PreferencesAlertsPage,
    PreferencesInterfacePage,
    PreferencesHistoryPage,
    PreferencesAntispamPage,
    PreferencesHardwarePage,
    PreferencesConnectionPage,
    PreferencesAccountsPage,
    PreferencesPageCount
};

// The option codes the pages send.
enum PreferenceCode {
    PrefTrayIcon = 0,
    PrefClMode = 4,
    PrefClOnlyOnline = 5,
    PrefClColumns = 6,
    PrefClFont = 8,
    PrefAlertSound = 9,
    PrefAlerts = 15,
    PrefSkin = 16,
    PrefColors = 17,
    PrefSmilies = 18,
    PrefSmileyScale = 19,
    PrefLanguage = 20,
    PrefAntispamSwitch = 21,
    PrefAntispamQuestion = 22,
    PrefAntispamAnswer = 23,
    PrefAntispamConfirm = 24,
};

class PreferencesDialog : public CSettingsDialog, public IOptionObserver {
public:
    PreferencesDialog(GlobalSettings& settings, IOptionObserver* const* observers, int observerCount, int startPage);

    void BuildPages(SettingsPageList& list) override;
    // Redraws the dialog on a new skin.
    void OnOptionChanged(int code) override;

    // Every observer in order, this dialog last.
    void NotifyListeners(int code);

    GlobalSettings& Settings() { return settings; }
    int StartPage() const { return startPage; }

private:
    GlobalSettings& settings;
    std::vector<IOptionObserver*> listeners;
    int startPage;
};

// Runs the dialog over the main window; nothing is returned, the record changed in place on OK.
void ShowPreferencesDialog(GlobalSettings& settings, IOptionObserver* const* observers, int observerCount, int page);

// Tests stand in for the modal run: while a runner is set, ShowPreferencesDialog hands it the built
// dialog and the owner instead of running it, and destroys the dialog afterwards. Null restores it.
typedef int (*PreferencesRunner)(void* context, PreferencesDialog& dialog, HWND owner);
void SetPreferencesRunner(PreferencesRunner runner, void* context);

// The page the last ShowPreferencesDialog asked for, -1 before any, and how often it was asked.
int LastPreferencesPage();
int PreferencesOpened();
// One row of the open search dialog's results, as the search-result notice's payload; a notice
// without a row, or a row without a contact, ends the search.
void AddSearchResult(const void* payload);

// The dialogs the pages' buttons open. A test sets stand-ins; a null entry, or a null table, is the
// program's own. The message-window settings dialog is made with the chat window and wired in by
// the application (SetMessageWindowSettingsDialog); until then its button does nothing.
struct PreferencesSubDialogs {
    bool (*font)(HWND owner, LOGFONTW& font);                  // true: OK
    bool (*alerts)(HWND owner, AlertEntryArray& alerts);       // true: OK
    bool (*colors)(HWND owner, COLORREF* colors, const CZELString& skin);  // 33 colours; true: OK
    void (*accountSettings)(unsigned accountId, HWND owner);
    void (*messageWindow)(HWND owner, GlobalSettings& settings);
};
void SetPreferencesSubDialogs(const PreferencesSubDialogs* dialogs);
const PreferencesSubDialogs& PreferencesDialogs();
void SetMessageWindowSettingsDialog(void (*show)(HWND owner, GlobalSettings& settings));
