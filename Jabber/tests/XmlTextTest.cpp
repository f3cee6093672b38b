// Escaping, entity decoding, the UTF conversions and line ends.
#include "Jabber/xml/XmlText.h"

#include <gtest/gtest.h>

namespace {

TEST(XmlText, EscapeXmlTextEscapesMarkupAndDropsWhatXmlCannotCarry)
{
    struct Case {
        const char* name;
        std::string input, expected;
    } cases[] = {
        {"markup", "<a href=\"x\">Tom & Jerry's</a>", "&lt;a href=&quot;x&quot;&gt;Tom &amp; Jerry&apos;s&lt;/a&gt;"},
        {"carriage return dropped, line feed kept", "a<b>\r\nc", "a&lt;b&gt;\nc"},
        {"tab kept, other controls become spaces", std::string("a\tb\x01" "c\x1f" "d\x7f", 8), "a\tb c d\x7f"},
        {"already escaped text escapes again", "&amp;", "&amp;amp;"},
        {"UTF-8 untouched", "\xd0\x9f\xd1\x80\xd0\xb8", "\xd0\x9f\xd1\x80\xd0\xb8"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EscapeXmlText(c.input), c.expected);
    }
}

TEST(XmlText, DecodeEntitiesInOnePass)
{
    struct Case {
        const char* name;
        std::string input, expected;
    } cases[] = {
        {"the five", "&amp;&apos;&gt;&lt;&quot;", "&'><\""},
        {"decoded once", "&amp;lt;", "&lt;"},
        {"numeric references kept", "&#169; &#x41;", "&#169; &#x41;"},
        {"unknown and unterminated kept", "&nbsp; &amp &lt", "&nbsp; &amp &lt"},
        {"a lone ampersand", "a & b", "a & b"},
        {"at the end", "x&gt;", "x>"},
        {"no ampersand", "plain", "plain"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = c.input;
        DecodeEntities(text);
        EXPECT_EQ(text, c.expected);
        EXPECT_EQ(DecodeText(c.input.data(), c.input.size()), c.expected);
    }
}

TEST(XmlText, ConvertsBetweenUtf16AndUtf8)
{
    const wchar_t wide[] = L"A\x00e9\x0416\x20ac\xd83d\xde00";
    const std::string narrow = "A\xc3\xa9\xd0\x96\xe2\x82\xac\xf0\x9f\x98\x80";
    EXPECT_EQ(Utf8FromWide(wide), narrow);
    EXPECT_EQ(WideFromUtf8(narrow), wide);
    EXPECT_EQ(Utf8FromWide(wide, 1), "A");
    EXPECT_EQ(Utf8FromWide(nullptr), "");
    EXPECT_EQ(WideFromUtf8(""), L"");
}

TEST(XmlText, ExpandNewlinesGivesEveryLineFeedItsCarriageReturn)
{
    EXPECT_EQ(ExpandNewlines(L"a\nb\r\nc\n"), L"a\r\nb\r\nc\r\n");
    EXPECT_EQ(ExpandNewlines(L"\n"), L"\r\n");
    EXPECT_EQ(ExpandNewlines(L""), L"");
}

}  // namespace
