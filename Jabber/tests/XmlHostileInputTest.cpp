// The stream parser on hostile input: every case ends in a defined outcome, with memory bounded by
// the parser's limits.
#include "Jabber/xml/XmlStreamParser.h"

#include "Jabber/tests/XmlTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace XmlTest;

const size_t kHeader = sizeof kStreamHeader - 1;

std::string Failed(XmlStreamParser::Error error, size_t offset)
{
    return "failed " + std::to_string(int(error)) + " at " + std::to_string(offset);
}

TEST(XmlHostileInput, EachCaseHasItsOutcome)
{
    const std::string longName(XmlStreamParser::MaxNameBytes + 1, 'n');
    const std::string longestName(XmlStreamParser::MaxNameBytes, 'n');
    const std::string longValue(XmlStreamParser::MaxAttributeBytes, 'v');  // with "x=''" over the limit
    const std::string longestValue(XmlStreamParser::MaxAttributeBytes - 4, 'v');
    const std::string injected = "<stream:error><conflict/></stream:error><iq type='set'><query xmlns='jabber:iq:roster'/></iq>";
    typedef XmlStreamParser P;
    struct Case {
        const char* name;
        std::string input;  // after the stream header
        std::vector<std::string> expected;
    } cases[] = {
        {"over-long name: the child goes whole, the stanza stays",
         "<message><body>x</body><" + longName + ">" + injected + "</" + longName + "><b/></message><presence/>",
         {"<message>|<body>x</body>|<b></b></message>", "<presence></presence>"}},
        {"over-long name on a stanza: dropped whole, its children never move up",
         "<" + longName + " to='me'>" + injected + "</" + longName + "><presence/>", {"<presence></presence>"}},
        {"over-long attributes on a stanza: dropped whole",
         "<message x='" + longValue + "'>" + injected + "<message/></message><presence/>", {"<presence></presence>"}},
        {"over-long empty-element child: dropped", "<a><b x='" + longValue + "'/><c/></a>", {"<a>|<c></c></a>"}},
        {"the limits themselves are allowed", "<" + longestName + " x='" + longestValue + "'/>",
         {"<" + longestName + " x=\"" + longestValue + "\"></" + longestName + ">"}},
        {"DOCTYPE", "<!DOCTYPE stream [<!ENTITY a 'b'>]><a/>", {Failed(P::ForbiddenMarkup, kHeader)}},
        {"ENTITY inside a stanza", "<a/><a><!ENTITY x 'y'></a>", {"<a></a>", Failed(P::ForbiddenMarkup, kHeader + 7)}},
        {"CDATA", "<a><![CDATA[<b/>]]></a>", {Failed(P::ForbiddenMarkup, kHeader + 3)}},
        {"a lone <! at the end waits", "<a/><!", {"<a></a>"}},
        {"NUL after a stanza", std::string("<a/>\0<b/>", 9), {"<a></a>", Failed(P::ForbiddenMarkup, kHeader + 4)}},
        {"NUL inside a text", std::string("<a>x\0y</a>", 10), {Failed(P::ForbiddenMarkup, kHeader + 4)}},
        {"NUL between stanzas after blanks", std::string("  \0", 3), {Failed(P::ForbiddenMarkup, kHeader + 2)}},
        {"mismatched end tag", "<a><b></a></b>", {Failed(P::NotWellFormed, kHeader + 6)}},
        {"the stream's end inside a stanza", "<message><body>hi</stream:stream>", {Failed(P::NotWellFormed, kHeader + 17)}},
        {"an end tag with nothing open", "<a/></b>", {"<a></a>", Failed(P::NotWellFormed, kHeader + 4)}},
        {"an empty tag", "<a><></a>", {Failed(P::NotWellFormed, kHeader + 3)}},
        {"a tag without a name", "<a>< b/></a>", {Failed(P::NotWellFormed, kHeader + 3)}},
        {"an end tag without a name", "<a></></a>", {Failed(P::NotWellFormed, kHeader + 3)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectEventsAfterHeader(c.input, c.expected, 8);
    }
}

TEST(XmlHostileInput, StreamHeaderOverTheLimitsIsRefused)
{
    std::string header = "<stream:stream x='" + std::string(XmlStreamParser::MaxAttributeBytes, 'v') + "'>";
    EXPECT_EQ(ParseWhole(header), std::vector<std::string>{Failed(XmlStreamParser::NotWellFormed, 0)});
    EXPECT_EQ(ParseWhole("<" + std::string(XmlStreamParser::MaxNameBytes + 1, 's') + ">"),
              std::vector<std::string>{Failed(XmlStreamParser::NotWellFormed, 0)});
}

TEST(XmlHostileInput, FailureStaysUntilReset)
{
    XmlStreamParser parser;
    std::string bad = std::string(kStreamHeader) + "<!DOCTYPE x>";
    parser.Feed(bad.data(), bad.size());
    Drain(parser);
    std::string good = "<a/>";
    parser.Feed(good.data(), good.size());
    EXPECT_EQ(parser.Next().kind, XmlEvent::Failed);
    EXPECT_EQ(parser.LastError(), XmlStreamParser::ForbiddenMarkup);
    parser.Reset();
    EXPECT_EQ(parser.LastError(), XmlStreamParser::NoError);
    parser.Feed(kStreamHeader, kHeader);
    EXPECT_EQ(Drain(parser), std::vector<std::string>{kOpenEvent});
}

TEST(XmlHostileInput, DeepNestingIsCutAtTheDepthLimit)
{
    const int depth = 100000;
    std::string input = kStreamHeader;
    for (int i = 0; i < depth; ++i) input += "<a>";
    input += "deep";
    for (int i = 0; i < depth; ++i) input += "</a>";
    input += "<presence/>";
    for (size_t chunk : {size_t(1024), input.size()}) {
        SCOPED_TRACE(chunk);
        XmlStreamParser parser;
        std::vector<std::unique_ptr<XmlElement>> stanzas;
        for (size_t at = 0; at < input.size(); at += chunk) {
            parser.Feed(input.data() + at, std::min(chunk, input.size() - at));
            for (XmlEvent event = parser.Next(); event.kind != XmlEvent::NeedMore; event = parser.Next()) {
                ASSERT_NE(event.kind, XmlEvent::Failed) << parser.LastError();
                if (event.kind == XmlEvent::Stanza) stanzas.push_back(std::move(event.element));
            }
        }
        ASSERT_EQ(stanzas.size(), 2u);
        int levels = 1;
        const XmlElement* e = stanzas[0].get();
        for (; !e->children.empty(); e = e->children[0].get()) ++levels;
        EXPECT_EQ(levels, int(XmlStreamParser::MaxDepth));
        EXPECT_EQ(e->text, "");  // the text stood below the limit
        EXPECT_EQ(stanzas[1]->name, "presence");
    }
}

// Feeds input in 1 KB pieces, then filler until the parser fails or maxBytes have gone in; the
// events, with the most input the parser held at any time.
struct Flood {
    std::vector<std::string> events;
    size_t mostHeld = 0;
    size_t fed = 0;
};

Flood FeedFlood(const std::string& start, const std::string& filler, size_t maxBytes)
{
    Flood flood;
    XmlStreamParser parser;
    std::string input = start;
    while (flood.fed < maxBytes) {
        if (input.empty()) input = filler;
        size_t piece = std::min<size_t>(1024, input.size());
        parser.Feed(input.data(), piece);
        input.erase(0, piece);
        flood.fed += piece;
        for (std::string& event : Drain(parser)) flood.events.push_back(event);
        flood.mostHeld = std::max(flood.mostHeld, parser.HeldBytes());
        if (!flood.events.empty() && flood.events.back().compare(0, 6, "failed") == 0) break;
    }
    return flood;
}

TEST(XmlHostileInput, FloodsEndAtTheStanzaLimit)
{
    const size_t limit = XmlStreamParser::MaxStanzaBytes;
    typedef XmlStreamParser P;
    struct Case {
        const char* name;
        std::string start, filler;
        std::string failure;  // the last event
    } cases[] = {
        {"unmatched quote", std::string(kStreamHeader) + "<a><b x='never closed>", "<c/>&amp;</b></a>",
         Failed(P::StanzaTooLarge, kHeader)},
        {"endless text", std::string(kStreamHeader) + "<a><b>", "text without end ", Failed(P::StanzaTooLarge, kHeader)},
        {"endless children", std::string(kStreamHeader) + "<a>", "<b>x</b>", Failed(P::StanzaTooLarge, kHeader)},
        {"endless comment", std::string(kStreamHeader) + "<a><!--", " - -", Failed(P::StanzaTooLarge, kHeader)},
        {"endless tag between stanzas", std::string(kStreamHeader) + "<a/><b ", "c='d' ",
         Failed(P::StanzaTooLarge, kHeader + 4)},
        {"many tiny elements", std::string(kStreamHeader) + "<a>", "<b/>", Failed(P::StanzaTooLarge, kHeader)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Flood flood = FeedFlood(c.start, c.filler, 3 * limit);
        ASSERT_FALSE(flood.events.empty());
        EXPECT_EQ(flood.events.back(), c.failure);
        EXPECT_LE(flood.fed, limit + kHeader + 2048);
        EXPECT_LE(flood.mostHeld, limit + 1024);
    }
}

TEST(XmlHostileInput, ManyNodesEndAtTheNodeLimit)
{
    std::string input = std::string(kStreamHeader) + "<a>";
    for (int i = 0; i < XmlStreamParser::MaxStanzaNodes; ++i) input += "<b/>";
    std::vector<std::string> events = ParseWhole(input);
    EXPECT_EQ(events.back(), Failed(XmlStreamParser::StanzaTooLarge, kHeader));
}

TEST(XmlHostileInput, BlanksBetweenStanzasAreNeverHeld)
{
    Flood flood = FeedFlood(std::string(kStreamHeader) + "<a/>", std::string(4096, ' '), 3 * XmlStreamParser::MaxStanzaBytes);
    EXPECT_EQ(flood.events, (std::vector<std::string>{kOpenEvent, "<a></a>"}));
    EXPECT_EQ(flood.mostHeld, 0u);
}

}  // namespace
