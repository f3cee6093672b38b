// The bubble window of the shell's notifications (internal to the layer): one at a time, topmost,
// never active, at the bottom right of the work area, sized to its content.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace NotificationBubble {

struct Key {
    std::wstring title;
    DWORD command;
};

struct Content {
    HICON icon = nullptr;
    std::wstring title;
    std::wstring html;
    HWND sink = nullptr;
    std::vector<Key> keys;
};

// Shows the content, making the window when none stands.
void Show(const Content& content);
void SetIcon(HICON icon);
void Hide();
HWND Window();
// Posts the key's command to the sink, as a click on it does; false without such a key.
bool PressKey(int index);

}  // namespace NotificationBubble
