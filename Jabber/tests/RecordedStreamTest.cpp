// Sessions recorded from ejabberd (EjabberdPeerTest wrote them; tests/data keeps them): the server's
// bytes of a plain session, and of one that switches to compression, replayed through the receive
// path whole and split at every offset and in every chunk size up to 64.
#include "Zel/net/tests/PeerSupport.h"

#include "Jabber/tests/XmppReceivePath.h"

#include <gtest/gtest.h>

#ifndef JABBER_TEST_DATA_DIR
#error "JABBER_TEST_DATA_DIR: the Unix path of Jabber/tests/data"
#endif

namespace {

std::string Recording(const char* name)
{
    std::string bytes = PeerTest::ReadTextFile(std::string(JABBER_TEST_DATA_DIR) + "/" + name);
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

std::vector<std::string> ReplayWhole(const std::string& wire)
{
    return XmppTest::ReceivePath().Receive(wire.data(), wire.size());
}

size_t CountStartingWith(const std::vector<std::string>& events, const std::string& start)
{
    size_t count = 0;
    for (const std::string& event : events) count += event.compare(0, start.size(), start) == 0;
    return count;
}

bool Has(const std::vector<std::string>& events, const std::string& event)
{
    return std::find(events.begin(), events.end(), event) != events.end();
}

const std::string kBody = "<body>  Tom & Jerry: <hello> 'x' \"y\"\n  \xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82  </body>";

TEST(RecordedStream, PlainSessionGivesEveryStanza)
{
    std::string wire = Recording("ejabberd-plain-session.bin");
    std::vector<std::string> events = ReplayWhole(wire);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(CountStartingWith(events, "open <stream:stream "), 2u);
    EXPECT_EQ(CountStartingWith(events, "<stream:features>"), 2u);
    EXPECT_TRUE(Has(events, "<success xmlns=\"urn:ietf:params:xml:ns:xmpp-sasl\"></success>"));
    EXPECT_TRUE(Has(events, "<iq type=\"result\" id=\"zel_1\">|<bind xmlns=\"urn:ietf:params:xml:ns:xmpp-bind\">|"
                            "<jid>alice@localhost/zel</jid></bind></iq>"));
    EXPECT_TRUE(Has(events, "<message xml:lang=\"en\" to=\"alice@localhost/zel\" from=\"alice@localhost/zel\" "
                            "type=\"chat\" id=\"m'1&2\">|" + kBody + "</message>"));
    EXPECT_EQ(events.back(), "close");
    EXPECT_EQ(CountStartingWith(events, "failed"), 0u);
    XmlTest::ExpectSameEventsAtEverySplit<XmppTest::ReceivePath>(wire);
}

TEST(RecordedStream, CompressedSessionGivesEveryStanza)
{
    std::string wire = Recording("ejabberd-zlib-session.bin");
    const std::string compressed = "<compressed xmlns='http://jabber.org/protocol/compress'/>";
    size_t switchAt = wire.find(compressed);
    ASSERT_NE(switchAt, std::string::npos);
    // What follows is zlib's: a header naming deflate (the server's window is its own choice).
    ASSERT_GT(wire.size(), switchAt + compressed.size() + 100);
    EXPECT_EQ(wire[switchAt + compressed.size()] & 0x0F, 8);

    std::vector<std::string> events = ReplayWhole(wire);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(CountStartingWith(events, "open <stream:stream "), 3u);
    EXPECT_EQ(CountStartingWith(events, "<challenge "), 2u);
    EXPECT_TRUE(Has(events, "<compressed xmlns=\"http://jabber.org/protocol/compress\"></compressed>"));
    // Roster items as the server escaped them (a bare ">" in a value too), decoded.
    size_t rosters = 0;
    for (const std::string& event : events) {
        if (event.find("id=\"zel_5\">|<query xmlns=\"jabber:iq:roster\">") == std::string::npos) continue;
        ++rosters;
        EXPECT_NE(event.find("<item subscription=\"both\" name=\"Bob\" jid=\"bob@localhost\">|<group>Friends</group>"),
                  std::string::npos);
        EXPECT_NE(event.find("name=\"Carol & \"Co\" <ltd>\" jid=\"carol@localhost\">|<group>Work's</group>"),
                  std::string::npos);
        EXPECT_NE(event.find("name=\"\xd0\x94\xd0\xb5\xd0\xb9\xd0\xb2\" jid=\"dave@localhost\""), std::string::npos);
    }
    EXPECT_EQ(rosters, 1u);
    EXPECT_EQ(CountStartingWith(events, "<iq to=\"alice@localhost/zel\" from=\"alice@localhost\" type=\"set\""), 2u);
    EXPECT_NE(events[events.size() - 2].find(kBody), std::string::npos);
    EXPECT_EQ(events.back(), "close");
    EXPECT_EQ(CountStartingWith(events, "failed"), 0u);
    EXPECT_FALSE(Has(events, "corrupt compressed stream"));
    XmlTest::ExpectSameEventsAtEverySplit<XmppTest::ReceivePath>(wire);
}

}  // namespace
