// CNotifier: the shell's bubble notifications for incoming messages, contacts signing on and off,
// warnings, mail notices and update offers. Pending notifications wait in a list in order of
// arrival; one bubble shows at a time (the lowest kind first), with its own soft keys, a blinking
// icon, the notification LED for messages and a close time per kind. A message whose 7 s run out
// stays pending as a waiting message until the user opens or hides it. The soft keys and timers
// arrive at a hidden window of the class "ZELNotificationsTargetWindow".
//
// User-interface thread only.
#pragma once

#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <map>

class GlobalSettings;
class CSkinImageSet;

// What the notifier calls back in the application.
class INotifierCallbacks {
public:
    // The user opened (open true) a notification of item (a contact, or 0 for none).
    virtual void OpenContact(int item, bool open) = 0;
    // The user accepted an update offer: download the build (download true) or install it.
    virtual void OnUpdateReady(int build, bool download) = 0;

protected:
    ~INotifierCallbacks() {}
};

enum NotificationKind {
    NK_UPDATE_AVAILABLE = 0,
    NK_UPDATE_READY = 1,
    NK_WARNING = 2,
    NK_MAIL = 3,
    NK_STATUS = 4,
    NK_MESSAGE = 5,
    NK_MESSAGE_WAITING = 6,
};

struct NotificationEntry {
    int item = 0;
    int kind = NK_WARNING;
    int contact = 0;
    int image = -1;
    CZELString title;
    CZELString body;  // HTML
    CZELString link;
};

class CNotifier {
public:
    enum {
        BubbleId = 1001,
        CloseTimer = 4001,
        BlinkTimer = 4002,
        BlinkMs = 500,
        CommandOpen = 1125,  // the first of two keys: "OK" or "Open"
        CommandHide = 1126,
        CommandOk = 1127,  // the only key
    };

    // owner: the main window ("Dont show if active" asks whether it is in front); images: the
    // skin's pictures the bubble icons are drawn from (none: blank icons).
    CNotifier(INotifierCallbacks* callbacks, GlobalSettings& settings, CSkinImageSet* images = nullptr,
              HWND owner = nullptr);
    virtual ~CNotifier();
    CNotifier(const CNotifier&) = delete;
    CNotifier& operator=(const CNotifier&) = delete;

    void ShowMessage(int item, int image, int contact, const CZELString& text);
    void ShowContactOnline(int contact);
    void ShowContactOffline(int contact);
    void ShowMail(const CZELString& text, const CZELString& link);
    void ShowUpdate(int build, bool available);
    void ShowInfo(const CZELString& text);
    // Every entry of the contact leaves the list (its messages were seen).
    void RemoveContactNotifications(int contact);

    // The target window's messages.
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    const CZELArray<NotificationEntry>& Entries() const { return entries; }
    // The entry the bubble shows, -1 for none.
    int CurrentIndex() const { return current; }
    HWND TargetWindow() const { return target; }
    bool LedBlinking() const { return ledOn; }

    // Whether a bubble of this kind goes straight to the tray under the settings: "Show msg" off
    // sends all but the update offers there, on only a waiting message; a message is tested
    // further by "Dont show if occupied" (global status, when known) and "Dont show if active"
    // (which, when on, alone decides).
    static bool GoesToTray(int kind, bool showMessages, bool dontShowIfOccupied, bool statusKnown, int globalStatus,
                           bool dontShowIfActive, bool mainWindowInFront);

protected:
    // What the notifier learns from the rest of the program; tests put their own in.
    virtual CZELString ContactAlias(int contact);
    virtual CZELString StatusBody(int contact, bool online);
    virtual bool MainWindowInFront();

private:
    void ShowContactStatus(int contact, bool online);
    void Add(const NotificationEntry& entry);
    void ShowNext();
    int LowestKindIndex() const;
    void ShowCurrent();
    void AddBubble();
    void StartBlinking();
    void CloseCurrent(bool dropEntry);
    void OnBlinkTimer();
    void SetBubbleIcon(HICON icon);
    void OnCommand(int command);
    void SetLed(bool on);
    HICON GetIcon(int image);
    void CreateTargetWindow();

    INotifierCallbacks* callbacks;
    GlobalSettings& settings;
    CSkinImageSet* images;
    HWND owner;
    CZELArray<NotificationEntry> entries;
    int current;
    HWND target;
    bool blinkPhase;
    bool ledOn;
    bool bubbleUp;  // this notifier's bubble stands (shown or in the tray)
    std::map<int, HICON> icons;
};

// An icon of the skin picture, sized for the bubble at the screen's density: black is
// transparent; index -1 (or no pictures) gives a fully transparent icon.
HICON MakeBubbleIcon(CSkinImageSet* images, int image);
