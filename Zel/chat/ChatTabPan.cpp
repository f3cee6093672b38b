#include "Zel/chat/ChatTabPan.h"

#include "Zel/chat/ChatLogView.h"
#include "Zel/chat/SmileyPack.h"
#include "Zel/chat/log/ComposerText.h"
#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/shell/app/Application.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/helpers/ClipboardHelpers.h"
#include "Zel/shell/helpers/ImageButton.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"
#include "Handheld/ShellUi.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>
#include <windowsx.h>

namespace {

// The edit class's own procedure, shared by every composer.
WNDPROC g_editProcedure = nullptr;

const int kSendImage = 28;
// The composer's text colour.
const int kComposerTextColour = 21;

}  // namespace

CChatTabPan::CChatTabPan(MessageWindowSettings* settings, IChatTabHost* host)
    : log(nullptr),
      composer(nullptr),
      sendButton(nullptr),
      composerHeight(1),
      lineHeight(1),
      lineCount(1),
      lineLimit(settings ? settings->maxLines : 3),
      scrolls(false),
      settings(settings),
      host(host)
{
}

CChatTabPan* CChatTabPan::CreateEmpty(HWND parent, MessageWindowSettings* settings, IChatTabHost* host)
{
    if (!settings) return nullptr;
    CChatTabPan* pane = new (std::nothrow) CChatTabPan(settings, host);
    if (!pane) return nullptr;
    if (!pane->UI::CZELWMUI_TabPan::CreateEmpty(parent)) {
        delete pane;
        return nullptr;
    }
    return pane;
}

CChatTabPan::~CChatTabPan()
{
    if (hwnd) KillTimer(hwnd, TIMER_TYPING);
    delete log;
    log = nullptr;
    delete sendButton;
    sendButton = nullptr;
    if (composer && IsWindow(composer)) {
        SetWindowLongPtrW(composer, GWLP_USERDATA, 0);
        DestroyWindow(composer);
    }
    composer = nullptr;
}

void CChatTabPan::OnInitDialog()
{
    RECT client = {};
    GetClientRect(hwnd, &client);
    log = CChatLogView::Create(hwnd, client, this);
    const int button = UI::HIDPI_ScaleX(SendButtonDip);
    // ES_AUTOVSCROLL: the control takes lines beyond the height it has until FitComposer grows it.
    composer = CreateWindowExW(0, L"EDIT", L"",
                               WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_WANTRETURN |
                                   ES_NOHIDESEL | ES_MULTILINE | ES_AUTOVSCROLL,
                               0, client.bottom, std::max(0, int(client.right) - button), 0, hwnd, nullptr,
                               reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE)), nullptr);
    if (composer) {
        // Longer messages than the control's default limit may be written.
        SendMessageW(composer, EM_SETLIMITTEXT, 0xFFFF, 0);
        SetWindowLongPtrW(composer, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        WNDPROC previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(composer, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ComposerProc)));
        if (!g_editProcedure) g_editProcedure = previous;
    }
    RECT strip = {client.right - button, client.bottom, client.right, client.bottom};
    sendButton = CreateImageButton(hwnd, strip, kSendImage);
    ApplyEditFont();
}

void CChatTabPan::ApplyEditFont()
{
    if (!composer) return;
    HFONT font = settings->editFont;
    HDC dc = GetDC(composer);
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(composer, dc);
    lineHeight = std::max(1, int(metrics.tmHeight + metrics.tmExternalLeading));
    SendMessageW(composer, WM_SETFONT, WPARAM(font), FALSE);
    lineLimit = settings->maxLines;
    FitComposer();
}

void CChatTabPan::FitComposer()
{
    if (!composer) return;
    HDC dc = GetDC(composer);
    HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    TEXTMETRICW system = {};
    GetTextMetricsW(dc, &system);
    SelectObject(dc, old);
    ReleaseDC(composer, dc);
    const int s = system.tmHeight + system.tmExternalLeading;
    const int margin = 2 * GetSystemMetrics(SM_CYBORDER) + std::min(lineHeight, s) / 2;
    const int lines = std::max(lineCount, 1);
    const int full = margin + lines * lineHeight;
    int height;
    if (lines > lineLimit) {
        height = margin + lineLimit * lineHeight;
        scrolls = true;
    } else {
        height = full;
        scrolls = false;
    }
    // The log keeps some room; the composer never shrinks below one line.
    const int room = GetClientHeight() - UI::HIDPI_ScaleY(LogRoomDip);
    if (height > room) {
        int shown = lines;
        while (height > room) {
            if (shown <= 1) {
                height = margin + lineHeight;
                shown = 1;
                break;
            }
            --shown;
            height = margin + shown * lineHeight;
        }
        lineLimit = shown;
        scrolls = true;
    }
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE;
    if (scrolls) {
        info.nMax = full;
        info.nPage = UINT(height);
    }
    SetScrollInfo(composer, SB_VERT, &info, TRUE);
    if (height != composerHeight) {
        composerHeight = height;
        Layout();
    }
}

void CChatTabPan::Layout()
{
    const int width = GetClientWidth();
    const int height = GetClientHeight();
    const int h = composerHeight;
    const bool button = settings->showSendButton != 0;
    if (log) MoveWindow(*log, 0, 0, width, std::max(0, height - h + UI::HIDPI_ScaleY(1)), TRUE);
    const int buttonWidth = UI::HIDPI_ScaleX(SendButtonDip);
    const int cut = button ? buttonWidth - UI::HIDPI_ScaleY(1) : 0;
    if (composer) MoveWindow(composer, 0, height - h, std::max(0, width - cut), h, TRUE);
    if (sendButton && *sendButton) {
        MoveWindow(*sendButton, width - buttonWidth, height - h, buttonWidth, h, TRUE);
        ShowWindow(*sendButton, button ? SW_SHOW : SW_HIDE);
    }
}

void CChatTabPan::OnWindowPosChanged(WINDOWPOS* position)
{
    if (!position || (position->flags & SWP_NOSIZE)) return;
    if (composer) {
        const int button = settings->showSendButton ? UI::HIDPI_ScaleX(SendButtonDip) : 0;
        RECT r = {};
        GetWindowRect(composer, &r);
        SetWindowPos(composer, nullptr, 0, 0, std::max(0, GetClientWidth() - button), r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        lineCount = int(SendMessageW(composer, EM_GETLINECOUNT, 0, 0));
    }
    lineLimit = settings->maxLines;
    FitComposer();
    Layout();
}

void CChatTabPan::Typing()
{
    if (host) host->OnTypingChanged(this, 0);
    SetTimer(hwnd, TIMER_TYPING, TypingIdleMs, nullptr);
}

void CChatTabPan::TypingStopped()
{
    if (host) host->OnTypingChanged(this, 1);
    KillTimer(hwnd, TIMER_TYPING);
}

void CChatTabPan::OnCommand(WORD notifyCode, WORD id, HWND control)
{
    if (control && control == composer && notifyCode == EN_UPDATE) {
        Typing();
        int lines = int(SendMessageW(composer, EM_GETLINECOUNT, 0, 0));
        if (lines != lineCount) {
            lineCount = lines;
            FitComposer();
        }
        return;
    }
    if (sendButton && control == *sendButton && id == CImageButton::CommandId) {
        if (host) host->OnSendRequest(this);
        return;
    }
    UI::CZELWMUI_TabPan::OnCommand(notifyCode, id, control);
}

void CChatTabPan::OnTimer(UINT_PTR, TIMERPROC)
{
    TypingStopped();
}

void CChatTabPan::OnChar(wchar_t character, LPARAM keyData)
{
    if (!composer) return;
    SetFocus(composer);
    SendMessageW(composer, WM_CHAR, WPARAM(character), keyData);
}

void CChatTabPan::OnSetFocus(HWND)
{
    if (composer) SetFocus(composer);
}

HBRUSH CChatTabPan::OnCtlColor(HDC dc, HWND control)
{
    if (control != composer) return nullptr;
    POINT origin = {0, 0};
    ClientToScreen(composer, &origin);
    SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, GetSchemeColor(kComposerTextColour));
    return GetBkBrush();
}

HBRUSH CChatTabPan::GetBkBrush()
{
    HBRUSH brush = GuiBackgroundBrush();
    return brush ? brush : GetSysColorBrush(COLOR_WINDOW);
}

LRESULT CChatTabPan::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_VSCROLL) {
        // The volume keys scroll the log.
        if (log) SendMessageW(*log, WM_VSCROLL, wParam, lParam);
        return 0;
    }
    if (message == WM_NEXTDLGCTL && !LOWORD(lParam)) {
        HWND focus = GetFocus();
        const bool previous = wParam != 0;
        const bool buttonShown = sendButton && IsWindowVisible(*sendButton);
        const bool leave = (previous && log && focus == *log) ||
                           (!previous && sendButton && focus == *sendButton) ||
                           (!previous && focus == composer && !buttonShown);
        if (leave) {
            // Out of the pane, to the window's neighbouring control (the tab strip's key button).
            HWND window = GetParent(hwnd);
            HWND next = window ? GetNextDlgTabItem(window, hwnd, previous ? TRUE : FALSE) : nullptr;
            if (next && next != hwnd) SetFocus(next);
            return 0;
        }
        HWND next = GetNextDlgTabItem(hwnd, focus, previous ? TRUE : FALSE);
        if (next) SetFocus(next);
        return 0;
    }
    return UI::CZELWMUI_TabPan::OnMessage(message, wParam, lParam);
}

bool CChatTabPan::GetComposerText(CZELString& out) const
{
    if (!composer) return false;
    int length = GetWindowTextLengthW(composer);
    if (length <= 0) return false;
    std::vector<wchar_t> buffer(size_t(length) + 1);
    GetWindowTextW(composer, buffer.data(), length + 1);
    std::wstring text;
    if (!ComposerTextToSend(std::wstring(buffer.data()), text)) return false;
    out = CZELString(text.c_str());
    return true;
}

void CChatTabPan::ClearComposer()
{
    if (!composer) return;
    SetWindowTextW(composer, L"");
    lineCount = 1;
    FitComposer();
}

void CChatTabPan::InsertText(const wchar_t* text)
{
    if (!composer || !text) return;
    SendMessageW(composer, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
    Typing();
}

void CChatTabPan::InsertSmiley(int n)
{
    CZELString code = SmileyPackInUse().GetCode(n);
    if (!code.IsEmpty()) InsertText(code.GetBuffer());
}

void CChatTabPan::PasteText()
{
    if (!ClipboardHasText()) return;
    std::vector<wchar_t> buffer(65536);
    int length = PasteTextFromClipboard(buffer.data(), int(buffer.size()));
    if (length > 0 && length < int(buffer.size())) InsertText(buffer.data());
}

bool CChatTabPan::CanEdit(int op) const
{
    HWND focus = GetFocus();
    const bool composerFocused = composer && focus == composer;
    DWORD from = 0, to = 0;
    if (composer) SendMessageW(composer, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    const bool selection = to > from;
    switch (op) {
    case ChatEditCut: return composerFocused && selection;
    case ChatEditCopy:
        return (composerFocused && selection) || (log && focus == *log && log->CanDo(ChatLogCopy));
    case ChatEditPaste: return composerFocused && ClipboardHasText();
    case ChatEditQuote: return log && log->CanDo(ChatLogQuote);
    case ChatEditQuoteLast: return log && log->CanDo(ChatLogQuoteLast);
    case ChatEditClear: return log && log->CanDo(ChatLogClear);
    default: return false;
    }
}

void CChatTabPan::DoEdit(int op)
{
    switch (op) {
    case ChatEditCut:
        if (composer) SendMessageW(composer, WM_CUT, 0, 0);
        break;
    case ChatEditCopy:
        if (composer && GetFocus() == composer)
            SendMessageW(composer, WM_COPY, 0, 0);
        else if (log)
            log->Do(ChatLogCopy);
        break;
    case ChatEditPaste: PasteText(); break;
    case ChatEditQuote:
        if (log) log->Do(ChatLogQuote);
        break;
    case ChatEditQuoteLast:
        if (log) log->Do(ChatLogQuoteLast);
        break;
    case ChatEditClear:
        if (log) log->Do(ChatLogClear);
        break;
    default: break;
    }
}

void CChatTabPan::OnSettingsChanged(int page)
{
    if (page == 0 && log) log->Relayout();
    if (page == 1) ApplyEditFont();
}

void CChatTabPan::GetStyle(ITextViewHost::Style* out, int style)
{
    if (host) host->GetStyle(out, style);
}

void CChatTabPan::GetSelectionColors(COLORREF* text, COLORREF* background)
{
    if (host) host->GetSelectionColors(text, background);
}

void CChatTabPan::ShowComposerMenu(int x, int y)
{
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
    GetWindowRect(hwnd, &area);
    POINT at = {x, y};
    const bool fullScreen = TheApplication && TheApplication->Settings().fullScreen;
    PopupMenuResult chosen = ShowPopupMenu(menu, area, at, 0, composer, fullScreen);
    if (chosen.callback || chosen.commandId < 0) return;
    switch (chosen.commandId) {
    case Quote: DoEdit(ChatEditQuote); break;
    case QuoteLast: DoEdit(ChatEditQuoteLast); break;
    case Clear: DoEdit(ChatEditClear); break;
    case Cut: SendMessageW(composer, WM_CUT, 0, 0); break;
    case Copy: SendMessageW(composer, WM_COPY, 0, 0); break;
    case Paste: PasteText(); break;
    default:
        if (chosen.commandId >= FirstReply && chosen.commandId - FirstReply < replies.GetCount()) {
            InsertText(replies[chosen.commandId - FirstReply].GetBuffer());
            if (settings->sendRepliesAtOnce && host) host->OnSendRequest(this);
        }
    }
}

bool CChatTabPan::ComposerKey(int key)
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
    switch (key) {
    case VK_RIGHT:
    case VK_DOWN:
    case VK_TAB:
        if (caret >= length || key == VK_TAB) {
            PostMessageW(hwnd, WM_NEXTDLGCTL, 0, 0);
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
            PostMessageW(hwnd, WM_NEXTDLGCTL, 1, 0);
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

LRESULT CALLBACK CChatTabPan::ComposerProc(HWND composer, UINT message, WPARAM wParam, LPARAM lParam)
{
    CChatTabPan* self = reinterpret_cast<CChatTabPan*>(GetWindowLongPtrW(composer, GWLP_USERDATA));
    if (self) {
        switch (message) {
        case WM_SETFOCUS: {
            LRESULT result = CallWindowProcW(g_editProcedure, composer, message, wParam, lParam);
            SendMessageW(composer, EM_SCROLLCARET, 0, 0);
            return result;
        }
        case WM_KILLFOCUS:
            // Leaving the composer ends typing at once; the quiet timer has nothing left to report.
            self->TypingStopped();
            break;
        case WM_CONTEXTMENU:
            self->ShowComposerMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_GETDLGCODE: return DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTARROWS;
        case WM_KEYDOWN:
            if (self->ComposerKey(int(wParam))) return 0;
            break;
        case WM_CHAR:
            if (wParam == L'\t') return 0;
            if (wParam == L'\r' && self->settings->sendOnEnter) {
                if (self->host) self->host->OnSendRequest(self);
                return 0;
            }
            break;
        case WM_LBUTTONDOWN: {
            // A tap held down is the menu's: the press itself does nothing.
            SHRGINFO gesture = {};
            gesture.size = sizeof(gesture);
            gesture.window = composer;
            gesture.point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            gesture.flags = SHRG_RETURNCMD;
            if (SHRecognizeGesture(&gesture) == GN_CONTEXTMENU) return 0;
            break;
        }
        default: break;
        }
    }
    return g_editProcedure ? CallWindowProcW(g_editProcedure, composer, message, wParam, lParam)
                           : DefWindowProcW(composer, message, wParam, lParam);
}
