#include "Zel/chat/textview/TextViewState.h"

#include <algorithm>
#include <cwctype>

namespace {

bool CharLess(const TextPosition& a, const TextPosition& b)
{
    return a.paragraph != b.paragraph ? a.paragraph < b.paragraph : a.character < b.character;
}

bool SameChar(const TextPosition& a, const TextPosition& b)
{
    return a.paragraph == b.paragraph && a.character == b.character;
}

bool IsWordEdge(wchar_t c) { return std::iswspace(c) || std::iswpunct(c); }

TextPosition Pos(int p, int c, int t)
{
    TextPosition r = {p, c, t};
    return r;
}

}  // namespace

TextViewState::TextViewState(const CTextDocument* document, CTextLayout* layout, ITextViewStateHost* host,
                             const RECT& viewport)
    : viewport(viewport), document(document), layout(layout), host(host)
{
    Reset();
}

void TextViewState::Reset()
{
    viewport.bottom -= viewport.top;
    viewport.top = 0;
    caret = Pos(0, 0, 0);
    selStart = Pos(-1, 0, 0);
    selEnd = Pos(-1, 0, 1);
}

void TextViewState::ClearSelection()
{
    selStart = Pos(-1, 0, 0);
    selEnd = Pos(-1, 0, 1);
}

int TextViewState::LastChar(int paragraph) const
{
    const TextParagraph* p = document->Get(paragraph);
    return p ? p->GetEnd() - 1 : -1;
}

wchar_t TextViewState::CharAt(int paragraph, int character) const
{
    const TextParagraph* p = document->Get(paragraph);
    if (!p || character < 0 || character >= p->GetLength()) return 0;
    return p->GetText()[character];
}

TextPosition TextViewState::ParaEnd(int paragraph) const
{
    int last = std::max(0, LastChar(paragraph));
    return Pos(paragraph, last, CharAt(paragraph, last) == kLineSeparator ? 0 : 1);
}

const TextLine* TextViewState::CaretLine(int* paragraphY) const
{
    if (layout->GetCount() == 0) return nullptr;
    const LaidOutParagraph* p = layout->Get(std::min(caret.paragraph, layout->GetCount() - 1));
    if (p->lines.empty()) return nullptr;
    if (paragraphY) *paragraphY = p->y;
    return &p->lines[size_t(p->LineOf(caret.character))];
}

bool TextViewState::NextChar(TextPosition& p) const
{
    if (p.character < LastChar(p.paragraph)) ++p.character;
    else if (p.paragraph < LastParagraph()) p = Pos(p.paragraph + 1, 0, 0);
    else return false;
    p.trailing = 0;
    return true;
}

bool TextViewState::PrevChar(TextPosition& p) const
{
    if (p.character > 0) --p.character;
    else if (p.paragraph > 0) p = Pos(p.paragraph - 1, std::max(0, LastChar(p.paragraph - 1)), 0);
    else return false;
    return true;
}

bool TextViewState::Normalise(TextPosition a, TextPosition b, TextPosition& first, TextPosition& last) const
{
    if (b < a) std::swap(a, b);
    if (a.trailing == 1 && !NextChar(a)) return false;
    if (SameChar(a, b) && b.trailing == 0) return false;
    if (b.trailing == 0 && !PrevChar(b)) return false;
    if (CharLess(b, a)) return false;
    first = Pos(a.paragraph, a.character, 0);
    last = Pos(b.paragraph, b.character, 1);
    return true;
}

void TextViewState::RunCaretCommand(int command, bool extend)
{
    TextPosition old = caret;
    int edge = -1;  // the direction of an edge report
    bool empty = IsEmpty();
    int paraY = 0;
    const TextLine* line = empty ? nullptr : CaretLine(&paraY);
    int p = caret.paragraph, c = caret.character;
    switch (command) {
    case CARET_LEFT:
        if (empty) edge = 1;
        else if (caret.trailing == 1) caret.trailing = 0;
        else if (c == 0) {
            if (p == 0) edge = 1;
            else {
                int last = LastChar(p - 1);
                caret = Pos(p - 1, std::max(0, last), last >= 0 ? 1 : 0);
            }
        } else if (line && c == line->firstChar) {
            int prev = c - 1;
            if (CharAt(p, prev) == kLineSeparator) {
                bool emptyLine = line != &layout->Get(p)->lines[0] && (line - 1)->firstChar == prev;
                caret = emptyLine ? Pos(p, prev, 0) : Pos(p, prev - 1, 1);
            } else {
                caret = Pos(p, prev, 1);
            }
        } else {
            caret = Pos(p, c - 1, 0);
        }
        break;
    case CARET_RIGHT:
        if (empty) {
            edge = 0;
        } else if (c >= LastChar(p)) {
            if (caret.trailing == 0) caret.trailing = 1;
            else if (p == LastParagraph()) edge = 0;
            else caret = Pos(p + 1, 0, 0);
        } else if (line) {
            int le = line->lastChar;
            bool separatorEnd = CharAt(p, le) == kLineSeparator;
            int visualLast = separatorEnd && le > line->firstChar ? le - 1 : le;
            if (separatorEnd && c >= le) caret = Pos(p, le + 1, 0);
            else if (c == visualLast) caret = caret.trailing == 0 ? Pos(p, c, 1) : Pos(p, le + 1, 0);
            else caret = Pos(p, c + 1, caret.trailing);
        }
        break;
    case CARET_LINE_START:
        if (line) caret = Pos(p, line->firstChar, 0);
        break;
    case CARET_LINE_END:
        if (line) caret = Pos(p, line->lastChar, CharAt(p, line->lastChar) == kLineSeparator ? 0 : 1);
        break;
    case CARET_LINE_UP:
        if (empty || caret == Pos(0, 0, 0) || !line) edge = 1;
        else {
            CaretPoint at = layout->GetCaretPoint(caret);
            caret = layout->HitTest(at.x, paraY + line->top - layout->GetGap());
        }
        break;
    case CARET_LINE_DOWN:
        if (empty || !line || (p == LastParagraph() && c >= LastChar(p) && caret.trailing == 1)) edge = 0;
        else {
            CaretPoint at = layout->GetCaretPoint(caret);
            caret = layout->HitTest(at.x, paraY + line->bottom + layout->GetGap() + 1);
        }
        break;
    case CARET_PARA_START:
        caret = Pos(p, 0, 0);
        break;
    case CARET_PARA_END:
        if (!empty) caret = ParaEnd(p);
        break;
    case CARET_PARA_PREV:
        if (c != 0 || caret.trailing != 0) caret = Pos(p, 0, 0);
        else if (p == 0) edge = 1;
        else caret = Pos(p - 1, 0, 0);
        break;
    case CARET_PARA_NEXT:
        if (empty) edge = 0;
        else if (p < LastParagraph()) caret = Pos(p + 1, 0, 0);
        else {
            int last = LastChar(p);
            bool atEnd = c >= last && (caret.trailing == 1 || CharAt(p, last) == kLineSeparator);
            if (atEnd) edge = 0;
            else caret = ParaEnd(p);
        }
        break;
    case CARET_DOC_START:
        caret = Pos(0, 0, 0);
        break;
    case CARET_DOC_END:
        caret = empty ? Pos(0, 0, 0) : Pos(LastParagraph(), std::max(0, LastChar(LastParagraph())), 1);
        break;
    default:
        return;
    }
    if (edge >= 0 && host) host->EdgeReached(edge);
    if (extend) {
        Extend(old);
    } else if (HasSelection()) {
        ClearSelection();
        if (host) host->Redraw();
    }
}

void TextViewState::Extend(const TextPosition& oldCaret)
{
    TextPosition a, b;
    if (!Normalise(oldCaret, caret, a, b)) return;
    if (!HasSelection()) {
        selStart = a;
        selEnd = b;
    } else if (CharLess(a, selStart)) {
        selStart = a;
    } else if (CharLess(selEnd, b)) {
        selEnd = b;
    } else if (SameChar(a, selStart)) {
        TextPosition next = Pos(b.paragraph, b.character, 0);
        if (NextChar(next)) selStart = next;
        else ClearSelection();
    } else if (SameChar(b, selEnd)) {
        TextPosition prev = Pos(a.paragraph, a.character, 0);
        if (PrevChar(prev)) selEnd = Pos(prev.paragraph, prev.character, 1);
        else ClearSelection();
    } else {
        ClearSelection();
    }
    if (HasSelection() && CharLess(selEnd, selStart)) ClearSelection();
    if (host) host->Redraw();
}

void TextViewState::SelectBetween(POINT from, POINT to, bool caretFollows)
{
    bool had = HasSelection();
    TextPosition p = layout->HitTest(from.x + viewport.left, from.y + viewport.top);
    TextPosition q = layout->HitTest(to.x + viewport.left, to.y + viewport.top);
    TextPosition a, b;
    if (p == q || !Normalise(p, q, a, b)) {
        ClearSelection();
        if (had && host) host->Redraw();
        return;
    }
    selStart = a;
    selEnd = b;
    if (caretFollows) caret = q;
    if (host) host->Redraw();
}

void TextViewState::Resize(int height, int documentHeight)
{
    // The newest lines stay in view when the window shrinks.
    if (documentHeight > viewport.bottom - viewport.top) {
        viewport.top = viewport.bottom - height;
        if (viewport.top < 0) {
            viewport.top = 0;
            viewport.bottom = height;
        }
    } else {
        viewport.bottom = viewport.top + height;
    }
}

std::wstring TextViewState::GetRangeText(const TextPosition& start, const TextPosition& end, bool quote) const
{
    std::wstring out;
    for (int p = std::max(0, start.paragraph); p <= end.paragraph && p < document->GetCount(); ++p) {
        const TextParagraph* para = document->Get(p);
        int from = p == start.paragraph ? start.character : 0;
        int to = std::min(p == end.paragraph ? end.character : LastChar(p), para->GetLength() - 1);
        if (p > start.paragraph) out += L"\r\n\r\n";
        if (quote) out += L"> ";
        for (int c = std::max(0, from); c <= to; ++c) {
            wchar_t ch = para->GetText()[c];
            if (ch == kLineSeparator) {
                out += L"\r\n";
            } else if (ch == kObjectCharacter) {
                int run = para->RunAt(c);
                ITextElement* element = run >= 0 ? para->GetRuns()[size_t(run)].element : nullptr;
                const wchar_t* text = element ? element->GetText() : nullptr;
                if (text) out += text;
            } else {
                out += ch;
            }
        }
    }
    return out;
}

bool TextViewState::GetSelectedText(std::wstring& out, bool quote) const
{
    if (!HasSelection()) return false;
    out = GetRangeText(selStart, selEnd, quote);
    return true;
}

bool TextViewState::GetLastParagraphText(std::wstring& out, bool quote) const
{
    if (document->GetCount() == 0) return false;
    int last = LastParagraph();
    out = GetRangeText(Pos(last, 0, 0), Pos(last, LastChar(last), 1), quote);
    return true;
}

bool TextViewState::GetAllText(std::wstring& out, bool quote) const
{
    if (document->GetCount() == 0) return false;
    int last = LastParagraph();
    out = GetRangeText(Pos(0, 0, 0), Pos(last, LastChar(last), 1), quote);
    return true;
}

bool TextViewState::Find(const wchar_t* text, const FindOptions& options)
{
    if (IsEmpty() || !text || !*text) return false;
    std::wstring needle(text);
    if (!options.matchCase)
        for (wchar_t& ch : needle) ch = wchar_t(std::towlower(ch));
    int count = document->GetCount();
    int caretPara = std::min(caret.paragraph, count - 1);
    int searchStart = caret.character + caret.trailing;
    // Returns the match's start in paragraph p at or after from and before limit, or -1.
    auto search = [&](int p, int from, int limit) -> int {
        const TextParagraph* para = document->Get(p);
        std::wstring hay(para->GetText(), size_t(para->GetLength()));
        if (!options.matchCase)
            for (wchar_t& ch : hay) ch = wchar_t(std::towlower(ch));
        size_t at = size_t(std::max(0, from));
        while (at <= hay.size()) {
            size_t found = hay.find(needle, at);
            if (found == std::wstring::npos || int(found) >= limit) return -1;
            size_t after = found + needle.size();
            bool whole = (found == 0 || IsWordEdge(hay[found - 1])) && (after >= hay.size() || IsWordEdge(hay[after]));
            if (!options.wholeWord || whole) return int(found);
            at = found + 1;
        }
        return -1;
    };
    int matchPara = -1, matchStart = -1;
    const int noLimit = 0x7FFFFFFF;
    int s = search(caretPara, searchStart, noLimit);
    if (s >= 0) matchPara = caretPara, matchStart = s;
    for (int p = caretPara + 1; matchPara < 0 && p < count; ++p)
        if ((s = search(p, 0, noLimit)) >= 0) matchPara = p, matchStart = s;
    for (int p = 0; matchPara < 0 && p <= caretPara; ++p)
        if ((s = search(p, 0, p == caretPara ? searchStart : noLimit)) >= 0) matchPara = p, matchStart = s;
    if (matchPara < 0) return false;
    int n = int(needle.size());
    ClearSelection();
    caret = Pos(matchPara, matchStart + n - 1, 0);
    RunCaretCommand(CARET_RIGHT, false);
    selStart = Pos(matchPara, matchStart, 0);
    selEnd = Pos(matchPara, matchStart + n - 1, 1);
    if (host) host->Redraw();
    return true;
}
