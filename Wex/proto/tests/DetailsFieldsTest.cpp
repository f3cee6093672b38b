// The details pages' items and formatting as tables: the bodies a save request carries, the zip
// kept as text but sent as a number, the languages joined, and the birthday shown from its own date.
#include "Wex/dialogs/DetailsFields.h"

#include "WexTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace WexDetails;
using WexTest::Hex;
using WexTest::ToHex;

namespace {

std::wstring Wide(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

}  // namespace

TEST(DetailsItems, BodiesAreLittleEndianWithTheirZeros)
{
    const std::string a255(255, 'a');
    const struct {
        const char* name;
        Wex::Bytes body;
        std::string expected;
    } cases[] = {
        {"text", TextBody(CZELString(L"abc")), "04 00 61 62 63 00"},
        {"empty text", TextBody(CZELString()), "01 00 00"},
        {"text in code page 1251", TextBody(CZELString(L"\x041F\x0440\x0438")), "04 00 cf f0 e8 00"},
        {"a character the code page lacks", TextBody(CZELString(L"a\x4E2D")), "03 00 61 3f 00"},
        {"e-mail of 5 bytes: 9 bytes ending in two zeros", EmailBody(CZELString(L"a@b.c")),
         "06 00 61 40 62 2e 63 00 00"},
        {"code", CodeBody(420), "a4 01"},
        {"zip", ZipBody(10001), "11 27 00 00"},
        {"zip past 16 bits", ZipBody(4294967295u), "ff ff ff ff"},
        {"birthday", BirthdayBody(1965, 3, 10), "ad 07 03 00 0a 00"},
        {"no birthday", BirthdayBody(0, 0, 0), "00 00 00 00 00 00"},
        {"interest row", InterestBody(113, CZELString(L"jazz")), "71 00 05 00 6a 61 7a 7a 00"},
        {"empty interest row", InterestBody(0, CZELString()), "00 00 01 00 00"},
    };
    for (const auto& c : cases) EXPECT_EQ(ToHex(c.body), ToHex(Hex(c.expected))) << c.name;
}

TEST(DetailsItems, TextsAreCutAt255BytesOfTheCodePage)
{
    const std::wstring longText(300, L'x');
    const Wex::Bytes body = TextBody(CZELString(longText.c_str()));
    ASSERT_EQ(body.size(), 2u + 255 + 1);
    EXPECT_EQ(body[0], 0x00);  // 256 = 255 bytes and the zero
    EXPECT_EQ(body[1], 0x01);
    EXPECT_EQ(body.back(), 0);
    EXPECT_EQ(EmailBody(CZELString(longText.c_str())).size(), 2u + 255 + 2);
    EXPECT_EQ(InterestBody(1, CZELString(longText.c_str())).size(), 2u + 2 + 255 + 1);

    const struct {
        const char* name;
        std::wstring text;
        size_t kept;
    } cases[] = {
        {"short", L"abc", 3},
        {"exactly 255", std::wstring(255, L'y'), 255},
        {"256", std::wstring(256, L'y'), 255},
        // A pair of surrogates is one character: it is never split.
        {"a pair across the limit", std::wstring(254, L'y') + L"\xD83D\xDE00", 254},
        {"Cyrillic", std::wstring(300, L'\x0416'), 255},
    };
    for (const auto& c : cases) EXPECT_EQ(Wide(CutForWire(CZELString(c.text.c_str()))).size(), c.kept) << c.name;
}

TEST(DetailsItems, ZipsAreComparedAsNumbersAndKeptAsText)
{
    const struct {
        const wchar_t* text;
        unsigned number;
    } cases[] = {{L"10001", 10001},         {L"", 0},          {L"007", 7},   {L"12a", 0},
                 {L"4294967295", 4294967295u}, {L"4294967296", 0}, {L" 12", 0}, {L"99999999999999999999", 0}};
    for (const auto& c : cases) EXPECT_EQ(ZipNumber(CZELString(c.text)), c.number) << Wide(CZELString(c.text));
    EXPECT_EQ(Wide(ZipText(20002)), L"20002");
    EXPECT_EQ(Wide(ZipText(0)), L"");
    // What is kept reads back as what was typed.
    for (unsigned zip : {1u, 10001u, 4294967295u}) EXPECT_EQ(ZipNumber(ZipText(zip)), zip);
}

TEST(DetailsViewer, LanguagesAreJoinedOnlyBetweenTextsThatAreThere)
{
    const struct {
        const wchar_t* texts[3];
        const wchar_t* joined;
    } cases[] = {
        {{L"Chinese", L"", L"Czech"}, L"Chinese;Czech"},
        {{L"", L"", L"Czech"}, L"Czech"},
        {{L"", L"Danish", L""}, L"Danish"},
        {{L"A", L"B", L"C"}, L"A;B;C"},
        {{L"", L"", L""}, L""},
    };
    for (const auto& c : cases) {
        CZELString texts[3] = {CZELString(c.texts[0]), CZELString(c.texts[1]), CZELString(c.texts[2])};
        EXPECT_EQ(Wide(JoinLanguages(texts)), c.joined);
    }
}

TEST(DetailsViewer, ABirthdayShowsItsOwnDateOrNothing)
{
    const struct {
        int year, month, day;
        bool shown;
    } cases[] = {
        {1990, 4, 5, true},
        {1965, 3, 10, true},    // before 1970
        {1900, 1, 15, true},
        {1900, 2, 30, false},   // in range, but no such day
        {1900, 2, 29, false},   // 1900 was not a leap year
        {2000, 2, 29, true},
        {2099, 12, 31, true},
        {2100, 1, 1, false},
        {0, 1, 1, false},
        {1990, 13, 1, false},
        {1990, 0, 1, false},
        {1990, 4, 31, false},
        {1990, 4, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.year) + "-" + std::to_string(c.month) + "-" + std::to_string(c.day));
        const std::wstring shown = Wide(FormatBirthday(c.year, c.month, c.day));
        EXPECT_EQ(!shown.empty(), c.shown);
        if (!c.shown) continue;
        // The locale's form of that very date.
        SYSTEMTIME date{};
        date.wYear = WORD(c.year);
        date.wMonth = WORD(c.month);
        date.wDay = WORD(c.day);
        wchar_t expected[128] = L"";
        GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, expected, 128);
        EXPECT_EQ(shown.find(expected), 0u) << std::string(shown.begin(), shown.end());
    }
    // Not today's date, nor 1970's: the year is the birthday's own.
    EXPECT_NE(Wide(FormatBirthday(1965, 3, 10)).find(L"65"), std::wstring::npos);
}

TEST(DetailsEditor, ItemTypesFollowTheTableInPageOrder)
{
    // The network's item type of each sent field, in the order a page sends them.
    const unsigned expected[] = {340, 320, 330, 350, 420, 400, 410, 620, 610, 690, 670, 680, 700, 660, 430, 440, 460, 450,
                                 730, 630, 640, 650, 710, 720, 380, 830, 531, 570, 390, 390, 390, 820, 800, 810, 490,
                                 490, 490, 490, 600};
    std::vector<unsigned> types;
    int page = -1;
    for (const EditorField& field : EditorFields()) {
        EXPECT_GE(int(field.page), page) << "pages in tab order";
        page = int(field.page);
        if (field.type) types.push_back(field.type);
    }
    EXPECT_EQ(types, std::vector<unsigned>(std::begin(expected), std::end(expected)));
}
