// The contact store as pure code: how JIDs are keyed, which resource a message goes to, how
// resources come and go, and which status a contact shows.
#include "Jabber/account/ContactStore.h"

#include <gtest/gtest.h>

namespace {

TEST(ContactStore, KeysAreBareJidsIgnoringCaseExceptForGateways)
{
    ContactStore store;
    ContactRecord* bob = store.FindOrAdd(0, L"bob@example.org/Home");
    EXPECT_EQ(bob->jid, L"bob@example.org");
    EXPECT_EQ(bob->lastWriter, -1);
    EXPECT_EQ(bob->flags, ContactChatStates);
    // A gateway's JID keeps its "/" part, but is found by what comes before it.
    ContactRecord* gateway = store.FindOrAdd(0, L"icq.example.org/registered");
    EXPECT_EQ(gateway->jid, L"icq.example.org/registered");

    struct Case {
        const wchar_t* probe;
        int kind;
        const ContactRecord* expected;
    } cases[] = {
        {L"bob@example.org", 0, bob},
        {L"BOB@Example.ORG", 0, bob},
        {L"bob@example.org/other", 0, bob},
        {L"bob@example.org", 2, nullptr},
        {L"bob@example.com", 0, nullptr},
        {L"icq.example.org", 0, gateway},
        {L"ICQ.example.org/x", 0, gateway},
        {L"", 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.probe)));
        EXPECT_EQ(store.Find(c.kind, c.probe), c.expected);
    }
    EXPECT_EQ(store.FindOrAdd(0, L"Bob@EXAMPLE.org"), bob);
    EXPECT_EQ(store.Count(), 2);

    // JIDs agree on their first 255 units only.
    std::wstring longJid(300, L'a');
    ContactRecord* first = store.FindOrAdd(0, longJid + L"@x");
    EXPECT_EQ(store.Find(0, longJid + L"@y"), first);

    store.Remove(0, L"BOB@example.org");
    EXPECT_EQ(store.Find(0, L"bob@example.org"), nullptr);
    EXPECT_EQ(store.At(0), gateway);
    EXPECT_EQ(store.NextOfKind(0, -5), 0);
    EXPECT_EQ(store.NextOfKind(2, 0), -1);
    EXPECT_EQ(store.At(7), nullptr);
    store.Remove(0, L"nobody@example.org");
    EXPECT_EQ(store.Count(), 2);
}

TEST(ContactStore, ResourcesComeAndGoSpelledExactly)
{
    ContactStore store;
    ContactRecord* bob = store.FindOrAdd(0, L"bob@example.org");
    EXPECT_EQ(store.SetResourceStatus(0, L"nobody@example.org/a", 2, L"", 0), 0);
    EXPECT_EQ(store.SetResourceStatus(0, L"bob@example.org/", 2, L"", 0), 0);
    EXPECT_TRUE(bob->resources.empty());
    EXPECT_EQ(store.SetResourceStatus(0, L"bob@example.org/Home", 11, L"out", 5), 1);
    EXPECT_EQ(store.SetResourceStatus(0, L"bob@example.org/home", 2, L"", -3), 1);
    EXPECT_EQ(store.SetResourceStatus(0, L"bob@example.org/Home", 14, L"busy", 7), 0);
    ASSERT_EQ(bob->resources.size(), 2u);
    EXPECT_EQ(bob->resources[0].status, 14);
    EXPECT_EQ(bob->resources[0].statusText, L"busy");
    EXPECT_EQ(bob->resources[0].priority, 7);

    // The one that left is the one that spelled its name so.
    store.RemoveResource(0, L"bob@example.org/home");
    ASSERT_EQ(bob->resources.size(), 1u);
    EXPECT_EQ(bob->resources[0].resource, L"Home");
    store.RemoveResource(0, L"bob@example.org/HOME");
    store.RemoveResource(0, L"bob@example.org/");
    store.RemoveResource(0, L"bob@example.org");
    EXPECT_EQ(bob->resources.size(), 1u);

    EXPECT_EQ(store.FindStatusRecord(L"bob@example.org/Home"), &bob->resources[0]);
    EXPECT_EQ(store.FindStatusRecord(L"bob@example.org"), &bob->bare);
    EXPECT_EQ(store.FindStatusRecord(L"bob@example.org/"), nullptr);
    EXPECT_EQ(store.FindStatusRecord(L"bob@example.org/home"), nullptr);
    EXPECT_EQ(store.FindStatusRecord(L"carol@example.org"), nullptr);
}

TEST(ContactStore, BestResourceFollowsTheLastWriterThenPriority)
{
    ContactStore store;
    ContactRecord* bob = store.FindOrAdd(0, L"bob@example.org");
    EXPECT_EQ(store.BestResource(L"bob@example.org"), L"");
    EXPECT_EQ(store.AddressFor(L"bob@example.org"), L"bob@example.org");
    store.SetResourceStatus(0, L"bob@example.org/A", 2, L"", 5);
    EXPECT_EQ(store.BestResource(L"bob@example.org"), L"A");
    store.SetResourceStatus(0, L"bob@example.org/B", 2, L"", 5);
    EXPECT_EQ(store.BestResource(L"bob@example.org"), L"A");
    bob->lastWriter = 1;
    EXPECT_EQ(store.BestResource(L"bob@example.org"), L"B");
    EXPECT_EQ(store.AddressFor(L"bob@example.org"), L"bob@example.org/B");
    EXPECT_EQ(store.AddressFor(L"bob@example.org/A"), L"bob@example.org/A");
    EXPECT_EQ(store.AddressFor(L"bob@example.org", 18), L"bob@example.org/B");
    EXPECT_EQ(store.AddressFor(L"bob@example.org", 17), L"bob@example.org/");
    // B leaves: the last writer is forgotten and A is chosen again.
    store.RemoveResource(0, L"bob@example.org/B");
    EXPECT_EQ(bob->lastWriter, -1);
    EXPECT_EQ(store.BestResource(L"bob@example.org"), L"A");

    store.SetResourceStatus(0, L"bob@example.org/C", 2, L"", 9);
    store.SetResourceStatus(0, L"bob@example.org/D", 2, L"", -128);
    EXPECT_EQ(store.BestResource(L"bob@example.org"), L"C");
    // A writer behind a resource that leaves moves down with it.
    bob->lastWriter = 2;
    store.RemoveResource(0, L"bob@example.org/A");
    EXPECT_EQ(bob->lastWriter, 1);
    EXPECT_EQ(store.BestResource(L"bob@example.org"), L"D");
}

TEST(ContactStore, VisibleStatusFoldsResourcesByRank)
{
    struct Case {
        const char* name;
        int bare;
        std::vector<int> resources;
        int expected;
    } cases[] = {
        {"bare presence only", 11, {}, 11},
        {"resources outrank the bare status", 5, {11}, 11},
        {"away and online show online", 0, {11, 2}, 2},
        {"free for chat beats all", 0, {2, 14, 5}, 5},
        {"away and do not disturb show do not disturb", 0, {11, 14}, 14},
        {"not available below lunch", 0, {12, 10}, 10},
        {"invisible last", 0, {3, 12}, 12},
        {"a status outside the order counts as nothing", 0, {4}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ContactStore store;
        ContactRecord* bob = store.FindOrAdd(0, L"bob@example.org");
        store.SetResourceStatus(0, L"bob@example.org", c.bare, L"", 0);
        for (size_t i = 0; i < c.resources.size(); ++i)
            store.SetResourceStatus(0, L"bob@example.org/r" + std::to_wstring(i), c.resources[i], L"", 0);
        EXPECT_EQ(store.UpdateVisibleStatus(L"bob@example.org"), c.expected);
        EXPECT_EQ(bob->bare.status, c.expected);
    }
    ContactStore store;
    EXPECT_EQ(store.UpdateVisibleStatus(L"nobody@example.org"), -1);
    EXPECT_EQ(RankStatus(0, 0), 0);
    EXPECT_EQ(RankStatus(4, 1), 4);
}

}  // namespace
