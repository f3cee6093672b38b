#include "ZELCommon/ByteReader.h"

#include <gtest/gtest.h>

TEST(ByteReaderTest, ReadsBothByteOrders)
{
    const unsigned char bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0xFF};
    ByteReader reader(bytes, sizeof bytes);
    EXPECT_EQ(0x0102, reader.U16());
    EXPECT_EQ(0x0403, reader.U16LE());
    EXPECT_EQ(0x05060708u, reader.U32());
    EXPECT_EQ(0x0C0B0A09u, reader.U32LE());
    EXPECT_EQ(0xFF, reader.U8());
    EXPECT_FALSE(reader.Failed());
    EXPECT_EQ(0u, reader.Remaining());
}

TEST(ByteReaderTest, AShortReadFailsForGoodWhereItStood)
{
    const unsigned char bytes[] = {0x01, 0x02, 0x03};
    ByteReader reader(bytes, sizeof bytes);
    EXPECT_EQ(0x0201, reader.U16LE());
    EXPECT_EQ(0u, reader.U32LE());
    EXPECT_TRUE(reader.Failed());
    EXPECT_EQ(2u, reader.Offset());
    EXPECT_EQ(0u, reader.Remaining());
    EXPECT_EQ(0, reader.U8()) << "one byte was left, but the reader has failed";
    EXPECT_EQ(nullptr, reader.Bytes(1));
}
