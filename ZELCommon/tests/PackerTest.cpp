#include "ZELCommon/Packer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::wstring Text(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

const unsigned char kGuard = 0xCD;

}  // namespace

TEST(PackerTest, PackWritesGoldenBytes)
{
    struct Case {
        const char* name;
        void (*pack)(unsigned char*);
        std::vector<unsigned char> bytes;
    };
    const Case cases[] = {
        {"Pack8", [](unsigned char* b) { CPacker::Pack8(b, 0xA7); }, {0xA7}},
        {"Pack16", [](unsigned char* b) { CPacker::Pack16(b, 0x0102); }, {0x01, 0x02}},
        {"Pack16 high bit", [](unsigned char* b) { CPacker::Pack16(b, 0xFF01); }, {0xFF, 0x01}},
        {"Pack16LE", [](unsigned char* b) { CPacker::Pack16LE(b, 0x0102); }, {0x02, 0x01}},
        {"Pack32", [](unsigned char* b) { CPacker::Pack32(b, 0x01020304); }, {0x01, 0x02, 0x03, 0x04}},
        {"Pack32LE", [](unsigned char* b) { CPacker::Pack32LE(b, 0x01020304); }, {0x04, 0x03, 0x02, 0x01}},
        {"Pack32 high bit", [](unsigned char* b) { CPacker::Pack32(b, 0xDEADBEEF); }, {0xDE, 0xAD, 0xBE, 0xEF}},
        {"Pack32LE high bit", [](unsigned char* b) { CPacker::Pack32LE(b, 0xDEADBEEF); }, {0xEF, 0xBE, 0xAD, 0xDE}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        unsigned char buffer[8];
        std::memset(buffer, kGuard, sizeof(buffer));
        c.pack(buffer + 1);
        EXPECT_EQ(kGuard, buffer[0]);
        EXPECT_EQ(c.bytes, std::vector<unsigned char>(buffer + 1, buffer + 1 + c.bytes.size()));
        for (size_t i = 1 + c.bytes.size(); i < sizeof(buffer); ++i) EXPECT_EQ(kGuard, buffer[i]) << i;
    }
}

TEST(PackerTest, UnpackReadsGoldenBytes)
{
    const unsigned char ff01[] = {0xFF, 0x01};
    EXPECT_EQ(0xFF01, CPacker::Unpack16(ff01));
    EXPECT_EQ(0x01FF, CPacker::Unpack16LE(ff01));

    const unsigned char bytes[] = {0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(0x01020304u, CPacker::Unpack32(bytes));
    EXPECT_EQ(0x04030201u, CPacker::Unpack32LE(bytes));

    // High bits must not sign-extend into the other bytes.
    const unsigned char high[] = {0x80, 0xFF, 0xFE, 0x81};
    EXPECT_EQ(0x80, CPacker::Unpack8(high));
    EXPECT_EQ(0x80FFu, CPacker::Unpack16(high));
    EXPECT_EQ(0xFF80u, CPacker::Unpack16LE(high));
    EXPECT_EQ(0x80FFFE81u, CPacker::Unpack32(high));
    EXPECT_EQ(0x81FEFF80u, CPacker::Unpack32LE(high));

    const unsigned char magic[] = {0xEF, 0xBE, 0xAD, 0xDE};
    EXPECT_EQ(0xDEADBEEFu, CPacker::Unpack32LE(magic));
}

TEST(PackerTest, RoundTripsAtEveryAlignment)
{
    const unsigned int values32[] = {0, 1, 0x7F, 0x80, 0xFF, 0x100, 0x12345678, 0x80000000, 0xFFFFFFFF};
    for (int offset = 0; offset < 8; ++offset) {
        SCOPED_TRACE(offset);
        for (unsigned int v : values32) {
            unsigned char buffer[16];
            std::memset(buffer, kGuard, sizeof(buffer));
            unsigned char* p = buffer + offset;

            CPacker::Pack32(p, v);
            EXPECT_EQ(v, CPacker::Unpack32(p));
            CPacker::Pack32LE(p, v);
            EXPECT_EQ(v, CPacker::Unpack32LE(p));
            CPacker::Pack16(p, (unsigned short)v);
            EXPECT_EQ((unsigned short)v, CPacker::Unpack16(p));
            CPacker::Pack16LE(p, (unsigned short)v);
            EXPECT_EQ((unsigned short)v, CPacker::Unpack16LE(p));
            CPacker::Pack8(p, (unsigned char)v);
            EXPECT_EQ((unsigned char)v, CPacker::Unpack8(p));

            for (int i = 0; i < offset; ++i) EXPECT_EQ(kGuard, buffer[i]);
            for (int i = offset + 4; i < 16; ++i) EXPECT_EQ(kGuard, buffer[i]);
        }
    }
}

TEST(PackerTest, PackBufferCopiesExactlyNBytes)
{
    const unsigned char source[] = {1, 2, 3, 4, 5};
    unsigned char buffer[8];
    std::memset(buffer, kGuard, sizeof(buffer));
    CPacker::PackBuffer(buffer + 1, source, 5);
    const unsigned char expected[] = {kGuard, 1, 2, 3, 4, 5, kGuard, kGuard};
    EXPECT_EQ(0, std::memcmp(expected, buffer, sizeof(buffer)));

    // Nothing at all for an empty or negative count, even with no source.
    std::memset(buffer, kGuard, sizeof(buffer));
    CPacker::PackBuffer(buffer, nullptr, 0);
    CPacker::PackBuffer(buffer, source, 0);
    CPacker::PackBuffer(buffer, source, -1);
    for (unsigned char b : buffer) EXPECT_EQ(kGuard, b);
}

TEST(PackerTest, UnpackBufferReturnsOwnMallocCopy)
{
    unsigned char source[] = {0x00, 0xFF, 0x10, 0x20, 0x30};
    unsigned char* copy = CPacker::UnpackBuffer(source + 1, 3);
    ASSERT_NE(nullptr, copy);
    EXPECT_NE(source + 1, copy);
    EXPECT_EQ(0xFF, copy[0]);
    EXPECT_EQ(0x10, copy[1]);
    EXPECT_EQ(0x20, copy[2]);
    source[1] = 0;  // the copy does not follow its source
    EXPECT_EQ(0xFF, copy[0]);
    std::free(copy);

    EXPECT_EQ(nullptr, CPacker::UnpackBuffer(source, 0));
    EXPECT_EQ(nullptr, CPacker::UnpackBuffer(source, -5));
    EXPECT_EQ(nullptr, CPacker::UnpackBuffer(nullptr, 0));
}

TEST(PackerTest, ToStringDumpsLowerCaseHexSixteenPerLine)
{
    std::vector<unsigned char> seventeen;
    std::wstring seventeenText;
    for (int i = 0; i < 17; ++i) seventeen.push_back((unsigned char)(i * 0x11));
    seventeenText = L"\n00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff\n10";

    std::vector<unsigned char> thirtyThree(33, 0x05);
    std::wstring thirtyThreeText;
    for (int i = 0; i < 33; ++i) thirtyThreeText += (i % 16 == 0 ? L"\n05" : L" 05");

    struct Case {
        const char* name;
        std::vector<unsigned char> bytes;
        std::wstring text;
    };
    const Case cases[] = {
        {"one byte 0x0A", {0x0A}, L"\n0a"},
        {"zero byte", {0x00}, L"\n00"},
        {"three bytes", {0x01, 0xAB, 0x10}, L"\n01 ab 10"},
        {"sixteen bytes stay on one line",
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 255},
         L"\n00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e ff"},
        {"byte 16 starts a new line", seventeen, seventeenText},
        {"byte 32 starts a third line", thirtyThree, thirtyThreeText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CZELString text = CPacker::ToString(c.bytes.data(), int(c.bytes.size()));
        EXPECT_EQ(c.text, Text(text));
        EXPECT_EQ(int(c.bytes.size()) * 3, text.GetLength());
    }
}

TEST(PackerTest, ToStringOfNothingIsEmpty)
{
    const unsigned char byte = 0x42;
    EXPECT_TRUE(CPacker::ToString(&byte, 0).IsEmpty());
    EXPECT_TRUE(CPacker::ToString(&byte, -1).IsEmpty());
    EXPECT_TRUE(CPacker::ToString(nullptr, 0).IsEmpty());
}

TEST(PackerTest, ToStringOfLongBufferStopsAtAWholeByte)
{
    // Three units a byte: a dump longer than a string can hold ends after the last byte that fits.
    std::vector<unsigned char> bytes(30000, 0xAB);
    CZELString text = CPacker::ToString(bytes.data(), int(bytes.size()));
    const int fits = CZELString::MaxLength / 3;
    ASSERT_EQ(fits * 3, text.GetLength());
    std::wstring s = Text(text);
    EXPECT_EQ(L"\nab", s.substr(0, 3));
    EXPECT_EQ(L"ab", s.substr(s.size() - 2));
    EXPECT_EQ(fits % 16 == 1 ? L'\n' : L' ', s[s.size() - 3]);
}
