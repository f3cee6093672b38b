// CApplication: the one application object and the program's spine on the user-interface thread. It
// owns the global settings, the GUI resources, the contact list, the status panel and the chat
// window; it joins the bus as the queue "GUI", whose handler carries the core's events onto the
// main window as private messages; those drive the history files, the chats, the notifications and
// the accounts' keep-alive timers. Every window reaches it through TheApplication.
//
// Threads: HandleMessage runs on the queue "GUI" thread and calls only the status panel and the
// global status table directly; everything else crosses to the user-interface thread through the
// main window (SendMessage where payloads must stay alive, PostMessage for plain values).
#pragma once

#include "Zel/chat/ChatDlg.h"
#include "Zel/core/bus/RefObject.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/app/ApplicationBase.h"
#include "Zel/shell/app/AppTimer.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/contactlist/ContactListCtrl.h"
#include "Zel/shell/notify/Notifier.h"
#include "Zel/shell/toppanel/TopPanelWnd.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <memory>

namespace Services {
class CServicesManager;
}
class CVersionUpdater;
struct MessageRecord;
struct StatusEntry;

// Where the application keeps its things; empty members are the program's own (the process's bus,
// "settings.zel", "Protos\" and "History\" in the application folder, packs under it).
struct AppPlace {
    Services::CServicesManager* bus = nullptr;
    CZELString settingsFile;
    CZELString protosFolder;
    CZELString historyFolder;
    CZELString appFolder;
};

// A message that came while its contact had no chat tab.
struct PendingMessage {
    int contact;
    ChatLogEntry entry;
};

// Shell_NotifyIcon, or a stand-in.
typedef BOOL (*TrayNotifyFunction)(DWORD message, NOTIFYICONDATAW* data);

class CApplication : public CApplicationBase,
                     public IContactListCallbacks,
                     public IStatusMenuCallback,
                     public QueueReceiver,
                     public IChatWindowCallback,
                     public IOptionObserver,
                     public INotifierCallbacks {
public:
    enum { TrayIconId = 5999, WakeupWaitMs = 1000 };

    explicit CApplication(AppStartRecord* start, const AppPlace& place = AppPlace());
    ~CApplication() override;

    // Slots of the base.
    void OnCreate() override;
    void FocusContactList() override;
    void Layout(int sizeType, int width, int height) override;
    void OnCommand(int id, int notifyCode, HWND control) override;
    void InitServices() override;
    void OnActivate(WPARAM wParam, LPARAM lParam) override;
    void OnSettingChange() override;
    void RemoveTrayIcon() override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPowerState(const wchar_t* name) override;

    // The six interfaces' operations, in slot order.
    void PostWake() override;
    void OpenChat(int contact) override;
    void ShowChatWindow() override;
    void UpdateTopPanel(int value) override;
    void ShowAccountStatusMenu(unsigned key, int cellIndex) override;
    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override;
    int SendMessageToContact(CChatDlg* window, int contact, const CZELString& text) override;
    void FillChatMenu(CChatDlg* window, int contact, CPopupMenu* menu) override;
    void OnMessagesSeen(CChatDlg* window, int contact) override;
    void ShowContactDetails(CChatDlg* window, int contact) override;
    void SetTyping(CChatDlg* window, int contact, int stopped) override;
    void RequestAuthorization(CChatDlg* window, int contact) override;
    void ApplyOption(int code);
    void OnOptionChanged(int code) override { ApplyOption(code); }
    void OpenContact(int contact, bool open) override;
    void OnUpdateReady(int build, bool download) override;

    // What the start leaves until the main window has painted once: the common controls and the
    // tray icon. False when the common controls cannot be had.
    bool CompleteStart();

    // 1 when the text went to the contact's account, 0 when the account is not connected.
    int SendMessageToContact(int contact, const CZELString& text);
    void UpdateSoftKeys(bool withLeftKey);
    void FillGlobalStatusTable(CZELString& title, CZELArray<StatusEntry>& table);
    void ShowItemMenu();
    void OpenPreferences(int page);

    // Keep-alive timers and the tray icon.
    void UpdateTrayIcon();
    void ShowTrayIcon(bool on);
    HICON BuildStatusIcon(const CZELArray<int>& images);

    // The account statuses kept as each account's one-byte "Status".
    void RestoreAccountStatuses();
    void SaveAccountStatuses();

    GlobalSettings& Settings() { return settings; }
    CGuiResources* Resources() { return resources.get(); }
    CSkinImageSet& Images() { return images; }
    CContactListCtrl* ContactList() { return contactList; }
    CTopPanelWnd* TopPanel() { return topPanel.load(); }
    CChatDlg* ChatWindow() { return chatWindow; }
    CVersionUpdater& Updater() { return *updater; }
    int GuiQueue() const { return guiQueue; }
    const CZELArray<PendingMessage>& PendingMessages() const { return pending; }
    const CZELArray<AppTimer>& Timers() const { return timers; }
    const CZELString& LastPowerState() const { return lastPowerState; }
    bool TrayIconShown() const { return trayIcon != nullptr; }
    void SetTrayNotify(TrayNotifyFunction function) { trayNotify = function; }
    Services::CServicesManager& Bus() const;

protected:
    // The windows the application makes at set-up; tests put their own in.
    virtual CTopPanelWnd* NewTopPanel();

private:
    // The main window's messages (AppMessages.cpp).
    void OnIncomingMessage(const MessageRecord& message);
    void OnOutgoingMessage(const MessageRecord& message);
    void OnTabMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnUpdateMessage(UINT message, WPARAM wParam, LPARAM lParam);
    ChatLogEntry EntryOf(int kind, const MessageRecord& message, int image, const CZELString& name) const;
    CZELString Alias(int contact) const;
    int AppendHistory(int contact, int direction, const MessageRecord& message);
    // The queue handler's parts (GuiQueue.cpp).
    void OnManagerEvent(int code, CRefObject* p1, CRefObject* p2);
    void OnContactListEvent(int code, CRefObject* p1, CRefObject* p2);
    // Keep-alive timers (AppTimers.cpp).
    void OnTimerSet(CRefObject* p2);
    void OnTimerCancel(CRefObject* p2);
    void OnTimerExpired(UINT_PTR id);
    // Runs the timer's callback; false when the timer ended and was removed.
    bool RunTimer(int index);
    void ArmTimer(AppTimer& timer, long long milliseconds);
    void EnterUnattendedMode();
    void LeaveUnattendedMode();
    CZELString WakeupProgram() const;
    // The shutdown steps, in order.
    void Shutdown();

    AppPlace place;
    GlobalSettings settings;
    CSkinImageSet images;
    std::unique_ptr<CGuiResources> resources;
    int guiQueue;
    int languageEvent;
    CContactListCtrl* contactList;
    std::atomic<CTopPanelWnd*> topPanel;
    CChatDlg* chatWindow;
    std::unique_ptr<CVersionUpdater> updater;
    CZELArray<PendingMessage> pending;
    CZELArray<AppTimer> timers;
    unsigned nextTimerId;
    CZELString lastPowerState;
    HICON trayIcon;
    TrayNotifyFunction trayNotify;
    bool servicesCreated;
    // The rest of the start has run (the window has painted); the preferences asked for before then.
    bool startCompleted = false;
    bool preferencesWanted = false;
};

// The program's application object, null outside its life.
extern CApplication* TheApplication;

// The program's entry: the wake-up launch, the single-instance check, the class and the window.
// True only when the main window stands.
bool InitInstance(CApplication& application, const wchar_t* commandLine);
// The message loop; the quit message's wParam.
int RunMessageLoop(CApplication& application);
// WinMain's body.
int ZelWinMain(HINSTANCE instance, const wchar_t* commandLine, int showCommand);
