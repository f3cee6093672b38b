#include "Zel/shell/contactlist/CLNode.h"

#include "Zel/shell/contactlist/ContactListCtrl.h"
#include "Zel/shell/contactlist/ContactListHost.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <algorithm>

namespace {

int Columns(int n)
{
    return n < 1 ? 1 : n;
}

}  // namespace

// The base.

CCLNode::~CCLNode()
{
    CCLNode* child = firstChild;
    while (child) {
        CCLNode* following = child->next;
        delete child;
        child = following;
    }
}

int CCLNode::HeaderHeight() const
{
    return UI::HIDPI_ScaleY(std::max(context->fontHeight - 2, 18));
}

int CCLNode::GetHeight()
{
    int height = GetOwnHeight();
    if (expanded)
        for (CCLNode* child = firstChild; child; child = child->next)
            if (child->visible) height += child->GetHeight();
    return height;
}

void CCLNode::GetRect(int* top, int* bottom)
{
    int y = 0;
    if (parent) {
        int parentBottom = 0;
        parent->GetRect(&y, &parentBottom);
        y += parent->GetOwnHeight();
        for (CCLNode* sibling = parent->firstChild; sibling && sibling != this; sibling = sibling->next)
            if (sibling->visible) y += sibling->GetHeight();
    }
    *top = y;
    *bottom = y + GetHeight();
}

int CCLNode::GetChildCount()
{
    int count = 0;
    for (CCLNode* child = firstChild; child; child = child->next) ++count;
    return count;
}

int CCLNode::GetVisibleChildCount()
{
    int count = 0;
    for (CCLNode* child = firstChild; child; child = child->next) count += child->visible;
    return count;
}

void CCLNode::InsertChild(CCLNode* node)
{
    node->parent = this;
    CCLNode* before = nullptr;
    CCLNode* last = nullptr;
    if (node->Kind() == CLContact) {
        // Contacts go through the index: before the first that sorts after them.
        if (!contactIndex) contactIndex.reset(new ContactIndex);
        ContactSortKey key = static_cast<CCLContactNode*>(node)->SortKey();
        auto after = contactIndex->upper_bound(key);
        before = after == contactIndex->end() ? nullptr : after->second;
        last = before ? before->prev : (contactIndex->empty() ? nullptr : contactIndex->rbegin()->second);
        node->indexEntry = contactIndex->insert(after, {key, node});
        node->indexed = true;
    } else {
        before = firstChild;
        while (before && before->Compare(before, node) < 1) {
            last = before;
            before = before->next;
        }
    }
    node->prev = last;
    node->next = before;
    if (before) before->prev = node;
    if (last) last->next = node;
    else firstChild = node;
}

void CCLNode::InsertChildAt(int position, CCLNode* node)
{
    node->parent = this;
    if (position <= 0 || !firstChild) {
        node->prev = nullptr;
        node->next = firstChild;
        if (firstChild) firstChild->prev = node;
        firstChild = node;
        return;
    }
    CCLNode* after = firstChild;
    for (int i = 1; i < position && after->next; ++i) after = after->next;
    node->prev = after;
    node->next = after->next;
    if (after->next) after->next->prev = node;
    after->next = node;
}

bool CCLNode::RemoveChild(CCLNode* node)
{
    if (!node || node->parent != this) return false;
    if (node->indexed && contactIndex) contactIndex->erase(node->indexEntry);
    node->indexed = false;
    if (node->prev) node->prev->next = node->next;
    else firstChild = node->next;
    if (node->next) node->next->prev = node->prev;
    node->parent = node->next = node->prev = nullptr;
    return true;
}

void CCLNode::PaintSelection(HDC dc, const RECT& row)
{
    COLORREF top = GetSchemeColor(9), bottom = GetSchemeColor(10);
    TRIVERTEX vertices[2] = {
        {row.left, row.top, COLOR16(GetRValue(top) * 255), COLOR16(GetGValue(top) * 255),
         COLOR16(GetBValue(top) * 255), 0},
        {row.right, row.bottom, COLOR16(GetRValue(bottom) * 255), COLOR16(GetGValue(bottom) * 255),
         COLOR16(GetBValue(bottom) * 255), 0}};
    GRADIENT_RECT gradient = {0, 1};
    GradientFill(dc, vertices, 2, &gradient, 1, GRADIENT_FILL_RECT_V);
    HPEN pen = CreatePen(PS_SOLID, 1, GetSchemeColor(11));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, row.left, row.top, row.right, row.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void CCLNode::Paint(HDC dc, const RECT& rect, const RECT& clip, bool children)
{
    const int own = GetOwnHeight();
    if (selected && own > 0) PaintSelection(dc, RECT{rect.left, rect.top, rect.right, rect.top + own});
    if (!expanded || !children) return;
    int y = rect.top + own;
    for (CCLNode* child = firstChild; child; child = child->next) {
        if (!child->visible) continue;
        int height = child->GetHeight();
        RECT box = {rect.left, y, rect.right, y + height};
        RECT common;
        if (IntersectRect(&common, &box, &clip)) child->Paint(dc, box, clip, true);
        y += height;
        if (y > clip.bottom) break;
    }
}

CCLNode* CCLNode::HitTest(int x, int y, int width)
{
    const int own = GetOwnHeight();
    if (y < own) return y >= 0 ? this : nullptr;
    if (!expanded) return nullptr;
    y -= own;
    for (CCLNode* child = firstChild; child; child = child->next) {
        if (!child->visible) continue;
        int height = child->GetHeight();
        if (y < height) return child->HitTest(x, y, width);
        y -= height;
    }
    return nullptr;
}

bool CCLNode::Activate()
{
    return false;
}

bool CCLNode::OnDoubleTap(int, int, int)
{
    return Activate();
}

bool CCLNode::OnEnterKey()
{
    return Activate();
}

void CCLNode::ShowMenu(HWND, const RECT&, const POINT&, int) {}

CZELString CCLNode::GetKindName()
{
    return CZELString();
}

void CCLNode::FillMenu(CPopupMenu&) {}

CCLNode* CCLNode::GetLastVisible()
{
    if (!expanded) return this;
    CCLNode* last = nullptr;
    for (CCLNode* child = firstChild; child; child = child->next)
        if (child->visible) last = child;
    return last ? last->GetLastVisible() : this;
}

int CCLNode::Compare(CCLNode*, CCLNode*)
{
    return -1;
}

void CCLNode::SetExpanded(bool expanded)
{
    this->expanded = expanded;
}

bool CCLNode::HasUnread()
{
    return false;
}

int CCLNode::GetColumnCount()
{
    return 1;
}

int CCLNode::GetColumnIndex()
{
    if (!parent) return 0;
    int count = 0;
    for (CCLNode* sibling = parent->firstChild; sibling; sibling = sibling->next) {
        count += sibling->visible;
        if (sibling == this) break;
    }
    return count > 0 ? (count - 1) % Columns(GetColumnCount()) : 0;
}

// The grid of contacts in a group or status group.

int CCLNode::GridHeight(bool allChildren)
{
    int height = GetOwnHeight();
    if (!expanded || !firstChild) return height;
    int count = allChildren ? GetChildCount() : GetVisibleChildCount();
    int n = Columns(context->columns);
    int rows = (count + n - 1) / n;
    return height + rows * firstChild->GetOwnHeight();
}

CCLNode* CCLNode::GridHitTest(int x, int y, int width)
{
    const int own = GetOwnHeight();
    if (y < own) return y >= 0 ? this : nullptr;
    if (!expanded) return nullptr;
    y -= own;
    const int n = Columns(context->columns);
    const int cell = width / n;
    int k = 0;
    for (CCLNode* child = firstChild; child; child = child->next) {
        if (!child->visible) continue;
        int column = k % n;
        int height = child->GetHeight();
        if (y >= 0 && y < height && x >= cell * column && x < cell * (column + 1)) return child;
        ++k;
        if (k % n == 0) y -= height;
    }
    return nullptr;
}

void CCLNode::PaintGrid(HDC dc, int rowTop, const RECT& rect, const RECT& clip)
{
    const int n = Columns(context->columns);
    const int cell = (rect.right - rect.left) / n;
    int k = 0;
    for (CCLNode* child = firstChild; child; child = child->next) {
        if (!child->visible) continue;
        int column = k % n;
        int height = child->GetOwnHeight();
        RECT box = {rect.left + cell * column, rowTop, rect.left + cell * (column + 1), rowTop + height};
        RECT common;
        if (IntersectRect(&common, &box, &clip)) child->Paint(dc, box, clip, true);
        ++k;
        if (k % n == 0) {
            rowTop += child->GetHeight();
            if (rowTop > clip.bottom) break;
        }
    }
}

// Small drawing helpers.
namespace {

void DrawPicture(CLNodeContext* context, int picture, HDC dc, int left, int top, int right, int bottom)
{
    if (picture < 0 || !context->images) return;
    context->images->DrawStretched(picture, dc, left, top, right, bottom, 0, 255);
}

int TextWidth(HDC dc, const CZELString& text)
{
    SIZE size = {};
    if (!text.IsEmpty()) GetTextExtentPoint32W(dc, text.GetBuffer(), text.GetLength(), &size);
    return size.cx;
}

void DrawLine(HDC dc, int x1, int x2, int y, COLORREF colour)
{
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x1, y, nullptr);
    LineTo(dc, x2, y);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void DrawTextIn(HDC dc, const CZELString& text, RECT box, COLORREF colour, UINT format)
{
    SetTextColor(dc, colour);
    DrawTextW(dc, text.GetBuffer() ? text.GetBuffer() : L"", text.GetLength(), &box,
              format | DT_SINGLELINE | DT_NOPREFIX);
}

CZELString Number(int value)
{
    wchar_t text[16];
    wsprintfW(text, L"%d", value);
    return CZELString(text);
}

}  // namespace

// The root.

bool CCLRootNode::OnDoubleTap(int, int, int)
{
    SetExpanded(!expanded);
    return true;
}

bool CCLRootNode::OnEnterKey()
{
    SetExpanded(!expanded);
    return true;
}

// Status groups.

CCLStatusGroupNode::CCLStatusGroupNode(CLNodeContext* context, int id) : CCLNode(context), id(id)
{
    bool open = true;
    if (context->host && context->host->GetSettingOpen(ExpandKey(id), &open)) expanded = open;
}

const wchar_t* CCLStatusGroupNode::ExpandKey(int id)
{
    return id == 0 ? L"CLCtrl online open" : id == 1 ? L"CLCtrl offline open" : L"CLCtrl not in cl open";
}

bool CCLStatusGroupNode::Activate()
{
    SetExpanded(!expanded);
    return true;
}

void CCLStatusGroupNode::SetExpanded(bool expanded)
{
    this->expanded = expanded;
    if (context->host) context->host->SetSettingOpen(ExpandKey(id), expanded);
}

void CCLStatusGroupNode::Paint(HDC dc, const RECT& rect, const RECT& clip, bool)
{
    CCLNode::Paint(dc, rect, clip, false);
    const int own = GetOwnHeight();
    const int mid = (rect.top + rect.top + own) / 2;
    using UI::HIDPI_ScaleX;
    using UI::HIDPI_ScaleY;
    DrawPicture(context, expanded ? 20 : 19, dc, rect.left + HIDPI_ScaleX(3), mid - HIDPI_ScaleY(8),
                rect.left + HIDPI_ScaleX(19), mid + HIDPI_ScaleY(8));
    CZELString text = GuiText(180 + (id < 0 ? 0 : id > 2 ? 2 : id));
    int w = TextWidth(dc, text);
    int left = rect.left + HIDPI_ScaleX(22);
    DrawTextIn(dc, text, RECT{left, rect.top, rect.right, rect.top + own}, GetSchemeColor(6 + id),
               DT_CENTER | DT_VCENTER | DT_NOCLIP | DT_END_ELLIPSIS);
    DrawLine(dc, left, left + (rect.right - w - left) / 2 - HIDPI_ScaleX(6), mid, GetSchemeColor(3));
    DrawLine(dc, rect.right - HIDPI_ScaleX(6), left + (rect.right + w - left) / 2 + HIDPI_ScaleX(6), mid,
             GetSchemeColor(3));
    if (expanded) PaintGrid(dc, rect.top + own, rect, clip);
}

// Groups.

CCLGroupNode::CCLGroupNode(CLNodeContext* context, unsigned account, int groupId, const CZELString& name, int index)
    : CCLNode(context), account(account), groupId(groupId), name(name), index(index)
{
}

bool CCLGroupNode::Activate()
{
    SetExpanded(!expanded);
    return true;
}

void CCLGroupNode::SetExpanded(bool expanded)
{
    this->expanded = expanded;
    if (groupId && context->host) context->host->SetGroupOpen(groupId, expanded);
}

CZELString CCLGroupNode::GetKindName()
{
    return GuiText(33);
}

int CCLGroupNode::Compare(CCLNode* existing, CCLNode* node)
{
    auto* e = static_cast<CCLGroupNode*>(existing);
    auto* n = static_cast<CCLGroupNode*>(node);
    if (e->groupId == 0) return 1;
    if (n->groupId != 0 && e->index > n->index) return 1;
    return -1;
}

int CCLGroupNode::OnlineLead()
{
    int count = 0;
    for (CCLNode* child = firstChild; child; child = child->next) {
        auto* contact = static_cast<CCLContactNode*>(child);
        if (contact->statusType < 2 && !contact->unread) break;
        ++count;
    }
    return count;
}

void CCLGroupNode::Paint(HDC dc, const RECT& rect, const RECT& clip, bool)
{
    CCLNode::Paint(dc, rect, clip, false);
    const int own = GetOwnHeight();
    const int mid = (rect.top + rect.top + own) / 2;
    using UI::HIDPI_ScaleX;
    using UI::HIDPI_ScaleY;
    int picture = expanded ? 20 : 19;
    // A closed group holding an unread contact blinks its picture.
    if (!expanded && context->GroupHasUnread(groupId) && (context->Tick() / 500) % 2 == 0) picture = -1;
    DrawPicture(context, picture, dc, rect.left + HIDPI_ScaleX(3), mid - HIDPI_ScaleY(8), rect.left + HIDPI_ScaleX(19),
                mid + HIDPI_ScaleY(8));
    int x = rect.left + HIDPI_ScaleX(22);
    RECT row = {x, rect.top, rect.right, rect.top + own};
    DrawTextIn(dc, name, row, GetSchemeColor(4), DT_VCENTER | DT_NOCLIP);
    x += TextWidth(dc, name) + HIDPI_ScaleX(4);
    if (groupId != 0) {
        CZELString lead = Number(OnlineLead());
        DrawTextIn(dc, lead, RECT{x, rect.top, rect.right, rect.top + own}, GetSchemeColor(5), DT_VCENTER | DT_NOCLIP);
        x += TextWidth(dc, lead);
        CZELString total = CZELString(L"/") + Number(GetChildCount());
        DrawTextIn(dc, total, RECT{x, rect.top, rect.right, rect.top + own}, GetSchemeColor(4),
                   DT_VCENTER | DT_NOCLIP);
    } else {
        DrawTextIn(dc, Number(GetChildCount()), RECT{x, rect.top, rect.right, rect.top + own}, GetSchemeColor(8),
                   DT_VCENTER | DT_NOCLIP);
    }
    if (expanded) PaintGrid(dc, rect.top + own, rect, clip);
}

void CCLGroupNode::ShowMenu(HWND owner, const RECT& area, const POINT& point, int alignment)
{
    context->ShowNodeMenu(CLGroup, ItemId(), owner, area, point, alignment);
}

void CCLGroupNode::FillMenu(CPopupMenu& menu)
{
    context->BuildNodeMenu(CLGroup, ItemId(), menu);
}

// Contacts.

CCLContactNode::CCLContactNode(CLNodeContext* context, int contact, unsigned account, int groupId, const int* columns,
                               const CZELString& name, int statusType, const CZELArray<int>& leftIcons,
                               const CZELArray<int>& rightIcons)
    : CCLNode(context),
      contact(contact),
      account(account),
      groupId(groupId),
      columns(columns),
      name(name),
      statusType(statusType),
      leftIcons(leftIcons),
      rightIcons(rightIcons)
{
}

CCLContactNode* CCLContactNode::Twin(const int* twinColumns) const
{
    auto* twin = new CCLContactNode(context, contact, account, groupId, twinColumns, name, statusType, leftIcons,
                                    rightIcons);
    twin->unread = unread;
    return twin;
}

void CCLContactNode::SetStatus(int type, const CZELArray<int>& left, const CZELArray<int>& right)
{
    statusType = type;
    leftIcons = left;
    rightIcons = right;
}

int CCLContactNode::GetOwnHeight()
{
    return UI::HIDPI_ScaleY(std::max(context->fontHeight, 20));
}

int CCLContactNode::GetColumnCount()
{
    return Columns(columns ? *columns : context->columns);
}

void CCLContactNode::GetRect(int* top, int* bottom)
{
    int y = 0;
    if (parent) {
        int parentBottom = 0;
        parent->GetRect(&y, &parentBottom);
        y += parent->GetOwnHeight();
        int before = 0;
        for (CCLNode* sibling = parent->firstChild; sibling && sibling != this; sibling = sibling->next)
            before += sibling->visible;
        y += GetOwnHeight() * (before / GetColumnCount());
    }
    *top = y;
    *bottom = y + GetHeight();
}

bool CCLContactNode::OnDoubleTap(int, int, int)
{
    if (context->owner) context->owner->OpenChat(contact);
    return false;
}

bool CCLContactNode::OnEnterKey()
{
    if (context->owner) context->owner->OpenChat(contact);
    return false;
}

CZELString CCLContactNode::GetKindName()
{
    return GuiText(41);
}

int CompareContacts(const CCLContactNode& e, const CCLContactNode& n)
{
    // 1 when the existing one sorts after the new one; equal keys keep arrival order.
    return n.SortKey() < e.SortKey() ? 1 : -1;
}

int CCLContactNode::Compare(CCLNode* existing, CCLNode* node)
{
    return CompareContacts(*static_cast<CCLContactNode*>(existing), *static_cast<CCLContactNode*>(node));
}

void CCLContactNode::Paint(HDC dc, const RECT& rect, const RECT& clip, bool)
{
    CCLNode::Paint(dc, rect, clip, false);
    const int own = GetOwnHeight();
    const int mid = (rect.top + rect.top + own) / 2;
    using UI::HIDPI_ScaleX;
    using UI::HIDPI_ScaleY;
    const int top = mid - HIDPI_ScaleY(8), bottom = mid + HIDPI_ScaleY(8);
    int x = rect.left;
    // The left column: the status picture with what lies over it, or the oldest unread message's
    // picture, shown on the odd half-seconds.
    int unreadPicture = unread ? context->OldestUnreadPicture(contact) : -1;
    if (unreadPicture >= 0) {
        if ((context->Tick() / 500) % 2 == 1)
            DrawPicture(context, unreadPicture, dc, x + HIDPI_ScaleX(3), top, x + HIDPI_ScaleX(19), bottom);
    } else {
        for (int k = 0; k < leftIcons.GetCount(); ++k)
            DrawPicture(context, leftIcons[k], dc, x + HIDPI_ScaleX(3), top, x + HIDPI_ScaleX(19), bottom);
    }
    x += HIDPI_ScaleX(19);
    int right = rect.right;
    if (!context->dontShowIcon) {
        for (int k = 0; k < rightIcons.GetCount(); ++k) {
            DrawPicture(context, rightIcons[k], dc, right - HIDPI_ScaleX(19), top, right - HIDPI_ScaleX(3), bottom);
            right -= HIDPI_ScaleX(16);
        }
    }
    COLORREF colour = statusType >= 2 ? GetSchemeColor(6) : groupId != 0 ? GetSchemeColor(7) : GetSchemeColor(3);
    DrawTextIn(dc, name, RECT{x + HIDPI_ScaleX(3), rect.top, right, rect.top + own}, colour,
               DT_VCENTER | DT_END_ELLIPSIS);
}

void CCLContactNode::ShowMenu(HWND owner, const RECT& area, const POINT& point, int alignment)
{
    context->ShowNodeMenu(CLContact, contact, owner, area, point, alignment);
}

void CCLContactNode::FillMenu(CPopupMenu& menu)
{
    context->BuildNodeMenu(CLContact, contact, menu);
}

// Accounts.

CCLAccountNode::CCLAccountNode(CLNodeContext* context, unsigned account, const CZELString& name, int picture,
                               int columns)
    : CCLNode(context), account(account), name(name), picture(picture), columns(columns)
{
}

bool CCLAccountNode::Activate()
{
    SetExpanded(!expanded);
    return true;
}

void CCLAccountNode::SetExpanded(bool expanded)
{
    this->expanded = expanded;
    if (context->host) context->host->SetAccountOpen(account, expanded);
}

CZELString CCLAccountNode::GetKindName()
{
    return GuiText(28);
}

void CCLAccountNode::Paint(HDC dc, const RECT& rect, const RECT& clip, bool children)
{
    const int own = GetOwnHeight();
    RECT row = {rect.left, rect.top, rect.right, rect.top + own};
    COLORREF top = GetSchemeColor(selected ? 2 : 1), bottom = GetSchemeColor(selected ? 9 : 2);
    TRIVERTEX vertices[2] = {
        {row.left, row.top, COLOR16(GetRValue(top) * 255), COLOR16(GetGValue(top) * 255),
         COLOR16(GetBValue(top) * 255), 0},
        {row.right, row.bottom, COLOR16(GetRValue(bottom) * 255), COLOR16(GetGValue(bottom) * 255),
         COLOR16(GetBValue(bottom) * 255), 0}};
    GRADIENT_RECT gradient = {0, 1};
    GradientFill(dc, vertices, 2, &gradient, 1, GRADIENT_FILL_RECT_V);
    DrawEdge(dc, &row, EDGE_RAISED, BF_RECT);
    const int mid = (rect.top + rect.top + own) / 2;
    using UI::HIDPI_ScaleX;
    using UI::HIDPI_ScaleY;
    int folder = expanded ? 33 : 32;
    if (!expanded && context->AccountHasUnread(account) && (context->Tick() / 500) % 2 == 0) folder = -1;
    DrawPicture(context, folder, dc, rect.left + HIDPI_ScaleX(3), mid - HIDPI_ScaleY(7), rect.left + HIDPI_ScaleX(17),
                mid + HIDPI_ScaleY(7));
    DrawPicture(context, picture, dc, rect.left + HIDPI_ScaleX(20), mid - HIDPI_ScaleY(8),
                rect.left + HIDPI_ScaleX(36), mid + HIDPI_ScaleY(8));
    DrawTextIn(dc, name, RECT{rect.left + HIDPI_ScaleX(37), rect.top, rect.right, row.bottom - 1}, GetSchemeColor(0),
               DT_VCENTER | DT_NOCLIP | DT_END_ELLIPSIS);
    // The groups below, as the base stacks them (the selection was drawn as the row above).
    if (!expanded || !children) return;
    int y = row.bottom;
    for (CCLNode* child = firstChild; child; child = child->next) {
        if (!child->visible) continue;
        int height = child->GetHeight();
        RECT box = {rect.left, y, rect.right, y + height};
        RECT common;
        if (IntersectRect(&common, &box, &clip)) child->Paint(dc, box, clip, true);
        y += height;
        if (y > clip.bottom) break;
    }
}

void CCLAccountNode::ShowMenu(HWND owner, const RECT& area, const POINT& point, int alignment)
{
    context->ShowNodeMenu(CLAccount, intptr_t(account), owner, area, point, alignment);
}

void CCLAccountNode::FillMenu(CPopupMenu& menu)
{
    context->BuildNodeMenu(CLAccount, intptr_t(account), menu);
}
