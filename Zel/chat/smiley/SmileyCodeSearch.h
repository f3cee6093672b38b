// Where a text holds smiley codes. Smilies are taken in pack order and, for each, its codes in
// order; every case-sensitive occurrence that overlaps nothing found before (nor a range the caller
// has taken, such as a link) is one span, until the budget is used. Earlier smilies therefore win
// over later ones whose codes overlap them.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

struct SmileyCodeSpan {
    size_t start = 0;
    size_t length = 0;
    int smiley = 0;
    int code = 0;
};

// packCodes: each smiley's codes in pack order. taken: ranges {start, length} no span may overlap.
// Returns the spans sorted by start.
std::vector<SmileyCodeSpan> FindSmileyCodes(const std::wstring& text, const std::vector<std::vector<std::wstring>>& packCodes,
                                            int budget, const std::vector<std::pair<size_t, size_t>>& taken = {});
