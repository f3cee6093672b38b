// The stream parser on well-formed input: what each construct gives, whole and split anywhere.
#include "Jabber/xml/XmlStreamParser.h"

#include "Jabber/tests/XmlTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace XmlTest;

TEST(XmlStreamParser, GivesHeaderStanzasAndEnd)
{
    std::string input = std::string(kStreamHeader) +
                        "<stream:features><mechanisms xmlns='urn:ietf:params:xml:ns:xmpp-sasl'>"
                        "<mechanism>DIGEST-MD5</mechanism><mechanism>PLAIN</mechanism></mechanisms></stream:features>"
                        "<presence from='bob@localhost/r'/></stream:stream>";
    EXPECT_EQ(ParseWhole(input),
              (std::vector<std::string>{
                  kOpenEvent,
                  "<stream:features>|<mechanisms xmlns=\"urn:ietf:params:xml:ns:xmpp-sasl\">|"
                  "<mechanism>DIGEST-MD5</mechanism>|<mechanism>PLAIN</mechanism></mechanisms></stream:features>",
                  "<presence from=\"bob@localhost/r\"></presence>",
                  "close",
              }));
}

TEST(XmlStreamParser, ReadsEachConstructOfAStanza)
{
    struct Case {
        const char* name;
        std::string input;  // after the stream header
        std::vector<std::string> expected;
    } cases[] = {
        {"'>' inside a quoted value", "<a x='1>2' y=\"3>4\"/>", {"<a x=\"1>2\" y=\"3>4\"></a>"}},
        {"quotes of the other kind inside a value", "<a x=\"it's\" y='say \"hi\"'/>",
         {"<a x=\"it's\" y=\"say \"hi\"\"></a>"}},
        {"attributes without quotes or values, blanks around =", "<a x = 1 flag y\n=\t'2'/>",
         {"<a x=\"1\" flag=\"\" y=\"2\"></a>"}},
        {"a name given twice stays twice", "<a x='1' x='2'/>", {"<a x=\"1\" x=\"2\"></a>"}},
        {"tags across lines", "<message\n to='x'\r\n type='chat'\n>\n<body>b</body\n>\n</message\t>",
         {"<message to=\"x\" type=\"chat\">\n|<body>b</body></message>"}},
        {"comments between and inside stanzas", "<!-- a > b --><a><!--c--><b/><!----></a><!-- - -->",
         {"<a>|<b></b></a>"}},
        {"processing instructions skipped", "<?xml version='1.0'?><a><?pi x='>'?>t</a>", {"<a>t</a>"}},
        {"empty-element stanza", "<presence/><presence type='unavailable' />",
         {"<presence></presence>", "<presence type=\"unavailable\"></presence>"}},
        {"entities in text and values", "<a v='&lt;&amp;&gt;&quot;&apos;'>&amp;&#169;&amp;lt;&nbsp;</a>",
         {"<a v=\"<&>\"'\">&&#169;&lt;&nbsp;</a>"}},
        {"text keeps its blanks", "<body>  two  words \n</body><body> </body>",
         {"<body>  two  words \n</body>", "<body> </body>"}},
        {"mixed content keeps the last run", "<a>first<b/>second</a><c>x<d/> </c>",
         {"<a>second|<b></b></a>", "<c> |<d></d></c>"}},
        {"text between stanzas dropped", " \r\n\t<a/>  stray text  <b/>\n", {"<a></a>", "<b></b>"}},
        {"end tag with blanks", "<a><b></b  ></a >", {"<a>|<b></b></a>"}},
        {"non-ASCII names and text", "<\xd0\xb8\xd0\xbc\xd1\x8f a='\xe2\x82\xac'>\xf0\x9f\x98\x80</\xd0\xb8\xd0\xbc\xd1\x8f>",
         {"<\xd0\xb8\xd0\xbc\xd1\x8f a=\"\xe2\x82\xac\">\xf0\x9f\x98\x80</\xd0\xb8\xd0\xbc\xd1\x8f>"}},
        {"the stream's end", "<a/></stream:stream>", {"<a></a>", "close"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectEventsAfterHeader(c.input, c.expected, 16);
    }
}

TEST(XmlStreamParser, ReportsEveryHeaderWithItsAttributes)
{
    // A header with a version after one without: each stream is judged by its own header.
    XmlStreamParser parser;
    std::string old = "<stream:stream id='1' from='x'><a/></stream:stream>";
    std::string modern = "<?xml version='1.0'?><stream:stream id='2' version='1.0'>";
    parser.Feed(old.data(), old.size());
    EXPECT_EQ(Drain(parser), (std::vector<std::string>{"open <stream:stream id=\"1\" from=\"x\"></stream:stream>",
                                                        "<a></a>", "close"}));
    parser.Feed(modern.data(), modern.size());
    EXPECT_EQ(Drain(parser), (std::vector<std::string>{"open <stream:stream id=\"2\" version=\"1.0\"></stream:stream>"}));
    parser.Reset();
    parser.Feed(old.data(), 31);
    EXPECT_EQ(Drain(parser), (std::vector<std::string>{"open <stream:stream id=\"1\" from=\"x\"></stream:stream>"}));
}

TEST(XmlStreamParser, EmptyStreamHeaderOpensAndCloses)
{
    EXPECT_EQ(ParseWhole("<stream:stream version='1.0'/>"),
              (std::vector<std::string>{"open <stream:stream version=\"1.0\"></stream:stream>", "close"}));
}

TEST(XmlStreamParser, TakeUnparsedHandsOverWhatFollowsTheLastEvent)
{
    // After "<compressed/>" the server's bytes are compressed: they must not reach the parser.
    XmlStreamParser parser;
    std::string input = std::string(kStreamHeader) + "<compressed xmlns='http://jabber.org/protocol/compress'/>";
    const std::string binary("x\x9c\x00\x01<\xff", 6);
    parser.Feed((input + binary).data(), input.size() + binary.size());
    ASSERT_EQ(parser.Next().kind, XmlEvent::StreamOpened);
    XmlEvent compressed = parser.Next();
    ASSERT_EQ(compressed.kind, XmlEvent::Stanza);
    EXPECT_EQ(compressed.element->name, "compressed");
    EXPECT_EQ(parser.TakeUnparsed(), binary);
    EXPECT_EQ(parser.HeldBytes(), 0u);
    parser.Reset();
    parser.Feed(kStreamHeader, sizeof kStreamHeader - 1);
    EXPECT_EQ(Drain(parser), std::vector<std::string>{kOpenEvent});
}

TEST(XmlStreamParser, HoldsOnlyTheTokenInProgress)
{
    XmlStreamParser parser;
    std::string input = std::string(kStreamHeader) + "<message><body>part";
    parser.Feed(input.data(), input.size());
    Drain(parser);
    EXPECT_EQ(parser.HeldBytes(), 4u);
    // A long text fed in small pieces is scanned once, and all of it kept.
    std::string text(1 << 20, 'a');
    for (size_t at = 0; at < text.size(); at += 1024) {
        parser.Feed(text.data() + at, 1024);
        EXPECT_TRUE(Drain(parser).empty());
    }
    std::string end = "</body></message>";
    parser.Feed(end.data(), end.size());
    std::vector<std::string> events = Drain(parser);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "<message>|<body>part" + text + "</body></message>");
    EXPECT_EQ(parser.HeldBytes(), 0u);
}

TEST(XmlStreamParser, AnyStreamSplitAnywhereGivesTheSameEvents)
{
    std::string input = std::string("\xef\xbb\xbf") + kStreamHeader +
                        "<!-- hello --> <stream:features><bind xmlns='urn:ietf:params:xml:ns:xmpp-bind'/></stream:features>"
                        "\n<message from='bob@localhost/r' to='alice@localhost' type='chat' id='a&apos;b'>"
                        "<body>  Hello &amp; welcome,\n  &lt;friend&gt;  </body><x xmlns='jabber:x:event'><composing/></x>"
                        "</message> <presence/> <iq type=\"result\" id=\"zel_3\"><query xmlns='jabber:iq:roster'>"
                        "<item jid='a@x' name='A &quot;Q&quot;'><group>G</group></item></query></iq></stream:stream>";
    ExpectSameEventsAtEverySplit<ParserReceiver>(input);
}

}  // namespace
