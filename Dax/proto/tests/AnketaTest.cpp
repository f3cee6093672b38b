// Directory answers, birthdays and ages.
#include "Dax/proto/Anketa.h"
#include "Dax/proto/tests/MrimTestSupport.h"

#include <gtest/gtest.h>

using namespace MrimTest;

TEST(MrimAnketa, RowsUpToTheLimit)
{
    Bytes body = Wire().U32(1).U32(3).U32(2).U32(0).Lps("Username").Lps("Domain").Lps("Nickname")
                     .Lps("bob").Lps("example.org").Lps16(L"\u0411\u043E\u0431")
                     .Lps("ann").Lps("example.org").Lps16(L"Ann")
                     .Lps("eve").Lps("example.org").Lps16(L"Eve");
    Mrim::Anketa anketa;
    ASSERT_TRUE(Mrim::ParseAnketa(body.data(), body.size(), anketa));
    ASSERT_EQ(2u, anketa.rows.size());
    EXPECT_EQ(L"bob", Text(anketa.rows[0][L"username"]));
    EXPECT_EQ(L"\u0411\u043E\u0431", Text(anketa.rows[0][L"nickname"]));
    EXPECT_EQ(L"Ann", Text(anketa.rows[1][L"nickname"]));
    // A cut row is dropped whole.
    Mrim::Anketa cut;
    ASSERT_TRUE(Mrim::ParseAnketa(body.data(), body.size() - 32 - 5, cut));
    EXPECT_EQ(1u, cut.rows.size());
}

TEST(MrimAnketa, StatusOtherThanOneHasNoRows)
{
    Bytes body = Wire().U32(0).U32(1).U32(1).U32(0).Lps("username").Lps("bob");
    Mrim::Anketa anketa;
    ASSERT_TRUE(Mrim::ParseAnketa(body.data(), body.size(), anketa));
    EXPECT_EQ(0u, anketa.status);
    EXPECT_TRUE(anketa.rows.empty());
    EXPECT_FALSE(Mrim::ParseAnketa(body.data(), 3, anketa));
}

TEST(MrimAnketa, BirthdayAndAge)
{
    int y = 0, m = 0, d = 0;
    ASSERT_TRUE(Mrim::SplitBirthday(L"1980-12-31", y, m, d));
    EXPECT_EQ(1980, y);
    EXPECT_EQ(12, m);
    EXPECT_EQ(31, d);
    EXPECT_FALSE(Mrim::SplitBirthday(L"-12-31", y, m, d));
    EXPECT_FALSE(Mrim::SplitBirthday(L"1980", y, m, d));
    EXPECT_FALSE(Mrim::SplitBirthday(L"1980-12", y, m, d));
    EXPECT_EQ(28, Mrim::AgeOn(1980, 12, 31, 2009, 12, 30));
    EXPECT_EQ(29, Mrim::AgeOn(1980, 12, 31, 2009, 12, 31));
    EXPECT_EQ(28, Mrim::AgeOn(1980, 12, 31, 2009, 11, 31));
}
