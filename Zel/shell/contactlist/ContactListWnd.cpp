// CContactListCtrl: the window procedure: painting, keys and their moves through the grid,
// stylus, scrolling and timers.
#include "Zel/shell/contactlist/ContactListCtrl.h"

#include "Zel/shell/app/GuiResources.h"
#include "Handheld/ShellUi.h"
#include "ZELCommon/ZELWMUI_Gdi.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <cstdlib>
#include <vector>

namespace {

std::vector<CCLNode*> VisibleChildren(CCLNode* parent)
{
    std::vector<CCLNode*> children;
    if (parent)
        for (CCLNode* child = parent->firstChild; child; child = child->next)
            if (child->visible) children.push_back(child);
    return children;
}

int IndexOf(const std::vector<CCLNode*>& nodes, CCLNode* node)
{
    for (size_t i = 0; i < nodes.size(); ++i)
        if (nodes[i] == node) return int(i);
    return -1;
}

bool HasVisibleChildren(CCLNode* node)
{
    return node->expanded && !VisibleChildren(node).empty();
}

int ScrollPosition(HWND window)
{
    SCROLLINFO info = {sizeof info, SIF_POS};
    if (window) GetScrollInfo(window, SB_VERT, &info);
    return info.nPos;
}

RECT ClientRect(HWND window)
{
    RECT client = {};
    if (window) GetClientRect(window, &client);
    return client;
}

}  // namespace

LRESULT CALLBACK ContactListWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(create->lpCreateParams));
        return DefWindowProcW(window, message, wParam, lParam);
    }
    auto* control = reinterpret_cast<CContactListCtrl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!control) return DefWindowProcW(window, message, wParam, lParam);
    const int x = short(LOWORD(lParam)), y = short(HIWORD(lParam));
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        control->OnPaint(dc, ClientRect(window));
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_WINDOWPOSCHANGED:
        if (!(reinterpret_cast<WINDOWPOS*>(lParam)->flags & SWP_NOSIZE)) control->UpdateScrollBar();
        break;
    case WM_CONTEXTMENU: control->OnContextMenu(POINT{x, y}); return 0;
    case WM_KEYDOWN: control->OnKeyDown(int(wParam)); break;
    case WM_CHAR: control->OnChar(wchar_t(wParam)); break;
    case WM_TIMER: control->OnTimer(wParam); return 0;
    case WM_VSCROLL: control->OnVScroll(LOWORD(wParam), short(HIWORD(wParam))); return 0;
    case WM_LBUTTONDOWN:
        SetFocus(window);
        control->OnPenDown(x, y);
        break;
    case WM_MOUSEMOVE:
        if (wParam & MK_LBUTTON) control->OnPenMove(y);
        break;
    case WM_LBUTTONUP: control->OnPenUp(x); break;
    case WM_RBUTTONDOWN:
        // A desktop's hold: the item under the button is the one its menu is for.
        SetFocus(window);
        control->SelectAt(x, y);
        break;
    case WM_DESTROY: control->OnWindowDestroyed(); break;
    case WM_LBUTTONDBLCLK: control->OnDoubleClick(x, y); break;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case CContactListCtrl::WM_CONTACT_ONLINE: control->Host().ContactCameOnline(int(wParam)); return 0;
    case CContactListCtrl::WM_CONTACT_OFFLINE: control->Host().ContactWentOffline(int(wParam)); return 0;
    case CContactListCtrl::WM_LIST_REFRESH: control->OnRefresh(); return 0;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void CContactListCtrl::OnRefresh()
{
    refreshPending = false;
    UpdateScrollBar();
    Invalidate();
}

void CContactListCtrl::OnPaint(HDC target, const RECT& client)
{
    const int width = client.right - client.left, height = client.bottom - client.top;
    UI::MemoryBitmapDC memory(target, width, height);
    if (!memory.IsValid()) return;
    HDC dc = memory.Get();
    HBRUSH background = GuiBackgroundBrush();
    FillRect(dc, &client, background ? background : HBRUSH(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    const int position = ScrollPosition(window);
    {
        CZELLock hold(lock);
        UI::GdiSelection fontSelection(dc, font);
        CCLRootNode* root = CurrentRoot();
        RECT area = {0, -position, width, -position + root->GetHeight()};
        root->Paint(dc, area, client, true);
    }
    BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
}

void CContactListCtrl::OnKeyDown(int key)
{
    switch (key) {
    case VK_RETURN: {
        CLNodeKind kind = CLRoot;
        int contact = 0;
        bool resized = false;
        {
            CZELLock hold(lock);
            if (!selected) return;
            kind = selected->Kind();
            // A contact opens its chat, which asks the services: after the lock.
            if (kind == CLContact) contact = int(selected->ItemId());
            else resized = selected->OnEnterKey();
        }
        if (kind == CLContact && owner) owner->OpenChat(contact);
        if (resized) {
            UpdateScrollBar();
            Invalidate();
        }
        return;
    }
    case VK_LEFT: MoveLeft(); break;
    case VK_UP: MoveUp(); break;
    case VK_RIGHT: MoveRight(); break;
    case VK_DOWN: MoveDown(); break;
    default: return;
    }
    Invalidate();
}

void CContactListCtrl::OnChar(wchar_t character)
{
    if (character >= L'0' && character <= L'9' && owner) owner->UpdateTopPanel(character - L'0');
}

void CContactListCtrl::OnTimer(UINT_PTR id)
{
    if (id == BlinkTimer) {
        bool anyUnread;
        {
            CZELLock hold(lock);
            blinkPhase = !blinkPhase;
            anyUnread = !unread.empty();
        }
        if (blinkPhase && host->DontSleep()) host->ResetIdleTimer();
        if (anyUnread) Invalidate();
    } else if (id == SelectionTimer) {
        if (window) KillTimer(window, SelectionTimer);
        selectionTimer = 0;
        if (owner) owner->PostWake();
    }
}

void CContactListCtrl::OnVScroll(int request, int thumb)
{
    if (!window) return;
    int position = ScrollPosition(window);
    RECT client = ClientRect(window);
    switch (request) {
    case SB_LINEUP: position -= UI::HIDPI_ScaleY(20); break;
    case SB_LINEDOWN: position += UI::HIDPI_ScaleY(20); break;
    case SB_PAGEUP: position -= client.bottom; break;
    case SB_PAGEDOWN: position += client.bottom; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: position = thumb; break;
    default: return;
    }
    SetScrollPos(window, SB_VERT, position, TRUE);
    Invalidate();
}

bool CContactListCtrl::SelectAt(int x, int y)
{
    const int position = ScrollPosition(window);
    RECT client = ClientRect(window);
    CZELLock hold(lock);
    CCLNode* hit = CurrentRoot()->HitTest(x, y + position, client.right);
    if (!hit || hit == CurrentRoot()) return false;
    SelectByTap(hit);
    return true;
}

void CContactListCtrl::OnWindowDestroyed()
{
    if (!window) return;
    KillTimer(window, BlinkTimer);
    KillTimer(window, SelectionTimer);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    window = nullptr;
}

void CContactListCtrl::OnPenDown(int x, int y)
{
    penDown = true;
    penX = x;
    penY = lastPenY = y;
    if (!SelectAt(x, y)) return;
    Invalidate();
    // A hold reaches the window as WM_CONTEXTMENU.
    SHRGINFO gesture = {sizeof gesture, window, {x, y}, SHRG_RETURNCMD | SHRG_LONGDELAY};
    SHRecognizeGesture(&gesture);
}

void CContactListCtrl::OnPenMove(int y)
{
    if (!penDown || menuShown || !window) return;
    SCROLLINFO info = {sizeof info, SIF_POS};
    GetScrollInfo(window, SB_VERT, &info);
    info.nPos += (lastPenY - y) * 2;
    info.fMask = SIF_POS;
    SetScrollInfo(window, SB_VERT, &info, TRUE);
    Invalidate();
    lastPenY = y;
}

void CContactListCtrl::OnPenUp(int x)
{
    if (penDown) {
        int distance = std::abs(penX - x);
        // A sideways swipe over more than half the list opens the chats.
        if (2 * distance > ClientRect(window).right && !menuShown && owner) owner->ShowChatWindow();
    }
    penDown = false;
    menuShown = false;
}

void CContactListCtrl::OnDoubleClick(int x, int y)
{
    const int position = ScrollPosition(window);
    RECT client = ClientRect(window);
    int contact = 0;
    bool resized = false;
    {
        CZELLock hold(lock);
        if (!selected) return;
        if (selected->Kind() == CLContact) contact = int(selected->ItemId());
        else resized = selected->OnDoubleTap(x, y + position, client.right);
    }
    if (contact && owner) owner->OpenChat(contact);
    if (resized) {
        UpdateScrollBar();
        Invalidate();
    }
}

void CContactListCtrl::OnContextMenu(const POINT& point)
{
    CLNodeKind kind;
    intptr_t item;
    {
        CZELLock hold(lock);
        if (!selected) return;
        kind = selected->Kind();
        item = selected->ItemId();
    }
    HWND main = host->MainWindow();
    RECT area = {};
    if (main) GetWindowRect(main, &area);
    menuShown = true;
    ShowNodeMenu(kind, item, main, area, point, 1);
}

// Keyboard moves through the trees; R (columnIndex) is the column a vertical move aims at.

void CContactListCtrl::MoveLeft()
{
    CZELLock hold(lock);
    if (!selected || !selected->parent) return;
    std::vector<CCLNode*> siblings = VisibleChildren(selected->parent);
    int index = IndexOf(siblings, selected);
    CCLNode* target = nullptr;
    if (selected->GetColumnIndex() > 0 && index > 0) target = siblings[size_t(index - 1)];
    else if (selected->parent->parent) target = selected->parent;
    if (!target) return;
    SelectNode(target);
    columnIndex = target->GetColumnIndex();
}

void CContactListCtrl::MoveRight()
{
    CZELLock hold(lock);
    if (!selected || !selected->parent) return;
    std::vector<CCLNode*> siblings = VisibleChildren(selected->parent);
    int index = IndexOf(siblings, selected);
    if (selected->GetColumnIndex() >= selected->GetColumnCount() - 1 || index < 0 ||
        index + 1 >= int(siblings.size()))
        return;
    CCLNode* target = siblings[size_t(index + 1)];
    SelectNode(target);
    columnIndex = target->GetColumnIndex();
}

void CContactListCtrl::MoveDown()
{
    CZELLock hold(lock);
    if (!selected) return;
    CCLNode* target = nullptr;
    if (HasVisibleChildren(selected)) {
        std::vector<CCLNode*> children = VisibleChildren(selected);
        int n = children.front()->GetColumnCount();
        int firstRow = int(children.size()) < n ? int(children.size()) : n;
        target = children[size_t(columnIndex < firstRow ? (columnIndex < 0 ? 0 : columnIndex) : firstRow - 1)];
    } else if (selected->parent) {
        std::vector<CCLNode*> siblings = VisibleChildren(selected->parent);
        int index = IndexOf(siblings, selected);
        int n = selected->GetColumnCount();
        int count = int(siblings.size());
        if (index >= 0 && index + n < count) target = siblings[size_t(index + n)];
        else if (index >= 0 && index / n < (count - 1) / n) target = siblings.back();
        for (CCLNode* ancestor = selected->parent; !target && ancestor && ancestor->parent;
             ancestor = ancestor->parent) {
            std::vector<CCLNode*> around = VisibleChildren(ancestor->parent);
            int at = IndexOf(around, ancestor);
            if (at >= 0 && at + 1 < int(around.size())) target = around[size_t(at + 1)];
        }
    }
    if (!target) {
        std::vector<CCLNode*> top = VisibleChildren(CurrentRoot());
        if (top.empty()) return;
        target = top.front();
    }
    SelectNode(target);
}

void CContactListCtrl::MoveUp()
{
    CZELLock hold(lock);
    if (!selected || !selected->parent) return;
    std::vector<CCLNode*> siblings = VisibleChildren(selected->parent);
    int index = IndexOf(siblings, selected);
    int n = selected->GetColumnCount();
    int column = selected->GetColumnIndex();
    int back = columnIndex > column ? n + column - columnIndex : n;
    CCLNode* target = nullptr;
    if (index >= 0 && index - back >= 0) {
        target = siblings[size_t(index - back)];
        if (HasVisibleChildren(target)) {
            CCLNode* last = target->GetLastVisible();
            // On a shorter last row, step left to the aimed column.
            std::vector<CCLNode*> row = VisibleChildren(last->parent);
            int at = IndexOf(row, last);
            int lastColumn = last->GetColumnIndex();
            if (at >= 0 && lastColumn > columnIndex) at -= lastColumn - (columnIndex < 0 ? 0 : columnIndex);
            target = at >= 0 ? row[size_t(at)] : last;
        }
    } else if (selected->parent->parent) {
        target = selected->parent;
    } else {
        target = CurrentRoot()->GetLastVisible();
        if (target == CurrentRoot()) return;
        SelectNode(target);
        columnIndex = target->GetColumnIndex();
        return;
    }
    SelectNode(target);
}
