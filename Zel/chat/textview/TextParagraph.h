// TextParagraph: one paragraph's text and its runs, built once by appending and then handed to the
// document. The capacity is fixed when it is made; appends past it are cut, never written beyond.
#pragma once

#include "Zel/chat/textview/TextTypes.h"

#include <vector>

class TextParagraph {
public:
    explicit TextParagraph(int capacity);

    // CR, LF, CR LF and LF CR each become one U+2028.
    void AppendText(const wchar_t* text, int count, int style);
    void AppendChar(wchar_t c, int style);
    void AppendElement(ITextElement* element);

    // Gives [start, start + length) one run of the style, splitting and merging runs around it.
    void SetRunStyle(int start, int length, int style);
    // Replaces count characters at start by the text, all in the given style.
    void ReplaceRange(int start, int count, const wchar_t* text, int textLength, int style);
    // The index of the element's run, -1 when it is not here.
    int FindElement(const ITextElement* element) const;

    const wchar_t* GetText() const { return text.data(); }
    int GetLength() const { return int(text.size()) - 1; }
    // The end of the last run.
    int GetEnd() const { return runs.empty() ? 0 : runs.back().End(); }
    const std::vector<TextRun>& GetRuns() const { return runs; }
    // The run holding character index, or -1.
    int RunAt(int index) const;

private:
    void AddToRun(int count, int style);
    bool Room(int count) const { return GetLength() + count <= capacity; }

    int capacity;
    std::vector<wchar_t> text;  // NUL-terminated
    std::vector<TextRun> runs;
    bool lastWasCr;
    bool lastWasLf;
};
