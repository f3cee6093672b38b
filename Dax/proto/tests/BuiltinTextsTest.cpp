// The built-in English texts.
#include "Dax/proto/BuiltinTexts.h"
#include "Dax/proto/tests/MrimTestSupport.h"

#include <gtest/gtest.h>

using namespace MrimTest;

TEST(DaxBuiltinTexts, SpotChecksAndBreaks)
{
    struct Case {
        int number;
        std::wstring text;
    } cases[] = {
        {0, L"@ Home"},          {13, L"Online"},    {23, L"Please authorize my request."},
        {26, L"Authorization request: "}, {32, L"Add contact"}, {34, L"Add contact"},
        {40, L"Acc.: "},         {41, L"E-mail received\r\nFrom: "}, {44, L" unread messages"},
        {55, L"User details can be edited only in browser.\nFor opening it, push button below:"},
        {61, L"Gender"},         {64, L"Gender"},    {72, L"Armenia"}, {125, L"Uzbekistan"}, {126, L"Adygea"},
        {215, L"Yaroslavl Region"}, {216, L"Aries"}, {227, L"Pisces"}, {229, L"Female"},
        {230, L" unreaded msgs"}, {232, L"Account being used on another computer"}, {234, L"Cancel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        CZELString out;
        ASSERT_TRUE(Mrim::BuiltinTexts(c.number, out));
        EXPECT_EQ(c.text, Text(out));
    }
    for (int n = 0; n < Mrim::TextCount; ++n) {
        CZELString out;
        EXPECT_TRUE(Mrim::BuiltinTexts(n, out));
        EXPECT_FALSE(out.IsEmpty()) << n;
    }
}

TEST(DaxBuiltinTexts, NumbersOutsideTheTableLeaveTheTextAlone)
{
    for (int n : {-1, 235, 100000}) {
        CZELString out(L"kept");
        EXPECT_FALSE(Mrim::BuiltinTexts(n, out));
        EXPECT_EQ(L"kept", Text(out));
    }
}
