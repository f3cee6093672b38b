#include "Zel/chat/ChatDlg.h"

#include <new>

namespace {
const wchar_t kChatWindowClass[] = L"ZELChatWindow";
}

CChatDlg::~CChatDlg()
{
    if (window) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
}

LRESULT CALLBACK CChatDlg::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CChatDlg* self = reinterpret_cast<CChatDlg*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_CLOSE) {
        // Closing only hides: the conversations stay for the next showing.
        if (self) self->Show(false);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool CChatDlg::Create(HWND owner)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    if (!GetClassInfoW(instance, kChatWindowClass, &windowClass)) {
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = kChatWindowClass;
        if (!RegisterClassW(&windowClass)) return false;
    }
    RECT area = {0, 0, 240, 320};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    window = CreateWindowExW(0, kChatWindowClass, L"Messages", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                             area.left, area.top, area.right - area.left, area.bottom - area.top, owner, nullptr,
                             instance, nullptr);
    if (!window) return false;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

bool CChatDlg::IsInFront(int contact) const
{
    return visible && current == contact && window && IsWindowVisible(window) && GetForegroundWindow() == window;
}

void CChatDlg::OpenTab(int contact, const CZELString& caption, const CZELArray<int>& icons)
{
    Tab& tab = tabs[contact];
    tab.caption = caption;
    tab.icons = icons;
    current = contact;
}

void CChatDlg::ShowTab(int contact)
{
    if (HasTab(contact)) current = contact;
}

void CChatDlg::CloseTab(int contact)
{
    tabs.erase(contact);
    if (current == contact) current = tabs.empty() ? -1 : tabs.begin()->first;
    if (current == -1) Show(false);
}

void CChatDlg::SetTabCaption(int contact, const CZELString& caption)
{
    auto found = tabs.find(contact);
    if (found != tabs.end()) found->second.caption = caption;
}

void CChatDlg::SetTabIcons(int contact, const CZELArray<int>& icons)
{
    auto found = tabs.find(contact);
    if (found != tabs.end()) found->second.icons = icons;
}

void CChatDlg::Arrived(int contact, int image)
{
    if (visible && current == contact) {
        if (callback) callback->OnMessagesSeen(this, contact);
    } else {
        tabs[contact].alert = image;
    }
}

void CChatDlg::AddMessage(int contact, const ChatLogEntry& entry)
{
    auto found = tabs.find(contact);
    if (found == tabs.end()) return;
    found->second.entries.Add(entry);
    Arrived(contact, entry.kind);
}

void CChatDlg::AddMessages(int contact, const CZELArray<ChatLogEntry>& entries)
{
    auto found = tabs.find(contact);
    if (found == tabs.end() || entries.GetCount() == 0) return;
    for (int i = 0; i < entries.GetCount(); ++i) found->second.entries.Add(entries[i]);
    Arrived(contact, entries[0].kind);
}

void CChatDlg::MarkMessageAcked(int contact, const ChatAck& ack)
{
    auto found = tabs.find(contact);
    if (found == tabs.end()) return;
    CZELArray<ChatLogEntry>& entries = found->second.entries;
    for (int i = entries.GetCount() - 1; i >= 0; --i) {
        if (entries[i].messageNumber == ack.messageNumber && entries[i].direction == ChatLineOutgoing) {
            entries[i].kind = ack.image;
            return;
        }
    }
}

void CChatDlg::Show(bool show)
{
    if (show && current == -1) return;
    visible = show;
    if (!window) return;
    if (show) {
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
    } else {
        ShowWindow(window, SW_HIDE);
    }
}

const CChatDlg::Tab* CChatDlg::FindTab(int contact) const
{
    auto found = tabs.find(contact);
    return found == tabs.end() ? nullptr : &found->second;
}

CChatDlg* CreateChatWindow(IChatWindowCallback* callback, HWND owner)
{
    CChatDlg* chat = new (std::nothrow) CChatDlg(callback);
    if (chat) chat->Create(owner);
    return chat;
}
