// IChatLogHost: what a chat log asks of its owner (the chat window's tab, the history dialog).
#pragma once

#include "Zel/chat/TextView.h"

class MessageWindowSettings;

// The owner of a log: the chat tab pane or the history dialog.
class IChatLogHost {
public:
    virtual void GetStyle(ITextViewHost::Style* out, int style) = 0;
    virtual void GetSelectionColors(COLORREF* text, COLORREF* background) = 0;
    virtual MessageWindowSettings* GetSettings() = 0;
    virtual void InsertText(const wchar_t* text) = 0;

protected:
    ~IChatLogHost() {}
};
