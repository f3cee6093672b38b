// The element tree's builders and readers, the iq helpers and the JID helpers.
#include "Jabber/xml/Iq.h"
#include "Jabber/xml/Jid.h"
#include "Jabber/xml/XmlElement.h"
#include "Jabber/xml/XmlSerializer.h"

#include "Jabber/tests/XmlTestSupport.h"

#include <gtest/gtest.h>

namespace {

using XmlTest::Dump;

TEST(XmlElement, BuildersAppendInOrder)
{
    XmlElement item("item");
    SetAttribute(&item, "jid", "bob@localhost");
    SetAttribute(&item, "name", L"\x0411\x043e\x0431");  // UTF-16 in, UTF-8 stored
    SetAttributeInt(&item, "priority", -5);
    SetAttribute(&item, "jid", "twice@localhost");
    AddTextChild(&item, "group", "Friends");
    AddTextChild(&item, "group", L"Co\x0301llegues");
    AddChild(&item, "empty");
    EXPECT_EQ(Dump(item),
              "<item jid=\"bob@localhost\" name=\"\xd0\x91\xd0\xbe\xd0\xb1\" priority=\"-5\" jid=\"twice@localhost\">"
              "|<group>Friends</group>|<group>Co\xcc\x81llegues</group>|<empty></empty></item>");
}

TEST(XmlElement, NullElementsAddNothing)
{
    EXPECT_EQ(AddChild(nullptr, "a"), nullptr);
    EXPECT_EQ(AddTextChild(nullptr, "a", "t"), nullptr);
    EXPECT_EQ(AppendChild(nullptr, std::unique_ptr<XmlElement>(new XmlElement("a"))), nullptr);
    EXPECT_EQ(SetAttribute(nullptr, "a", "v"), nullptr);
    EXPECT_EQ(SetAttributeInt(nullptr, "a", 1), nullptr);
    EXPECT_EQ(SetIqId(nullptr, 1), nullptr);
    EXPECT_EQ(AddQuery(nullptr, "ns"), nullptr);
    XmlElement e("e");
    EXPECT_EQ(SetAttribute(&e, "", "v"), nullptr);
    EXPECT_TRUE(e.attributes.empty());
}

TEST(XmlElement, ReadersFindWhatTheySay)
{
    XmlElement query("query");
    SetAttribute(&query, "xmlns", "jabber:iq:roster");
    XmlElement* first = AddChild(&query, "item");
    SetAttribute(first, "jid", "a@x");
    AddChild(&query, "other");
    XmlElement* second = AddChild(&query, "item");
    SetAttribute(second, "jid", "b@x");
    SetAttribute(second, "jid", "c@x");

    EXPECT_EQ(*GetAttribute(&query, "xmlns"), "jabber:iq:roster");
    EXPECT_EQ(GetAttribute(&query, "missing"), nullptr);
    EXPECT_EQ(GetAttribute(&query, ""), nullptr);
    EXPECT_EQ(GetAttribute(nullptr, "xmlns"), nullptr);
    EXPECT_EQ(*GetAttribute(second, "jid"), "b@x");  // the first of two

    EXPECT_EQ(FirstChild(&query), first);
    EXPECT_EQ(FirstChild(first), nullptr);
    EXPECT_EQ(FindChild(&query, "item"), first);
    EXPECT_EQ(FindChild(&query, "item", 2), second);
    EXPECT_EQ(FindChild(&query, "item", 3), nullptr);
    EXPECT_EQ(FindChild(&query, "item", 0), nullptr);
    EXPECT_EQ(FindChild(&query, "Item"), nullptr);
    EXPECT_EQ(FindChild(FindChild(&query, "nothing"), "item"), nullptr);

    EXPECT_EQ(FindChildWithAttribute(&query, "item", "jid", "b@x"), second);
    EXPECT_EQ(FindChildWithAttribute(&query, "item", "jid", "c@x"), nullptr);  // only the first value counts
    EXPECT_EQ(FindChildWithAttribute(&query, "item", "jid", "A@X"), nullptr);
    EXPECT_EQ(FindChildWithAttribute(&query, "item", "jid", ""), nullptr);
    EXPECT_EQ(FindChildWithAttribute(&query, "item", "", "a@x"), nullptr);
}

TEST(XmlElement, RemoveChildMovesTheLaterOnesUp)
{
    XmlElement parent("p");
    XmlElement* a = AddChild(&parent, "a");
    XmlElement* b = AddChild(&parent, "b");
    AddChild(&parent, "c");
    XmlElement stranger("b");
    EXPECT_FALSE(RemoveChild(&parent, &stranger));
    EXPECT_FALSE(RemoveChild(nullptr, a));
    EXPECT_TRUE(RemoveChild(&parent, b));
    EXPECT_EQ(Dump(parent), "<p>|<a></a>|<c></c></p>");
    EXPECT_TRUE(RemoveChild(&parent, a));
    EXPECT_EQ(Dump(parent), "<p>|<c></c></p>");
}

TEST(XmlElement, DeepTreesAreDestroyedWithoutRecursion)
{
    // Far deeper than any stack could take one frame per level.
    std::unique_ptr<XmlElement> root(new XmlElement("root"));
    XmlElement* last = root.get();
    for (int i = 0; i < 1000000; ++i) last = AddChild(last, "d");
    AddChild(root.get(), "wide");
    root.reset();
    SUCCEED();
}

TEST(Iq, BuildsRequestsAndReplies)
{
    XmlElement get;
    MakeIq(&get, "get", 27);
    AddQuery(&get, "jabber:iq:roster");
    EXPECT_EQ(Serialize(get), "<iq type='get' id='zel_27'><query xmlns='jabber:iq:roster'/></iq>");

    XmlElement set;
    std::string to = "bob@localhost/home";
    MakeIq(&set, "set", -1, &to);
    EXPECT_EQ(Serialize(set), "<iq type='set' to='bob@localhost/home'/>");

    XmlElement ready;
    MakeIq(&ready, "result", std::string("abc"));
    EXPECT_EQ(Serialize(ready), "<iq type='result' id='abc'/>");

    XmlElement first;
    MakeIq(&first, "get", 0);
    EXPECT_EQ(Serialize(first), "<iq type='get' id='zel_0'/>");

    XmlElement request("iq");
    SetAttribute(&request, "from", "peer@x/r");
    SetAttribute(&request, "id", "q'1");
    XmlElement reply;
    MakeIqReply(&reply, "result", &request);
    EXPECT_EQ(Serialize(reply), "<iq type='result' to='peer@x/r' id='q&apos;1'/>");

    XmlElement anonymous("iq");
    XmlElement bare;
    MakeIqReply(&bare, "error", &anonymous);
    EXPECT_EQ(Serialize(bare), "<iq type='error'/>");
}

TEST(Iq, ParseIqIdReadsOnlyOurIds)
{
    struct Case {
        const char* name;
        const char* id;  // null: no id
        long long expected;
    } cases[] = {
        {"ours", "zel_42", 42},
        {"prefix in capitals", "ZEL_42", 42},
        {"zero", "zel_0", 0},
        {"largest", "zel_4294967295", 4294967295LL},
        {"past 32 bits", "zel_4294967296", -1},
        {"too many digits", "zel_000000000001", -1},
        {"prefix alone", "zel_", -1},
        {"trailing text", "zel_12abc", -1},
        {"sign", "zel_-3", -1},
        {"another form", "purple1a2b", -1},
        {"no id", nullptr, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XmlElement iq("iq");
        if (c.id) SetAttribute(&iq, "id", c.id);
        EXPECT_EQ(ParseIqId(&iq), c.expected);
    }
    EXPECT_EQ(ParseIqId(nullptr), -1);
    XmlElement round("iq");
    SetIqId(&round, 4000000000u);
    EXPECT_EQ(ParseIqId(&round), 4000000000LL);
}

TEST(Jid, CutsNodeAndResource)
{
    struct Case {
        const char* jid;
        const char* node;
        const char* bare;
    } cases[] = {
        {"alice@localhost/home", "alice", "alice@localhost"},
        {"alice@localhost", "alice", "alice@localhost"},
        {"localhost/res@x", "localhost", "localhost"},
        {"localhost", "localhost", "localhost"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.jid);
        EXPECT_EQ(JidNodePart(std::string(c.jid)), c.node);
        EXPECT_EQ(StripResource(std::string(c.jid)), c.bare);
        std::string jid(c.jid), node(c.node), bare(c.bare);
        EXPECT_EQ(JidNodePart(std::wstring(jid.begin(), jid.end())), std::wstring(node.begin(), node.end()));
        EXPECT_EQ(StripResource(std::wstring(jid.begin(), jid.end())), std::wstring(bare.begin(), bare.end()));
    }
}

}  // namespace
