// "_define.ini" parsed into the codes of each picture.
#include "Zel/chat/smiley/SmileyDefinition.h"

#include <gtest/gtest.h>

#include <string>

namespace {

typedef std::vector<std::vector<std::wstring>> Lines;

Lines Parse(const std::string& text, size_t pictures)
{
    Lines out;
    for (const auto& line : ParseSmileyDefinition(reinterpret_cast<const unsigned char*>(text.data()), text.size(), pictures)) {
        out.emplace_back();
        for (const CZELString& code : line)
            out.back().push_back(std::wstring(code.GetBuffer() ? code.GetBuffer() : L"", size_t(code.GetLength())));
    }
    return out;
}

TEST(SmileyDefinition, LinesAndCodes)
{
    const std::string nineteen = "1234567890123456789";
    const std::string twenty = nineteen + "0";
    const std::wstring wideNineteen(nineteen.begin(), nineteen.end());
    struct Case {
        const char* name;
        std::string text;
        size_t pictures;
        Lines expected;
    };
    const Case cases[] = {
        {"two codes, an empty line, a code between commas", "x,y\n\n,z,\n", 2, {{L"x", L"y"}, {L"z"}}},
        {"more lines than pictures", "a\nb\nc\n", 2, {{L"a"}, {L"b"}}},
        {"more pictures than lines", "a\n", 2, {{L"a"}}},
        {"no final line end", "a,b", 5, {{L"a", L"b"}}},
        {"CR LF line ends", "a\r\nb\r\n", 5, {{L"a"}, {L"b"}}},
        {"CR alone ends no line and is dropped", "x,y\rz\r", 5, {{L"x", L"yz"}}},
        {"CR inside a code", "a\rb,c", 5, {{L"ab", L"c"}}},
        {"spaces belong to the code", " :-) , :)\n", 5, {{L" :-) ", L" :)"}}},
        {"empty codes dropped", ",,a,,b,,\n,\n,,,\nc", 5, {{L"a", L"b"}, {L"c"}}},
        {"19 bytes kept", nineteen + ",x\n", 5, {{wideNineteen, L"x"}}},
        {"20 bytes skipped, the others kept", "a," + twenty + ",b\n", 5, {{L"a", L"b"}}},
        {"a line of only long codes still names its picture", twenty + "\n" + twenty + "," + twenty + "\nz\n", 5,
         {{}, {}, {L"z"}}},
        {"long codes count against the pictures", twenty + "\nz\n", 1, {{}}},
        {"code page 1251", "\xcf\xf0\xe8\xe2\xe5\xf2,:-)\n", 5, {{L"\x041F\x0440\x0438\x0432\x0435\x0442", L":-)"}}},
        {"a zero byte ends the text", std::string("a\nb\0c\nd", 7), 5, {{L"a"}, {L"b"}}},
        {"empty text", "", 5, {}},
        {"no pictures", "a\nb\n", 0, {}},
        {"only line ends", "\n\r\n\n", 5, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Parse(c.text, c.pictures), c.expected);
    }
}

TEST(SmileyDefinition, EveryCodeLengthUpToTheLimit)
{
    for (int length = 1; length <= kSmileyCodeMaxBytes + 3; ++length) {
        SCOPED_TRACE(length);
        std::string code(size_t(length), 'q');
        Lines lines = Parse("a," + code + ",b\n" + code, 5);
        ASSERT_EQ(lines.size(), 2u);
        if (length <= kSmileyCodeMaxBytes) {
            EXPECT_EQ(lines[0], (std::vector<std::wstring>{L"a", std::wstring(size_t(length), L'q'), L"b"}));
            EXPECT_EQ(lines[1], std::vector<std::wstring>{std::wstring(size_t(length), L'q')});
        } else {
            EXPECT_EQ(lines[0], (std::vector<std::wstring>{L"a", L"b"}));
            EXPECT_TRUE(lines[1].empty());
        }
    }
}

}  // namespace
