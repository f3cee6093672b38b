// The requests an account waits to hear back about: a reply counts once, only from the entity
// asked, and only within the expiry; the kinds that allow one request at a time replace each other.
#include "Jabber/account/PendingIqTable.h"

#include <gtest/gtest.h>

namespace {

OwnAddress Own()
{
    OwnAddress own;
    own.bareJid = "alice@example.net";
    own.fullJid = "alice@example.net/ZEL PDA";
    own.server = "example.net";
    return own;
}

TEST(PendingIqTable, WhoMayAnswer)
{
    const std::string none;
    struct Case {
        const char* name;
        std::string asked;
        const char* from;  // null: no "from"
        bool answers;
    } cases[] = {
        {"the server, without from", none, nullptr, true},
        {"the server by its name", none, "example.net", true},
        {"our bare JID", none, "alice@example.net", true},
        {"our bare JID in other letters", none, "Alice@Example.NET", true},
        {"our full JID", none, "alice@example.net/ZEL PDA", true},
        {"another resource of ours", none, "alice@example.net/other", false},
        {"a stranger", none, "mallory@example.net", false},
        {"another server", none, "example.org", false},
        {"the contact asked", "bob@example.net/home", "bob@example.net/home", true},
        {"the contact asked, other letters", "bob@example.net/home", "BOB@example.net/home", true},
        {"the contact asked, no from", "bob@example.net/home", nullptr, false},
        {"the contact's other resource", "bob@example.net/home", "bob@example.net/work", false},
        {"the server for a contact", "bob@example.net/home", "example.net", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string from = c.from ? c.from : "";
        EXPECT_EQ(ReplyComesFrom(c.asked, c.from ? &from : nullptr, Own()), c.answers);
    }
}

TEST(PendingIqTable, AReplyIsTakenOnceFromTheOneAsked)
{
    PendingIqTable table;
    int calls = 0;
    table.Register(7, PendingIqTable::Ordinary, "bob@example.net/home", [&](const XmlElement&) { ++calls; }, 1000);
    const std::string stranger = "mallory@example.net", bob = "bob@example.net/home";
    EXPECT_FALSE(table.Take(7, &stranger, Own(), 1001));
    EXPECT_FALSE(table.Take(8, &bob, Own(), 1001));
    PendingIqTable::Handler handler = table.Take(7, &bob, Own(), 1002);
    ASSERT_TRUE(handler);
    handler(XmlElement("iq"));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(table.Take(7, &bob, Own(), 1003));
    EXPECT_EQ(table.Count(), 0u);
}

TEST(PendingIqTable, RequestsExpire)
{
    struct Case {
        const char* name;
        uint64_t expiry;
        uint64_t after;
        bool taken;
    } cases[] = {
        {"just before", 120000, 119999, true},
        {"at the expiry", 120000, 120000, false},
        {"long after", 120000, 10000000, false},
        {"a short expiry", 50, 49, true},
        {"past a short expiry", 50, 51, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PendingIqTable table(c.expiry);
        const uint64_t start = 5000000000ull;  // past 32 bits: no wrap in the tick count
        table.Register(1, PendingIqTable::Ordinary, "", [](const XmlElement&) {}, start);
        EXPECT_EQ(bool(table.Take(1, nullptr, Own(), start + c.after)), c.taken);
    }
    // Expire drops only what is old enough.
    PendingIqTable table(1000);
    table.Register(1, 0, "", [](const XmlElement&) {}, 0);
    table.Register(2, 0, "", [](const XmlElement&) {}, 500);
    table.Expire(1200);
    EXPECT_EQ(table.Count(), 1u);
    EXPECT_TRUE(table.Take(2, nullptr, Own(), 1300));
}

TEST(PendingIqTable, OneRequestOfAKindAtATime)
{
    PendingIqTable table;
    int first = 0, second = 0;
    table.Register(4, PendingIqTable::OwnVCardRequest, "", [&](const XmlElement&) { ++first; }, 0);
    table.Register(5, PendingIqTable::OwnVCardRequest, "", [&](const XmlElement&) { ++second; }, 0);
    table.Register(6, PendingIqTable::Ordinary, "", [](const XmlElement&) {}, 0);
    table.Register(6, PendingIqTable::Ordinary, "", [](const XmlElement&) {}, 0);
    EXPECT_EQ(table.Count(), 3u);
    EXPECT_FALSE(table.Take(4, nullptr, Own(), 1));
    PendingIqTable::Handler handler = table.Take(5, nullptr, Own(), 1);
    ASSERT_TRUE(handler);
    handler(XmlElement("iq"));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_TRUE(table.Take(6, nullptr, Own(), 1));
    EXPECT_TRUE(table.Take(6, nullptr, Own(), 1));
    table.Register(9, 0, "", [](const XmlElement&) {}, 0);
    table.Clear();
    EXPECT_EQ(table.Count(), 0u);
}

}  // namespace
