#include "Zel/chat/TextView.h"

#include "Zel/shell/helpers/ClipboardHelpers.h"

#include <algorithm>
#include <vector>

namespace {

int Margin() { return (g_HIDPI_LogPixelsX + 48) / 96; }
int Gap() { return (g_HIDPI_LogPixelsY + 48) / 96; }

bool ShiftHeld()
{
    return (GetKeyState(VK_SHIFT) | GetKeyState(VK_LSHIFT) | GetKeyState(VK_RSHIFT)) & 0x8000;
}

}  // namespace

CTextView::CTextView(ITextViewHost* host)
    : UI::CZELWMUI_ScrollWnd((g_HIDPI_LogPixelsY + 3) * 16 / 96), host(host), active(-1), penState(0),
      anchor{0, 0}, dirtyFirst(-1), dirtyLast(-1), measureDc(CreateCompatibleDC(nullptr))
{
}

CTextView::~CTextView()
{
    stateB.reset();
    layoutB.reset();
    stateA.reset();
    layoutA.reset();
    if (measureDc) DeleteDC(measureDc);
}

int CTextView::Measure(int style, const wchar_t* text, int count, int* widths)
{
    ITextViewHost::Style look = {nullptr, 0};
    if (host) host->GetStyle(&look, style);
    HGDIOBJ old = look.font ? SelectObject(measureDc, look.font) : nullptr;
    SIZE size = {0, 0};
    if (count > 0) {
        int fit = 0;
        GetTextExtentExPointW(measureDc, text, count, 0, &fit, widths, &size);
    } else {
        GetTextExtentPoint32W(measureDc, L" ", 1, &size);
    }
    if (old) SelectObject(measureDc, old);
    return size.cy;
}

int CTextView::Create(HINSTANCE instance, HWND parent, DWORD style, const RECT& rect)
{
    if (!UI::CZELWMUI_ScrollWnd::Create(instance, parent, style, rect)) return 0;
    RECT client;
    GetClientRect(hwnd, &client);
    layoutA.reset(new CTextLayout(&document, this, client.right, Margin(), Gap()));
    stateA.reset(new TextViewState(&document, layoutA.get(), this, client));
    active = 0;
    return 1;
}

void CTextView::OnCreate()
{
    UI::CZELWMUI_ScrollWnd::OnCreate();
    RECT client;
    GetClientRect(hwnd, &client);
    SetScrollInfo(0, client.bottom, client.bottom, 0);
}

void CTextView::WidenDirty(int first, int last)
{
    if (dirtyFirst < 0 || first < dirtyFirst) dirtyFirst = first;
    if (last > dirtyLast) dirtyLast = last;
}

void CTextView::AddParagraph(TextParagraph* paragraph)
{
    if (paragraph) document.Add(paragraph);
}

void CTextView::ParagraphsAdded(int n)
{
    if (!layout() || n <= 0) return;
    if (n == 1) layout()->LayOutLast();
    else layout()->LayOutTail(n);
    int count = document.GetCount();
    WidenDirty(std::max(0, count - n), count - 1);
    UpdateScrollInfo();
}

void CTextView::Relayout()
{
    if (!layout()) return;
    layout()->LayOutAll();
    WidenDirty(0, document.GetCount() - 1);
    UpdateScrollInfo();
    EnsureCaretVisible();
    Redraw();
}

void CTextView::Clear()
{
    document.Clear();
    for (CTextLayout* l : {layoutA.get(), layoutB.get()})
        if (l) l->Clear();
    for (TextViewState* s : {stateA.get(), stateB.get()})
        if (s) s->Reset();
    dirtyFirst = dirtyLast = -1;
    UpdateScrollInfo();
    UpdateCaret();
    Redraw();
}

bool CTextView::ReplaceElement(int paragraph, ITextElement* element, const wchar_t* text, int length, int style)
{
    TextParagraph* p = paragraph < document.GetCount() ? document.Get(paragraph) : nullptr;
    int run = p ? p->FindElement(element) : -1;
    if (run < 0) return false;
    p->ReplaceRange(p->GetRuns()[size_t(run)].start, 1, text, length, style);
    return true;
}

void CTextView::RedrawElement(int paragraph, ITextElement* element)
{
    // The picture's paragraph is painted again; the text around it is drawn the same.
    if (paragraph >= 0 && paragraph < document.GetCount() && element) Redraw();
}

void CTextView::SwitchLayout(int width, int height)
{
    TextViewState* previous = state();
    if (width == layout()->GetWidth()) {
        previous->Resize(height, layout()->GetHeight());
        return;
    }
    int other = active == 1 ? 0 : 1;
    std::unique_ptr<CTextLayout>& otherLayout = other == 1 ? layoutB : layoutA;
    std::unique_ptr<TextViewState>& otherState = other == 1 ? stateB : stateA;
    RECT viewport = {0, 0, width, height};
    if (!otherLayout) {
        otherLayout.reset(new CTextLayout(&document, this, width, Margin(), Gap()));
        otherState.reset(new TextViewState(&document, otherLayout.get(), this, viewport));
        otherLayout->LayOutAll();
        dirtyFirst = dirtyLast = -1;
    } else if (otherLayout->GetWidth() != width) {
        otherLayout->SetWidth(width);
        otherLayout->LayOutAll();
        otherState->viewport = viewport;
        dirtyFirst = dirtyLast = -1;
    } else {
        otherState->viewport = viewport;
    }
    active = other;
    if (dirtyFirst >= 0) {
        layout()->ApplyDirtyRange(dirtyFirst, dirtyLast);
        dirtyFirst = dirtyLast = -1;
    }
    state()->caret = previous->caret;
    state()->selStart = previous->selStart;
    state()->selEnd = previous->selEnd;
}

void CTextView::OnWindowPosChanged(WINDOWPOS* position)
{
    if (!position || (position->flags & SWP_NOSIZE) || active < 0) return;
    RECT client;
    GetClientRect(hwnd, &client);
    SwitchLayout(client.right, client.bottom);
    UpdateScrollInfo();
    EnsureCaretVisible();
}

void CTextView::UpdateScrollInfo()
{
    if (!hwnd || !state()) return;
    RECT& v = state()->viewport;
    int height = v.bottom - v.top;
    SetScrollInfo(0, std::max(layout()->GetHeight(), height), height, v.top);
}

void CTextView::OnScroll()
{
    if (!state()) return;
    RECT& v = state()->viewport;
    int height = v.bottom - v.top;
    v.top = GetScrollPos();
    v.bottom = v.top + height;
    UpdateCaret();
}

void CTextView::UpdateCaret()
{
    if (!hwnd || GetFocus() != hwnd || !state()) return;
    const RECT& v = state()->viewport;
    if (layout()->GetCount() == 0) {
        SetCaretPos(Margin(), Margin());
        return;
    }
    CaretPoint at = layout()->GetCaretPoint(state()->caret);
    int h = host ? host->GetCaretHeight() : 16;
    int caretHeight = h < 0 ? -UI::HIDPI_ScaleY(-h) : UI::HIDPI_ScaleY(h);
    SetCaretPos(at.x - v.left, at.y - v.top + (at.height - caretHeight) / 2);
}

void CTextView::EnsureCaretVisible()
{
    if (!state() || layout()->GetCount() == 0) {
        UpdateCaret();
        return;
    }
    const RECT& v = state()->viewport;
    CaretPoint at = layout()->GetCaretPoint(state()->caret);
    int top = at.y - v.top, bottom = at.y + at.height - v.top;
    int page = v.bottom - v.top;
    if (top < 0) SetScrollPos(v.top + top);
    else if (bottom <= page) UpdateCaret();
    else SetScrollPos(v.top + bottom - page);
}

void CTextView::MoveCaret(int command, bool extend)
{
    if (!state()) return;
    state()->RunCaretCommand(command, extend);
    EnsureCaretVisible();
}

bool CTextView::Find(const wchar_t* text, const FindOptions& options)
{
    if (!state() || !state()->Find(text, options)) return false;
    EnsureCaretVisible();
    return true;
}

void CTextView::CopySelection()
{
    std::wstring text;
    if (GetSelectedText(text, false) && !text.empty()) CopyTextToClipboard(text.c_str());
}

void CTextView::EdgeReached(int direction)
{
    PostMessageW(Parent(), WM_NEXTDLGCTL, direction == 1 ? 1 : 0, 0);
}

void CTextView::OnKeyDown(int key)
{
    bool extend = ShiftHeld();
    auto enabled = [&](int which) { return !host || host->IsCaretKeyEnabled(which); };
    switch (key) {
    case VK_TAB: PostMessageW(Parent(), WM_NEXTDLGCTL, 0, 0); return;
    case VK_PRIOR: MoveCaret(CARET_PARA_START, extend); return;
    case VK_NEXT: MoveCaret(CARET_PARA_END, extend); return;
    case VK_HOME: MoveCaret(CARET_LINE_START, extend); return;
    case VK_END: MoveCaret(CARET_LINE_END, extend); return;
    case VK_LEFT:
        if (!extend && !enabled(0)) PostMessageW(Parent(), WM_NEXTDLGCTL, 1, 0);
        else MoveCaret(CARET_LEFT, extend);
        return;
    case VK_RIGHT:
        if (!extend && !enabled(0)) PostMessageW(Parent(), WM_NEXTDLGCTL, 0, 0);
        else MoveCaret(CARET_RIGHT, extend);
        return;
    case VK_UP:
        if (extend) MoveCaret(CARET_LINE_UP, true);
        else if (!enabled(1)) PostMessageW(Parent(), WM_NEXTDLGCTL, 1, 0);
        else MoveCaret(CARET_PARA_PREV, false);
        return;
    case VK_DOWN:
        if (extend) MoveCaret(CARET_LINE_DOWN, true);
        else if (!enabled(1)) PostMessageW(Parent(), WM_NEXTDLGCTL, 0, 0);
        else MoveCaret(CARET_PARA_NEXT, false);
        return;
    case VK_INSERT: CopySelection(); return;
    }
    if (key == 'C' && (GetKeyState(VK_CONTROL) & 0x8000)) CopySelection();
}

bool CTextView::ActivateLinkAt(const TextPosition& position)
{
    const TextParagraph* p = position.paragraph < document.GetCount() ? document.Get(position.paragraph) : nullptr;
    int run = p ? p->RunAt(position.character) : -1;
    if (run < 0 || p->GetRuns()[size_t(run)].style != STYLE_LINK || !host) return false;
    const TextRun& r = p->GetRuns()[size_t(run)];
    return host->OnLinkActivated(p->GetText() + r.start, r.length, p->GetText()) != 0;
}

void CTextView::OnChar(wchar_t character, LPARAM)
{
    if (character != L'\r' || !layout() || layout()->GetCount() == 0) return;
    if (!ActivateLinkAt(state()->caret)) PostMessageW(Parent(), WM_NEXTDLGCTL, 0, 0);
}

void CTextView::OnLButtonDown(int, const POINT& point)
{
    if (penState) ReleaseCapture();
    penState = 0;
    if (GetFocus() != hwnd) SetFocus(hwnd);
    anchor = point;
    penState = 1;
    SetCapture(hwnd);
}

void CTextView::OnMouseMove(int, const POINT& point)
{
    if (!penState || !state()) return;
    if (penState == 1) {
        if (abs(point.x - anchor.x) >= UI::HIDPI_ScaleX(10)) penState = 2;
        else if (abs(point.y - anchor.y) >= UI::HIDPI_ScaleY(10)) penState = 3;
        else return;
    }
    if (penState == 2) {
        RECT client;
        GetClientRect(hwnd, &client);
        if (point.y < 0 || point.y > client.bottom) return;
        state()->SelectBetween(anchor, point, true);
        UpdateCaret();
    } else {
        int dy = anchor.y - point.y;
        if (abs(dy) < 2 * UI::HIDPI_ScaleY(10)) return;
        anchor = point;
        int top = state()->viewport.top + dy;
        SetScrollPos(top < 1 ? 0 : top);
    }
}

void CTextView::OnLButtonUp(int, const POINT& point)
{
    if (penState == 1 && state()) {
        const RECT& v = state()->viewport;
        TextPosition hit = layout()->HitTest(point.x + v.left, point.y + v.top);
        if (!(hit.trailing == 0 && ActivateLinkAt(hit))) {
            state()->caret = hit;
            if (state()->HasSelection()) {
                state()->ClearSelection();
                Redraw();
            }
            UpdateCaret();
        }
    }
    if (penState) ReleaseCapture();
    penState = 0;
}

void CTextView::OnSetFocus(HWND)
{
    int h = host ? host->GetCaretHeight() : 16;
    CreateCaret(hwnd, nullptr, Margin(), h < 0 ? -UI::HIDPI_ScaleY(-h) : UI::HIDPI_ScaleY(h));
    UpdateCaret();
    ShowCaret(hwnd);
}

void CTextView::OnKillFocus(HWND) { DestroyCaret(); }

void CTextView::OnContextMenu(const POINT&) {}

void CTextView::PaintParagraph(HDC dc, const LaidOutParagraph* laid)
{
    const TextViewState* s = state();
    const TextParagraph* source = document.Get(laid->paragraph);
    int ox = laid->x - s->viewport.left, oy = laid->y - s->viewport.top;
    int s1 = 1, e = 0;  // the selected characters of this paragraph, empty when s1 > e
    if (s->HasSelection() && laid->paragraph >= s->selStart.paragraph && laid->paragraph <= s->selEnd.paragraph) {
        s1 = laid->paragraph == s->selStart.paragraph ? s->selStart.character : 0;
        e = laid->paragraph == s->selEnd.paragraph ? s->selEnd.character : source->GetEnd() - 1;
    }
    COLORREF selText = 0, selBack = RGB(0, 0, 128);
    if (host) host->GetSelectionColors(&selText, &selBack);
    for (const LinePiece& piece : laid->pieces) {
        int x = ox + piece.x, y = oy + piece.y;
        if (piece.style == STYLE_ELEMENT) {
            if (piece.start >= s1 && piece.start <= e) {
                HBRUSH brush = CreateSolidBrush(selBack);
                RECT r = {x, y, x + piece.width, y + piece.height};
                FillRect(dc, &r, brush);
                DeleteObject(brush);
            }
            if (piece.element) piece.element->Paint(dc, POINT{x, y});
            continue;
        }
        if (piece.length <= 0) continue;
        ITextViewHost::Style look = {nullptr, 0};
        if (host) host->GetStyle(&look, piece.style);
        HGDIOBJ oldFont = look.font ? SelectObject(dc, look.font) : nullptr;
        COLORREF oldColor = ::SetTextColor(dc, look.color);
        const wchar_t* text = source->GetText() + piece.start;
        int end = piece.start + piece.length;
        int from = std::max(s1, piece.start), to = std::min(e, end - 1);
        auto draw = [&](int a, int b, bool selected) {  // characters [a, b)
            if (b <= a) return;
            SIZE before = {0, 0}, part = {0, 0};
            if (a > piece.start) GetTextExtentPoint32W(dc, text, a - piece.start, &before);
            GetTextExtentPoint32W(dc, text + (a - piece.start), b - a, &part);
            RECT r = {x + before.cx, y, x + before.cx + part.cx, y + piece.height};
            if (selected) {
                ::SetTextColor(dc, selText);
                SetBkColor(dc, selBack);
                SetBkMode(dc, OPAQUE);
                ExtTextOutW(dc, r.left, r.top, ETO_OPAQUE, &r, text + (a - piece.start), UINT(b - a), nullptr);
                SetBkMode(dc, TRANSPARENT);
                ::SetTextColor(dc, look.color);
            } else {
                DrawTextW(dc, text + (a - piece.start), b - a, &r, DT_NOPREFIX | DT_NOCLIP | DT_SINGLELINE);
            }
        };
        if (from > to) {
            draw(piece.start, end, false);
        } else {
            draw(piece.start, from, false);
            draw(from, to + 1, true);
            draw(to + 1, end, false);
        }
        ::SetTextColor(dc, oldColor);
        if (oldFont) SelectObject(dc, oldFont);
    }
}

void CTextView::Paint(HDC dc)
{
    if (!layout() || layout()->GetCount() == 0) return;
    SetBkMode(dc, TRANSPARENT);
    int first = 0, last = -1;
    layout()->VisibleRange(state()->viewport.top, state()->viewport.bottom, first, last);
    for (int i = first; i <= last; ++i) PaintParagraph(dc, layout()->Get(i));
}
