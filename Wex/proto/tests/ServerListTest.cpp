// The account's copy of the server-side list: look-ups, id allocation, privacy membership and its
// cache, written and read back.
#include "Wex/proto/ServerList.h"

#include "WexTestSupport.h"

#include <gtest/gtest.h>

using namespace WexTest;
using namespace Wex;

namespace {

ServerListItem Item(const wchar_t* name, unsigned short group, unsigned short id, unsigned short type)
{
    ServerListItem item;
    item.Name = CZELString(name);
    item.GroupId = group;
    item.ItemId = id;
    item.ItemType = type;
    return item;
}

}  // namespace

TEST(ServerList, NewItemIdTakesTheSmallestFreeIdFrom1024)
{
    ServerList list;
    EXPECT_EQ(list.NewItemId(), 1024);
    list.Append(Item(L"1", 1, 1024, ItemBuddy));
    list.Append(Item(L"2", 1, 1025, ItemBuddy));
    EXPECT_EQ(list.NewItemId(), 1026);
    // A group's own id counts as taken; a buddy's group id does not.
    list.Append(Item(L"G", 1026, 0, ItemGroup));
    list.Append(Item(L"3", 1027, 5, ItemBuddy));
    EXPECT_EQ(list.NewItemId(), 1027);
    EXPECT_TRUE(list.IsItemIdUsed(1026));
    EXPECT_FALSE(list.IsItemIdUsed(1027));

    // Every id taken: no id rather than a wrap.
    ServerList full;
    for (unsigned id = 1024; id <= 0xFFFF; ++id) full.Append(Item(L"x", 1, (unsigned short)id, ItemBuddy));
    EXPECT_EQ(full.NewItemId(), 0);
}

TEST(ServerList, LooksItemsUpByContactNameAndType)
{
    ServerList list;
    list.Append(Item(L"Friends", 1, 0, ItemGroup)).ContactId = 3;
    list.Append(Item(L"555", 1, 7, ItemBuddy)).ContactId = int(0x80000001u);
    list.Append(Item(L"555", 0, 8, ItemVisible));
    list.Append(Item(L"555", 0, 9, ItemInvisible));
    list.Append(Item(L"777", 0, 10, ItemIgnore));
    list.Append(Item(L"", 0, 11, ItemPrivacySettings));
    list.Append(Item(L"alice", 1, 12, ItemBuddy));

    EXPECT_EQ(list.FindItemByContact(3)->Name, CZELString(L"Friends"));
    EXPECT_EQ(list.FindItemByContact(0), nullptr);
    EXPECT_EQ(list.FindBuddy(CZELString(L"555"))->ItemId, 7);
    EXPECT_EQ(list.FindBuddy(CZELString(L"ALICE"))->ItemId, 12);
    EXPECT_EQ(list.FindBuddy(CZELString(L"777")), nullptr);
    EXPECT_EQ(list.FindPrivacySettingsItem()->ItemId, 11);
    EXPECT_EQ(list.FindGroup(1)->ContactId, 3);

    PrivacyMembership both = list.GetPrivacyMembership(CZELString(L"555"));
    EXPECT_TRUE(both.visible);
    EXPECT_TRUE(both.invisible);
    EXPECT_FALSE(both.ignore);
    PrivacyMembership ignored = list.GetPrivacyMembership(CZELString(L"777"));
    EXPECT_FALSE(ignored.visible);
    EXPECT_TRUE(ignored.ignore);

    EXPECT_FALSE(IsScreenName(Item(L"555", 0, 0, 0)));
    EXPECT_TRUE(IsScreenName(Item(L"alice", 0, 0, 0)));
}

TEST(ServerList, DcProtocolVersionNeedsABlockLongEnoughToHoldIt)
{
    ServerListItem item;
    EXPECT_EQ(GetDcProtocolVersion(item), 0);
    Bytes shortBlock = Hex("00 00 00 00 00 00 00 00 00 00");
    item.UserInfo.Add(Tlv(TlvDirectConnection, (unsigned short)shortBlock.size(), shortBlock.data()));
    EXPECT_EQ(GetDcProtocolVersion(item), 0);
    ServerListItem full;
    Bytes block = Hex("00 00 00 00 00 00 00 00 00 00 09 00");
    full.UserInfo.Add(Tlv(TlvDirectConnection, (unsigned short)block.size(), block.data()));
    EXPECT_EQ(GetDcProtocolVersion(full), 9);
}

TEST(ServerList, CacheHoldsTheItemsAsTheServerSendsThem)
{
    ServerList one;
    one.Append(Item(L"12345", 1, 2, ItemBuddy)).ContactId = 99;
    EXPECT_EQ(ToHex(one.SaveCache()), ToHex(Hex("00 00 01 00 05 31 32 33 34 35 00 01 00 02 00 00 00 00")));

    ServerList empty;
    EXPECT_EQ(ToHex(empty.SaveCache()), "00 00 00");

    ServerList list;
    list.Append(Item(L"Друзья", 7, 0, ItemGroup));
    ServerListItem& bob = list.Append(Item(L"555", 7, 1030, ItemBuddy));
    bob.Attributes.Add(AliasTlv(CZELString(L"Боб")));
    bob.Attributes.Add(Tlv(TlvAwaitingAuth, (unsigned short)0, nullptr));
    bob.Status = 2;
    list.Append(Item(L"", 0, 40, ItemPrivacySettings)).Attributes.Add(Tlv(TlvPrivacyMode, (unsigned char)3));
    list.Append(Item(L"x", 0, 41, 0x0019));  // an unknown type is kept as it is
    Bytes cache = list.SaveCache();

    ServerList back;
    back.Append(Item(L"stale", 1, 1, ItemBuddy));
    back.LoadCache(cache.data(), cache.size());
    ASSERT_EQ(back.Count(), 4);
    EXPECT_EQ(back.Items[0].Name, CZELString(L"Друзья"));
    EXPECT_EQ(back.Items[1].ItemId, 1030);
    EXPECT_EQ(back.Items[1].Alias(), CZELString(L"Боб"));
    EXPECT_NE(back.Items[1].Attributes.Find(TlvAwaitingAuth), nullptr);
    EXPECT_EQ(back.Items[1].Status, 0);
    EXPECT_EQ(back.Items[1].ContactId, 0);
    EXPECT_EQ(back.Items[2].Attributes.Find(TlvPrivacyMode)->GetValue()[0], 3);
    EXPECT_EQ(back.Items[3].ItemType, 0x0019);
    EXPECT_EQ(ToHex(back.SaveCache()), ToHex(cache));

    // Cut anywhere: the whole items before the cut, nothing read past it.
    for (size_t keep = 0; keep < cache.size(); ++keep) {
        GuardedBytes cut(cache.data(), keep);
        ServerList partial;
        partial.LoadCache(cut.data(), cut.size());
        EXPECT_LT(partial.Count(), 4) << keep;
    }
}

TEST(ServerList, ReplaceTlvKeepsThePlaceAndTellsAChange)
{
    TlvChain chain;
    chain.Add(Tlv(0x0001, (unsigned char)1));
    chain.Add(Tlv(TlvPrivacyMode, (unsigned char)1));
    chain.Add(Tlv(0x0002, (unsigned char)2));
    EXPECT_FALSE(ReplaceTlv(chain, Tlv(TlvPrivacyMode, (unsigned char)1)));
    EXPECT_TRUE(ReplaceTlv(chain, Tlv(TlvPrivacyMode, (unsigned char)4)));
    ASSERT_EQ(chain.GetCount(), 3);
    EXPECT_EQ(chain[1].GetValue()[0], 4);
    EXPECT_TRUE(ReplaceTlv(chain, Tlv(TlvPrivacyMask, 0xFFFFFFFFu)));
    EXPECT_EQ(chain[3].GetType(), TlvPrivacyMask);
    chain.Remove(0);
    chain.Remove(7);
    EXPECT_EQ(chain.GetCount(), 3);
    EXPECT_EQ(chain[0].GetType(), TlvPrivacyMode);
}
