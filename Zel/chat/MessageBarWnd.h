// CMessageBarWnd: the strip under the chat window's tabs: the recent-smilies picker on the left and
// up to two picture buttons on the right (smilies, send), as the settings say. It passes the focus
// among its children with the device's keys and tells its observer what was picked or tapped.
//
// The picker is the recent-smilies strip of the pack in use; its picks reach the observer through
// OnPickerItem.
#pragma once

#include "Zel/chat/GridPickerWnd.h"
#include "Zel/shell/helpers/ImageButton.h"
#include "ZELCommon/ZELWMUI_Wnd.h"

class CMessageBarWnd;
class MessageWindowSettings;

class IMessageBarObserver {
public:
    virtual void OnPickerItem(CMessageBarWnd* bar, int item) = 0;
    virtual void OnSmiliesButton(CMessageBarWnd* bar) = 0;
    virtual void OnSendButton(CMessageBarWnd* bar) = 0;

protected:
    ~IMessageBarObserver() {}
};

class CMessageBarWnd : public UI::CZELWMUI_Wnd, private IGridPickerObserver {
public:
    CMessageBarWnd(MessageWindowSettings* settings, IMessageBarObserver* observer);
    ~CMessageBarWnd() override;

    // Places the children for the client size and the settings' buttons.
    void Layout();
    // What the picker reports.
    void OnPickerItem(int item);

    HWND Picker() const { return picker ? HWND(*picker) : nullptr; }
    // The recent-smilies strip; null when it could not be made.
    CGridPickerWnd* Strip() const { return picker; }
    HWND SmiliesButton() const { return smilies ? HWND(*smilies) : nullptr; }
    HWND SendButton() const { return send ? HWND(*send) : nullptr; }
    // The width of a button: 40 pixels at 96 dpi.
    static int ButtonWidth();

    void OnCreate() override;
    void OnWindowPosChanged(WINDOWPOS* position) override { Layout(); }
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCommand(WORD notifyCode, WORD id, HWND control) override;
    void OnChar(wchar_t character, LPARAM keyData) override;
    void OnSetFocus(HWND previous) override;
    HBRUSH GetBkBrush() override;

private:
    MessageWindowSettings* settings;
    IMessageBarObserver* observer;
    void OnSmileyPicked(CGridPickerWnd*, int smiley) override { OnPickerItem(smiley); }

    CGridPickerWnd* picker;
    CImageButton* smilies;
    CImageButton* send;
};

CMessageBarWnd* CreateMessageBar(HWND parent, const RECT& rect, MessageWindowSettings* settings,
                                 IMessageBarObserver* observer);
