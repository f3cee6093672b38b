// CApplication: set-up, layout, soft keys, options, the callbacks of the windows it owns, and the
// shutdown. The queue handler, the main window's messages, the timers and the tray icon have files of
// their own.
#include "Zel/shell/app/Application.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/skin/SkinImages.h"
#include "Zel/prefs/PreferencesDialog.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/StartupWarnings.h"
#include "Zel/shell/ZelResources.h"
#include "Zel/shell/menu/MainMenu.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "Zel/shell/updater/VersionUpdater.h"
#include "Handheld/Shell.h"
#include "ZELCommon/ZELWMUI_BigDlg.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <commctrl.h>

#include <functional>

CApplication* TheApplication = nullptr;

namespace {

// The status strip's height at 96 dpi.
const int kStripHeight = 28;
// The offline status picture: the global cell until the first status arrives.
const int kOfflineImage = 13;

bool AccountExists(unsigned account)
{
    if (!ProtocolsManagerService) return false;
    int count = ProtocolsManagerService->GetAccountCount();
    for (int i = 0; i < count; ++i)
        if (ProtocolsManagerService->GetAccountId(unsigned(i)) == account) return true;
    return false;
}

int StripHeight()
{
    return (g_HIDPI_LogPixelsY * kStripHeight + 48) / 96;
}

// Runs work on another thread while this one answers the messages other threads send to its
// windows (and only those), so that work may wait for a thread that sends to them.
void RunHandlingSentMessages(const std::function<void()>& work)
{
    struct Job {
        static DWORD WINAPI Run(void* job)
        {
            (*static_cast<const std::function<void()>*>(job))();
            return 0;
        }
    };
    HANDLE thread = CreateThread(nullptr, 0, &Job::Run, const_cast<std::function<void()>*>(&work), 0, nullptr);
    if (!thread) {
        work();
        return;
    }
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(thread);
}

}  // namespace

CApplication::CApplication(AppStartRecord* startRecord, const AppPlace& appPlace)
    : place(appPlace),
      guiQueue(0),
      languageEvent(0),
      contactList(nullptr),
      topPanel(nullptr),
      chatWindow(nullptr),
      updater(new CVersionUpdater(appPlace.bus, appPlace.appFolder)),
      nextTimerId(1),
      trayIcon(nullptr),
      trayNotify(Shell_NotifyIconW),
      servicesCreated(false)
{
    start = startRecord;
    instance = startRecord ? startRecord->instance : nullptr;
    settings.SetPlace(place.bus, place.appFolder);
    TheApplication = this;
}

CApplication::~CApplication()
{
    Shutdown();
    if (TheApplication == this) TheApplication = nullptr;
}

Services::CServicesManager& CApplication::Bus() const
{
    return place.bus ? *place.bus : TheBus();
}

void CApplication::Shutdown()
{
    // Normally gone with the message loop; a window that still stands would take the queue "GUI"'s
    // sends that nobody answers while the queue is stopped.
    if (mainWindow && IsWindow(mainWindow)) DestroyWindow(mainWindow);
    updater->CancelAll();
    if (servicesCreated && settings.autoConnect) SaveAccountStatuses();
    if (servicesCreated) settings.Save();
    // The queue's thread calls the status panel: it stops before the panel goes.
    if (guiQueue) Bus().DestroyQueue(guiQueue);
    guiQueue = 0;
    delete contactList;
    contactList = nullptr;
    delete topPanel.exchange(nullptr);
    if (resources) resources->SetChatWindow(nullptr);
    delete chatWindow;
    chatWindow = nullptr;
    if (servicesCreated) DestroyCoreServices();
    servicesCreated = false;
    ColorScheme::SetCurrent(nullptr);
    resources.reset();
}

void CApplication::InitServices()
{
    // Window creation can run WM_CREATE more than once when it fails: the services come up once.
    if (servicesCreated) return;
    CoreServicesPlace services;
    services.bus = &Bus();
    services.images = &images;
    services.settingsFile = place.settingsFile;
    services.protosFolder = place.protosFolder;
    CreateCoreServices(services);
    servicesCreated = true;
    settings.Load();
    ColorScheme::SetCurrent(settings.colors);
}

CTopPanelWnd* CApplication::NewTopPanel()
{
    return new CTopPanelWnd(this);
}

void CApplication::OnCreate()
{
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    resources.reset(new CGuiResources(settings, images, this, mainWindow));

    Services::CServicesManager& bus = Bus();
    guiQueue = bus.CreateQueue(this, CZELString(L"GUI"));
    if (guiQueue) {
        bus.Subscribe(ZEL_GUID_NULL, Services::SMEV_STARTUP, guiQueue);
        languageEvent = bus.RegisterEvent(GUID_GUI, GUIEV_LANGUAGE_CHANGED);
        for (int code = PMEV_FILL_STATUS_TABLE; code <= PMEV_OPEN_URL; ++code)
            if (code != PMEV_ACCOUNT_RENAMED) bus.Subscribe(GUID_PROTOCOLS_MANAGER, code, guiQueue);
        bus.Subscribe(GUID_CONTACT_LIST_DATA, CLE_ACCOUNTS_READY, guiQueue);
        for (int code = CLE_CONTACT_REMOVED; code <= CLE_TYPING; ++code)
            bus.Subscribe(GUID_CONTACT_LIST_DATA, code, guiQueue);
    }

    const RECT usable = UI::ClientAboveBar(mainWindow, menuBar);
    int strip = StripHeight();
    RECT listRect = {usable.left, usable.top, usable.right, usable.bottom - strip};
    ContactListOptions options;
    options.mode = settings.clMode;
    options.onlyOnline = settings.clOnlyOnline;
    options.columns = settings.clColumns;
    options.dontShowIcon = settings.clDontShowIcon;
    options.font = settings.clFont;
    contactList = new CContactListCtrl(this, bus, options);
    if (contactList->Create(instance, mainWindow, WS_VISIBLE | WS_TABSTOP, listRect))
        SetFocus(*contactList);
    RECT panelRect = {usable.left, usable.bottom - strip, usable.right, usable.bottom};
    CTopPanelWnd* panel = NewTopPanel();
    panel->Create(instance, mainWindow, WS_VISIBLE | WS_TABSTOP, panelRect);
    panel->AddGlobalCell(CZELArray<int>(1, kOfflineImage));
    topPanel.store(panel);
    chatWindow = CreateChatWindow(this, mainWindow);
    resources->SetChatWindow(chatWindow);
    // The preferences' button opens the chat window's own settings, on its first page.
    SetMessageWindowSettingsDialog([](HWND owner, GlobalSettings&) {
        if (TheApplication && TheApplication->ChatWindow()) TheApplication->ChatWindow()->ShowSettingsDialog(owner, 0);
    });

    // Subscribers' handlers may send to this window meanwhile: their messages are handled.
    RunHandlingSentMessages([&bus] { bus.FireStartupEvent(); });
    UpdateSoftKeys(true);
    OnSettingChange();
    SetCursor(previous);
    // The tray icon follows once the window has painted (CompleteStart).
}

bool CApplication::CompleteStart()
{
    // Loaded on demand: the library takes longer to load than the whole window to paint.
    typedef BOOL(WINAPI * InitControls)(const INITCOMMONCONTROLSEX*);
    HMODULE controls = LoadLibraryW(L"comctl32.dll");
    InitControls init = controls ? reinterpret_cast<InitControls>(
                                       reinterpret_cast<void*>(GetProcAddress(controls, "InitCommonControlsEx")))
                                 : nullptr;
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_DATE_CLASSES};
    if (!init || !init(&classes)) return false;
    SHInitExtraControls();
    UpdateTrayIcon();
    // What the user must know of the start (a settings file left as it is) shows over the window.
    ShowStartupWarnings(mainWindow);
    startCompleted = true;
    if (preferencesWanted) {
        preferencesWanted = false;
        PostMessageW(mainWindow, WM_APP_NO_ACCOUNTS, 0, 0);
    }
    return true;
}

void CApplication::FocusContactList()
{
    if (contactList && *contactList) SetFocus(*contactList);
}

void CApplication::Layout(int, int, int)
{
    CTopPanelWnd* panel = topPanel.load();
    if (!contactList || !panel || !mainWindow) return;
    // The soft-key bar lies over the bottom of the client area: the strip goes above it.
    const RECT client = UI::ClientAboveBar(mainWindow, menuBar);
    int strip = StripHeight();
    contactList->MoveAndResize(client.left, client.top, client.right - client.left, client.bottom - client.top - strip);
    panel->MoveAndResize(client.left, client.bottom - strip, client.right - client.left, strip);
    contactList->Redraw(UI::PaintFull);
    panel->Redraw(UI::PaintFull);
}

void CApplication::OnCommand(int id, int, HWND)
{
    if (id == IDM_SOFTKEY_LEFT) ShowMainMenu(*this);
    else if (id == IDM_SOFTKEY_RIGHT) ShowItemMenu();
}

void CApplication::OnActivate(WPARAM wParam, LPARAM)
{
    if (!settings.fullScreen) return;
    bool active = LOWORD(wParam) != WA_INACTIVE;
    SHFullScreen(mainWindow, active ? SHFS_HIDETASKBAR | SHFS_HIDESTARTICON : SHFS_SHOWTASKBAR | SHFS_SHOWSTARTICON);
}

void CApplication::OnSettingChange()
{
    if (!settings.fullScreen || !mainWindow) return;
    RECT rect = {};
    GetWindowRect(mainWindow, &rect);
    SetWindowPos(mainWindow, nullptr, 0, 0, rect.right, rect.bottom, SWP_NOZORDER);
    RECT client = {};
    GetClientRect(mainWindow, &client);
    Layout(SIZE_RESTORED, client.right, client.bottom);
}

void CApplication::UpdateSoftKeys(bool withLeftKey)
{
    if (!menuBar) return;
    if (withLeftKey) SetSoftKey(0, IDM_SOFTKEY_LEFT, GuiText(16).GetBuffer(), true);
    CZELString right = contactList ? contactList->GetSoftKeyText() : CZELString();
    SetSoftKey(1, IDM_SOFTKEY_RIGHT, right.GetBuffer(), !right.IsEmpty());
}

void CApplication::ShowItemMenu()
{
    if (!contactList || !mainWindow) return;
    RECT rect = {};
    GetWindowRect(mainWindow, &rect);
    contactList->ShowSelectedItemMenu(mainWindow, rect, POINT{rect.right, rect.bottom}, MenuAlignAboveRight);
}

void CApplication::OpenPreferences(int page)
{
    // The contact list follows its options through ApplyOption.
    IOptionObserver* observers[] = {resources.get(), nullptr, chatWindow, this};
    IOptionObserver* present[4];
    int count = 0;
    for (IOptionObserver* observer : observers)
        if (observer) present[count++] = observer;
    ShowPreferencesDialog(settings, present, count, page);
}

void CApplication::ApplyOption(int code)
{
    if (contactList) contactList->OnOptionChanged(code, settings);
    if (code == OPT_TRAY_ICON) {
        ShowTrayIcon(settings.trayIcon);
    } else if (code == OPT_LANGUAGE) {
        if (languageEvent) {
            CRefObject* language = NewStringPayload(settings.language);
            if (Bus().FireEvent(languageEvent, language, nullptr, false) == Services::SM_NOT_FOUND && language)
                language->AddRef(0);
        }
        UpdateSoftKeys(false);
        UpdateSoftKeys(true);
    } else if (code == OPT_SKIN || code == OPT_COLORS) {
        // The scheme table is the record's own, so a repaint shows the new skin and colours; the
        // top panel and the contact list are the main window's children.
        const UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME;
        if (mainWindow) RedrawWindow(mainWindow, nullptr, nullptr, flags);
        if (chatWindow && chatWindow->GetWindow()) RedrawWindow(chatWindow->GetWindow(), nullptr, nullptr, flags);
    }
}

void CApplication::PostWake()
{
    if (mainWindow) PostMessageW(mainWindow, WM_APP_WAKE, 0, 0);
}

void CApplication::ShowChatWindow()
{
    if (chatWindow) chatWindow->Show(true);
}

void CApplication::UpdateTopPanel(int value)
{
    // A digit typed in the contact list picks a status cell by its flat index.
    if (CTopPanelWnd* panel = topPanel.load()) panel->ActivateCell(value);
}

void CApplication::ShowAccountStatusMenu(unsigned key, int cellIndex)
{
    if (!ProtocolsManagerService) return;
    CPopupMenu menu;
    ProtocolsManagerService->GetStatusMenu(key, cellIndex, &menu);
    if (menu.GetCount() == 0) return;
    CTopPanelWnd* panel = topPanel.load();
    POINT anchor = panel ? panel->GetAnchor() : POINT{0, 0};
    RECT area = {};
    GetWindowRect(mainWindow, &area);
    PopupMenuResult chosen = ShowPopupMenu(menu, area, anchor, MenuAlignAboveLeft, mainWindow, settings.fullScreen);
    if (!chosen.callback) return;
    // An account's items run its plug-in's code: an account removed while its menu was open may
    // have taken that code with it.
    if (key != 0 && !AccountExists(key)) return;
    chosen.callback(intptr_t(key), chosen.argument);
}

void CApplication::FillChatMenu(CChatDlg*, int contact, CPopupMenu* menu)
{
    if (!ContactListDataService || !ProtocolsManagerService) return;
    ProtocolsManagerService->FillChatMenu(ContactListDataService->GetItemAccount(contact), contact, menu);
}

void CApplication::OnMessagesSeen(CChatDlg*, int contact)
{
    if (contactList) contactList->RemoveNewMessage(contact);
    if (resources) resources->Notifier().RemoveContactNotifications(contact);
}

void CApplication::ShowContactDetails(CChatDlg*, int contact)
{
    ShowContactDetailsDialog(mainWindow, contact);
}

void CApplication::SetTyping(CChatDlg*, int contact, int stopped)
{
    if (!ContactListDataService || !ProtocolsManagerService) return;
    ProtocolsManagerService->SetTyping(ContactListDataService->GetItemAccount(contact), contact, stopped != 0);
}

void CApplication::RequestAuthorization(CChatDlg*, int contact)
{
    if (!ContactListDataService || !ProtocolsManagerService) return;
    ProtocolsManagerService->RequestAuthorization(ContactListDataService->GetItemAccount(contact), contact);
}

int CApplication::SendMessageToContact(CChatDlg*, int contact, const CZELString& text)
{
    return SendMessageToContact(contact, text);
}

void CApplication::OpenContact(int contact, bool open)
{
    if (!open) return;
    if (contact && contactList && contactList->HasContact(contact)) {
        OpenChat(contact);
        return;
    }
    if (mainWindow) SetForegroundWindow(mainWindow);
}

void CApplication::OnUpdateReady(int build, bool download)
{
    if (download) {
        updater->StartUpdateDownload(guiQueue, unsigned(build));
        return;
    }
    // The file may have changed since it was reported ready.
    if (!updater->VerifyPackage(build)) return;
    CZELString cab = updater->GetCabPath();
    if (StartCabInstaller(cab.GetBuffer()) && mainWindow) SendMessageW(mainWindow, WM_CLOSE, 0, 0);
}
