#include "Zel/chat/ChatDlg.h"

#include "Zel/chat/ChatLogView.h"
#include "Zel/chat/AnimatedPictureWnd.h"
#include "Zel/chat/KeyboardScrollHook.h"
#include "Zel/chat/MessageHistoryDialog.h"
#include "Zel/chat/SmileyDialog.h"
#include "Zel/chat/SmileyPack.h"
#include "Zel/shell/helpers/ClipboardHelpers.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/skin/ColorScheme.h"

#include <new>

#include "Zel/chat/log/ComposerText.h"

#include <algorithm>
#include <windowsx.h>
#include <string>

namespace {
const wchar_t kChatWindowClass[] = L"ZELChatWindow";
// The edit class's own procedure, shared by every composer.
WNDPROC editProc = nullptr;
}

CChatDlg::CChatDlg(IChatWindowCallback* callback)
    : callback(callback), visible(false), current(-1), window(nullptr)
{
}

CChatDlg::~CChatDlg()
{
    if (window && KeyboardScrollHook::GetTarget() == window) KeyboardScrollHook::SetTarget(nullptr);
    for (auto& tab : tabs) {
        delete tab.second.log;
        if (tab.second.composer) DestroyWindow(tab.second.composer);
    }
    delete bar;
    bar = nullptr;
    tabs.clear();
    if (window) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
}

LRESULT CALLBACK CChatDlg::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CChatDlg* self = reinterpret_cast<CChatDlg*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_SIZE && self) {
        self->LayOutLogs();
        return 0;
    }
    if (message == WM_COMMAND && self && HIWORD(wParam) == EN_UPDATE) {
        // Every change reports typing; the timer reports the stop after a quiet spell.
        self->TypingChanged(0);
        SetTimer(hwnd, TIMER_TYPING, TypingIdleMs, nullptr);
        self->LayOutLogs();
        return 0;
    }
    if (message == WM_TIMER && self && wParam == TIMER_TYPING) {
        KillTimer(hwnd, TIMER_TYPING);
        self->TypingChanged(1);
        return 0;
    }
    if (message == WM_VSCROLL && self) {
        // The volume keys scroll the current conversation.
        auto found = self->tabs.find(self->current);
        if (found != self->tabs.end() && found->second.log) SendMessageW(*found->second.log, WM_VSCROLL, wParam, lParam);
        return 0;
    }
    if (message == CGuiResources::WM_SMILEY_PACK_LOADED && self) {
        if (self->bar && self->bar->Strip()) self->bar->Strip()->Fill();
        return 0;
    }
    if (message == WM_ACTIVATE && self && LOWORD(wParam) != WA_INACTIVE && self->visible) {
        // Coming to the front shows the current conversation's new messages.
        self->MessagesSeen();
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
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
    settings.reset(new MessageWindowSettings(SettingsStoreService, [](int number) { return GuiText(number); }));
    CreateFonts();
    if (settings->volumeForScroll) KeyboardScrollHook::SetTarget(window);
    if (settings->showBar) {
        RECT client;
        GetClientRect(window, &client);
        client.top = client.bottom - GetBottomBarHeight();
        bar = CreateMessageBar(window, client, settings.get(), this);
    }
    return true;
}

void CChatDlg::CreateFonts()
{
    settings->DeleteFonts();
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    auto make = [dpi](LOGFONTW font) {
        int h = font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
        h = (h * dpi + 48) / 96;
        font.lfHeight = font.lfHeight < 0 ? -h : h;
        return CreateFontIndirectW(&font);
    };
    settings->headFont = make(settings->headLogFont);
    settings->subheadFont = make(settings->subheadLogFont);
    settings->textFont = make(settings->textLogFont);
    LOGFONTW link = settings->textLogFont;
    link.lfUnderline = 1;
    settings->linkFont = make(link);
    settings->editFont = make(settings->editLogFont);
}

void CChatDlg::GetStyle(ITextViewHost::Style* out, int style)
{
    MessageWindowSettings* s = settings.get();
    switch (style) {
    case 1: *out = {s->headFont, GetSchemeColor(12)}; break;
    case 2: *out = {s->headFont, GetSchemeColor(13)}; break;
    case 3: *out = {s->subheadFont, GetSchemeColor(12)}; break;
    case 4: *out = {s->subheadFont, GetSchemeColor(13)}; break;
    case 5: *out = {s->headFont, GetSchemeColor(16)}; break;
    case 6: *out = {s->subheadFont, GetSchemeColor(16)}; break;
    case 8: *out = {s->textFont, GetSchemeColor(15)}; break;
    case 9: *out = {s->linkFont, GetSchemeColor(19)}; break;
    default: *out = {s->textFont, GetSchemeColor(14)}; break;
    }
}

void CChatDlg::GetSelectionColors(COLORREF* text, COLORREF* background)
{
    *text = GetSchemeColor(18);
    *background = GetSchemeColor(17);
}

int CChatDlg::ComposerHeight(HWND composer) const
{
    // As many lines as typed, up to the settings' limit; then the composer scrolls.
    HDC dc = GetDC(composer);
    HGDIOBJ old = SelectObject(dc, settings->editFont);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(composer, dc);
    int line = metrics.tmHeight + metrics.tmExternalLeading;
    int lines = int(SendMessageW(composer, EM_GETLINECOUNT, 0, 0));
    lines = std::min(std::max(lines, 1), settings->maxLines);
    return 2 * GetSystemMetrics(SM_CYBORDER) + line / 2 + lines * line;
}

int CChatDlg::GetBottomBarHeight() const
{
    return settings && settings->showBar ? (g_HIDPI_LogPixelsY * 25 + 48) / 96 : 0;
}

void CChatDlg::LayOutLogs()
{
    if (!window) return;
    RECT client;
    GetClientRect(window, &client);
    if (bar) {
        int barHeight = GetBottomBarHeight();
        MoveWindow(*bar, 0, client.bottom - barHeight, client.right, barHeight, TRUE);
        client.bottom -= barHeight;
    }
    for (auto& tab : tabs) {
        bool shown = tab.first == current;
        int composerHeight = 0;
        if (tab.second.composer) {
            composerHeight = std::min(ComposerHeight(tab.second.composer), std::max(0, int(client.bottom) - 20));
            MoveWindow(tab.second.composer, 0, client.bottom - composerHeight, client.right, composerHeight, TRUE);
            ShowWindow(tab.second.composer, shown ? SW_SHOW : SW_HIDE);
        }
        if (tab.second.log) {
            MoveWindow(*tab.second.log, 0, 0, client.right, client.bottom - composerHeight + 1, TRUE);
            ShowWindow(*tab.second.log, shown ? SW_SHOW : SW_HIDE);
        }
    }
}

void CChatDlg::TypingChanged(int stopped)
{
    if (callback && current != -1 && settings && settings->typingNotify) callback->SetTyping(this, current, stopped);
}

void CChatDlg::SendCurrentMessage()
{
    auto found = tabs.find(current);
    if (found == tabs.end() || !found->second.composer) return;
    HWND composer = found->second.composer;
    int length = GetWindowTextLengthW(composer);
    std::wstring text(size_t(length) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(composer, &text[0], length + 1)));
    std::wstring toSend;
    if (!ComposerTextToSend(text, toSend) || !callback) return;
    if (callback->SendMessageToContact(this, current, CZELString(toSend.c_str(), int(toSend.size())))) {
        SetWindowTextW(composer, L"");
        LayOutLogs();
    }
}

LRESULT CALLBACK CChatDlg::ComposerProc(HWND composer, UINT message, WPARAM wParam, LPARAM lParam)
{
    CChatDlg* self = reinterpret_cast<CChatDlg*>(GetWindowLongPtrW(composer, GWLP_USERDATA));
    if (self && message == WM_CHAR) {
        if (wParam == L'\t') return 0;
        if (wParam == L'\r' && self->settings && self->settings->sendOnEnter) {
            self->SendCurrentMessage();
            return 0;
        }
    }
    if (self && message == WM_KEYDOWN && self->ComposerKey(composer, int(wParam))) return 0;
    if (self && message == WM_KILLFOCUS) self->TypingChanged(1);
    if (self && message == WM_CONTEXTMENU) {
        self->ShowComposerMenu(composer, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    }
    return CallWindowProcW(editProc, composer, message, wParam, lParam);
}

bool CChatDlg::ComposerKey(HWND composer, int key)
{
    const int length = GetWindowTextLengthW(composer);
    DWORD from = 0, to = 0;
    SendMessageW(composer, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    POINT at = {};
    int caret = 0;
    if (GetCaretPos(&at)) {
        LRESULT found = SendMessageW(composer, EM_CHARFROMPOS, 0, MAKELPARAM(at.x, at.y));
        caret = found == -1 ? 0 : LOWORD(found);
    }
    // With a selection, the end away from the caret stays where it is.
    const int farEnd = int(from) == caret ? int(to) : int(from);
    const bool selection = to > from;
    auto moveFocus = [&](bool previous) {
        HWND next = GetNextDlgTabItem(window, composer, previous ? TRUE : FALSE);
        if (next && next != composer) SetFocus(next);
    };
    switch (key) {
    case VK_RIGHT:
    case VK_DOWN:
    case VK_TAB:
        if (caret >= length || key == VK_TAB) {
            moveFocus(false);
            return true;
        }
        if (key == VK_DOWN &&
            SendMessageW(composer, EM_LINEFROMCHAR, WPARAM(caret), 0) + 1 == SendMessageW(composer, EM_GETLINECOUNT, 0, 0)) {
            SendMessageW(composer, EM_SETSEL, WPARAM(selection ? farEnd : length), LPARAM(length));
            return true;
        }
        return false;
    case VK_LEFT:
    case VK_UP:
        if (caret == 0) {
            moveFocus(true);
            return true;
        }
        if (key == VK_UP && SendMessageW(composer, EM_LINEFROMCHAR, WPARAM(caret), 0) == 0) {
            SendMessageW(composer, EM_SETSEL, WPARAM(selection ? farEnd : 0), 0);
            return true;
        }
        return false;
    default:
        return false;
    }
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
    if (window && !tab.log) {
        RECT client;
        GetClientRect(window, &client);
        tab.log = CChatLogView::Create(window, client, this);
        tab.composer = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_WANTRETURN |
                                       ES_NOHIDESEL | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, client.right, 20, window,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
        if (tab.composer) {
            // Longer messages than the control's default limit may be written.
            SendMessageW(tab.composer, EM_SETLIMITTEXT, 0xFFFF, 0);
            SendMessageW(tab.composer, WM_SETFONT, WPARAM(settings->editFont), FALSE);
            SetWindowLongPtrW(tab.composer, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            WNDPROC previous = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(tab.composer, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ComposerProc)));
            if (!editProc) editProc = previous;
        }
    }
    current = contact;
    LayOutLogs();
}

void CChatDlg::ShowTab(int contact)
{
    if (HasTab(contact)) {
        current = contact;
        if (visible) MessagesSeen();
    }
    LayOutLogs();
}

void CChatDlg::MessagesSeen()
{
    auto found = tabs.find(current);
    if (found == tabs.end()) return;
    found->second.alert = -1;
    if (callback) callback->OnMessagesSeen(this, current);
}

void CChatDlg::CloseTab(int contact)
{
    auto found = tabs.find(contact);
    if (found != tabs.end()) {
        delete found->second.log;
        if (found->second.composer) DestroyWindow(found->second.composer);
    }
    tabs.erase(contact);
    if (current == contact) current = tabs.empty() ? -1 : tabs.begin()->first;
    if (current == -1) Show(false);
    LayOutLogs();
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
    if (found->second.log) found->second.log->AddEntry(entry);
    Arrived(contact, entry.kind);
}

void CChatDlg::AddMessages(int contact, const CZELArray<ChatLogEntry>& entries)
{
    auto found = tabs.find(contact);
    if (found == tabs.end() || entries.GetCount() == 0) return;
    for (int i = 0; i < entries.GetCount(); ++i) found->second.entries.Add(entries[i]);
    if (found->second.log) found->second.log->AddEntries(entries, false);
    Arrived(contact, entries[0].kind);
}

void CChatDlg::MarkMessageAcked(int contact, const ChatAck& ack)
{
    auto found = tabs.find(contact);
    if (found == tabs.end()) return;
    if (found->second.log) found->second.log->MarkAcked(ack);
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
    // Smilies animate only while someone can see them.
    if (show) AnimatedPictureWnd::StartAnimationTimer();
    else AnimatedPictureWnd::StopAnimationTimer();
    if (show) {
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
        auto found = tabs.find(current);
        if (found != tabs.end() && found->second.composer) SetFocus(found->second.composer);
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

CZELString CChatDlg::GetYourName() const { return settings ? settings->yourName : CZELString(L"I"); }

void CChatDlg::RelayoutLogs()
{
    for (auto& tab : tabs)
        if (tab.second.log) tab.second.log->SmiliesToText();
}

void CChatDlg::RelayoutLogsKeepingSmilies()
{
    for (auto& tab : tabs)
        if (tab.second.log) tab.second.log->Relayout();
}

void CChatDlg::OnPickerItem(CMessageBarWnd*, int smiley)
{
    CZELString code = SmileyPackInUse().GetCode(smiley);
    if (!code.IsEmpty()) InsertText(code.GetBuffer());
}

void CChatDlg::ChooseAndInsertSmiley()
{
    const int smiley = ChooseSmiley(window, settings && settings->compactSmileyDialog != 0);
    if (smiley < 0) return;
    OnPickerItem(bar, smiley);
    if (bar && bar->Strip()) bar->Strip()->PushSmiley(smiley);
}

void CChatDlg::InsertText(const wchar_t* text)
{
    auto found = tabs.find(current);
    if (found == tabs.end() || !found->second.composer || !text) return;
    SendMessageW(found->second.composer, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
    TypingChanged(0);
    if (window) SetTimer(window, TIMER_TYPING, TypingIdleMs, nullptr);
}

void CChatDlg::ShowComposerMenu(HWND composer, int x, int y)
{
    auto found = tabs.find(current);
    if (found == tabs.end() || !settings) return;
    CChatLogView* log = found->second.log;
    enum { Quote = 0, QuoteLast, Clear, Cut, Copy, Paste = 6, FirstReply = 7 };
    auto item = [](int image, const CZELString& text, int id) {
        return CMenuItem(MENU_ITEM_PLAIN, image, text, id, nullptr, 0, false);
    };
    CPopupMenu menu;
    const CZELArray<CZELString>& replies = settings->replies;
    if (replies.GetCount() > 0) {
        CPopupMenu replyMenu;
        CPopupMenu& target = settings->repliesInContextMenu ? menu : replyMenu;
        for (int i = 0; i < replies.GetCount(); ++i) target.AddItem(item(-1, replies[i], FirstReply + i));
        if (!settings->repliesInContextMenu) menu.AddItem(CMenuItem(40, GuiText(129), -1, replyMenu));
        menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    }
    bool logItems = false;
    if (log && log->CanDo(ChatLogQuote)) menu.AddItem(item(39, GuiText(133), Quote)), logItems = true;
    if (log && log->CanDo(ChatLogQuoteLast)) {
        menu.AddItem(item(39, GuiText(134), QuoteLast));
        menu.AddItem(item(44, GuiText(136), Clear));
        logItems = true;
    }
    if (logItems) menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    DWORD from = 0, to = 0;
    SendMessageW(composer, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    if (to > from) {
        menu.AddItem(item(41, GuiText(130), Cut));
        menu.AddItem(item(36, GuiText(131), Copy));
    }
    if (ClipboardHasText()) menu.AddItem(item(42, GuiText(132), Paste));
    if (menu.GetCount() == 0) return;
    RECT area;
    GetWindowRect(window, &area);
    POINT at = {x, y};
    PopupMenuResult chosen = ShowPopupMenu(menu, area, at, 0, composer, false);
    if (chosen.callback || chosen.commandId < 0) return;
    switch (chosen.commandId) {
    case Quote: log->Do(ChatLogQuote); break;
    case QuoteLast: log->Do(ChatLogQuoteLast); break;
    case Clear: log->Do(ChatLogClear); break;
    case Cut: SendMessageW(composer, WM_CUT, 0, 0); break;
    case Copy: SendMessageW(composer, WM_COPY, 0, 0); break;
    case Paste: {
        wchar_t buffer[4096];
        int length = PasteTextFromClipboard(buffer, 4096);
        if (length > 0 && length < 4096) InsertText(buffer);
        break;
    }
    default:
        if (chosen.commandId >= FirstReply && chosen.commandId - FirstReply < replies.GetCount()) {
            InsertText(replies[chosen.commandId - FirstReply].GetBuffer());
            if (settings->sendRepliesAtOnce) SendCurrentMessage();
        }
    }
}

void CChatDlg::ShowSettingsDialog(HWND parent, int page)
{
    if (!settings) return;
    ShowMessageWindowSettingsDialog(parent ? parent : window, *settings, this, page);
}

void CChatDlg::OnSettingsPageChanged(int page)
{
    if (!settings) return;
    switch (page) {
    case MWFormattingPageIndex:
        CreateFonts();
        RelayoutLogsKeepingSmilies();
        break;
    case MWEditorPageIndex:
        CreateFonts();
        for (auto& tab : tabs)
            if (tab.second.composer) SendMessageW(tab.second.composer, WM_SETFONT, WPARAM(settings->editFont), TRUE);
        // The logs draw with the fonts made again.
        RelayoutLogsKeepingSmilies();
        break;
    case MWSmiliesPageIndex:
        // The bar is made again with the buttons now chosen, or goes.
        delete bar;
        bar = nullptr;
        if (settings->showBar && window) {
            RECT client;
            GetClientRect(window, &client);
            client.top = client.bottom - GetBottomBarHeight();
            bar = CreateMessageBar(window, client, settings.get(), this);
        }
        break;
    default:
        break;
    }
    LayOutLogs();
}

void CChatDlg::DoSoftKeyAction(int action)
{
    switch (action) {
    case SoftKeySend: SendCurrentMessage(); break;
    case SoftKeySmilies: ChooseAndInsertSmiley(); break;
    case SoftKeyMenu: ShowChatMenu(true); break;
    case SoftKeyMinimize: Show(false); break;
    case SoftKeyCloseTab:
        if (current != -1) CloseTab(current);
        break;
    case SoftKeyClose:
        Show(false);
        while (!tabs.empty()) CloseTab(tabs.begin()->first);
        break;
    default: break;
    }
}

void CChatDlg::ShowChatMenu(bool atRight)
{
    if (!window || !settings || current == -1) return;
    enum {
        Send = 5, Smilies, Cut, Copy, Paste, Quote, QuoteLast, Clear, Details, History,
        CloseTabId = 16, MinimizeId, CloseId, FirstReply
    };
    auto item = [](int image, int text, int id) {
        return CMenuItem(MENU_ITEM_PLAIN, image, GuiText(text), id, nullptr, 0, false);
    };
    const int contact = current;
    CPopupMenu menu;
    if (callback) {
        callback->FillChatMenu(this, contact, &menu);
        if (menu.GetCount() > 0) menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    }
    menu.AddItem(item(28, 127, Send));
    menu.AddItem(item(43, 128, Smilies));
    const CZELArray<CZELString>& replies = settings->replies;
    if (replies.GetCount() > 0) {
        CPopupMenu replyMenu;
        for (int i = 0; i < replies.GetCount(); ++i)
            replyMenu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, replies[i], FirstReply + i, nullptr, 0, false));
        menu.AddItem(CMenuItem(40, GuiText(129), -1, replyMenu));
    }
    auto found = tabs.find(contact);
    HWND composer = found != tabs.end() ? found->second.composer : nullptr;
    CChatLogView* log = found != tabs.end() ? found->second.log : nullptr;
    CPopupMenu edit;
    DWORD from = 0, to = 0;
    if (composer) SendMessageW(composer, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    if (to > from) {
        edit.AddItem(item(41, 130, Cut));
        edit.AddItem(item(36, 131, Copy));
    }
    if (composer && ClipboardHasText()) edit.AddItem(item(42, 132, Paste));
    if (log && log->CanDo(ChatLogQuote)) edit.AddItem(item(39, 133, Quote));
    if (log && log->CanDo(ChatLogQuoteLast)) edit.AddItem(item(39, 134, QuoteLast));
    if (log && log->CanDo(ChatLogClear)) edit.AddItem(item(44, 136, Clear));
    if (edit.GetCount() > 0) menu.AddItem(CMenuItem(36, GuiText(135), -1, edit));
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    menu.AddItem(item(34, 43, Details));
    menu.AddItem(item(35, 44, History));
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    CPopupMenu settingsMenu;
    const int pageTexts[MWPageCount] = {54, 140, 128, 141, 142};
    for (int page = 0; page < MWPageCount; ++page) settingsMenu.AddItem(item(-1, pageTexts[page], page));
    menu.AddItem(CMenuItem(69, GuiText(138), -1, settingsMenu));
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    menu.AddItem(item(45, 137, CloseTabId));
    menu.AddItem(item(20, 251, MinimizeId));
    menu.AddItem(item(46, 248, CloseId));

    PopupMenuResult chosen =
        atRight ? ShowPopupMenuAtWindow(menu, window, false) : ShowPopupMenuBelowWindow(menu, window, false);
    if (chosen.callback) {
        chosen.callback(intptr_t(contact), chosen.argument);
        return;
    }
    const int id = chosen.commandId;
    if (id < 0) return;
    if (id < MWPageCount) {
        ShowSettingsDialog(window, id);
        return;
    }
    // The menu ran its own loop: the tab may have gone meanwhile.
    found = tabs.find(contact);
    if (found == tabs.end()) return;
    composer = found->second.composer;
    log = found->second.log;
    switch (id) {
    case Send: SendCurrentMessage(); break;
    case Smilies: ChooseAndInsertSmiley(); break;
    case Cut: if (composer) SendMessageW(composer, WM_CUT, 0, 0); break;
    case Copy: if (composer) SendMessageW(composer, WM_COPY, 0, 0); break;
    case Paste: if (composer) SendMessageW(composer, WM_PASTE, 0, 0); break;
    case Quote: if (log) log->Do(ChatLogQuote); break;
    case QuoteLast: if (log) log->Do(ChatLogQuoteLast); break;
    case Clear: if (log) log->Do(ChatLogClear); break;
    case Details: if (callback) callback->ShowContactDetails(this, contact); break;
    case History: RunChatSubDialog(this, window, contact, ProgramHistoryServices()); break;
    case CloseTabId: CloseTab(contact); break;
    case MinimizeId: Show(false); break;
    case CloseId: DoSoftKeyAction(SoftKeyClose); break;
    default:
        if (id >= FirstReply && id - FirstReply < replies.GetCount()) {
            InsertText(replies[id - FirstReply].GetBuffer());
            if (settings->sendRepliesAtOnce) SendCurrentMessage();
        }
    }
}
