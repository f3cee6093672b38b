// CChatDlg: the message window, one tab per conversation. The window itself stands (hidden until a
// chat is shown, owned by the main window, titled "Messages"), so the application can tell whether a
// conversation is in front of the user; the tabs, their captions, icons and log entries are held in
// memory until the tab panes with their log views and composers move in.
//
// Log entries are ChatLogEntry records (the history store's type): `direction` holds the line's
// kind (0 incoming, 1 outgoing, 2 event line, 3 history separator), `kind` its picture (-1 none).
#pragma once

#include "Zel/chat/ChatLogHost.h"
#include "Zel/chat/MessageBarWnd.h"
#include "Zel/chat/MessageWindowSettingsDialog.h"
#include "Zel/core/history/HistoryFileFormat.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <map>
#include <memory>

class CChatDlg;
class CChatLogView;
class CPopupMenu;

enum ChatLineKind { ChatLineIncoming = 0, ChatLineOutgoing = 1, ChatLineEvent = 2, ChatLineSeparator = 3 };

// What the chat window asks of the application, in slot order.
class IChatWindowCallback {
public:
    // Non-zero when the text was handed on.
    virtual int SendMessageToContact(CChatDlg* window, int contact, const CZELString& text) = 0;
    virtual void FillChatMenu(CChatDlg* window, int contact, CPopupMenu* menu) = 0;
    virtual void OnMessagesSeen(CChatDlg* window, int contact) = 0;
    virtual void ShowContactDetails(CChatDlg* window, int contact) = 0;
    // stopped: 0 while the user types, 1 when typing has stopped.
    virtual void SetTyping(CChatDlg* window, int contact, int stopped) = 0;
    virtual void RequestAuthorization(CChatDlg* window, int contact) = 0;

protected:
    ~IChatWindowCallback() {}
};

// An acknowledgement: the message number and the picture its line takes.
struct ChatAck {
    int messageNumber;
    int reserved;
    int image;
};

class CChatDlg final : private IChatLogHost, private IMessageBarObserver, private MessageWindowSettingsObserver {
public:
    struct Tab {
        CZELString caption;
        CZELArray<int> icons;
        CZELArray<ChatLogEntry> entries;
        int alert = -1;  // the picture the tab is alerted with, -1 when none
        CChatLogView* log = nullptr;  // owned; only while the window stands
        HWND composer = nullptr;      // the edit control the user writes in, under the log
    };

    explicit CChatDlg(IChatWindowCallback* callback);
    ~CChatDlg();
    CChatDlg(const CChatDlg&) = delete;
    CChatDlg& operator=(const CChatDlg&) = delete;

    // Makes the (hidden) window; without it the conversations are still kept.
    bool Create(HWND owner);

    bool HasTab(int contact) const { return tabs.count(contact) != 0; }
    void OpenTab(int contact, const CZELString& caption, const CZELArray<int>& icons);
    void ShowTab(int contact);
    void CloseTab(int contact);
    void SetTabCaption(int contact, const CZELString& caption);
    void SetTabIcons(int contact, const CZELArray<int>& icons);
    void AddMessage(int contact, const ChatLogEntry& entry);
    void AddMessages(int contact, const CZELArray<ChatLogEntry>& entries);
    void MarkMessageAcked(int contact, const ChatAck& ack);
    // Showing needs a current tab.
    void Show(bool show);
    bool IsVisible() const { return visible; }
    // The current tab's contact, -1 when there is no tab.
    int GetCurrentPageId() const { return current; }
    CZELString GetYourName() const;
    // A smiley pack change: every log turns its smiley pictures back into text.
    void RelayoutLogs();
    // Smiley scaling changed: every log is laid out again, its pictures kept.
    void RelayoutLogsKeepingSmilies();
    // The window, null when none could be made.
    HWND GetWindow() const { return window; }
    // Whether the user has the contact's conversation in front: the window shown, in the foreground,
    // with the contact's tab current.
    bool IsInFront(int contact) const;

    const Tab* FindTab(int contact) const;
    // Sends the current tab's composer text through the callback; the composer is cleared when it
    // was handed on.
    void SendCurrentMessage();
    enum { TIMER_TYPING = 5000, TypingIdleMs = 3000 };
    MessageWindowSettings* GetSettings() override { return settings.get(); }
    // Fonts, colours and settings for the logs of dialogs over this window (the history).
    IChatLogHost* LogHost() { return this; }
    // The bar under the tabs, null while the settings hide it.
    CMessageBarWnd* Bar() const { return bar; }
    int GetBottomBarHeight() const;
    // The chat menu, below the window's left corner or at its right one.
    void ShowChatMenu(bool atRight);
    // A soft key's action (SoftKeyAction); other values do nothing.
    void DoSoftKeyAction(int action);
    // The settings dialog over parent (the window itself when null), opening on page 0 to 4.
    void ShowSettingsDialog(HWND parent, int page);
    // What a settings page changed: fonts, the bar or the soft keys follow at once.
    void OnSettingsPageChanged(int page) override;

private:
    // The rule of AddMessage(s): seen when shown and current, else the tab is alerted.
    void Arrived(int contact, int image);
    // The current tab's alert cleared and its messages reported seen.
    void MessagesSeen();

    IChatWindowCallback* callback;
    bool visible;
    int current;
    std::map<int, Tab> tabs;
    HWND window;
    std::unique_ptr<MessageWindowSettings> settings;
    CMessageBarWnd* bar = nullptr;

    // The smilies button and picks open nothing until a smiley pack provides pictures.
    // A smiley picked in the strip, or chosen in the smiley dialog: its first code into the composer.
    void OnPickerItem(CMessageBarWnd*, int smiley) override;
    void OnSmiliesButton(CMessageBarWnd*) override { ChooseAndInsertSmiley(); }
    void ChooseAndInsertSmiley();
    void OnSendButton(CMessageBarWnd*) override { SendCurrentMessage(); }

    void GetStyle(ITextViewHost::Style* out, int style) override;
    void GetSelectionColors(COLORREF* text, COLORREF* background) override;
    // Into the current composer at its caret (a quote from the log, a reply).
    void InsertText(const wchar_t* text) override;
    void CreateFonts();
    void LayOutLogs();

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ComposerProc(HWND composer, UINT message, WPARAM wParam, LPARAM lParam);
    int ComposerHeight(HWND composer) const;
    // The arrows and Tab at the composer's edges: focus moves on, or the caret jumps to the text's
    // start or end; true when the key was used.
    bool ComposerKey(HWND composer, int key);
    void ShowComposerMenu(HWND composer, int x, int y);
    void TypingChanged(int stopped);
};

// Creates the message window (hidden) for the application, owned by owner when one is given.
CChatDlg* CreateChatWindow(IChatWindowCallback* callback, HWND owner = nullptr);
