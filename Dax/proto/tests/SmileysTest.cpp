// Smiley tags and cartoon titles in incoming texts.
#include "Dax/proto/Smileys.h"
#include "Dax/proto/tests/MrimTestSupport.h"

#include <gtest/gtest.h>

using namespace MrimTest;

TEST(MrimSmileys, TagsBecomeTextSmileys)
{
    struct Case {
        const char* name;
        std::wstring text;
        std::wstring expected;
    } cases[] = {
        {"id in capitals", L"a<SMILE>ID=426 ALT=':)'</SMILE>b", L"a:-)b"},
        {"alt only, lower-cased", L"<smile>alt=':-D'</smile>", L":-d"},
        {"id without a smiley falls back to alt", L"<smile>id=421 alt='x'</smile>", L"x"},
        {"nothing usable stays", L"<smile>id=421</smile>", L"<smile>id=421</smile>"},
        {"image code", L"x<###20###img13>y", L"x:-py"},
        {"image range", L"<###20###img21>", L":'("},
        {"unknown image code stays", L"<###20###img99>", L"<###20###img99>"},
        {"unterminated smile stays", L"<smile>id=426", L"<smile>id=426"},
        {"two tags, shifting offsets", L"<smile>id=413</smile> and <###20###img10>!", L"*THUMBS UP* and :)!"},
        {"text keeps its case", L"ABC<smile>id=402</smile>Def", L"ABC:-DDef"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, Text(Mrim::ReplaceSmileyTags(Str(c.text))));
    }
}

TEST(MrimSmileys, IdTableAndImageTable)
{
    EXPECT_EQ(L"O:-)", Text(Mrim::ConvertSmileyTags(L"id=400")));
    EXPECT_EQ(L"*YAHOO*", Text(Mrim::ConvertSmileyTags(L"id=430")));
    EXPECT_TRUE(Mrim::ConvertSmileyTags(L"id=425").IsEmpty());
    EXPECT_TRUE(Mrim::ConvertSmileyTags(L"nothing").IsEmpty());
    EXPECT_EQ(L"\\m/", Text(Mrim::ImgCodeToSmiley(4)));
    EXPECT_EQ(L">:o", Text(Mrim::ImgCodeToSmiley(29)));
    EXPECT_EQ(L":-*", Text(Mrim::ImgCodeToSmiley(40)));
    EXPECT_TRUE(Mrim::ImgCodeToSmiley(41).IsEmpty());
}

TEST(MrimSmileys, CartoonNamesTheFirstTitleFound)
{
    EXPECT_EQ(L"\u0421\u043E\u0431\u0435\u0441\u0435\u0434\u043D\u0438\u043A \u043F\u0440\u0438\u0441\u043B\u0430\u043B "
              L"\u043C\u0443\u043B\u044C\u0442: \u0421\u0435\u0440\u0434\u0446\u0435",
              Text(Mrim::ExpandCartoonMessage(L"<flash>\u0421\u0435\u0440\u0434\u0446\u0435</flash>")));
    EXPECT_TRUE(Mrim::ExpandCartoonMessage(L"no title").IsEmpty());
}
