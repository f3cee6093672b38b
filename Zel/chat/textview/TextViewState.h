// TextViewState: the viewport, caret and selection over one layout, and what the keys do to them.
// The text queries (a range as text, Find) live here too, since they follow the caret and the
// selection.
#pragma once

#include "Zel/chat/textview/TextLayout.h"

#include <string>

// What a state asks of its window.
class ITextViewStateHost {
public:
    // direction 0 forwards, 1 backwards: the caret keys reached the document's edge.
    virtual void EdgeReached(int direction) = 0;
    virtual void Redraw() = 0;

protected:
    ~ITextViewStateHost() {}
};

enum CaretCommand {
    CARET_LEFT = 1,
    CARET_RIGHT,
    CARET_LINE_START,
    CARET_LINE_END,
    CARET_LINE_UP,
    CARET_LINE_DOWN,
    CARET_PARA_START,
    CARET_PARA_END,
    CARET_PARA_PREV,
    CARET_PARA_NEXT,
    CARET_DOC_START,
    CARET_DOC_END
};

struct FindOptions {
    bool wholeWord;
    bool matchCase;
};

class TextViewState {
public:
    TextViewState(const CTextDocument* document, CTextLayout* layout, ITextViewStateHost* host, const RECT& viewport);

    RECT viewport;
    TextPosition caret;
    TextPosition selStart, selEnd;  // selStart.paragraph -1: no selection

    bool HasSelection() const { return selStart.paragraph >= 0; }
    void ClearSelection();
    void Reset();
    CTextLayout* GetLayout() const { return layout; }

    void RunCaretCommand(int command, bool extend);
    void SelectBetween(POINT from, POINT to, bool caretFollows);
    void Resize(int height, int documentHeight);

    // Inclusive characters [start.character .. end.character]; paragraphs joined by a blank line.
    std::wstring GetRangeText(const TextPosition& start, const TextPosition& end, bool quote) const;
    bool GetSelectedText(std::wstring& out, bool quote) const;
    bool GetLastParagraphText(std::wstring& out, bool quote) const;
    bool GetAllText(std::wstring& out, bool quote) const;
    // Selects the next match from the caret on, wrapping to the start.
    bool Find(const wchar_t* text, const FindOptions& options);

private:
    int LastChar(int paragraph) const;
    int LastParagraph() const { return document->GetCount() - 1; }
    bool IsEmpty() const { return document->GetCount() == 0 || layout->GetCount() == 0; }
    wchar_t CharAt(int paragraph, int character) const;
    const TextLine* CaretLine(int* paragraphY) const;
    // Turns two positions into an inclusive character range; false when it is empty.
    bool Normalise(TextPosition a, TextPosition b, TextPosition& first, TextPosition& last) const;
    bool NextChar(TextPosition& p) const;
    bool PrevChar(TextPosition& p) const;
    void Extend(const TextPosition& oldCaret);
    TextPosition ParaEnd(int paragraph) const;

    const CTextDocument* document;
    CTextLayout* layout;
    ITextViewStateHost* host;
};
