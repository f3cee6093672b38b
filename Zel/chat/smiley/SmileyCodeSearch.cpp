#include "Zel/chat/smiley/SmileyCodeSearch.h"

#include <algorithm>

namespace {

bool Overlaps(size_t start, size_t length, const std::vector<std::pair<size_t, size_t>>& ranges)
{
    for (const auto& range : ranges)
        if (start < range.first + range.second && range.first < start + length) return true;
    return false;
}

}  // namespace

std::vector<SmileyCodeSpan> FindSmileyCodes(const std::wstring& text, const std::vector<std::vector<std::wstring>>& packCodes,
                                            int budget, const std::vector<std::pair<size_t, size_t>>& taken)
{
    std::vector<SmileyCodeSpan> spans;
    std::vector<std::pair<size_t, size_t>> used = taken;
    for (size_t smiley = 0; smiley < packCodes.size() && budget > 0; ++smiley) {
        const std::vector<std::wstring>& codes = packCodes[smiley];
        for (size_t code = 0; code < codes.size() && budget > 0; ++code) {
            const std::wstring& what = codes[code];
            if (what.empty()) continue;
            size_t from = 0;
            while (budget > 0) {
                size_t at = text.find(what, from);
                if (at == std::wstring::npos) break;
                if (Overlaps(at, what.size(), used)) {
                    from = at + 1;
                    continue;
                }
                spans.push_back(SmileyCodeSpan{at, what.size(), int(smiley), int(code)});
                used.emplace_back(at, what.size());
                --budget;
                from = at + what.size();
            }
        }
    }
    std::sort(spans.begin(), spans.end(),
              [](const SmileyCodeSpan& a, const SmileyCodeSpan& b) { return a.start < b.start; });
    return spans;
}
