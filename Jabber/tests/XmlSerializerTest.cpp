// The serialiser against golden text, and round trips through the stream parser.
#include "Jabber/xml/XmlSerializer.h"

#include "Jabber/xml/XmlElement.h"
#include "Jabber/xml/XmlStreamParser.h"

#include "Jabber/tests/XmlTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(XmlSerializer, WritesGoldenText)
{
    struct Case {
        const char* name;
        std::function<void(XmlElement&)> build;
        std::string expected;
    } cases[] = {
        {"empty element", [](XmlElement& e) { e.name = "presence"; }, "<presence/>"},
        {"attributes in order, single quotes",
         [](XmlElement& e) {
             e.name = "iq";
             SetAttribute(&e, "type", "get");
             SetAttribute(&e, "id", "zel_1");
         },
         "<iq type='get' id='zel_1'/>"},
        {"text", [](XmlElement& e) {
             e.name = "body";
             e.text = "hi";
         }, "<body>hi</body>"},
        {"text before children whatever the order of adding",
         [](XmlElement& e) {
             e.name = "a";
             AddChild(&e, "b");
             e.text = "t";
             AddTextChild(&e, "c", "u");
         },
         "<a>t<b/><c>u</c></a>"},
        {"open flag without content",
         [](XmlElement& e) {
             e.name = "stream:stream";
             e.leaveOpen = true;
         },
         "<stream:stream>"},
        {"open flag ignored with content",
         [](XmlElement& e) {
             e.name = "a";
             e.leaveOpen = true;
             e.text = "x";
         },
         "<a>x</a>"},
        {"nameless: text and children only",
         [](XmlElement& e) {
             e.text = "a&b";
             AddChild(&e, "c");
         },
         "a&amp;b<c/>"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        XmlElement element;
        c.build(element);
        EXPECT_EQ(Serialize(element), c.expected);
    }
}

TEST(XmlSerializer, StreamHeaderWithPrologue)
{
    XmlElement header("stream:stream");
    header.prologue = "<?xml version='1.0' encoding='UTF-8'?>";
    header.leaveOpen = true;
    SetAttribute(&header, "to", "localhost");
    SetAttribute(&header, "xmlns", "jabber:client");
    SetAttribute(&header, "xmlns:stream", "http://etherx.jabber.org/streams");
    SetAttribute(&header, "xml:lang", "en");
    SetAttribute(&header, "version", "1.0");
    EXPECT_EQ(Serialize(header),
              "<?xml version='1.0' encoding='UTF-8'?><stream:stream to='localhost' xmlns='jabber:client' "
              "xmlns:stream='http://etherx.jabber.org/streams' xml:lang='en' version='1.0'>");
}

TEST(XmlSerializer, EscapesEveryAttributeValueAndText)
{
    // A peer's id echoed in a reply, a user's contact name and group, a vCard field, a password: none
    // of them can close a quote or a tag.
    const std::string hostile = "'/><message to='victim'><body>owned</body></message><x a='";
    XmlElement iq("iq");
    SetAttribute(&iq, "id", hostile);
    SetAttribute(&iq, "to", "a\"b<c>d&e");
    XmlElement* item = AddChild(AddChild(&iq, "query"), "item");
    SetAttribute(item, "name", "Tom & Jerry");
    AddTextChild(item, "group", "</group><group>Admins");
    AddTextChild(&iq, "password", "p<&>'\"w\r\nx\x01y");
    EXPECT_EQ(Serialize(iq),
              "<iq id='&apos;/&gt;&lt;message to=&apos;victim&apos;&gt;&lt;body&gt;owned&lt;/body&gt;&lt;/message&gt;"
              "&lt;x a=&apos;' to='a&quot;b&lt;c&gt;d&amp;e'><query><item name='Tom &amp; Jerry'>"
              "<group>&lt;/group&gt;&lt;group&gt;Admins</group></item></query>"
              "<password>p&lt;&amp;&gt;&apos;&quot;w\nx y</password></iq>");
}

TEST(XmlSerializer, AppendsToWhatIsThere)
{
    std::string out = "head:";
    SerializeTo(XmlElement("a"), out);
    EXPECT_EQ(out, "head:<a/>");
}

TEST(XmlSerializer, DeepTreesAreWrittenWithoutRecursion)
{
    const int depth = 200000;
    XmlElement root("r");
    XmlElement* last = &root;
    for (int i = 0; i < depth; ++i) last = AddChild(last, "d");
    last->text = "x";
    std::string text = Serialize(root);
    EXPECT_EQ(text.size(), 3 + 4 + size_t(depth) * 7 + 1);
    EXPECT_EQ(text.substr(0, 9), "<r><d><d>");
    EXPECT_EQ(text.substr(3 + 3 * size_t(depth) - 3, 10), "<d>x</d></");
    EXPECT_EQ(text.substr(text.size() - 8), "</d></r>");
}

TEST(XmlSerializer, RoundTripsThroughTheParser)
{
    XmlElement message("message");
    SetAttribute(&message, "to", "bob@localhost/r");
    SetAttribute(&message, "type", "chat");
    SetAttribute(&message, "id", "m&<'\">1");
    AddTextChild(&message, "body", "  two\tblanks & <tags> 'quotes' \"here\"\nline  ");
    XmlElement* x = AddChild(&message, "x");
    SetAttribute(x, "xmlns", "jabber:x:event");
    AddChild(x, "composing");

    XmlStreamParser parser;
    std::string input = std::string(XmlTest::kStreamHeader) + Serialize(message);
    parser.Feed(input.data(), input.size());
    ASSERT_EQ(parser.Next().kind, XmlEvent::StreamOpened);
    XmlEvent stanza = parser.Next();
    ASSERT_EQ(stanza.kind, XmlEvent::Stanza);
    EXPECT_EQ(XmlTest::Dump(*stanza.element), XmlTest::Dump(message));
    EXPECT_EQ(Serialize(*stanza.element), Serialize(message));
}

}  // namespace
