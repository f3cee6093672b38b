#include "Zel/chat/textview/TextLayout.h"

#include <algorithm>
#include <cwctype>

namespace {

bool IsBreakOpportunity(wchar_t c)
{
    return std::iswspace(c) || std::iswpunct(c) || std::iswdigit(c);
}

}  // namespace

void LaidOutParagraph::CloseLine(int& top, size_t& lineFirst)
{
    // A line with no piece yet stays open: an over-wide first character simply stays on it.
    if (pieces.size() == lineFirst) return;
    int tall = 0;
    for (size_t i = lineFirst; i < pieces.size(); ++i) tall = std::max(tall, pieces[i].height);
    // Centred on the line by integer halves; a piece as tall as an odd line would come out one pixel
    // low, over the next line, so no piece starts lower than its height allows.
    for (size_t i = lineFirst; i < pieces.size(); ++i)
        pieces[i].y = top + std::min(tall - tall / 2 - pieces[i].height / 2, tall - pieces[i].height);
    TextLine line = {int(lineFirst), int(pieces.size()) - 1, top, top + tall, pieces[lineFirst].start, 0};
    lines.push_back(line);
    top += tall;
    lineFirst = pieces.size();
}

void LaidOutParagraph::Layout(const TextParagraph& source, int width, ITextMetrics* metrics)
{
    pieces.clear();
    lines.clear();
    const wchar_t* text = source.GetText();
    int x = 0, top = 0;
    size_t lineFirst = 0;
    std::vector<int> e;
    for (const TextRun& run : source.GetRuns()) {
        if (run.style == STYLE_ELEMENT) {
            SIZE size = {0, 0};
            if (run.element) run.element->Measure(&size);
            if (x + size.cx > width && pieces.size() != lineFirst) {
                CloseLine(top, lineFirst);
                x = 0;
            }
            LinePiece piece = {run.start, 1, run.element, STYLE_ELEMENT, x, 0, int(size.cx), int(size.cy)};
            pieces.push_back(piece);
            x += size.cx;
            continue;
        }
        int s = run.start, n = run.length;
        if (n <= 0) continue;
        e.assign(size_t(n), 0);
        int h = metrics->Measure(run.style, text + s, n, e.data());
        int g = 0, b = -1;
        for (int i = 0; i < n; ++i) {
            wchar_t c = text[s + i];
            int before = g > 0 ? e[size_t(g - 1)] : 0;
            bool separator = c == kLineSeparator;
            if (separator || x + e[size_t(i)] - before > width) {
                int end;
                bool chosen = true;
                if (separator) end = i - 1;
                else if (b >= g) end = b;
                else if (x != 0) chosen = false;  // the whole segment moves to the next line
                else end = i - 1;                 // a word wider than the line is cut here
                if (chosen && (end >= g || separator)) {
                    int pieceWidth = end >= g ? e[size_t(end)] - before : 0;
                    LinePiece piece = {s + g, end >= g ? end - g + 1 : 0, nullptr, run.style, x, 0, pieceWidth, h};
                    pieces.push_back(piece);
                    g = end + (separator ? 2 : 1);
                }
                CloseLine(top, lineFirst);
                x = 0;
            }
            if (run.style != STYLE_LINK && !separator && IsBreakOpportunity(c)) b = i;
        }
        if (g < n) {
            int before = g > 0 ? e[size_t(g - 1)] : 0;
            LinePiece piece = {s + g, n - g, nullptr, run.style, x, 0, e[size_t(n - 1)] - before, h};
            pieces.push_back(piece);
            x += piece.width;
        }
    }
    CloseLine(top, lineFirst);
    height = top;
    int end = source.GetEnd();
    for (size_t i = 0; i < lines.size(); ++i)
        lines[i].lastChar = (i + 1 < lines.size() ? lines[i + 1].firstChar : end) - 1;
}

int LaidOutParagraph::LineOf(int character) const
{
    for (size_t i = 0; i < lines.size(); ++i)
        if (character <= lines[i].lastChar) return int(i);
    return int(lines.size()) - 1;
}

CTextLayout::CTextLayout(const CTextDocument* document, ITextMetrics* metrics, int width, int margin, int gap)
    : document(document), metrics(metrics), width(width), margin(margin), gap(gap)
{
}

void CTextLayout::Clear()
{
    for (LaidOutParagraph* p : laid) delete p;
    laid.clear();
}

int CTextLayout::Below(int index) const
{
    if (index < 0) return margin;
    const LaidOutParagraph* p = laid[size_t(index)];
    return p->y + p->height + gap;
}

LaidOutParagraph* CTextLayout::LayOutOne(int index, int y)
{
    LaidOutParagraph* p = size_t(index) < laid.size() ? laid[size_t(index)] : new LaidOutParagraph;
    p->paragraph = index;
    p->x = margin;
    p->y = y;
    p->Layout(*document->Get(index), GetTextWidth(), metrics);
    if (size_t(index) >= laid.size()) laid.push_back(p);
    return p;
}

void CTextLayout::LayOutAll()
{
    Clear();
    for (int i = 0; i < document->GetCount(); ++i) LayOutOne(i, Below(i - 1));
}

void CTextLayout::LayOutLast()
{
    int count = document->GetCount();
    if (count == 0) return;
    int index = GetCount() >= count ? count - 1 : GetCount();
    LayOutOne(index, Below(index - 1));
}

void CTextLayout::LayOutTail(int n)
{
    int count = document->GetCount();
    int first = count - n;
    if (first <= 0 || first > GetCount()) {
        LayOutAll();
        return;
    }
    for (int i = first; i < count; ++i) LayOutOne(i, Below(i - 1));
}

void CTextLayout::ApplyDirtyRange(int first, int last)
{
    int count = document->GetCount();
    last = std::min(last, count - 1);
    if (first < 0 || first > GetCount()) {
        LayOutAll();
        return;
    }
    for (int i = first; i <= last; ++i) LayOutOne(i, Below(i - 1));
    // The paragraphs below keep their width: they only move.
    for (int i = last + 1; i < GetCount(); ++i) laid[size_t(i)]->y = Below(i - 1);
}

int CTextLayout::GetHeight() const
{
    if (laid.empty()) return 0;
    const LaidOutParagraph* p = laid.back();
    return p->y + p->height + margin;
}

int CTextLayout::ParagraphAbove(int y, bool inclusive) const
{
    // Origins grow with the index: binary search for the last one above (or at) y.
    auto it = inclusive ? std::upper_bound(laid.begin(), laid.end(), y,
                                           [](int v, const LaidOutParagraph* p) { return v < p->y; })
                        : std::lower_bound(laid.begin(), laid.end(), y,
                                           [](const LaidOutParagraph* p, int v) { return p->y < v; });
    int index = int(it - laid.begin()) - 1;
    return std::max(0, index);
}

void CTextLayout::VisibleRange(int top, int bottom, int& first, int& last) const
{
    if (laid.empty()) {
        first = 0;
        last = -1;
        return;
    }
    last = ParagraphAbove(bottom, false);
    first = std::min(last, ParagraphAbove(top, true));
}

TextPosition CTextLayout::HitTest(int px, int py) const
{
    TextPosition result = {0, 0, 0};
    if (laid.empty()) return result;
    int index = ParagraphAbove(py, false);
    const LaidOutParagraph* p = laid[size_t(index)];
    const TextParagraph* source = document->Get(index);
    result.paragraph = index;
    int dy = py - p->y;
    if (dy <= 0 || p->lines.empty()) return result;
    if (dy > p->lines.back().bottom) {
        result.character = std::max(0, source->GetEnd() - 1);
        result.trailing = 1;
        return result;
    }
    size_t line = 0;
    for (size_t i = 0; i < p->lines.size(); ++i)
        if (p->lines[i].top < dy) line = i;
    const TextLine& l = p->lines[line];
    int dx = px - p->x;
    const LinePiece& first = p->pieces[size_t(l.firstPiece)];
    const LinePiece& lastPiece = p->pieces[size_t(l.lastPiece)];
    if (dx < first.x) {
        result.character = first.start;
        return result;
    }
    if (dx >= lastPiece.x + lastPiece.width) {
        if (lastPiece.style != STYLE_ELEMENT && lastPiece.length == 0) {
            result.character = lastPiece.start;
        } else {
            result.character = lastPiece.End() - 1;
            result.trailing = 1;
        }
        return result;
    }
    int hit = l.firstPiece;
    for (int i = l.firstPiece; i <= l.lastPiece; ++i)
        if (p->pieces[size_t(i)].x <= dx) hit = i;
    const LinePiece& piece = p->pieces[size_t(hit)];
    result.character = piece.start;
    if (piece.style != STYLE_ELEMENT && piece.length > 1) {
        std::vector<int> e(size_t(piece.length), 0);
        metrics->Measure(piece.style, source->GetText() + piece.start, piece.length, e.data());
        int count = 0;
        while (count < piece.length && e[size_t(count)] <= dx - piece.x) ++count;
        result.character = std::min(piece.start + count, piece.End() - 1);
    }
    return result;
}

CaretPoint CTextLayout::GetCaretPoint(const TextPosition& position) const
{
    CaretPoint point = {margin, margin, 0};
    if (laid.empty()) return point;
    int index = std::min(std::max(position.paragraph, 0), GetCount() - 1);
    const LaidOutParagraph* p = laid[size_t(index)];
    point.x = p->x;
    point.y = p->y;
    if (p->pieces.empty()) return point;
    const LinePiece* found = &p->pieces.back();
    for (const LinePiece& piece : p->pieces) {
        bool empty = piece.style != STYLE_ELEMENT && piece.length == 0;
        if (piece.End() > position.character || (empty && piece.start == position.character)) {
            found = &piece;
            break;
        }
    }
    point.x += found->x;
    point.y += found->y;
    point.height = found->height;
    bool single = found->style == STYLE_ELEMENT || found->length == 1;
    if (!single || position.trailing == 0) {
        int count = std::min(position.character + position.trailing - found->start, found->length);
        if (count > 0 && found->style != STYLE_ELEMENT) {
            std::vector<int> e(size_t(count), 0);
            metrics->Measure(found->style, document->Get(index)->GetText() + found->start, count, e.data());
            point.x += e[size_t(count - 1)];
        }
    } else {
        point.x += found->width;
    }
    return point;
}
