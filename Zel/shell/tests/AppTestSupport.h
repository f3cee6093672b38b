// The whole application run inside the test program: its own bus, a temporary folder for
// "settings.zel" and the history, the fake account plug-ins, and the test thread as its
// user-interface thread (the tests pump its messages while they wait).
#pragma once

#include "Zel/shell/app/Application.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/history/HistoryFile.h"
#include "Zel/core/tests/AccountTestSupport.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/tests/ProgramFolder.h"
#include "Zel/prefs/PreferencesDialog.h"
#include "ZELCommon/tests/TempFolder.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace AppTest {

using PluginTree::Wide;

// Handles this thread's messages until check holds; false when it still fails after the time.
inline bool PumpUntil(const std::function<bool()>& check, DWORD milliseconds = 10000)
{
    ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (check()) return true;
        if (GetTickCount64() > end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// Handles this thread's messages for a while.
inline void PumpFor(DWORD milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}

// The tray as the tests see it: every call succeeds and nothing reaches the desktop's tray, whose
// removals wait seconds for a window manager under Xvfb.
inline BOOL QuietTray(DWORD, NOTIFYICONDATAW*)
{
    return TRUE;
}

// The preferences as most tests see them: asked for, counted, never shown (a run without accounts
// asks at start). A test that drives them sets its own runner after the run is made.
inline int SkipPreferences(void*, PreferencesDialog&, HWND)
{
    return IDCANCEL;
}

// A temporary application folder that outlives several runs of the application.
typedef TestSupport::TempFolder AppFolder;

// One run of the application: made and started by the constructor, shut down by Close.
class AppRun {
public:
    AppRun(const AppFolder& folder, const wchar_t* pluginScenario = L"Accounts",
           std::function<CApplication*(AppStartRecord*, const AppPlace&)> make = nullptr)
        : folder(folder)
    {
        start = {GetModuleHandleW(nullptr), L"ZELWM_APPLICATION_CLASS", L"ZEL PDA", SW_SHOW};
        AppPlace place;
        place.bus = &bus;
        place.settingsFile = (folder.path + L"settings.zel").c_str();
        place.protosFolder = PluginTree::ProtosFolder(pluginScenario);
        place.historyFolder = (folder.path + L"History\\").c_str();
        place.appFolder = folder.path.c_str();
        SetPreferencesRunner(&SkipPreferences, nullptr);
        application.reset(make ? make(&start, place) : new CApplication(&start, place));
        if (!make) application->SetTrayNotify(QuietTray);
        started = InitInstance(*application, L"") && application->CompleteStart();
    }
    ~AppRun() { Close(); }

    // Closes the window as the user would and ends the application.
    void Close()
    {
        if (!application) return;
        HWND window = application->GetMainWindow();
        if (window && IsWindow(window)) SendMessageW(window, WM_CLOSE, 0, 0);
        application.reset();
        SetPreferencesRunner(nullptr, nullptr);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    CApplication& App() { return *application; }
    HWND Window() { return application->GetMainWindow(); }

    // A new account of the fake plug-in A reporting name, once the contact list follows it.
    unsigned NewAccount(const wchar_t* name)
    {
        unsigned id = ProtocolsManagerService->CreateAccount(GUID_FAKE_A);
        if (!id) return 0;
        ProtocolsManagerService->SetAccountString(id, CZELString(FAKE_VALUE_NAME), CZELString(name), 0);
        CZELArray<int> groups;
        return PumpUntil([&] { return ContactListDataService->GetAccountGroups(id, groups); }) ? id : 0;
    }

    // A contact of a new group of account, with its "Account name" and "CL Alias".
    int NewContact(unsigned account, const wchar_t* accountName, const wchar_t* alias)
    {
        int group = ContactListDataService->AddGroup(account);
        int contact = ContactListDataService->AddContact(account, group);
        ContactListDataService->SetPropertyString(contact, CZELString(L"Account name"), CZELString(accountName));
        ContactListDataService->SetPropertyString(contact, CZELString(L"CL Alias"), CZELString(alias));
        // Announced as a plug-in does, so the contact list shows it too.
        ContactListDataService->NotifyGroupAdded(group);
        ContactListDataService->NotifyContactAdded(contact, StatusInfo());
        CContactListCtrl* list = application ? application->ContactList() : nullptr;
        if (list) PumpUntil([&] { return list->HasContact(contact); });
        return contact;
    }

    CHistoryFile History()
    {
        HistoryPlace place;
        place.folder = CZELString((folder.path + L"History\\").c_str());
        place.bus = &bus;
        return CHistoryFile(place);
    }

    Services::CServicesManager bus;
    AppStartRecord start;
    std::unique_ptr<CApplication> application;
    bool started = false;

private:
    const AppFolder& folder;
};

// The maker of an application whose protocols folder is protos: by default the real plug-ins
// beside the test program. For AppRun, with the plug-in scenario L"Missing".
inline std::function<CApplication*(AppStartRecord*, const AppPlace&)> WithProtocolsFolder(
    const std::wstring& protos = ProgramFolder::Bin() + L"Protos\\")
{
    return [protos](AppStartRecord* start, const AppPlace& place) {
        AppPlace real = place;
        real.protosFolder = CZELString(protos.c_str());
        CApplication* application = new CApplication(start, real);
        application->SetTrayNotify(QuietTray);
        return application;
    };
}

}  // namespace AppTest
