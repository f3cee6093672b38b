// The pieces a rich-text document is made of: embedded elements, styled runs, positions between
// characters, and the one measuring seam through which every width and height is taken, so that the
// layout runs the same on a screen font and on a fixed fake metric.
#pragma once

#include <windows.h>

// U+2028 breaks a line inside a paragraph; U+FFFC stands for one embedded element.
const wchar_t kLineSeparator = 0x2028;
const wchar_t kObjectCharacter = 0xFFFC;

// Style 0 is an element run, 9 a link; every other number is the owner's.
enum { STYLE_ELEMENT = 0, STYLE_LINK = 9 };

// An embedded object (a smiley picture, a message icon). Owned by whoever built the paragraph.
class ITextElement {
public:
    virtual void Measure(SIZE* size) = 0;
    virtual void Paint(HDC dc, POINT at) = 0;
    // What copying puts in the element's place; owned by the element.
    virtual const wchar_t* GetText() = 0;
    virtual ~ITextElement() {}
};

// A run of one style. An element run covers exactly one U+FFFC; its element pointer has a field of
// its own, so a pointer never shares the 32-bit length.
struct TextRun {
    int start;
    int length;
    ITextElement* element;
    int style;

    int End() const { return start + (style == STYLE_ELEMENT ? 1 : length); }
};

// The gap before (trailing 0) or after (trailing 1) a character.
struct TextPosition {
    int paragraph;
    int character;
    int trailing;

    bool operator==(const TextPosition& o) const
    {
        return paragraph == o.paragraph && character == o.character && trailing == o.trailing;
    }
    bool operator!=(const TextPosition& o) const { return !(*this == o); }
    bool operator<(const TextPosition& o) const
    {
        if (paragraph != o.paragraph) return paragraph < o.paragraph;
        if (character != o.character) return character < o.character;
        return trailing < o.trailing;
    }
    bool operator<=(const TextPosition& o) const { return !(o < *this); }
};

// Widths and heights of text in a style's font.
class ITextMetrics {
public:
    // widths[i] = the width of the first i + 1 characters (widths may be null when count is 0);
    // returns the text height.
    virtual int Measure(int style, const wchar_t* text, int count, int* widths) = 0;

protected:
    ~ITextMetrics() {}
};
