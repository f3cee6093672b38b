#include "Zel/prefs/PreferencesDialog.h"

#include "Zel/prefs/AccountSettingsDialog.h"
#include "Zel/prefs/AlertsEditor.h"
#include "Zel/prefs/ColorEditors.h"
#include "Zel/prefs/FontChoiceDialog.h"
#include "Zel/prefs/PreferencesPages.h"
#include "Zel/shell/app/Application.h"
#include "Zel/shell/dialogs/DialogTemplates.h"

#include <atomic>

namespace {

std::atomic<int> lastPage{-1};
std::atomic<int> opened{0};
PreferencesRunner runner = nullptr;
void* runnerContext = nullptr;
const PreferencesSubDialogs* standIns = nullptr;
void (*messageWindowDialog)(HWND, GlobalSettings&) = nullptr;

typedef PreferencesPage* (*PageMaker)(PreferencesDialog&);
const PageMaker kPages[PreferencesPageCount] = {
    NewGeneralPage, NewContactListPage, NewEventsPage,    NewAlertsPage,     NewInterfacePage,
    NewHistoryPage, NewAntispamPage,    NewHardwarePage,  NewConnectionPage, NewAccountsPage,
};

void ShowMessageWindowSettings(HWND owner, GlobalSettings& settings)
{
    if (messageWindowDialog) messageWindowDialog(owner, settings);
}

}  // namespace

PreferencesDialog::PreferencesDialog(GlobalSettings& settings, IOptionObserver* const* observers, int observerCount,
                                     int startPage)
    : settings(settings), startPage(startPage)
{
    for (int i = 0; i < observerCount; ++i)
        if (observers && observers[i]) listeners.push_back(observers[i]);
    listeners.push_back(this);
}

void PreferencesDialog::BuildPages(SettingsPageList& list)
{
    for (PageMaker make : kPages) list.pages.Add(make(*this));
    list.firstPage = startPage >= 0 && startPage < PreferencesPageCount ? startPage : 0;
}

void PreferencesDialog::OnOptionChanged(int code)
{
    if (code == PrefSkin && hwnd) RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void PreferencesDialog::NotifyListeners(int code)
{
    // A copy: a listener may not change the list, but the loop never depends on it.
    std::vector<IOptionObserver*> order = listeners;
    for (IOptionObserver* listener : order) listener->OnOptionChanged(code);
}

void ShowPreferencesDialog(GlobalSettings& settings, IOptionObserver* const* observers, int observerCount, int page)
{
    lastPage = page;
    ++opened;
    PreferencesDialog dialog(settings, observers, observerCount, page);
    HWND owner = TheApplication ? TheApplication->GetMainWindow() : nullptr;
    if (runner)
        runner(runnerContext, dialog, owner);
    else
        DoModalDialog(&dialog, owner);
}

void SetPreferencesRunner(PreferencesRunner newRunner, void* context)
{
    runner = newRunner;
    runnerContext = context;
}

int LastPreferencesPage()
{
    return lastPage;
}

int PreferencesOpened()
{
    return opened;
}

void SetPreferencesSubDialogs(const PreferencesSubDialogs* dialogs)
{
    standIns = dialogs;
}

const PreferencesSubDialogs& PreferencesDialogs()
{
    static PreferencesSubDialogs current;
    static const PreferencesSubDialogs own = {RunFontChoiceDialog, RunAlertsEditor, RunColorSchemeEditor, ShowAccountSettingsDialog,
                                              ShowMessageWindowSettings};
    current = own;
    if (standIns) {
        if (standIns->font) current.font = standIns->font;
        if (standIns->alerts) current.alerts = standIns->alerts;
        if (standIns->colors) current.colors = standIns->colors;
        if (standIns->accountSettings) current.accountSettings = standIns->accountSettings;
        if (standIns->messageWindow) current.messageWindow = standIns->messageWindow;
    }
    return current;
}

void SetMessageWindowSettingsDialog(void (*show)(HWND owner, GlobalSettings& settings))
{
    messageWindowDialog = show;
}
