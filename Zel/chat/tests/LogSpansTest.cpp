#include "Zel/chat/log/ComposerText.h"
#include "Zel/chat/log/LogSpans.h"

#include <gtest/gtest.h>

namespace {

struct FakeCodes : ISmileyCodes {
    std::vector<std::vector<std::wstring>> codes;
    int GetSmileyCount() const override { return int(codes.size()); }
    int GetCodeCount(int smiley) const override { return int(codes[size_t(smiley)].size()); }
    std::wstring GetCode(int smiley, int code) const override { return codes[size_t(smiley)][size_t(code)]; }
};

std::string Describe(const std::vector<LogSpan>& spans)
{
    std::string out;
    for (const LogSpan& s : spans) {
        out += s.kind == LogSpanLink ? "L" : "S" + std::to_string(s.smiley) + "." + std::to_string(s.code);
        out += "@" + std::to_string(s.start) + "+" + std::to_string(s.length) + " ";
    }
    return out;
}

TEST(FindSpansTest, LinksAndSmilies)
{
    FakeCodes pack;
    pack.codes = {{L":-)", L":)"}, {L":-("}, {L";)"}, {L"8)"}};
    struct Case {
        const wchar_t* text;
        const ISmileyCodes* smilies;
        int budget;
        const char* expected;
    } cases[] = {
        {L"see http://a.b/c, ok", nullptr, 10, "L@4+12 "},                // a comma ends a link
        {L"go www.x.org now", nullptr, 10, "L@3+9 "},
        {L"http://www.x.org", nullptr, 10, "L@0+16 "},                    // no second link inside
        {L"http://a www.b", nullptr, 10, "L@0+8 L@9+5 "},
        {L"hi :-) :) :-(", nullptr, 10, ""},                              // no pack: links only
        {L"hi :-) :) :-(", &pack, 10, "S0.0@3+3 S0.1@7+2 S1.0@10+3 "},
        {L"http://x/:-)", &pack, 10, "L@0+12 "},                          // links win over smilies
        {L":):):):)", &pack, 2, "S0.1@0+2 S0.1@2+2 "},                   // the budget stops the search
        {L":-)", &pack, 0, ""},
        {L"a 8)", &pack, 10, "S3.0@2+2 "},
        {L";-)", &pack, 10, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, Describe(FindSpans(c.text, c.smilies, c.budget))) << std::string(c.text, c.text + wcslen(c.text));
}

TEST(ComposerTextTest, OneFinalLineBreakIsDropped)
{
    struct Case {
        const wchar_t* text;
        bool sends;
        const wchar_t* sent;
    } cases[] = {
        {L"hi", true, L"hi"},          {L"hi\r\n", true, L"hi"},   {L"hi\n", true, L"hi"},
        {L"hi\r\n\r\n", true, L"hi\r\n"}, {L"a\r\nb", true, L"a\r\nb"}, {L"", false, L""},
        {L"\r\n", false, L""},        {L"\n", false, L""},
    };
    for (const Case& c : cases) {
        std::wstring out;
        EXPECT_EQ(c.sends, ComposerTextToSend(c.text, out)) << c.text;
        if (c.sends) EXPECT_EQ(c.sent, out);
    }
}

}  // namespace
