#include "ZELCommon/ZELGuid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

ZEL_GUID FromBytes(const unsigned char (&bytes)[16])
{
    ZEL_GUID guid;
    std::memcpy(&guid, bytes, 16);
    return guid;
}

ZEL_GUID Parsed(const wchar_t* text)
{
    ZEL_GUID guid = {};
    guid.SetString(CZELString(text));
    return guid;
}

std::wstring Text(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

// A GUID with no zero byte, so a change to any byte shows.
const unsigned char kPattern[16] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                                    0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF1, 0xF2};

}  // namespace

TEST(ZELGuidTest, LayoutIsSixteenLittleEndianBytes)
{
    EXPECT_EQ(16u, sizeof(ZEL_GUID));
    EXPECT_EQ(0u, offsetof(ZEL_GUID, Data1));
    EXPECT_EQ(4u, offsetof(ZEL_GUID, Data2));
    EXPECT_EQ(6u, offsetof(ZEL_GUID, Data3));
    EXPECT_EQ(8u, offsetof(ZEL_GUID, Data4));

    ZEL_GUID guid = FromBytes(kPattern);
    EXPECT_EQ(0x44332211u, guid.Data1);
    EXPECT_EQ(0x6655u, guid.Data2);
    EXPECT_EQ(0x8877u, guid.Data3);
    EXPECT_EQ(0x99, guid.Data4[0]);
    EXPECT_EQ(0xF2, guid.Data4[7]);
}

TEST(ZELGuidTest, GetStringOfZeroGuid)
{
    ZEL_GUID zero = {};
    CZELString text = zero.GetString();
    EXPECT_EQ(38, text.GetLength());
    EXPECT_EQ(L"{00000000-0000-0000-0000-000000000000}", Text(text));
}

TEST(ZELGuidTest, GetStringIsUpperCaseFieldsThenBytesInOrder)
{
    ZEL_GUID guid = FromBytes(kPattern);
    EXPECT_EQ(L"{44332211-6655-8877-99AA-BBCCDDEEF1F2}", Text(guid.GetString()));
}

TEST(ZELGuidTest, KnownGuidRoundTripsToTheSameBytes)
{
    const unsigned char expected[16] = {0x0A, 0x4B, 0x87, 0x7D, 0x3B, 0xD9, 0x4D, 0x4D,
                                        0xB7, 0x48, 0x02, 0x6F, 0xEB, 0x4E, 0xCC, 0xE0};
    ZEL_GUID guid = Parsed(L"{7D874B0A-D93B-4D4D-B748-026FEB4ECCE0}");
    EXPECT_EQ(0x7D874B0Au, guid.Data1);
    EXPECT_EQ(0xD93Bu, guid.Data2);
    EXPECT_EQ(0x4D4Du, guid.Data3);
    EXPECT_EQ(0, std::memcmp(&guid, expected, 16));
    EXPECT_EQ(L"{7D874B0A-D93B-4D4D-B748-026FEB4ECCE0}", Text(guid.GetString()));
}

TEST(ZELGuidTest, TextFormsRoundTrip)
{
    const wchar_t* cases[] = {
        L"{00000000-0000-0000-0000-000000000000}", L"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}",
        L"{5CA0CBC1-999A-4EA2-8B44-F8F67D7F8EBE}", L"{D42F2173-F868-469C-9F2F-B283F799F1CE}",
        L"{3BAE2E79-C55B-41B8-851D-0CB7DFF053B6}", L"{250BA6FC-BD6B-4959-9199-9A9339ECC018}",
        L"{17BB6222-C9AF-49FF-AA7C-5D0F48215E0A}", L"{80000001-8001-0180-80FF-00017F80FE01}",
    };
    for (const wchar_t* text : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(text)));
        ZEL_GUID guid = FromBytes(kPattern);
        guid.SetString(CZELString(text));
        EXPECT_EQ(text, Text(guid.GetString()));
        // And every byte comes back through the text form.
        ZEL_GUID again = Parsed(Text(guid.GetString()).c_str());
        EXPECT_EQ(0, std::memcmp(&guid, &again, 16));
    }
}

TEST(ZELGuidTest, SetStringAcceptsEitherCase)
{
    ZEL_GUID upper = Parsed(L"{7D874B0A-D93B-4D4D-B748-026FEB4ECCE0}");
    ZEL_GUID lower = Parsed(L"{7d874b0a-d93b-4d4d-b748-026feb4ecce0}");
    ZEL_GUID mixed = Parsed(L"{7d874B0a-D93b-4D4d-b748-026fEB4eCCe0}");
    EXPECT_EQ(0x7D874B0Au, lower.Data1);
    EXPECT_TRUE(upper == lower);
    EXPECT_TRUE(upper == mixed);
}

TEST(ZELGuidTest, SetStringLeavesGuidUnchangedForAnyOtherText)
{
    struct Case {
        const char* name;
        std::wstring text;
    };
    const std::wstring good = L"{7D874B0A-D93B-4D4D-B748-026FEB4ECCE0}";
    std::wstring withZero = good;
    withZero[5] = 0;
    const Case cases[] = {
        {"empty", L""},
        {"37 units, no closing brace", good.substr(0, 37)},
        {"37 units, no opening brace", good.substr(1)},
        {"39 units, trailing blank", good + L" "},
        {"39 units, extra digit", L"{7D874B0A-D93B-4D4D-B748-026FEB4ECCE00}"},
        {"no braces, 36 units", good.substr(1, 36)},
        {"38 units, parentheses", L"(7D874B0A-D93B-4D4D-B748-026FEB4ECCE0)"},
        {"38 units, no opening brace", L"77D874B0A-D93B-4D4D-B748-026FEB4ECCE0}"},
        {"38 units, no closing brace", L"{7D874B0A-D93B-4D4D-B748-026FEB4ECCE0-"},
        {"38 units, digit G in Data1", L"{7D874G0A-D93B-4D4D-B748-026FEB4ECCE0}"},
        {"38 units, bad last digit", L"{7D874B0A-D93B-4D4D-B748-026FEB4ECCEZ}"},
        {"38 units, bad Data4 digit", L"{7D874B0A-D93B-4D4D-B7X8-026FEB4ECCE0}"},
        {"38 units, hyphen moved", L"{7D874B0-AD93B-4D4D-B748-026FEB4ECCE0}"},
        {"38 units, hyphen missing", L"{7D874B0A-D93B-4D4D0B748-026FEB4ECCE0}"},
        {"38 units, sign in Data1", L"{+D874B0A-D93B-4D4D-B748-026FEB4ECCE0}"},
        {"38 units, 0x prefix", L"{0x874B0A-D93B-4D4D-B748-026FEB4ECCE0}"},
        {"38 units, blank in Data2", L"{7D874B0A- 93B-4D4D-B748-026FEB4ECCE0}"},
        {"38 units, full-width digit", L"{7D874B0A-D93B-4D4D-B748-026FEB4ECCE\xFF10}"},
        {"38 units, zero unit inside", withZero},
        {"38 units, all hyphens", std::wstring(38, L'-')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZEL_GUID guid = FromBytes(kPattern);
        guid.SetString(CZELString(c.text.data(), int(c.text.size())));
        EXPECT_EQ(0, std::memcmp(&guid, kPattern, 16));
    }
    ZEL_GUID guid = FromBytes(kPattern);
    guid.SetString(CZELString());
    EXPECT_EQ(0, std::memcmp(&guid, kPattern, 16));
}

TEST(ZELGuidTest, SetStringNeverWritesPastSixteenBytes)
{
    struct Guarded {
        unsigned char before[16];
        ZEL_GUID guid;
        unsigned char after[16];
    } g;
    std::memset(&g, 0xA5, sizeof(g));
    g.guid.SetString(CZELString(L"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}"));
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(0xA5, g.before[i]) << i;
        EXPECT_EQ(0xA5, g.after[i]) << i;
    }
    EXPECT_EQ(0xFFFFFFFFu, g.guid.Data1);
}

TEST(ZELGuidTest, EqualityComparesAllSixteenBytes)
{
    ZEL_GUID a = FromBytes(kPattern);
    ZEL_GUID b = a;
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE(i);
        unsigned char bytes[16];
        std::memcpy(bytes, kPattern, 16);
        bytes[i] ^= 0x01;
        ZEL_GUID c = FromBytes(bytes);
        EXPECT_FALSE(a == c);
        EXPECT_TRUE(a != c);
    }
}

TEST(ZELGuidTest, OrderIsUnsignedByteWiseInMemory)
{
    struct Case {
        const char* name;
        unsigned char left[16];
        unsigned char right[16];
        bool less;
    };
    const Case cases[] = {
        {"equal", {1, 2, 3}, {1, 2, 3}, false},
        {"first byte smaller", {0x00, 0xFF}, {0x01, 0x00}, true},
        {"first byte larger", {0x01, 0x00}, {0x00, 0xFF}, false},
        {"unsigned: 0x7F before 0x80", {0x7F}, {0x80}, true},
        {"unsigned: 0x80 after 0x7F", {0x80}, {0x7F}, false},
        {"last byte decides", {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 1},
         {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 2}, true},
        {"earlier byte outweighs later", {0, 0, 0, 0, 0, 1, 0xFF}, {0, 0, 0, 0, 0, 2, 0x00}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.less, FromBytes(c.left) < FromBytes(c.right));
    }
}

TEST(ZELGuidTest, OrderFollowsMemoryNotText)
{
    // Data1 0x00000100 lies in memory as 00 01 00 00, so it sorts before 0x00000001 (01 00 00 00)
    // although its text form is larger.
    ZEL_GUID one = {}, big = {};
    one.Data1 = 0x00000001;
    big.Data1 = 0x00000100;
    EXPECT_TRUE(big < one);
    EXPECT_FALSE(one < big);

    // Data2 is compared by its low byte first as well.
    ZEL_GUID low = {}, high = {};
    low.Data2 = 0x0100;
    high.Data2 = 0x0001;
    EXPECT_TRUE(low < high);
}

TEST(ZELGuidTest, ServesAsMapKey)
{
    const wchar_t* texts[] = {
        L"{7D874B0A-D93B-4D4D-B748-026FEB4ECCE0}", L"{5CA0CBC1-999A-4EA2-8B44-F8F67D7F8EBE}",
        L"{D42F2173-F868-469C-9F2F-B283F799F1CE}", L"{3BAE2E79-C55B-41B8-851D-0CB7DFF053B6}",
        L"{250BA6FC-BD6B-4959-9199-9A9339ECC018}", L"{17BB6222-C9AF-49FF-AA7C-5D0F48215E0A}",
        L"{00000000-0000-0000-0000-000000000000}",
    };
    std::map<ZEL_GUID, int> map;
    for (int i = 0; i < 7; ++i) map[Parsed(texts[i])] = i;
    map[Parsed(L"{7d874b0a-d93b-4d4d-b748-026feb4ecce0}")] = 100;  // same key as texts[0]
    ASSERT_EQ(7u, map.size());
    EXPECT_EQ(100, map[Parsed(texts[0])]);
    for (int i = 1; i < 7; ++i) EXPECT_EQ(i, map[Parsed(texts[i])]);

    // Iteration runs in memory-byte order.
    std::vector<std::vector<unsigned char>> keys;
    for (const auto& entry : map) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(&entry.first);
        keys.emplace_back(p, p + 16);
    }
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
}
