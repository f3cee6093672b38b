#include "Zel/chat/KeyboardScrollHook.h"

namespace {

HWND target = nullptr;
HHOOK hook = nullptr;
// After the key 0x5C the next F6 is left alone once.
bool passNext = false;

const DWORD kPassKey = 0x5C;

}  // namespace

HWND KeyboardScrollHook::SetTarget(HWND window)
{
    HWND previous = target;
    target = window;
    if (window && !hook) Install();
    else if (!window && hook) Uninstall();
    return previous;
}

HWND KeyboardScrollHook::GetTarget() { return target; }

bool KeyboardScrollHook::IsInstalled() { return hook != nullptr; }

bool KeyboardScrollHook::Install()
{
    hook = SetWindowsHookExW(WH_KEYBOARD_LL, HookProc, GetModuleHandleW(nullptr), 0);
    return hook != nullptr;
}

void KeyboardScrollHook::Uninstall()
{
    if (hook) UnhookWindowsHookEx(hook);
    hook = nullptr;
    passNext = false;
}

LRESULT CALLBACK KeyboardScrollHook::HookProc(int code, WPARAM message, LPARAM event)
{
    if (code == HC_ACTION && target && IsWindow(target) && IsWindowVisible(target) && message == WM_KEYDOWN) {
        const KBDLLHOOKSTRUCT* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(event);
        switch (key->vkCode) {
        case kPassKey:
            passNext = true;
            break;
        case VK_F6:
            if (passNext) {
                passNext = false;
                break;
            }
            SendMessageW(target, WM_VSCROLL, SB_LINEUP, 0);
            return 1;
        case VK_F7:
            SendMessageW(target, WM_VSCROLL, SB_LINEDOWN, 0);
            return 1;
        }
    }
    return CallNextHookEx(hook, code, message, event);
}
