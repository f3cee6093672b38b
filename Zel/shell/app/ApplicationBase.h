// CApplicationBase: the window application under the program: the main window's class and
// procedure, its soft-key bar and the shell's activation record, and the dispatch of the main
// window's messages to the application's virtual operations (in the slot order below).
#pragma once

#include "Handheld/ShellUi.h"

#include <windows.h>

// What WinMain builds on its stack for the application.
struct AppStartRecord {
    HINSTANCE instance;
    const wchar_t* windowClass;  // "ZELWM_APPLICATION_CLASS"
    const wchar_t* windowTitle;  // "ZEL PDA"
    int showCommand;
};

class CApplicationBase {
public:
    // The main window's messages of its own, WM_USER + n.
    enum {
        WM_APP_WAKE = WM_USER + 1,              // 1025: soft keys
        WM_APP_MESSAGE_SENT = WM_USER + 2,      // 1026
        WM_APP_MESSAGE_IN = WM_USER + 3,        // 1027
        WM_APP_SEARCH_RESULT = WM_USER + 4,     // 1028
        WM_APP_DETAILS_RECEIVED = WM_USER + 5,  // 1029
        WM_APP_DETAILS_NOTIFY = WM_USER + 6,    // 1030
        WM_APP_SHOW_TEXT = WM_USER + 7,         // 1031
        WM_APP_TAB_ICONS = WM_USER + 8,         // 1032
        WM_APP_TAB_CAPTION = WM_USER + 9,       // 1033
        WM_APP_MESSAGE_ACK = WM_USER + 10,      // 1034
        WM_APP_CONTACT_REMOVED = WM_USER + 11,  // 1035
        WM_APP_NO_ACCOUNTS = WM_USER + 12,      // 1036
        WM_APP_TITLED_TEXT = WM_USER + 13,      // 1037
        WM_APP_TIMER_SET = WM_USER + 14,        // 1038
        WM_APP_TIMER_CANCEL = WM_USER + 15,     // 1039
        WM_APP_UPDATE_CHECK = WM_USER + 16,     // 1040
        WM_APP_UPDATE_AVAILABLE = WM_USER + 17, // 1041
        WM_APP_UPDATE_READY = WM_USER + 18,     // 1042
        WM_APP_CHECK_DONE = WM_USER + 19,       // 1043
        WM_APP_DOWNLOAD_DONE = WM_USER + 20,    // 1044
        WM_APP_TRAY_UPDATE = WM_USER + 21,      // 1045: the tray icon, redrawn on this thread
        WM_APP_TRAY = WM_USER + 100,            // 1124: the tray icon's callback
    };

    CApplicationBase();
    // Unregisters the window class when an instance is set.
    virtual ~CApplicationBase();
    CApplicationBase(const CApplicationBase&) = delete;
    CApplicationBase& operator=(const CApplicationBase&) = delete;

    // Slots 1 to 10, in this order; the base's do nothing.
    virtual void OnCreate();
    virtual void FocusContactList();
    virtual void Layout(int sizeType, int width, int height);
    virtual void OnCommand(int id, int notifyCode, HWND control);
    virtual void InitServices();
    virtual void OnActivate(WPARAM wParam, LPARAM lParam);
    virtual void OnSettingChange();
    virtual void RemoveTrayIcon();
    // 0: handled, the result is 0; anything else: on to the default window procedure (the base: 1).
    virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnPowerState(const wchar_t* name);

    HWND GetMainWindow() const { return mainWindow; }
    HWND GetMenuBar() const { return menuBar; }
    HINSTANCE GetInstance() const { return instance; }
    int StartShowCommand() const { return start ? start->showCommand : SW_SHOWDEFAULT; }

    // The main window class's procedure: messages that come before the application's pointer is
    // stored (WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE) go to the default procedure.
    static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // The dispatch of one message of the main window.
    LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // WM_CREATE: the soft-key bar with both keys off and empty, then the services.
    void OnWindowCreate(HWND window);
    // Sets a soft key's text (by command) and its state (by index).
    void SetSoftKey(int index, int command, const wchar_t* text, bool enabled);

    HINSTANCE instance;
    HWND mainWindow;
    HWND menuBar;
    AppStartRecord* start;
    SHACTIVATEINFO activation;
};
