// CTextLayout: a document wrapped to one width. A paragraph's pieces are the parts of its runs
// that lie on one line; laying out one paragraph never touches another, so a growing log lays out
// only its new paragraphs and those below a changed one are just moved.
#pragma once

#include "Zel/chat/textview/TextDocument.h"

#include <vector>

// Part of one run on one line, relative to the paragraph's origin.
struct LinePiece {
    int start;
    int length;  // 0 for an empty line's piece
    ITextElement* element;
    int style;
    int x, y, width, height;

    int End() const { return start + (style == STYLE_ELEMENT ? 1 : length); }
};

struct TextLine {
    int firstPiece, lastPiece;
    int top, bottom;             // relative to the paragraph's origin
    int firstChar, lastChar;     // a U+2028 ending the line is its last character
};

class LaidOutParagraph {
public:
    int paragraph;
    int x, y;
    int height;
    std::vector<LinePiece> pieces;
    std::vector<TextLine> lines;

    void Layout(const TextParagraph& source, int width, ITextMetrics* metrics);
    // The line holding character index (the last line for a position past the end).
    int LineOf(int character) const;

private:
    void CloseLine(int& top, size_t& lineFirst);
};

struct CaretPoint {
    int x, y, height;
};

class CTextLayout {
public:
    CTextLayout(const CTextDocument* document, ITextMetrics* metrics, int width, int margin, int gap);
    CTextLayout(const CTextLayout&) = delete;
    CTextLayout& operator=(const CTextLayout&) = delete;
    ~CTextLayout() { Clear(); }

    int GetWidth() const { return width; }
    void SetWidth(int value) { width = value; }
    int GetTextWidth() const { return width - 2 * margin; }
    int GetMargin() const { return margin; }
    int GetGap() const { return gap; }

    void Clear();
    void LayOutAll();
    // Lays the last paragraph out again, or appends the next one.
    void LayOutLast();
    void LayOutTail(int n);
    void ApplyDirtyRange(int first, int last);

    int GetCount() const { return int(laid.size()); }
    const LaidOutParagraph* Get(int index) const { return laid[size_t(index)]; }
    int GetHeight() const;

    // Position under a point in document coordinates.
    TextPosition HitTest(int x, int y) const;
    CaretPoint GetCaretPoint(const TextPosition& position) const;
    // Visible paragraphs for a viewport, found by a binary search on their origins; last < first
    // when nothing is laid out.
    void VisibleRange(int top, int bottom, int& first, int& last) const;
    // The last paragraph whose origin y is above y (0 when none).
    int ParagraphAbove(int y, bool inclusive) const;

    ITextMetrics* GetMetrics() const { return metrics; }

private:
    LaidOutParagraph* LayOutOne(int index, int y);
    int Below(int index) const;  // the y the paragraph after index starts at

    const CTextDocument* document;
    ITextMetrics* metrics;
    int width, margin, gap;
    std::vector<LaidOutParagraph*> laid;
};
