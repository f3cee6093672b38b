// CContactListCtrl: the scrolling contact list in the middle of the main window. This build has no
// list yet: the control is a child window painted with the skin's background, it has no selection
// (so the right soft key stays off), and it keeps the new-message marks the application gives it.
#pragma once

#include "ZELCommon/ZELWMUI_Wnd.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <map>

// What the contact list asks of the application, in slot order.
class IContactListCallbacks {
public:
    // Any thread: the selection or the soft-key text changed.
    virtual void PostWake() = 0;
    virtual void OpenChat(int contact) = 0;
    virtual void ShowChatWindow() = 0;
    virtual void UpdateTopPanel(int value) = 0;

protected:
    ~IContactListCallbacks() {}
};

class CContactListCtrl : public UI::CZELWMUI_Wnd {
public:
    explicit CContactListCtrl(IContactListCallbacks* owner) : owner(owner) {}

    // Whether the list shows the contact: a contact of the contact-list data.
    bool HasContact(int contact);
    // The contact has a new message (number, picture) / its messages were seen.
    void MarkNewMessage(int contact, int messageNumber, int image);
    void RemoveNewMessage(int contact);
    // The count of unread messages the list holds for the contact.
    int UnreadCount(int contact) const;
    // The selected item's soft-key text; empty without a selection.
    CZELString GetSoftKeyText() const { return CZELString(); }
    // The selected item shows its menu; nothing without a selection.
    void ShowSelectedItemMenu(HWND owner, const RECT& rect, const POINT& anchor, int alignment) {}
    void OnOptionChanged(int code) {}

    HBRUSH GetBkBrush() override;
    COLORREF GetTextColor() override;

private:
    IContactListCallbacks* owner;
    std::map<int, int> unread;  // contact -> unread messages
};
