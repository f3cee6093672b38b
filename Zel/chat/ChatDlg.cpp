#include "Zel/chat/ChatDlg.h"

#include <new>

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
    if (current == -1) visible = false;
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
}

const CChatDlg::Tab* CChatDlg::FindTab(int contact) const
{
    auto found = tabs.find(contact);
    return found == tabs.end() ? nullptr : &found->second;
}

CChatDlg* CreateChatWindow(IChatWindowCallback* callback)
{
    return new (std::nothrow) CChatDlg(callback);
}
