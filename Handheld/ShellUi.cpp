#include "Handheld/ShellUi.h"

#include "Handheld/ShellFrame.h"
#include "Handheld/SoftKeyBar.h"

BOOL WINAPI SHInitDialog(SHINITDLGINFO* info)
{
    if (!info || !IsWindow(info->dialog)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HWND dialog = info->dialog;
    DWORD flags = (info->mask & SHIDIM_FLAGS) ? info->flags : 0;
    ShellFrame::State* state = ShellFrame::Attach(dialog);
    if (!state) return FALSE;
    state->titleStrip = true;
    state->button = (flags & SHIDIF_DONEBUTTON) ? IDOK : (flags & SHIDIF_CANCELBUTTON) ? IDCANCEL : 0;
    if (flags & SHIDIF_SIZEDLGFULLSCREEN) {
        state->fullScreen = true;
        // The title strip takes the place of the dialog's own caption and frame.
        LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
        SetWindowLongPtrW(dialog, GWL_STYLE, style & ~(LONG_PTR)(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU));
        LONG_PTR extended = GetWindowLongPtrW(dialog, GWL_EXSTYLE);
        SetWindowLongPtrW(dialog, GWL_EXSTYLE, extended & ~(LONG_PTR)(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE));
        ShellFrame::FitToOwner(dialog);
    } else {
        SetWindowPos(dialog, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    return TRUE;
}

BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* info)
{
    if (!info || info->size != sizeof(SHMENUBARINFO) || !IsWindow(info->parent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(info->flags & SHCMBF_HMENU)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    HMENU menu = LoadMenuW(info->resourceModule, MAKEINTRESOURCEW(info->menuId));
    if (!menu) return FALSE;
    ShellFrame::State* state = ShellFrame::Attach(info->parent);
    if (!state) {
        DestroyMenu(menu);
        return FALSE;
    }
    HWND bar = SoftKeyBar::Create(info->parent, menu);
    if (!bar) return FALSE;
    state->bar = bar;
    ShellFrame::PlaceBar(info->parent, *state);
    info->bar = bar;
    return TRUE;
}

BOOL WINAPI SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM, SHACTIVATEINFO* info, DWORD)
{
    if (!info || info->size != sizeof(SHACTIVATEINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (LOWORD(wParam) == WA_INACTIVE) {
        info->active = 0;
        HWND focus = GetFocus();
        if (focus && (focus == window || IsChild(window, focus))) info->lastFocus = focus;
    } else {
        info->active = 1;
    }
    return TRUE;
}

BOOL WINAPI SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM, SHACTIVATEINFO* info)
{
    if (!info || info->size != sizeof(SHACTIVATEINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (wParam == SPI_SETSIPINFO || wParam == SETTINGCHANGE_RESET) {
        ShellFrame::State* state = ShellFrame::Find(window);
        if (state && state->fullScreen) ShellFrame::FitToOwner(window);
    }
    return TRUE;
}

BOOL WINAPI SHInitExtraControls(void)
{
    return TRUE;
}

namespace {

SRWLOCK g_fullScreenLock = SRWLOCK_INIT;
ShellFullScreenLog g_fullScreen = {};

}  // namespace

DWORD WINAPI SHRecognizeGesture(SHRGINFO*)
{
    return 0;
}

BOOL WINAPI SHFullScreen(HWND window, DWORD flags)
{
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    AcquireSRWLockExclusive(&g_fullScreenLock);
    ++g_fullScreen.calls;
    g_fullScreen.lastWindow = window;
    g_fullScreen.lastFlags = flags;
    if (flags & SHFS_HIDETASKBAR) g_fullScreen.taskBarHidden = TRUE;
    if (flags & SHFS_SHOWTASKBAR) g_fullScreen.taskBarHidden = FALSE;
    ReleaseSRWLockExclusive(&g_fullScreenLock);
    return TRUE;
}

void ShellGetFullScreenLog(ShellFullScreenLog* log)
{
    if (!log) return;
    AcquireSRWLockShared(&g_fullScreenLock);
    *log = g_fullScreen;
    ReleaseSRWLockShared(&g_fullScreenLock);
}

void ShellResetFullScreenLog(void)
{
    AcquireSRWLockExclusive(&g_fullScreenLock);
    g_fullScreen = ShellFullScreenLog();
    ReleaseSRWLockExclusive(&g_fullScreenLock);
}
