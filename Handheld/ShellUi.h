// Our layer in place of the handheld shell's user-interface calls. On the device the shell keeps a
// title strip across the top of the screen and a soft-key menu bar across the bottom; here both
// belong to the window that asks for them, and the owner's client area plays the screen:
// - SHInitDialog gives a dialog a title strip above its client area, showing the dialog's text and,
//   when asked, a done ("OK") or cancel ("Cancel") button that sends WM_COMMAND IDOK or IDCANCEL.
//   With SHIDIF_SIZEDLGFULLSCREEN the dialog loses its own caption and frame and fills its
//   owner's client area (the work area when it has no owner).
// - SHCreateMenuBar makes the soft-key bar from a menu resource: a child window along the bottom
//   of its parent's client area, one key for each of the menu's first two top-level items, with
//   the item's text as caption. A key whose item holds a sub-menu opens it above the key; any other
//   sends WM_COMMAND (item identifier, BN_CLICKED, bar) to the parent. The bar answers the toolbar
//   messages TB_BUTTONCOUNT, TB_GETBUTTON, TB_GETBUTTONINFO, TB_SETBUTTONINFO (TBIF_TEXT and
//   TBIF_STATE, by command or with TBIF_BYINDEX) and TB_ENABLEBUTTON with TBBUTTON and
//   TBBUTTONINFOW records. The parent's own painting never covers the bar.
// - SHHandleWMActivate and SHHandleWMSettingChange keep the window's activation record; a screen
//   change (SPI_SETSIPINFO, SETTINGCHANGE_RESET) fits a full-screen dialog to its owner again.
// There is no input panel on a desktop, so SHIDIF_SIPDOWN and SHCMBF_HIDESIPBUTTON are accepted
// and change nothing. User-interface thread only.
#pragma once

#include "Handheld/HandheldApi.h"

#include <windows.h>

// SHINITDLGINFO.mask: the flags field is valid.
const DWORD SHIDIM_FLAGS = 0x0001;
// SHINITDLGINFO.flags.
const DWORD SHIDIF_DONEBUTTON = 0x0001;
const DWORD SHIDIF_SIZEDLGFULLSCREEN = 0x0004;
const DWORD SHIDIF_SIPDOWN = 0x0008;
const DWORD SHIDIF_CANCELBUTTON = 0x0080;

// SHMENUBARINFO.flags.
const DWORD SHCMBF_HIDESIPBUTTON = 0x0004;
const DWORD SHCMBF_HMENU = 0x0010;  // menuId names a MENU resource in resourceModule

// SHFullScreen flags.
const DWORD SHFS_SHOWTASKBAR = 0x0001;
const DWORD SHFS_HIDETASKBAR = 0x0002;
const DWORD SHFS_SHOWSIPBUTTON = 0x0004;
const DWORD SHFS_HIDESIPBUTTON = 0x0008;
const DWORD SHFS_SHOWSTARTICON = 0x0010;
const DWORD SHFS_HIDESTARTICON = 0x0020;

// What the shell's full-screen calls were asked since the last reset.
struct ShellFullScreenLog {
    int calls;
    HWND lastWindow;
    DWORD lastFlags;
    BOOL taskBarHidden;  // as the flags left it
};

// WM_SETTINGCHANGE codes that mean the usable screen changed.
const WPARAM SPI_SETSIPINFO = 0xE0;
const WPARAM SETTINGCHANGE_RESET = 0x3002;

// SHRGINFO.flags.
const DWORD SHRG_RETURNCMD = 0x0001;
const DWORD SHRG_LONGDELAY = 0x0008;
// SHRecognizeGesture's answer for a tap held down (never given here).
const DWORD GN_CONTEXTMENU = 1000;

struct SHRGINFO {
    DWORD size;  // sizeof(SHRGINFO)
    HWND window;
    POINT point;
    DWORD flags;
};

struct SHINITDLGINFO {
    DWORD mask;
    HWND dialog;
    DWORD flags;
};

struct SHMENUBARINFO {
    DWORD size;  // sizeof(SHMENUBARINFO)
    HWND parent;
    DWORD flags;
    UINT menuId;
    HINSTANCE resourceModule;
    int bitmapId;     // key images: not drawn by this layer
    int bitmapCount;
    HWND bar;         // out: the bar window
    COLORREF background;
};

// Kept by each window that asks for it and handed to SHHandleWMActivate/SHHandleWMSettingChange.
struct SHACTIVATEINFO {
    DWORD size;      // sizeof(SHACTIVATEINFO)
    HWND lastFocus;  // the window's focused descendant when it was last deactivated
    UINT sipUp : 1;
    UINT sipOnDeactivation : 1;
    UINT active : 1;
    UINT reserved : 29;
};

extern "C" {
// FALSE (ERROR_INVALID_PARAMETER) for a missing record or a dialog that is not a window.
HANDHELD_API BOOL WINAPI SHInitDialog(SHINITDLGINFO* info);
// FALSE for a bad record or parent (ERROR_INVALID_PARAMETER), a bar that is not made from a menu
// (ERROR_NOT_SUPPORTED), or a menu that cannot be loaded; info->bar is set only on success.
HANDHELD_API BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* info);
// Call on WM_ACTIVATE: records whether the window is active and, as it loses activation, its
// focused descendant. FALSE for a missing or wrongly sized record.
HANDHELD_API BOOL WINAPI SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info,
                                            DWORD flags);
// Call on WM_SETTINGCHANGE. FALSE for a missing or wrongly sized record.
HANDHELD_API BOOL WINAPI SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info);
// Registers the shell's extra controls; there are none on a desktop beyond the common ones.
HANDHELD_API BOOL WINAPI SHInitExtraControls(void);
// Hides or shows the task bar, input-panel button and start icon for a window that goes full
// screen. A desktop window's frame is its own: the request is kept (ShellGetFullScreenLog).
HANDHELD_API BOOL WINAPI SHFullScreen(HWND window, DWORD flags);
// Watches a stylus press for a hold. A desktop has no hold: the right button gives WM_CONTEXTMENU
// by itself, so the answer is always 0 (no gesture).
HANDHELD_API DWORD WINAPI SHRecognizeGesture(SHRGINFO* info);
HANDHELD_API void ShellGetFullScreenLog(ShellFullScreenLog* log);
HANDHELD_API void ShellResetFullScreenLog(void);
}
