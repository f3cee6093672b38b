// CTextDocument: the paragraphs of a view, numbered from 0 in the order they were added.
#pragma once

#include "Zel/chat/textview/TextParagraph.h"

#include <vector>

class CTextDocument {
public:
    CTextDocument() {}
    CTextDocument(const CTextDocument&) = delete;
    CTextDocument& operator=(const CTextDocument&) = delete;
    ~CTextDocument() { Clear(); }

    // Takes the paragraph over.
    void Add(TextParagraph* paragraph) { paragraphs.push_back(paragraph); }
    int GetCount() const { return int(paragraphs.size()); }
    // Clamped: an index past the end reads the last paragraph; null when empty.
    TextParagraph* Get(int index) const
    {
        if (paragraphs.empty() || index < 0) return nullptr;
        return paragraphs[size_t(index) < paragraphs.size() ? index : paragraphs.size() - 1];
    }
    void Clear()
    {
        for (TextParagraph* p : paragraphs) delete p;
        paragraphs.clear();
    }

private:
    std::vector<TextParagraph*> paragraphs;
};
