// FindSpans: the links and smiley codes of a message text, as sorted spans that never overlap.
// Links win over smilies, and earlier smilies of the pack over later ones whose codes overlap them.
#pragma once

#include <string>
#include <vector>

enum LogSpanKind { LogSpanSmiley = 0, LogSpanLink = 1 };

struct LogSpan {
    int kind;
    int start;
    int length;
    int smiley;  // smiley number in the pack (smilies only)
    int code;    // which of the smiley's text codes matched
};

// The text codes of the smiley pack in use, in pack order. The pack's loader provides it; without a
// loaded, enabled pack there is none and only links are found.
class ISmileyCodes {
public:
    virtual int GetSmileyCount() const = 0;
    virtual int GetCodeCount(int smiley) const = 0;
    virtual std::wstring GetCode(int smiley, int code) const = 0;

protected:
    ~ISmileyCodes() {}
};

// budget: at most this many smiley spans ("MWSmiliesNum").
std::vector<LogSpan> FindSpans(const std::wstring& text, const ISmileyCodes* smilies, int budget);
