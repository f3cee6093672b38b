#include "Wex/proto/ClientRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Wex;

namespace {

// A "Clients.cfg" file: the byte-order mark, then text in UTF-16LE.
std::vector<unsigned char> File(const std::wstring& text)
{
    std::vector<unsigned char> bytes = {0xFF, 0xFE};
    for (wchar_t c : text) {
        bytes.push_back((unsigned char)(c & 0xFF));
        bytes.push_back((unsigned char)(c >> 8));
    }
    return bytes;
}

ClientIdTable Parse(const std::wstring& text)
{
    std::vector<unsigned char> bytes = File(text);
    return ParseClientRules(bytes.data(), bytes.size());
}

std::string Names(const ClientIdTable& table)
{
    std::string names;
    for (const ClientIdEntry& rule : table) {
        if (!names.empty()) names += ",";
        for (int i = 0; i < rule.name.GetLength(); ++i) names += char(rule.name.GetBuffer()[i]);
    }
    return names;
}

// A contact's user information: a direct-connection block of dcLength bytes with the protocol
// version and the three dcinfo words in place, and its capabilities in TLV 0x0D.
TlvChain UserInfo(unsigned version, unsigned dc1, unsigned dc2, unsigned dc3, std::vector<CapabilityGuid> caps,
                  size_t dcLength = 37)
{
    std::vector<unsigned char> block(dcLength);
    auto put = [&](size_t at, unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            if (at + size_t(i) < block.size()) block[at + size_t(i)] = (unsigned char)(value >> (8 * (bytes - 1 - i)));
    };
    put(9, version, 2);
    put(23, dc1, 4);
    put(27, dc2, 4);
    put(31, dc3, 4);
    TlvChain chain;
    chain.Add(Tlv(0x000C, (unsigned short)block.size(), block.data()));
    std::vector<unsigned char> all;
    for (const CapabilityGuid& guid : caps) all.insert(all.end(), guid.begin(), guid.end());
    if (!all.empty()) chain.Add(Tlv(0x000D, (unsigned short)all.size(), all.data()));
    return chain;
}

} // namespace

TEST(ClientRules, ReadsRulesLowerCasedSkippingCommentsAndNamelessRules)
{
    ClientIdTable table = Parse(L"; a comment\r\n\r\n[First]\r\nNAME=Alpha\r\nprotover=9\r\ndcinfo1=FFFFFF42\r\n"
                                L"dcinfo3=7b\r\npic=Alpha.PNG\r\nunknown=1\r\n[nameless]\r\nprotover=8\r\n"
                                L"[third]\r\nname=gamma\r\nname=delta\r\ncaps=!0946134e, 563fc809\r\n"
                                L"caps=09461349\r\nnocaps=abcd\r\n");
    ASSERT_EQ(Names(table), "alpha,delta");
    const ClientIdEntry& alpha = table[0];
    EXPECT_TRUE(alpha.hasProtocolVersion);
    EXPECT_EQ(alpha.protocolVersion, 9u);
    EXPECT_TRUE(alpha.hasDcInfo[0]);
    EXPECT_EQ(alpha.dcInfo[0], 0xFFFFFF42u);
    EXPECT_FALSE(alpha.hasDcInfo[1]);
    EXPECT_EQ(alpha.dcInfo[2], 0x7Bu);
    EXPECT_EQ(std::wstring(alpha.picture.GetBuffer()), L"alpha.png");
    EXPECT_EQ(alpha.pictureIndex, -1);
    const ClientIdEntry& delta = table[1];
    EXPECT_TRUE(delta.exactCapCount);
    ASSERT_EQ(delta.caps.size(), 3u);  // caps lines accumulate
    EXPECT_EQ(delta.caps[0].length, 4);
    EXPECT_EQ(delta.caps[0].guid[0], 0x09);
    EXPECT_EQ(delta.caps[0].guid[3], 0x4E);
    EXPECT_EQ(delta.caps[0].guid[4], 0x00);
    EXPECT_EQ(delta.caps[1].guid[0], 0x56);
    ASSERT_EQ(delta.noCaps.size(), 1u);
    EXPECT_EQ(delta.noCaps[0].length, 2);
}

TEST(ClientRules, ListItemsAndLinesAtTheEdges)
{
    struct Case {
        const char* name;
        std::wstring text;
        std::string names;
        std::vector<int> capLengths;
    } cases[] = {
        // The item after a comma starts two characters on: a bare comma loses a digit.
        {"bare comma", L"[a]\r\nname=a\r\ncaps=0946134e,0946134c\r\n", "a", {4, 3}},
        // More than 32 digits: the bytes stop at 16 and so does the compared length.
        {"long item", L"[a]\r\nname=a\r\ncaps=" + std::wstring(40, L'1') + L"\r\n", "a", {16}},
        {"odd digits", L"[a]\r\nname=a\r\ncaps=abc\r\n", "a", {1}},
        {"not a digit", L"[a]\r\nname=a\r\ncaps=09zz, 0946\r\n", "a", {2}},
        // Text after the last CR LF is not read.
        {"last line cut", L"[a]\r\nname=a\r\ncaps=0946\r\n[b]\r\nname=b", "a", {2}},
        {"empty file", L"", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClientIdTable table = Parse(c.text);
        EXPECT_EQ(Names(table), c.names);
        std::vector<int> lengths;
        if (!table.empty())
            for (const CapPrefix& p : table[0].caps) lengths.push_back(p.length);
        EXPECT_EQ(lengths, c.capLengths);
    }
    EXPECT_TRUE(ParseClientRules(nullptr, 0).empty());
    // An odd last byte is dropped.
    std::vector<unsigned char> odd = File(L"[a]\r\nname=a\r\n");
    odd.push_back('x');
    EXPECT_EQ(Names(ParseClientRules(odd.data(), odd.size())), "a");
}

TEST(ClientRules, TheFirstRuleTheContactPassesNamesItsClient)
{
    CapabilityTable capabilities;
    ClientIdTable table = Parse(L"[exact]\r\nname=exact\r\ncaps=!0946134e\r\n"
                                L"[no typing]\r\nname=notyping\r\nprotover=9\r\nnocaps=563fc809\r\n"
                                L"[dc]\r\nname=dc\r\ndcinfo1=11223344\r\ndcinfo2=55667788\r\ndcinfo3=99aabbcc\r\n"
                                L"[any]\r\nname=any\r\nprotover=8\r\n"
                                L"[typing]\r\nname=typing\r\ncaps=563fc809, 0946134e\r\n");
    ASSERT_EQ(table.size(), 5u);
    struct Case {
        const char* name;
        TlvChain userInfo;
        int expected;
    } cases[] = {
        {"only the one capability", UserInfo(0, 0, 0, 0, {caUTF8support}), 0},
        {"one more than the exact list", UserInfo(0, 0, 0, 0, {caUTF8support, caTyping}), 4},
        {"version without typing", UserInfo(9, 0, 0, 0, {caRTFsupport}), 1},
        {"version with typing", UserInfo(9, 0, 0, 0, {caTyping}), -1},
        {"dcinfo words", UserInfo(7, 0x11223344, 0x55667788, 0x99AABBCC, {}), 2},
        {"one dcinfo word differs", UserInfo(7, 0x11223344, 0x55667788, 0x99AABBCD, {}), -1},
        // "dc" and "any" both pass: the earlier in the file wins.
        {"earlier rule wins", UserInfo(8, 0x11223344, 0x55667788, 0x99AABBCC, {}), 2},
        // A short direct-connection block identifies nobody, whatever the capabilities.
        {"short block", UserInfo(0, 0, 0, 0, {caUTF8support}, 34), -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IdentifyClient(table, capabilities, c.userInfo), c.expected);
    }
    TlvChain withoutBlock;
    std::vector<unsigned char> caps(caUTF8support.begin(), caUTF8support.end());
    withoutBlock.Add(Tlv(0x000D, 16, caps.data()));
    EXPECT_EQ(IdentifyClient(table, capabilities, withoutBlock), -1);
    EXPECT_EQ(IdentifyClient(ClientIdTable(), capabilities, UserInfo(0, 0, 0, 0, {caUTF8support})), -1);
}
