// MessageHistoryDialog: a contact's whole stored history in a chat log, searched with a find bar,
// reloaded, deleted or saved as UTF-8 text. It scrolls with the volume keys while it is open and
// hands the keys back to whatever had them when it closes.
#pragma once

#include "Zel/chat/ChatLogView.h"
#include "Zel/core/history/HistoryFile.h"
#include "ZELCommon/ZELWMUI_BigDlg.h"

#include <string>

// What the dialog needs from the program around it: the information bubble and a file name to save
// to (the file browser's place).
class IHistoryDialogServices {
public:
    virtual void ShowInfo(const CZELString& text) = 0;
    // True with a path chosen; false when the user cancelled.
    virtual bool ChooseSaveFile(HWND owner, const wchar_t* filter, std::wstring& path) = 0;

protected:
    ~IHistoryDialogServices() {}
};

class MessageHistoryDialog : public UI::CZELWMUI_BigDlg, private IChatLogHost {
public:
    enum { IdFindLabel = 1066, IdFindText = 1056, IdFindGo = 1019, IdWholeWord = 1064, IdWholeWordLabel = 1119,
           IdMatchCase = 1065, IdMatchCaseLabel = 1120 };
    enum MenuId { MenuTotal = 0, MenuRefresh, MenuDelete, MenuSaveAs, MenuClose };

    MessageHistoryDialog(int contact, IChatLogHost* chatHost, IHistoryDialogServices* services,
                         const HistoryPlace& place = HistoryPlace());
    ~MessageHistoryDialog() override;

    void Reload();
    void ToggleFindBar();
    bool IsFindBarShown() const { return findBarShown; }
    // Searches the log for the find bar's text; a miss is told with the information bubble.
    void FindNext();
    void ShowMenu();
    // Writes the log's text after a byte-order mark; false when the file could not be written.
    bool SaveAs(const std::wstring& path);
    CChatLogView* Log() const { return log; }

    void OnInitDialog() override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCommand(WORD notifyCode, WORD id, HWND control) override;
    void OnScreenSizeChanged() override;
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;

private:
    void GetStyle(ITextViewHost::Style* out, int style) override { chatHost->GetStyle(out, style); }
    void GetSelectionColors(COLORREF* text, COLORREF* background) override
    {
        chatHost->GetSelectionColors(text, background);
    }
    MessageWindowSettings* GetSettings() override { return chatHost->GetSettings(); }
    void InsertText(const wchar_t*) override {}

    int contact;
    IChatLogHost* chatHost;
    IHistoryDialogServices* services;
    HistoryPlace place;
    CChatLogView* log;
    bool findBarShown;
    bool tookScrollKeys;
    HWND previousScrollTarget;
};

// Runs the history of the contact modally over parent.
void RunChatSubDialog(IChatLogHost* chatHost, HWND parent, int contact, IHistoryDialogServices* services);

// The program's own services for the dialog: the bubble through the main window, and the system's
// save-file dialog until the program's file browser takes its place.
IHistoryDialogServices* ProgramHistoryServices();
// "Message history" of the contact menu and the chat menu: the dialog over parent, with the chat
// window's fonts and colours.
void ShowMessageHistory(HWND parent, int contact);
