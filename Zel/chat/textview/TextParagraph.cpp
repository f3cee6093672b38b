#include "Zel/chat/textview/TextParagraph.h"

#include <algorithm>

namespace {
// Paragraph text is counted in 16-bit units like every string of the program.
const int kMaxCapacity = 65535;
}

TextParagraph::TextParagraph(int capacity)
    : capacity(std::max(0, std::min(capacity, kMaxCapacity))), lastWasCr(false), lastWasLf(false)
{
    text.reserve(size_t(this->capacity) + 1);
    text.push_back(0);
}

void TextParagraph::AddToRun(int count, int style)
{
    if (count <= 0) return;
    if (!runs.empty() && runs.back().style == style && style != STYLE_ELEMENT) {
        runs.back().length += count;
        return;
    }
    TextRun run = {GetEnd(), count, nullptr, style};
    runs.push_back(run);
}

void TextParagraph::AppendText(const wchar_t* source, int count, int style)
{
    if (!source || count <= 0 || style == STYLE_ELEMENT) return;
    int added = 0;
    for (int i = 0; i < count; ++i) {
        wchar_t c = source[i];
        if (c == L'\r' || c == L'\n') {
            // The second half of a CR LF or LF CR pair was already written as the separator.
            bool pairs = (c == L'\n' && lastWasCr) || (c == L'\r' && lastWasLf);
            lastWasCr = c == L'\r' && !pairs;
            lastWasLf = c == L'\n' && !pairs;
            if (pairs) continue;
            c = kLineSeparator;
        } else {
            lastWasCr = lastWasLf = false;
        }
        if (!Room(1)) break;
        text.insert(text.end() - 1, c);
        ++added;
    }
    AddToRun(added, style);
}

void TextParagraph::AppendChar(wchar_t c, int style) { AppendText(&c, 1, style); }

void TextParagraph::AppendElement(ITextElement* element)
{
    lastWasCr = lastWasLf = false;
    if (!element || !Room(1)) return;
    text.insert(text.end() - 1, kObjectCharacter);
    TextRun run = {GetEnd(), 1, element, STYLE_ELEMENT};
    runs.push_back(run);
}

int TextParagraph::RunAt(int index) const
{
    // Runs are sorted by start: the last one starting at or before index.
    auto it = std::upper_bound(runs.begin(), runs.end(), index,
                               [](int i, const TextRun& r) { return i < r.start; });
    if (it == runs.begin()) return -1;
    int found = int(it - runs.begin()) - 1;
    return index < runs[found].End() ? found : -1;
}

int TextParagraph::FindElement(const ITextElement* element) const
{
    for (size_t i = 0; i < runs.size(); ++i)
        if (runs[i].style == STYLE_ELEMENT && runs[i].element == element) return int(i);
    return -1;
}

void TextParagraph::SetRunStyle(int start, int length, int style)
{
    int end = start + length;
    if (length <= 0 || start < 0 || end > GetEnd()) return;
    std::vector<TextRun> result;
    for (const TextRun& run : runs) {
        int rs = run.start, re = run.End();
        if (re <= start || rs >= end) {
            result.push_back(run);
            continue;
        }
        if (rs < start) {  // the part before the range
            TextRun before = run;
            before.length = start - rs;
            result.push_back(before);
        }
        if (rs <= start) {
            TextRun middle = {start, length, nullptr, style};
            result.push_back(middle);
        }
        if (re > end) {  // the part after the range
            TextRun after = run;
            after.start = end;
            after.length = re - end;
            result.push_back(after);
        }
    }
    // Text runs of one style meeting each other become one.
    runs.clear();
    for (const TextRun& run : result) {
        if (run.style != STYLE_ELEMENT && run.length <= 0) continue;
        if (!runs.empty() && run.style != STYLE_ELEMENT && runs.back().style == run.style &&
            runs.back().End() == run.start) {
            runs.back().length += run.length;
            continue;
        }
        runs.push_back(run);
    }
}

void TextParagraph::ReplaceRange(int start, int count, const wchar_t* replacement, int textLength, int style)
{
    int length = GetLength();
    if (start < 0 || count < 0 || start + count > length || textLength < 0 || style == STYLE_ELEMENT) return;
    SetRunStyle(start, count, style);
    int delta = textLength - count;
    if (length + delta > capacity) capacity = std::min(kMaxCapacity, length + delta);
    if (length + delta > capacity) return;
    std::vector<wchar_t> rebuilt(text.begin(), text.begin() + start);
    rebuilt.insert(rebuilt.end(), replacement, replacement + textLength);
    rebuilt.insert(rebuilt.end(), text.begin() + start + count, text.end());
    text.swap(rebuilt);
    int holder = RunAt(start);
    for (size_t i = 0; i < runs.size(); ++i) {
        if (int(i) == holder) runs[i].length += delta;
        else if (runs[i].start > start) runs[i].start += delta;
    }
}
