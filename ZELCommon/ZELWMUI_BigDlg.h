// UI::CZELWMUI_BigDlg: the handheld's full-screen dialog. At start it asks the shell to fill the
// screen with it and to show a title-strip button, builds a two-key soft-key bar from the library's
// own menu, and routes the soft keys and the title-strip button to its virtual operations:
// - the done button (GetCommandButton 1) commits through OnCommandButton, which ends with IDOK
//   after the data exchange accepts;
// - the cancel button (GetCommandButton 0) goes to OnCommandButton too, which ends with IDCANCEL
//   and no data exchange;
// - IDOK from elsewhere ends with IDOK when the data exchange accepts, IDCANCEL ends at once.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELString.h"
#include "ZELCommon/ZELWMUI_Dlg.h"
#include "Handheld/ShellUi.h"

#include <windows.h>

namespace UI {

class ZELCOMMON_API CZELWMUI_BigDlg : public CZELWMUI_Dlg {
public:
    enum TSoftKey { SoftKeyLeft = 0, SoftKeyRight = 1 };
    // Any other value: no title-strip button.
    enum TCommandButton { CommandCancel = 0, CommandDone = 1, CommandNone = 2 };

    CZELWMUI_BigDlg();

    // The soft-key bar, null when it could not be made.
    HWND Menu() const { return menuBar; }
    // The client area above the soft-key bar, which stands inside it: where the content goes.
    RECT ClientAboveBar() const;
    // Captions of both keys from GetSoftKeyCap (empty where it gives none); nothing without a bar.
    void SetSoftKeys();

    // Command identifier of the bar's key, or -1 when the bar has no such key.
    static int GetSoftKeyId(HWND bar, TSoftKey key);
    static void SetSoftKeyCap(HWND bar, int commandId, const wchar_t* text);

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCommand(WORD notifyCode, WORD id, HWND control) override;
    // Full screen (the controls squeezed sideways where the template is wider than the screen),
    // title-strip button, soft-key bar, captions. Derived dialogs call it first.
    void OnInitDialog() override;

    // Slots 26-31.
    virtual void OnScreenSizeChanged();
    virtual void OnActivate(WORD state, int minimized, HWND other);
    // Non-zero when caption was given for the key.
    virtual int GetSoftKeyCap(TSoftKey key, CZELString& caption);
    virtual void OnSoftKey(TSoftKey key);
    virtual TCommandButton GetCommandButton();
    // The title-strip button: the cancel button ends with IDCANCEL, the done button with IDOK
    // (through the data exchange).
    virtual void OnCommandButton();

protected:
    HWND menuBar;
    SHACTIVATEINFO activateInfo;
};

// The client area of window above its soft-key bar, which stands inside that area (bar may be
// null). By the bar's style: while window itself is still hidden, the bar counts as shown.
ZELCOMMON_API RECT ClientAboveBar(HWND window, HWND bar);

// SHInitDialog flags for a title-strip button choice.
ZELCOMMON_API DWORD FullScreenDialogFlags(int commandButton);

}  // namespace UI
