// What the account asks contacts' clients, through the program's services with a scripted server:
// one discovery query per announced capabilities version and extension, the software version of a
// client that announces none and a discovery query when its name does not tell its features; what
// the answers decide (here: whether an outgoing message carries the "active" chat state), and the
// answers that must change nothing.
#include "Jabber/tests/RosterSession.h"

#include "Jabber/account/CapsCache.h"
#include "Jabber/account/ClientFeatures.h"
#include "Jabber/xml/XmlElement.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using JabberTest::RosterSession;
using JabberTest::PluginLibrary;

const char kRoster[] = "<item jid='bob@localhost' name='Bob' subscription='both'/>"
                       "<item jid='carol@localhost' name='Carol' subscription='both'/>";
const char kActive[] = "<active xmlns='http://jabber.org/protocol/chatstates'/>";
const char kDiscoNs[] = "http://jabber.org/protocol/disco#info";

std::string Presence(const std::string& from, const std::string& caps, int priority = 0)
{
    return "<presence from='" + from + "'><priority>" + std::to_string(priority) + "</priority>" + caps +
           "</presence>";
}

std::string Caps(const std::string& ver, const std::string& ext = "")
{
    return "<c xmlns='http://jabber.org/protocol/caps' node='http://peer.invalid/caps' ver='" + ver + "'" +
           (ext.empty() ? "" : " ext='" + ext + "'") + "/>";
}

// The id of a stanza the account sent; empty without one.
std::string IdOf(const std::string& stanza)
{
    const size_t at = stanza.find(" id='");
    return at == std::string::npos ? std::string() : stanza.substr(at + 5, stanza.find('\'', at + 5) - at - 5);
}

std::string DiscoAnswer(const std::string& from, const std::string& id, const std::string& features)
{
    std::string answer = "<iq type='result' from='" + from + "' to='alice@localhost/zel' id='" + id +
                         "'><query xmlns='" + kDiscoNs + "'><identity category='client' type='pc'/>";
    std::istringstream names(features);
    for (std::string name; names >> name;) answer += "<feature var='" + name + "'/>";
    return answer + "</query></iq>";
}

std::string VersionAnswer(const std::string& from, const std::string& id, const std::string& name,
                          const std::string& version)
{
    return "<iq type='result' from='" + from + "' id='" + id + "'><query xmlns='jabber:iq:version'><name>" + name +
           "</name><version>" + version + "</version></query></iq>";
}

const char kWithChatStates[] = "http://jabber.org/protocol/disco#info http://jabber.org/protocol/chatstates urn:x:unknown";
const char kWithoutChatStates[] = "http://jabber.org/protocol/disco#info urn:xmpp:receipts urn:x:unknown";

class ClientDiscoveryTest : public ::testing::Test {
protected:
    ClientDiscoveryTest() { plugin.SetTimings(300, 0); }
    ~ClientDiscoveryTest() override { plugin.SetTimings(15000, 60000); }

    void SignIn()
    {
        ASSERT_TRUE(plugin.Loaded());
        session.Create();
        ASSERT_TRUE(session.SignIn(kRoster));
    }

    // Sends a chat message to the contact; whether it carried the "active" chat state.
    bool MessageCarriesActive(const std::string& bareJid)
    {
        MessageRecord message;
        message.contactId = session.Contact(bareJid);
        message.messageNumber = ++messages;
        message.text = CZELString(L"hello");
        EXPECT_NE(message.contactId, 0);
        session.host.manager->SendInstantMessage(session.id, message, true);
        session.Settle();
        std::vector<std::string> sent = session.SentWith("<message type='chat'");
        if (int(sent.size()) != messages) {
            ADD_FAILURE() << "no message went out";
            return false;
        }
        return sent.back().find(kActive) != std::string::npos;
    }

    PluginLibrary plugin;
    RosterSession session;
    int messages = 0;
};

// Three resources of two contacts announce the same capabilities: one query, to the first of
// them; only that resource's answer to that id counts, and it decides for all three.
TEST_F(ClientDiscoveryTest, OneQueryPerCapabilitiesVersionAnsweredOnlyByTheOneAsked)
{
    SignIn();
    session.ServerSends(Presence("bob@localhost/a", Caps("1.0")));
    session.ServerSends(Presence("bob@localhost/b", Caps("1.0")));
    session.ServerSends(Presence("carol@localhost/x", Caps("1.0")));
    // A repeated presence asks nothing again either.
    session.ServerSends(Presence("bob@localhost/a", Caps("1.0")));
    std::vector<std::string> queries = session.SentWith(kDiscoNs);
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_NE(queries[0].find("to='bob@localhost/a'"), std::string::npos) << queries[0];
    EXPECT_NE(queries[0].find("<query xmlns='http://jabber.org/protocol/disco#info' "
                              "node='http://peer.invalid/caps#1.0'/>"),
              std::string::npos)
        << queries[0];
    const std::string id = IdOf(queries[0]);
    ASSERT_FALSE(id.empty());
    // While the answer is awaited nothing is known.
    EXPECT_FALSE(MessageCarriesActive("bob@localhost"));

    struct Ignored {
        const char* name;
        std::string stanza;
    } ignored[] = {
        {"another resource of the same contact", DiscoAnswer("bob@localhost/b", id, kWithChatStates)},
        {"another contact", DiscoAnswer("carol@localhost/x", id, kWithChatStates)},
        {"the bare JID", DiscoAnswer("bob@localhost", id, kWithChatStates)},
        {"no sender", "<iq type='result' id='" + id + "'><query xmlns='" + kDiscoNs +
                          "'><feature var='http://jabber.org/protocol/chatstates'/></query></iq>"},
        {"another id", DiscoAnswer("bob@localhost/a", id + "0", kWithChatStates)},
        {"no id", DiscoAnswer("bob@localhost/a", "", kWithChatStates)},
    };
    for (const Ignored& answer : ignored) {
        SCOPED_TRACE(answer.name);
        session.ServerSends(answer.stanza);
        EXPECT_FALSE(MessageCarriesActive("bob@localhost"));
        EXPECT_FALSE(MessageCarriesActive("carol@localhost"));
    }

    // The real answer, its features among many the client does not know.
    std::string many;
    for (int i = 0; i < 5000; ++i) many += " urn:x:junk:" + std::to_string(i);
    session.ServerSends(DiscoAnswer("bob@localhost/a", id, kWithChatStates + many));
    EXPECT_TRUE(MessageCarriesActive("bob@localhost"));
    EXPECT_TRUE(MessageCarriesActive("carol@localhost"));
    // The same answer again, now without chat states, finds nothing waiting for it.
    session.ServerSends(DiscoAnswer("bob@localhost/a", id, kWithoutChatStates));
    EXPECT_TRUE(MessageCarriesActive("bob@localhost"));
    // A resource announcing the version now is not asked.
    session.ServerSends(Presence("carol@localhost/y", Caps("1.0"), 5));
    EXPECT_EQ(session.SentWith(kDiscoNs).size(), 1u);
}

// What each answer makes of a capabilities version and its extensions: the chat state goes out
// only when an answer listed chat states.
TEST_F(ClientDiscoveryTest, TheAnswerDecidesTheChatState)
{
    SignIn();
    struct Case {
        const char* name;
        const char* ext;
        // The answers to the version's query and to the extension's (when ext is given); null: an
        // error.
        const char* versionFeatures;
        const char* extensionFeatures;
        bool active;
    } cases[] = {
        {"listed", "", kWithChatStates, nullptr, true},
        {"not listed", "", kWithoutChatStates, nullptr, false},
        {"an error", "", nullptr, nullptr, false},
        {"listed by the extension", "cs", kWithoutChatStates, kWithChatStates, true},
        {"listed by the version, the extension failed", "broken", kWithChatStates, nullptr, true},
    };
    int priority = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each case its own version, on a resource that outranks the earlier ones.
        const std::string ver = "v" + std::to_string(++priority);
        const std::string from = "bob@localhost/r" + std::to_string(priority);
        const size_t before = session.SentWith(kDiscoNs).size();
        session.ServerSends(Presence(from, Caps(ver, c.ext), priority));
        std::vector<std::string> queries = session.SentWith(kDiscoNs);
        ASSERT_EQ(queries.size(), before + (*c.ext ? 2 : 1));
        const char* answers[] = {c.versionFeatures, c.extensionFeatures};
        for (size_t n = 0; n < queries.size() - before; ++n) {
            const std::string& query = queries[before + n];
            EXPECT_NE(query.find("#" + std::string(n == 0 ? ver : c.ext) + "'"), std::string::npos) << query;
            if (answers[n])
                session.ServerSends(DiscoAnswer(from, IdOf(query), answers[n]));
            else
                session.ServerSends("<iq type='error' from='" + from + "' id='" + IdOf(query) +
                                    "'><error type='cancel'><item-not-found "
                                    "xmlns='urn:ietf:params:xml:ns:xmpp-stanzas'/></error></iq>");
        }
        EXPECT_EQ(MessageCarriesActive("bob@localhost"), c.active);
    }
}

// A client without capabilities is asked its version once; a name that does not tell its features
// is followed by a discovery query to the resource, whose answer is kept for that client and
// version, so the next resource of it needs no such query.
TEST_F(ClientDiscoveryTest, ClientsWithoutCapabilitiesAreAskedTheirVersion)
{
    SignIn();
    session.ServerSends(Presence("bob@localhost/a", ""));
    session.ServerSends(Presence("bob@localhost/a", "", 1));
    std::vector<std::string> versions = session.SentWith("jabber:iq:version");
    ASSERT_EQ(versions.size(), 1u);
    EXPECT_NE(versions[0].find("<iq type='get' to='bob@localhost/a' id='zel_"), std::string::npos) << versions[0];
    EXPECT_TRUE(session.SentWith(kDiscoNs).empty());
    // Only the resource asked answers; the real answer names a client the guesses do not know.
    session.ServerSends(VersionAnswer("carol@localhost/a", IdOf(versions[0]), "Other", "1.0"));
    EXPECT_TRUE(session.SentWith(kDiscoNs).empty());
    session.ServerSends(VersionAnswer("bob@localhost/a", IdOf(versions[0]), "Other", "1.0"));
    std::vector<std::string> queries = session.SentWith(kDiscoNs);
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_NE(queries[0].find("to='bob@localhost/a'"), std::string::npos) << queries[0];
    EXPECT_NE(queries[0].find("<query xmlns='http://jabber.org/protocol/disco#info'/>"), std::string::npos)
        << queries[0];
    EXPECT_FALSE(MessageCarriesActive("bob@localhost"));
    session.ServerSends(DiscoAnswer("bob@localhost/a", IdOf(queries[0]), kWithChatStates));
    EXPECT_TRUE(MessageCarriesActive("bob@localhost"));

    // Another resource of the same client and version: its version is enough.
    session.ServerSends(Presence("carol@localhost/c", "", 1));
    versions = session.SentWith("jabber:iq:version");
    ASSERT_EQ(versions.size(), 2u);
    session.ServerSends(VersionAnswer("carol@localhost/c", IdOf(versions[1]), "Other", "1.0"));
    EXPECT_EQ(session.SentWith(kDiscoNs).size(), 1u);
    EXPECT_TRUE(MessageCarriesActive("carol@localhost"));

    // A client the guesses know is not asked further, and its guess has no chat states.
    session.ServerSends(Presence("carol@localhost/d", "", 2));
    versions = session.SentWith("jabber:iq:version");
    ASSERT_EQ(versions.size(), 3u);
    session.ServerSends(VersionAnswer("carol@localhost/d", IdOf(versions[2]), "Bombus", "0.7"));
    EXPECT_EQ(session.SentWith(kDiscoNs).size(), 1u);
    EXPECT_FALSE(MessageCarriesActive("carol@localhost"));
}

// A version refused (or nameless): the resource itself is asked what it supports.
TEST_F(ClientDiscoveryTest, AVersionRefusedLeadsToADiscoveryQuery)
{
    SignIn();
    session.ServerSends(Presence("bob@localhost/a", ""));
    std::vector<std::string> versions = session.SentWith("jabber:iq:version");
    ASSERT_EQ(versions.size(), 1u);
    session.ServerSends("<iq type='error' from='bob@localhost/a' id='" + IdOf(versions[0]) +
                        "'><error type='cancel'><service-unavailable "
                        "xmlns='urn:ietf:params:xml:ns:xmpp-stanzas'/></error></iq>");
    std::vector<std::string> queries = session.SentWith(kDiscoNs);
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_FALSE(MessageCarriesActive("bob@localhost"));
    session.ServerSends(DiscoAnswer("bob@localhost/a", IdOf(queries[0]), kWithChatStates));
    EXPECT_TRUE(MessageCarriesActive("bob@localhost"));
    // Nothing more is asked of it.
    session.ServerSends(Presence("bob@localhost/a", "", 3));
    EXPECT_EQ(session.SentWith("jabber:iq:version").size(), 1u);
    EXPECT_EQ(session.SentWith(kDiscoNs).size(), 1u);
}

// However many unknown clients announce themselves, only a few queries are outstanding at once;
// an answer makes room for the next announcement.
TEST_F(ClientDiscoveryTest, OutstandingQueriesAreBounded)
{
    SignIn();
    std::string burst;
    for (int i = 0; i < 40; ++i) burst += Presence("bob@localhost/r" + std::to_string(i), Caps("v" + std::to_string(i)));
    session.ServerSends(burst);
    std::vector<std::string> queries = session.SentWith(kDiscoNs);
    ASSERT_EQ(queries.size(), 8u);
    // So is one presence announcing endless extensions.
    std::string ext;
    for (int i = 0; i < 200; ++i) ext += " e" + std::to_string(i);
    session.ServerSends(Presence("carol@localhost/x", Caps("w", ext)));
    EXPECT_EQ(session.SentWith(kDiscoNs).size(), 8u);

    session.ServerSends(DiscoAnswer("bob@localhost/r0", IdOf(queries[0]), kWithoutChatStates));
    session.ServerSends(Presence("bob@localhost/r39", Caps("v39")));
    queries = session.SentWith(kDiscoNs);
    ASSERT_EQ(queries.size(), 9u);
    EXPECT_NE(queries[8].find("to='bob@localhost/r39'"), std::string::npos) << queries[8];
}

// The features a disco#info answer names, in the table's bits; the rest ignored.
TEST(ClientDiscovery, FeatureMaskOfAnAnswer)
{
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, const char*>> children;  // element name, "var"
        uint64_t expected;
    } cases[] = {
        {"nothing", {}, 0},
        {"the first and the last rows",
         {{"feature", "http://jabber.org/protocol/disco#info"}, {"feature", "urn:xmpp:attention:0"}},
         1ull | (1ull << 34)},
        {"chat states and receipts",
         {{"feature", "http://jabber.org/protocol/chatstates"}, {"feature", "urn:xmpp:receipts"}},
         FeatureChatStates | FeatureReceipts},
        {"unknown, misspelt and differently cased features",
         {{"feature", "urn:x:unknown"}, {"feature", "jabber:iq:version "}, {"feature", "JABBER:IQ:VERSION"}},
         0},
        {"not a feature element", {{"identity", "jabber:iq:version"}, {"Feature", "jabber:iq:version"}}, 0},
        {"repeated", {{"feature", "jabber:iq:version"}, {"feature", "jabber:iq:version"}}, 1ull << 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XmlElement query("query");
        for (const auto& child : c.children) SetAttribute(AddChild(&query, child.first), "var", child.second);
        AddChild(&query, "feature");  // without "var"
        EXPECT_EQ(FeatureMaskOf(&query), c.expected);
    }
    EXPECT_EQ(FeatureMaskOf(nullptr), 0u);
}

// A query lost with the connection is forgotten, so the next announcement asks again; a settled
// answer or failure stays.
TEST(ClientDiscovery, LostQueriesAreForgotten)
{
    CapsCache cache;
    cache.Set(L"n", L"pending", Caps::StatePending, 1000);
    cache.Set(L"n", L"known", 0x800, 1000);
    cache.Set(L"n", L"failed", Caps::StatePending, 0);
    EXPECT_EQ(cache.Get(L"n", L"failed", 20000), Caps::StateFailed);
    for (const wchar_t* key : {L"pending", L"known", L"failed", L"absent"}) cache.ForgetPending(L"n", key);
    cache.ForgetPending(L"other", L"pending");
    EXPECT_EQ(cache.Get(L"n", L"pending", 2000), Caps::StateUnknown);
    EXPECT_EQ(cache.Get(L"n", L"known", 2000), 0x800u);
    EXPECT_EQ(cache.Get(L"n", L"failed", 2000), Caps::StateFailed);
}

}  // namespace
