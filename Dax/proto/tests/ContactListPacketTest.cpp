// The contact-list packet: the mask walk, the fields it fills, and lists that must change nothing.
#include "Dax/proto/ContactListPacket.h"
#include "Dax/proto/tests/MrimTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace MrimTest;

namespace {

// The packet in pieces: the head (status, count, masks, groups), then one piece per contact record.
std::vector<Bytes> SamplePieces()
{
    return {
        Wire().U32(0).U32(2).Lps("us").Lps("uussuussssusuuus")
            .U32(0x00000202).Lps16(L"\u0414\u0440\u0443\u0437\u044C\u044F")
            .U32(0x00000002).Lps("Work"),
        // flags, group, email, nickname, serverFlags, status, phone, x-id, x-title, x-text, features,
        // agent, then three surplus u and a surplus s.
        Wire().U32(0x208).U32(1).Lps("bob@example.org").Lps16(L"\u0411\u043E\u0431").U32(1).U32(4).Lps("+7")
            .Lps("status_chat").Lps("T").Lps("X").U32(0x3FF).Lps("client=x").U32(9).U32(9).U32(9).Lps("surplus"),
        Wire().U32(0x14).U32(0xFFFFFFFF).Lps("ann@example.org").Lps("").U32(0).U32(1).Lps("")
            .Lps("").Lps("").Lps("").U32(0x3FF).Lps("").U32(0).U32(0).U32(0).Lps(""),
        Wire().U32(0).U32(0).Lps("noat").Lps("").U32(0).U32(0).Lps("").Lps("").Lps("").Lps("").U32(0).Lps("")
            .U32(0).U32(0).U32(0).Lps(""),
    };
}

Bytes SampleList()
{
    Bytes body;
    for (const Bytes& piece : SamplePieces()) body.insert(body.end(), piece.begin(), piece.end());
    return body;
}

} // namespace

TEST(MrimContactListPacket, MaskWalkFillsGroupsAndContacts)
{
    Bytes body = SampleList();
    std::vector<Mrim::MrimGroup> groups;
    std::vector<Mrim::MrimContact> contacts;
    ASSERT_EQ(Mrim::ListParsed, Mrim::ParseContactList(body.data(), body.size(), groups, contacts));
    ASSERT_EQ(2u, groups.size());
    EXPECT_EQ(L"\u0414\u0440\u0443\u0437\u044C\u044F", Text(groups[0].name));
    EXPECT_EQ(0u, groups[0].index);
    EXPECT_EQ(L"Work", Text(groups[1].name));
    EXPECT_EQ(1u, groups[1].index);
    ASSERT_EQ(3u, contacts.size());
    const Mrim::MrimContact& bob = contacts[0];
    EXPECT_EQ(0x208u, bob.flags);
    EXPECT_EQ(1u, bob.group);
    EXPECT_EQ(20u, bob.serverId);
    EXPECT_EQ(L"bob@example.org", Text(bob.email));
    EXPECT_EQ(L"\u0411\u043E\u0431", Text(bob.nickname));
    EXPECT_EQ(1u, bob.serverFlags);
    EXPECT_EQ(4u, bob.status);
    EXPECT_EQ(L"+7", Text(bob.phone));
    EXPECT_EQ(L"status_chat", Text(bob.xstatusId));
    EXPECT_EQ(0x3FFu, bob.features);
    EXPECT_EQ(L"client=x", Text(bob.userAgent));
    // Empty nickname: the address's local part; group 0xFFFFFFFF: 0; no user agent: no features.
    EXPECT_EQ(L"ann", Text(contacts[1].nickname));
    EXPECT_EQ(0u, contacts[1].group);
    EXPECT_EQ(0u, contacts[1].features);
    EXPECT_EQ(21u, contacts[1].serverId);
    EXPECT_EQ(L"noat", Text(contacts[2].nickname));
    EXPECT_EQ(22u, contacts[2].serverId);
}

TEST(MrimContactListPacket, EveryTruncationInsideARecordChangesNothing)
{
    Bytes body = SampleList();
    std::vector<size_t> boundaries;
    size_t at = 0;
    for (const Bytes& piece : SamplePieces()) boundaries.push_back(at += piece.size());
    for (size_t cut = 0; cut < body.size(); ++cut) {
        SCOPED_TRACE(cut);
        std::vector<Mrim::MrimGroup> groups(1);
        groups[0].name = L"kept";
        std::vector<Mrim::MrimContact> contacts(1);
        contacts[0].email = L"kept@example.org";
        bool whole = std::find(boundaries.begin(), boundaries.end(), cut) != boundaries.end();
        EXPECT_EQ(whole, Mrim::ListParsed == Mrim::ParseContactList(body.data(), cut, groups, contacts));
        if (whole) continue;
        ASSERT_EQ(1u, groups.size());
        EXPECT_EQ(L"kept", Text(groups[0].name));
        EXPECT_EQ(L"kept@example.org", Text(contacts[0].email));
    }
}

TEST(MrimContactListPacket, StatusAndBrokenMasks)
{
    std::vector<Mrim::MrimGroup> groups;
    std::vector<Mrim::MrimContact> contacts;
    struct Case {
        const char* name;
        Bytes body;
        int result;
    } cases[] = {
        {"empty", Bytes(), Mrim::ListBroken},
        {"status only", Hex("00 00 00"), Mrim::ListBroken},
        {"status 2", Wire().U32(2), 2},
        {"masks missing", Wire().U32(0).U32(0), Mrim::ListBroken},
        {"groups with a mask of no fields", Wire().U32(0).U32(2).Lps("xy").Lps("us"), Mrim::ListBroken},
        {"contacts with a mask of no fields", Wire().U32(0).U32(0).Lps("us").Lps("").U32(0), Mrim::ListBroken},
        {"LPS past the body", Wire().U32(0).U32(1).Lps("us").Lps("us").U32(2).U32(0x7FFFFFFF), Mrim::ListBroken},
        {"huge group count", Wire().U32(0).U32(0xFFFFFFFF).Lps("u").Lps("u"), Mrim::ListBroken},
        {"no groups, no contacts", Wire().U32(0).U32(0).Lps("us").Lps("us"), Mrim::ListParsed},
        {"unknown letters read nothing", Wire().U32(0).U32(1).Lps("zuzs").Lps("us").U32(2).Lps("G"), Mrim::ListParsed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.result, Mrim::ParseContactList(c.body.data(), c.body.size(), groups, contacts));
    }
    EXPECT_EQ(L"G", Text(groups[0].name));
}
