// KeyboardScrollHook: while the chat window or the history dialog is shown, the device's volume keys
// (F6 up, F7 down) scroll its log. A low-level keyboard hook turns their key-downs into line scrolls
// sent to one target window, and lets every key pass while the target is hidden or gone.
#pragma once

#include <windows.h>

class KeyboardScrollHook {
public:
    // Stores the target and returns the previous one; a target installs the hook, none removes it.
    static HWND SetTarget(HWND target);
    static HWND GetTarget();
    static bool IsInstalled();

private:
    static bool Install();
    static void Uninstall();
    static LRESULT CALLBACK HookProc(int code, WPARAM message, LPARAM event);
};
