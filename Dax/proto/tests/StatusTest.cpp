// Statuses to and from the wire, the status table's rows, and the client identification.
#include "Dax/proto/MrimStatus.h"
#include "Dax/proto/tests/MrimTestSupport.h"

#include <gtest/gtest.h>

using namespace MrimTest;

TEST(MrimStatus, ToWire)
{
    struct Case {
        int status;
        unsigned value;
        std::wstring uri;
    } cases[] = {
        {0, 0, L"STATUS_OFFLINE"},   {1, 1, L""},            {2, 1, L"STATUS_ONLINE"},
        {3, 0x80000001, L"STATUS_INVISIBLE"}, {4, 0x80000001, L"STATUS_INVISIBLE"},
        {5, 4, L"status_chat"},      {6, 4, L"status_38"},   {7, 4, L"status_34"}, {8, 4, L"status_5"},
        {9, 4, L"status_22"},        {10, 4, L"status_6"},   {11, 2, L"STATUS_AWAY"}, {12, 4, L"status_10"},
        {13, 4, L"status_46"},       {14, 4, L"status_dnd"}, {15, 1, L""},          {-1, 1, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        CZELString uri(L"stale");
        EXPECT_EQ(c.value, Mrim::StatusToWire(c.status, uri));
        EXPECT_EQ(c.uri, Text(uri));
    }
}

TEST(MrimStatus, FromWire)
{
    struct Case {
        unsigned value;
        std::wstring uri;
        int status;
    } cases[] = {
        {0x80000001, L"anything", 3}, {0x80000000, L"", 3}, {1, L"", 2}, {2, L"", 11},
        {4, L"status_chat", 5}, {4, L"STATUS_DND", 14}, {4, L"status_5", 8}, {4, L"status_6", 10},
        {4, L"status_10", 12}, {4, L"status_22", 9}, {4, L"status_34", 7}, {4, L"STATUS_35", 7},
        {4, L"status_38", 6}, {4, L"status_46", 13}, {4, L"status_99", 2}, {4, L"", 2},
        {0, L"", 0}, {3, L"", 0}, {5, L"status_chat", 0}, {0x7FFFFFFF, L"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " " << std::string(c.uri.begin(), c.uri.end()));
        EXPECT_EQ(c.status, Mrim::StatusFromWire(c.value, Str(c.uri)));
    }
}

TEST(MrimStatus, RowsNameAndShowEachStatus)
{
    const Mrim::StatusRow* invisible = Mrim::FindStatusRow(4);
    ASSERT_NE(nullptr, invisible);
    EXPECT_EQ(3, invisible->status);
    EXPECT_EQ(8, invisible->textNumber);
    EXPECT_EQ(2, invisible->images[0]);
    EXPECT_EQ(3, invisible->images[1]);
    EXPECT_EQ(nullptr, Mrim::FindStatusRow(15));
    const Mrim::StatusRow* offline = Mrim::FindStatusRow(0);
    ASSERT_NE(nullptr, offline);
    EXPECT_EQ(12, offline->textNumber);
    EXPECT_EQ(-1, offline->images[1]);
    for (int status = 5; status <= 14; ++status) {
        const Mrim::StatusRow* row = Mrim::FindStatusRow(status);
        ASSERT_NE(nullptr, row);
        EXPECT_EQ(status - 1, row->images[1]);
    }
}

TEST(MrimStatus, ClientIdByteForByte)
{
    Bytes expected = Hex("FF 03 00 00  2E 00 00 00");
    std::string agent = "client=\"ZEL PDA WM\" version=\"2.0\" build=\"2140\"";
    ASSERT_EQ(46u, agent.size());
    expected.insert(expected.end(), agent.begin(), agent.end());
    Bytes tail = Hex("02 00 00 00 72 75  1D 00 00 00");
    expected.insert(expected.end(), tail.begin(), tail.end());
    std::string description = "ZEL PDA Symbian (build 2140);";
    expected.insert(expected.end(), description.begin(), description.end());
    EXPECT_EQ(ToHex(expected), ToHex(Mrim::BuildClientId(2140, L"WM")));
}
