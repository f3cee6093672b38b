#include "Zel/chat/ChatDlg.h"

#include "Zel/chat/AnimatedPictureWnd.h"
#include "Zel/chat/ChatLogView.h"
#include "Zel/chat/KeyboardScrollHook.h"
#include "Zel/chat/MessageHistoryDialog.h"
#include "Zel/chat/SmileyDialog.h"
#include "Zel/chat/SmileyPack.h"
#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/app/Application.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"
#include "Handheld/ShellUi.h"

#include <new>

namespace {

// The captions of the soft-key actions, by SoftKeyAction.
const int kSoftKeyTexts[] = {127, 128, 246, 251, 137, 248};
const int kWindowCaption = 126;

bool FullScreenMode()
{
    return TheApplication && TheApplication->Settings().fullScreen;
}

}  // namespace

CChatDlg::CChatDlg(IChatWindowCallback* callback)
    : callback(callback),
      settings(new MessageWindowSettings(SettingsStoreService, [](int number) { return GuiText(number); }))
{
}

CChatDlg::~CChatDlg()
{
    // The window may already be gone with its owner: the hook is released by the handle it was given.
    if (hookTarget && KeyboardScrollHook::GetTarget() == hookTarget) KeyboardScrollHook::SetTarget(nullptr);
    Show(false);
    RemoveAllPages();
    delete bar;
    bar = nullptr;
    // The record stores its values as it goes.
    settings.reset();
}

bool CChatDlg::Create(HWND owner)
{
    return CreateModelessDialog(this, owner) != nullptr;
}

CChatDlg* CreateChatWindow(IChatWindowCallback* callback, HWND owner)
{
    CChatDlg* chat = new (std::nothrow) CChatDlg(callback);
    if (chat) chat->Create(owner);
    return chat;
}

void CChatDlg::OnInitDialog()
{
    CTabbedDialog::OnInitDialog();
    CreateFonts();
    SetWindowTextW(hwnd, GuiText(kWindowCaption).GetBuffer());
    ShowWindow(hwnd, SW_HIDE);
    if (settings->showBar) {
        RECT place = BarRect();
        bar = CreateMessageBar(hwnd, place, settings.get(), this);
    }
    OnScreenSizeChanged();
    if (settings->volumeForScroll) {
        hookTarget = hwnd;
        KeyboardScrollHook::SetTarget(hwnd);
    }
}

RECT CChatDlg::BarRect()
{
    RECT client = {};
    GetClientRect(hwnd, &client);
    // The soft-key bar stands inside the client area here: the band goes above it, as the strip does.
    HWND keys = Menu();
    if (keys && (GetWindowLongPtrW(keys, GWL_STYLE) & WS_VISIBLE)) {
        RECT r = {};
        GetWindowRect(keys, &r);
        client.bottom -= r.bottom - r.top;
    }
    client.top = client.bottom - GetBottomBarHeight();
    return client;
}

void CChatDlg::CreateFonts()
{
    settings->DeleteFonts();
    const int dpi = g_HIDPI_LogPixelsY;
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

CChatTabPan* CChatDlg::Pane(int contact) const
{
    CTabbedDialog* self = const_cast<CChatDlg*>(this);
    TabPage* page = self->FindPage(contact);
    return page ? dynamic_cast<CChatTabPan*>(page->window) : nullptr;
}

const CChatDlg::Tab* CChatDlg::FindTab(int contact) const
{
    return Pane(contact);
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

int CChatDlg::GetBottomBarHeight()
{
    return settings && settings->showBar ? (g_HIDPI_LogPixelsY * 25 + 48) / 96 : 0;
}

void CChatDlg::OnSendRequest(CChatTabPan*)
{
    SendCurrentMessage();
    FocusCurrentPage();
}

void CChatDlg::OnTypingChanged(CChatTabPan* pane, int stopped)
{
    const int contact = PageIdOfWindow(pane);
    if (contact != -1 && settings->typingNotify && callback) callback->SetTyping(this, contact, stopped);
}

void CChatDlg::SendCurrentMessage()
{
    const int contact = GetCurrentPageId();
    CChatTabPan* pane = Pane(contact);
    CZELString text;
    if (!pane || !pane->GetComposerText(text)) return;
    if (callback && callback->SendMessageToContact(this, contact, text)) {
        // The contact's tab may have gone meanwhile.
        if (CChatTabPan* still = Pane(contact)) still->ClearComposer();
    }
}

bool CChatDlg::IsInFront(int contact) const
{
    return IsVisible() && GetCurrentPageId() == contact && GetForegroundWindow() == hwnd;
}

void CChatDlg::OpenTab(int contact, const CZELString& caption, const CZELArray<int>& icons)
{
    if (!hwnd || HasPage(contact)) return;
    CChatTabPan* pane = CChatTabPan::CreateEmpty(hwnd, settings.get(), this);
    if (!pane) return;
    AddPage(contact, pane, caption, icons);
    SelectPage(contact);
    FocusCurrentPage();
}

void CChatDlg::ShowTab(int contact)
{
    if (!HasPage(contact)) return;
    SelectPage(contact);
    FocusCurrentPage();
}

void CChatDlg::CloseTab(int contact)
{
    if (HasPage(contact)) RemovePage(contact);
}

void CChatDlg::SetTabCaption(int contact, const CZELString& caption)
{
    if (HasPage(contact)) SetPageCaption(contact, caption);
}

void CChatDlg::SetTabIcons(int contact, const CZELArray<int>& icons)
{
    if (HasPage(contact)) SetPageIcons(contact, icons);
}

void CChatDlg::Arrived(int contact, int image)
{
    if (IsVisible() && GetCurrentPageId() == contact) {
        if (callback) callback->OnMessagesSeen(this, contact);
    } else {
        SetPageAlert(contact, image);
    }
}

void CChatDlg::AddMessage(int contact, const ChatLogEntry& entry)
{
    CChatTabPan* pane = Pane(contact);
    if (!pane) return;
    pane->entries.Add(entry);
    if (pane->log) pane->log->AddEntry(entry);
    Arrived(contact, entry.kind);
}

void CChatDlg::AddMessages(int contact, const CZELArray<ChatLogEntry>& entries)
{
    CChatTabPan* pane = Pane(contact);
    if (!pane || entries.GetCount() == 0) return;
    for (int i = 0; i < entries.GetCount(); ++i) pane->entries.Add(entries[i]);
    if (pane->log) pane->log->AddEntries(entries, false);
    Arrived(contact, entries[0].kind);
}

void CChatDlg::MarkMessageAcked(int contact, const ChatAck& ack)
{
    CChatTabPan* pane = Pane(contact);
    if (!pane) return;
    if (pane->log) pane->log->MarkAcked(ack);
    CZELArray<ChatLogEntry>& entries = pane->entries;
    for (int i = entries.GetCount() - 1; i >= 0; --i) {
        if (entries[i].messageNumber == ack.messageNumber && entries[i].direction == ChatLineOutgoing) {
            entries[i].kind = ack.image;
            return;
        }
    }
}

void CChatDlg::Show(bool show)
{
    if (!hwnd || show == IsVisible()) return;
    if (show) {
        if (GetCurrentPageId() == -1) return;
        // Smilies animate only while someone can see them.
        AnimatedPictureWnd::StartAnimationTimer();
        UI::CZELWMUI_WndBase::Show(1);
        SetForegroundWindow(hwnd);
        FocusCurrentPage();
    } else {
        UI::CZELWMUI_WndBase::Show(0);
        AnimatedPictureWnd::StopAnimationTimer();
    }
}

CZELString CChatDlg::GetYourName() const
{
    return settings ? settings->yourName : CZELString(L"I");
}

void CChatDlg::RelayoutLogs()
{
    for (int i = 0; i < GetPageCount(); ++i)
        if (CChatTabPan* pane = dynamic_cast<CChatTabPan*>(PageAt(i)->window))
            if (pane->log) pane->log->SmiliesToText();
}

void CChatDlg::RelayoutLogsKeepingSmilies()
{
    for (int i = 0; i < GetPageCount(); ++i)
        if (CChatTabPan* pane = dynamic_cast<CChatTabPan*>(PageAt(i)->window))
            if (pane->log) pane->log->Relayout();
}

void CChatDlg::OnPickerItem(CMessageBarWnd*, int smiley)
{
    if (CChatTabPan* pane = CurrentPane()) pane->InsertSmiley(smiley);
    FocusCurrentPage();
}

void CChatDlg::OnSmiliesButton(CMessageBarWnd*)
{
    ChooseAndInsertSmiley();
    FocusCurrentPage();
}

void CChatDlg::OnSendButton(CMessageBarWnd*)
{
    SendCurrentMessage();
    FocusCurrentPage();
}

void CChatDlg::ChooseAndInsertSmiley()
{
    const int smiley = ChooseSmiley(hwnd, settings->compactSmileyDialog != 0);
    if (smiley < 0) return;
    if (CChatTabPan* pane = CurrentPane()) pane->InsertSmiley(smiley);
    if (bar && bar->Strip()) bar->Strip()->PushSmiley(smiley);
}

void CChatDlg::InsertText(const wchar_t* text)
{
    if (CChatTabPan* pane = CurrentPane()) pane->InsertText(text);
}

LRESULT CChatDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_VSCROLL) {
        // The volume keys scroll the current conversation.
        CChatTabPan* pane = CurrentPane();
        if (pane && IsWindowVisible(*pane)) SendMessageW(*pane, WM_VSCROLL, wParam, lParam);
        return 0;
    }
    if (message == CGuiResources::WM_SMILEY_PACK_LOADED) {
        if (bar && bar->Strip()) bar->Strip()->Fill();
        return 0;
    }
    return CTabbedDialog::OnMessage(message, wParam, lParam);
}

void CChatDlg::OnChar(wchar_t character, LPARAM keyData)
{
    if (character == L'\t') return;
    if (CChatTabPan* pane = CurrentPane()) SendMessageW(*pane, WM_CHAR, WPARAM(character), keyData);
}

void CChatDlg::OnClose()
{
    // Closing only hides: the conversations stay for the next showing.
    Show(false);
}

void CChatDlg::OnCommandButton()
{
    UI::CZELWMUI_WndBase::Show(0);
}

void CChatDlg::OnScreenSizeChanged()
{
    if (FullScreenMode()) {
        RECT r = {};
        GetWindowRect(hwnd, &r);
        MoveWindow(hwnd, 0, 0, r.right, r.bottom, TRUE);
    }
    if (bar && GetBottomBarHeight() > 0) {
        RECT place = BarRect();
        MoveWindow(*bar, place.left, place.top, place.right - place.left, place.bottom - place.top, TRUE);
    }
    CTabbedDialog::OnScreenSizeChanged();
}

void CChatDlg::OnActivate(WORD state, int minimized, HWND other)
{
    CTabbedDialog::OnActivate(state, minimized, other);
    const int contact = GetCurrentPageId();
    if (state == WA_ACTIVE && contact != -1 && callback) callback->OnMessagesSeen(this, contact);
    if (FullScreenMode())
        SHFullScreen(hwnd, state != WA_INACTIVE ? SHFS_HIDETASKBAR | SHFS_HIDESTARTICON
                                                : SHFS_SHOWTASKBAR | SHFS_SHOWSTARTICON);
}

int CChatDlg::SoftKeyAction(TSoftKey key) const
{
    return key == SoftKeyLeft ? settings->leftSoftKey : settings->rightSoftKey;
}

int CChatDlg::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    const int action = SoftKeyAction(key);
    if (action < SoftKeySend || action > SoftKeyClose) return 0;
    caption = GuiText(kSoftKeyTexts[action]);
    return 1;
}

void CChatDlg::OnSoftKey(TSoftKey key)
{
    const int action = SoftKeyAction(key);
    if (action == SoftKeyMenu)
        ShowChatMenu(key == SoftKeyRight);
    else
        DoSoftKeyAction(action);
}

void CChatDlg::OnPageChanged()
{
    const int contact = GetCurrentPageId();
    if (contact == -1 || !callback) return;
    callback->OnMessagesSeen(this, contact);
    callback->RequestAuthorization(this, contact);
}

void CChatDlg::OnTabDoubleTap()
{
    const int contact = GetCurrentPageId();
    if (contact != -1) RemovePage(contact);
}

void CChatDlg::ShowSettingsDialog(HWND parent, int page)
{
    ShowMessageWindowSettingsDialog(parent ? parent : hwnd, *settings, this, page);
}

void CChatDlg::OnSettingsPageChanged(int page)
{
    switch (page) {
    case MWFormattingPageIndex:
    case MWEditorPageIndex:
        CreateFonts();
        for (int i = 0; i < GetPageCount(); ++i)
            if (CChatTabPan* pane = dynamic_cast<CChatTabPan*>(PageAt(i)->window)) pane->OnSettingsChanged(page);
        // The logs measured with the fonts just deleted: they draw with the new ones.
        if (page == MWEditorPageIndex) RelayoutLogsKeepingSmilies();
        break;
    case MWSmiliesPageIndex:
        if (settings->showBar && !bar) {
            RECT place = BarRect();
            bar = CreateMessageBar(hwnd, place, settings.get(), this);
        } else if (!settings->showBar && bar) {
            delete bar;
            bar = nullptr;
        } else if (bar) {
            // The bar is made again with the buttons now chosen.
            delete bar;
            RECT place = BarRect();
            bar = CreateMessageBar(hwnd, place, settings.get(), this);
        }
        // The strip and the pages make room for the band, or take it back.
        Relayout();
        break;
    case MWControlsPageIndex: SetSoftKeys(); break;
    default: break;
    }
}

void CChatDlg::OnOptionChanged(int code)
{
    if (code != OPT_LANGUAGE) return;
    SetSoftKeys();
    settings->ResetReplies();
}

void CChatDlg::DoSoftKeyAction(int action)
{
    switch (action) {
    case SoftKeySend: SendCurrentMessage(); break;
    case SoftKeySmilies: ChooseAndInsertSmiley(); break;
    case SoftKeyMenu: ShowChatMenu(true); break;
    case SoftKeyMinimize: Show(false); break;
    case SoftKeyCloseTab:
        if (GetCurrentPageId() != -1) RemovePage(GetCurrentPageId());
        break;
    case SoftKeyClose:
        Show(false);
        RemoveAllPages();
        Redraw(UI::PaintFull);
        break;
    default: break;
    }
}

void CChatDlg::ShowChatMenu(bool atRight)
{
    const int contact = GetCurrentPageId();
    if (!hwnd || contact == -1) return;
    enum { Send = 5, Smilies, FirstEdit, Details = 13, History, CloseTabId = 16, MinimizeId, CloseId, FirstReply };
    auto item = [](int image, int text, int id) {
        return CMenuItem(MENU_ITEM_PLAIN, image, GuiText(text), id, nullptr, 0, false);
    };
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
    CChatTabPan* pane = Pane(contact);
    CPopupMenu edit;
    struct EditItem {
        int op, image, text;
    } editItems[] = {{ChatEditCut, 41, 130},   {ChatEditCopy, 36, 131},      {ChatEditPaste, 42, 132},
                     {ChatEditQuote, 39, 133}, {ChatEditQuoteLast, 39, 134}, {ChatEditClear, 44, 136}};
    for (const EditItem& e : editItems)
        if (pane && pane->CanEdit(e.op)) edit.AddItem(item(e.image, e.text, FirstEdit + e.op));
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

    PopupMenuResult chosen = atRight ? ShowPopupMenuAtWindow(menu, hwnd, FullScreenMode())
                                     : ShowPopupMenuBelowWindow(menu, hwnd, FullScreenMode());
    if (chosen.callback) {
        chosen.callback(intptr_t(contact), chosen.argument);
        return;
    }
    const int id = chosen.commandId;
    if (id < 0) return;
    if (id < MWPageCount) {
        ShowSettingsDialog(hwnd, id);
        return;
    }
    // The menu ran its own loop: the tab may have gone meanwhile.
    pane = Pane(contact);
    if (!pane) return;
    switch (id) {
    case Send: SendCurrentMessage(); break;
    case Smilies: ChooseAndInsertSmiley(); break;
    case Details:
        if (callback) callback->ShowContactDetails(this, contact);
        break;
    case History: RunChatSubDialog(this, hwnd, contact, ProgramHistoryServices()); break;
    case CloseTabId: RemovePage(contact); break;
    case MinimizeId: Show(false); break;
    case CloseId: DoSoftKeyAction(SoftKeyClose); break;
    default:
        if (id >= FirstEdit && id <= FirstEdit + ChatEditClear) {
            pane->DoEdit(id - FirstEdit);
        } else if (id >= FirstReply && id - FirstReply < replies.GetCount()) {
            pane->InsertText(replies[id - FirstReply].GetBuffer());
            if (settings->sendRepliesAtOnce) SendCurrentMessage();
        }
    }
}
