// CChatTabPan: the page of one conversation in the chat window: its log on top and, at the bottom,
// the composer the user writes in with a send button at its right. The composer grows with the
// lines typed up to the settings' limit and then scrolls; every change reports typing to the owner,
// and 3 s of quiet (or leaving the composer) reports the stop.
#pragma once

#include "Zel/chat/ChatLogHost.h"
#include "Zel/core/history/HistoryFileFormat.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"
#include "ZELCommon/ZELWMUI_TabPan.h"

#include <windows.h>

class CChatLogView;
class CChatTabPan;
class CImageButton;
class MessageWindowSettings;

// What a pane asks of the window it stands in.
class IChatTabHost {
public:
    virtual void OnSendRequest(CChatTabPan* pane) = 0;
    // stopped: 0 while the user types, 1 when typing has stopped.
    virtual void OnTypingChanged(CChatTabPan* pane, int stopped) = 0;
    virtual void GetStyle(ITextViewHost::Style* out, int style) = 0;
    virtual void GetSelectionColors(COLORREF* text, COLORREF* background) = 0;

protected:
    ~IChatTabHost() {}
};

// The edit operations of the chat menu and their availability.
enum ChatEditOp { ChatEditCut = 0, ChatEditCopy, ChatEditPaste, ChatEditQuote, ChatEditQuoteLast, ChatEditClear };

class CChatTabPan final : public UI::CZELWMUI_TabPan, private IChatLogHost {
public:
    enum { TIMER_TYPING = 5000, TypingIdleMs = 3000, SendButtonDip = 40, LogRoomDip = 20 };

    // Makes the pane's (empty) window as a child of parent; null when it could not be made.
    static CChatTabPan* CreateEmpty(HWND parent, MessageWindowSettings* settings, IChatTabHost* host);
    ~CChatTabPan() override;

    // The text to send: false when the composer is empty or holds only a final line break.
    bool GetComposerText(CZELString& out) const;
    void ClearComposer();
    // Replaces the composer's selection with text; counts as typing.
    void InsertText(const wchar_t* text) override;
    // The first text code of smiley n of the pack in use; nothing for a smiley without codes.
    void InsertSmiley(int n);
    void PasteText();
    bool CanEdit(int op) const;
    void DoEdit(int op);
    // A settings page was saved: 0 lays the log out again, 1 gives the composer the edit font.
    void OnSettingsChanged(int page);

    int GetComposerHeight() const { return composerHeight; }
    int GetLineLimit() const { return lineLimit; }
    CImageButton* SendButton() const { return sendButton; }

    // The conversation's log view and composer (owned), and the entries as they were added.
    CChatLogView* log;
    HWND composer;
    CZELArray<ChatLogEntry> entries;

protected:
    void OnWindowPosChanged(WINDOWPOS* position) override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCommand(WORD notifyCode, WORD id, HWND control) override;
    void OnTimer(UINT_PTR id, TIMERPROC procedure) override;
    void OnChar(wchar_t character, LPARAM keyData) override;
    void OnSetFocus(HWND previous) override;
    HBRUSH OnCtlColor(HDC dc, HWND control) override;
    HBRUSH GetBkBrush() override;
    void OnInitDialog() override;

private:
    CChatTabPan(MessageWindowSettings* settings, IChatTabHost* host);

    void GetStyle(ITextViewHost::Style* out, int style) override;
    void GetSelectionColors(COLORREF* text, COLORREF* background) override;
    MessageWindowSettings* GetSettings() override { return settings; }

    void ApplyEditFont();
    void FitComposer();
    void Layout();
    void Typing();
    void TypingStopped();
    void ShowComposerMenu(int x, int y);
    // The arrows and Tab at the composer's edges; true when the key was used.
    bool ComposerKey(int key);
    static LRESULT CALLBACK ComposerProc(HWND composer, UINT message, WPARAM wParam, LPARAM lParam);

    CImageButton* sendButton;
    int composerHeight;
    int lineHeight;
    int lineCount;
    int lineLimit;
    bool scrolls;
    MessageWindowSettings* settings;
    IChatTabHost* host;
};
