// Sessions with a real ejabberd, started by the tests on 127.0.0.1 (peer kind "ejabberd" of
// Zel/net/tests/peers/peer.sh): a raw client over a Winsock socket, driven by our serialiser,
// parser, compression and SASL computations, signs in each way the server offers, binds, and reads
// its roster. Each session's server bytes are written to the build folder's JabberRecordings, from
// which tests/data took its recordings.
#include "Zel/net/tests/PeerSupport.h"

#include "Jabber/tests/XmppTestSession.h"

#include "Jabber/sasl/LegacyAuth.h"

#include <gtest/gtest.h>

#include <thread>

#ifndef JABBER_RECORDING_DIR
#error "JABBER_RECORDING_DIR: the Unix path where the sessions' server bytes are written"
#endif

namespace {

using namespace XmppTest;

// A body with blanks at both ends, markup, quotes and a line break: what the server echoes must
// come back byte for byte.
const char kBody[] = "  Tom & Jerry: <hello> 'x' \"y\"\n  \xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82  ";

// The servers, started side by side before the first test.
struct EjabberdPeers {
    PeerTest::LinuxPeer zlib, plain, legacy, tls;
    std::string failures;

    EjabberdPeers()
    {
        std::vector<std::string> zlibOptions = {"zlib", "admin-extra", "user=alice:alicepw", "user=bob:bobpw",
                                                "ctl=add_rosteritem alice localhost bob localhost Bob Friends both"};
        std::vector<std::string> plainOptions = {"no-digest-md5", "user=alice:alicepw"};
        std::vector<std::string> legacyOptions = {"no-digest-md5", "no-plain", "user=alice:alicepw"};
        std::vector<std::string> tlsOptions = {"tls=" + PeerTest::TestCertDir() + "/localhost", "user=alice:alicepw"};
        std::mutex lock;
        auto start = [&](PeerTest::LinuxPeer& peer, const std::vector<std::string>& options) {
            if (peer.Start("ejabberd", options)) return;
            std::lock_guard<std::mutex> hold(lock);
            failures += peer.Failure() + "\n";
        };
        std::thread a(start, std::ref(zlib), zlibOptions), b(start, std::ref(plain), plainOptions),
            c(start, std::ref(legacy), legacyOptions), d(start, std::ref(tls), tlsOptions);
        a.join();
        b.join();
        c.join();
        d.join();
    }

    ~EjabberdPeers()
    {
        std::vector<std::thread> stopping;
        for (PeerTest::LinuxPeer* peer : {&zlib, &plain, &legacy, &tls}) stopping.emplace_back([peer] { peer->Stop(); });
        for (std::thread& t : stopping) t.join();
    }
};

class EjabberdPeerTest : public PeerTest::SharedPeers<EjabberdPeers> {
protected:
    static void Record(const std::string& name, const std::string& wire)
    {
        std::string dir = JABBER_RECORDING_DIR;
        CreateDirectoryW(PeerTest::DosPath(dir).c_str(), nullptr);
        EXPECT_TRUE(PeerTest::WriteTextFile(dir + "/" + name, wire)) << name;
    }
};

std::unique_ptr<XmlElement> RosterGet(Client& client, unsigned& counter)
{
    XmlElement get;
    MakeIq(&get, "get", ++counter);
    AddQuery(&get, "jabber:iq:roster");
    return Ask(client, get);
}

// Sends kBody to ourselves and reads it back: the body the server delivered.
std::string EchoBody(Client& client, const std::string& fullJid)
{
    XmlElement message("message");
    SetAttribute(&message, "to", fullJid);
    SetAttribute(&message, "type", "chat");
    SetAttribute(&message, "id", "m'1&2");
    AddTextChild(&message, "body", kBody);
    if (!client.Send(message)) return "(not sent)";
    std::unique_ptr<XmlElement> echoed = client.NextStanza("message");
    if (!echoed) return "(none came)";
    EXPECT_EQ(*GetAttribute(echoed.get(), "id"), "m'1&2");
    const XmlElement* body = FindChild(echoed.get(), "body");
    return body ? body->text : "(no body)";
}

// Ends the stream; true when the server ended its own.
bool Close(Client& client)
{
    if (!client.SendText("</stream:stream>")) return false;
    for (;;) {
        XmlEvent event = client.Next();
        if (event.kind == XmlEvent::StreamClosed) return true;
        if (event.kind != XmlEvent::Stanza) return false;
    }
}

TEST_F(EjabberdPeerTest, DigestMd5ThenCompressionBindAndRoster)
{
    Client client(Connect(peers->zlib.Port()));
    std::string failure;
    std::unique_ptr<XmlElement> features = SignIn(client, "DIGEST-MD5", failure);
    ASSERT_TRUE(features) << failure;
    const XmlElement* zlib = FindChild(FindChild(features.get(), "compression"), "method");
    ASSERT_TRUE(zlib && zlib->text == "zlib") << Serialize(*features);
    ASSERT_TRUE(client.PrepareCompression());
    XmlElement compress("compress");
    SetAttribute(&compress, "xmlns", "http://jabber.org/protocol/compress");
    AddTextChild(&compress, "method", "zlib");
    ASSERT_TRUE(client.Send(compress));
    ASSERT_TRUE(client.NextStanza("compressed")) << client.Failure();
    client.StartSendingCompressed();

    features = OpenStream(client);
    ASSERT_TRUE(features) << client.Failure();
    EXPECT_EQ(FindChild(features.get(), "compression"), nullptr);
    unsigned counter = 0;
    std::string jid = BindAndOpenSession(client, counter);
    ASSERT_EQ(jid, "alice@localhost/zel") << client.Failure();

    // Roster items whose names and groups need escaping on the way out and decoding on the way in.
    struct Item {
        const char* jid;
        const char* name;
        const char* group;
    } items[] = {
        {"carol@localhost", "Carol & \"Co\" <ltd>", "Work's"},
        {"dave@localhost", "\xd0\x94\xd0\xb5\xd0\xb9\xd0\xb2", "Friends"},
    };
    for (const Item& item : items) {
        XmlElement set;
        MakeIq(&set, "set", ++counter);
        XmlElement* entry = AddChild(AddQuery(&set, "jabber:iq:roster"), "item");
        SetAttribute(entry, "jid", item.jid);
        SetAttribute(entry, "name", item.name);
        AddTextChild(entry, "group", item.group);
        std::unique_ptr<XmlElement> done = Ask(client, set);
        ASSERT_TRUE(done) << client.Failure();
        EXPECT_EQ(*GetAttribute(done.get(), "type"), "result");
    }
    std::unique_ptr<XmlElement> roster = RosterGet(client, counter);
    ASSERT_TRUE(roster) << client.Failure();
    const XmlElement* query = FindChild(roster.get(), "query");
    const XmlElement* bob = FindChildWithAttribute(query, "item", "jid", "bob@localhost");
    ASSERT_TRUE(bob) << Serialize(*roster);
    EXPECT_EQ(*GetAttribute(bob, "name"), "Bob");
    EXPECT_EQ(FindChild(bob, "group")->text, "Friends");
    for (const Item& item : items) {
        const XmlElement* found = FindChildWithAttribute(query, "item", "jid", item.jid);
        ASSERT_TRUE(found) << item.jid;
        EXPECT_EQ(*GetAttribute(found, "name"), item.name);
        EXPECT_EQ(FindChild(found, "group")->text, item.group);
    }

    EXPECT_EQ(EchoBody(client, jid), kBody);
    EXPECT_TRUE(Close(client)) << client.Failure();
    Record("ejabberd-zlib-session.bin", client.Wire());
}

TEST_F(EjabberdPeerTest, PlainWhenDigestMd5IsOff)
{
    {
        Client refused(Connect(peers->plain.Port()));
        std::unique_ptr<XmlElement> features = OpenStream(refused);
        ASSERT_TRUE(features) << refused.Failure();
        EXPECT_FALSE(Offers(features.get(), "DIGEST-MD5"));
        std::unique_ptr<XmlElement> verdict = SignInPlain(refused, "alice", "wrong");
        ASSERT_TRUE(verdict) << refused.Failure();
        EXPECT_EQ(verdict->name, "failure");
        EXPECT_TRUE(FindChild(verdict.get(), "not-authorized")) << Serialize(*verdict);
    }

    Client client(Connect(peers->plain.Port()));
    std::string failure;
    std::unique_ptr<XmlElement> features = SignIn(client, "PLAIN", failure);
    ASSERT_TRUE(features) << failure;
    EXPECT_EQ(FindChild(features.get(), "compression"), nullptr);
    unsigned counter = 0;
    std::string jid = BindAndOpenSession(client, counter);
    ASSERT_EQ(jid, "alice@localhost/zel") << client.Failure();
    EXPECT_EQ(EchoBody(client, jid), kBody);
    std::unique_ptr<XmlElement> roster = RosterGet(client, counter);
    ASSERT_TRUE(roster) << client.Failure();
    EXPECT_EQ(*GetAttribute(FindChild(roster.get(), "query"), "xmlns"), "jabber:iq:roster");
    EXPECT_TRUE(Close(client)) << client.Failure();
    Record("ejabberd-plain-session.bin", client.Wire());
}

TEST_F(EjabberdPeerTest, LegacyDigestWhenSaslIsOff)
{
    Client client(Connect(peers->legacy.Port()));
    std::string streamId;
    std::unique_ptr<XmlElement> features = OpenStream(client, &streamId);
    ASSERT_TRUE(features) << client.Failure();
    EXPECT_FALSE(Offers(features.get(), "DIGEST-MD5"));
    EXPECT_FALSE(Offers(features.get(), "PLAIN"));
    ASSERT_TRUE(FindChild(features.get(), "auth")) << Serialize(*features);
    ASSERT_FALSE(streamId.empty());

    unsigned counter = 0;
    XmlElement get;
    MakeIq(&get, "get", ++counter);
    AddTextChild(AddQuery(&get, "jabber:iq:auth"), "username", "alice");
    std::unique_ptr<XmlElement> fields = Ask(client, get);
    ASSERT_TRUE(fields) << client.Failure();
    const XmlElement* offered = FindChild(fields.get(), "query");
    ASSERT_TRUE(FindChild(offered, "digest")) << Serialize(*fields);
    ASSERT_TRUE(FindChild(offered, "resource")) << Serialize(*fields);

    for (const char* password : {"wrong", "alicepw"}) {
        XmlElement set;
        MakeIq(&set, "set", ++counter);
        XmlElement* query = AddQuery(&set, "jabber:iq:auth");
        AddTextChild(query, "username", "alice");
        AddTextChild(query, "digest", Sasl::LegacyAuthDigest(streamId, password));
        AddTextChild(query, "resource", "zel");
        std::unique_ptr<XmlElement> result = Ask(client, set);
        ASSERT_TRUE(result) << client.Failure();
        EXPECT_EQ(*GetAttribute(result.get(), "type"), std::string(password) == "wrong" ? "error" : "result")
            << Serialize(*result);
    }
    std::unique_ptr<XmlElement> roster = RosterGet(client, counter);
    ASSERT_TRUE(roster) << client.Failure();
    EXPECT_EQ(*GetAttribute(roster.get(), "type"), "result");
    EXPECT_TRUE(Close(client)) << client.Failure();
}

TEST_F(EjabberdPeerTest, DirectTlsWithTheTestCertificate)
{
    ASSERT_TRUE(PeerTest::IsTestCATrusted()) << PeerTest::TestCAFailure();
    SOCKET s = Connect(peers->tls.Port());
    std::unique_ptr<CSecureChannel> secure(new CSecureChannel(CSecureChannel::ProtocolIdForMode(1)));
    ASSERT_EQ(secure->Prepare(), 0);
    ASSERT_EQ(secure->Handshake(s, CZELString(L"localhost"), nullptr, 0), 0);
    Client client(s, std::move(secure));
    std::string failure;
    ASSERT_TRUE(SignIn(client, "DIGEST-MD5", failure)) << failure;
    unsigned counter = 0;
    EXPECT_EQ(BindAndOpenSession(client, counter), "alice@localhost/zel") << client.Failure();
    std::unique_ptr<XmlElement> roster = RosterGet(client, counter);
    ASSERT_TRUE(roster) << client.Failure();
    EXPECT_TRUE(Close(client)) << client.Failure();
}

}  // namespace
