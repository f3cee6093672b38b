// CChatDlg: the message window, a full-screen tabbed dialog with one tab per conversation, each tab a
// CChatTabPan (log over composer), and the optional message bar under the tab strip. It stands from
// the application's set-up to its end, hidden and shown, owned by the main window and titled
// "Messages". The strip shows each tab's contact icons (the typing picture while the contact types)
// and blinks the picture of a message that arrived behind another tab; the soft keys do what the
// settings chose for them.
//
// Log entries are ChatLogEntry records (the history store's type): `direction` holds the line's
// kind (0 incoming, 1 outgoing, 2 event line, 3 history separator), `kind` its picture (-1 none).
#pragma once

#include "Zel/chat/ChatLogHost.h"
#include "Zel/chat/ChatTabPan.h"
#include "Zel/chat/MessageBarWnd.h"
#include "Zel/chat/MessageWindowSettingsDialog.h"
#include "Zel/core/history/HistoryFileFormat.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/dialogs/TabbedDialog.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

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

class CChatDlg final : public CTabbedDialog,
                       public IOptionObserver,
                       private IChatTabHost,
                       private IMessageBarObserver,
                       private MessageWindowSettingsObserver,
                       private IChatLogHost {
public:
    // A tab's page window: the conversation's log, composer and entries.
    typedef CChatTabPan Tab;
    enum { TIMER_TYPING = CChatTabPan::TIMER_TYPING };

    explicit CChatDlg(IChatWindowCallback* callback);
    ~CChatDlg() override;
    CChatDlg(const CChatDlg&) = delete;
    CChatDlg& operator=(const CChatDlg&) = delete;

    // Makes the (hidden) window on the common dialog template, owned by owner.
    bool Create(HWND owner);

    bool HasTab(int contact) const { return HasPage(contact); }
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
    bool IsVisible() const { return hwnd && IsWindowVisible(hwnd); }
    CZELString GetYourName() const;
    // A smiley pack change: every log turns its smiley pictures back into text.
    void RelayoutLogs();
    // Smiley scaling changed: every log is laid out again, its pictures kept.
    void RelayoutLogsKeepingSmilies();
    // The window, null when none could be made.
    HWND GetWindow() const { return hwnd; }
    // Whether the user has the contact's conversation in front: the window shown, in the foreground,
    // with the contact's tab current.
    bool IsInFront(int contact) const;

    // The contact's pane, null without a tab.
    const Tab* FindTab(int contact) const;
    // Sends the current tab's composer text through the callback; the composer is cleared when it
    // was handed on.
    void SendCurrentMessage();
    MessageWindowSettings* GetSettings() override { return settings.get(); }
    // Fonts, colours and settings for the logs of dialogs over this window (the history).
    IChatLogHost* LogHost() { return this; }
    // The bar under the tabs, null while the settings hide it.
    CMessageBarWnd* Bar() const { return bar; }
    // The chat menu, below the window's left corner or at its right one.
    void ShowChatMenu(bool atRight);
    // A soft key's action (SoftKeyAction); other values do nothing.
    void DoSoftKeyAction(int action);
    // The settings dialog over parent (the window itself when null), opening on page 0 to 4.
    void ShowSettingsDialog(HWND parent, int page);
    // What a settings page changed: fonts, the bar or the soft keys follow at once.
    void OnSettingsPageChanged(int page) override;
    // A new interface language: the soft keys' captions, and the default replies in that language.
    void OnOptionChanged(int code) override;

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnChar(wchar_t character, LPARAM keyData) override;
    void OnClose() override;
    void OnInitDialog() override;
    void OnScreenSizeChanged() override;
    void OnActivate(WORD state, int minimized, HWND other) override;
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;
    TCommandButton GetCommandButton() override { return CommandCancel; }
    void OnCommandButton() override;
    void OnPageChanged() override;
    void OnTabDoubleTap() override;
    int GetBottomBarHeight() override;

private:
    // The rule of AddMessage(s): seen when shown and current, else the tab is alerted.
    void Arrived(int contact, int image);
    CChatTabPan* Pane(int contact) const;
    CChatTabPan* CurrentPane() const { return Pane(GetCurrentPageId()); }
    // The soft key's action from the settings.
    int SoftKeyAction(TSoftKey key) const;
    void CreateFonts();
    // The bar over the client area's bottom band.
    RECT BarRect();

    IChatWindowCallback* callback;
    std::unique_ptr<MessageWindowSettings> settings;
    CMessageBarWnd* bar = nullptr;
    HWND hookTarget = nullptr;  // the window the volume keys were given to

    // IChatTabHost.
    void OnSendRequest(CChatTabPan* pane) override;
    void OnTypingChanged(CChatTabPan* pane, int stopped) override;
    void GetStyle(ITextViewHost::Style* out, int style) override;
    void GetSelectionColors(COLORREF* text, COLORREF* background) override;

    // A smiley picked in the strip, or chosen in the smiley dialog: its first code into the composer.
    void OnPickerItem(CMessageBarWnd*, int smiley) override;
    void OnSmiliesButton(CMessageBarWnd*) override;
    void ChooseAndInsertSmiley();
    void OnSendButton(CMessageBarWnd*) override;

    // Into the current composer at its caret (a quote from a history log).
    void InsertText(const wchar_t* text) override;
};

// Creates the message window (hidden) for the application, owned by owner when one is given.
CChatDlg* CreateChatWindow(IChatWindowCallback* callback, HWND owner = nullptr);
