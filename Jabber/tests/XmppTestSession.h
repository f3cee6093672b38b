// A raw client's sign-in against a real server (ejabberd on 127.0.0.1, domain "localhost"): the
// stream, SASL DIGEST-MD5 or PLAIN, binding and the session, each step checked on the way.
#pragma once

#include "Jabber/tests/XmppTestClient.h"

#include "Jabber/sasl/Base64.h"
#include "Jabber/sasl/DigestMd5.h"
#include "Jabber/sasl/SaslPlain.h"
#include "Jabber/xml/Iq.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace XmppTest {

const char kDomain[] = "localhost";
const char kSasl[] = "urn:ietf:params:xml:ns:xmpp-sasl";

inline SOCKET Connect(int port)
{
    SOCKET s = PeerTest::ConnectLoopback(port);
    EXPECT_NE(s, INVALID_SOCKET) << "connect to 127.0.0.1:" << port;
    return s;
}

// Sends the stream header and reads the server's header and features; null on failure.
inline std::unique_ptr<XmlElement> OpenStream(Client& client, std::string* streamId = nullptr)
{
    if (!client.OpenStream(kDomain)) return nullptr;
    std::unique_ptr<XmlElement> header = client.NextHeader();
    if (!header) return nullptr;
    EXPECT_EQ(header->name, "stream:stream");
    EXPECT_NE(GetAttribute(header.get(), "version"), nullptr);
    if (streamId && GetAttribute(header.get(), "id")) *streamId = *GetAttribute(header.get(), "id");
    return client.NextStanza("stream:features");
}

inline bool Offers(const XmlElement* features, const std::string& mechanism)
{
    const XmlElement* mechanisms = FindChild(features, "mechanisms");
    for (int n = 1; const XmlElement* offered = FindChild(mechanisms, "mechanism", n); ++n)
        if (offered->text == mechanism) return true;
    return false;
}

inline XmlElement SaslElement(const char* name, const char* mechanism, const std::string& text)
{
    XmlElement element(name, text);
    SetAttribute(&element, "xmlns", kSasl);
    if (mechanism) SetAttribute(&element, "mechanism", mechanism);
    return element;
}

// DIGEST-MD5 up to the server's verdict: the stanza that ended it ("success" or "failure").
inline std::unique_ptr<XmlElement> SignInDigest(Client& client, const std::string& user, const std::string& password)
{
    if (!client.Send(SaslElement("auth", "DIGEST-MD5", ""))) return nullptr;
    std::unique_ptr<XmlElement> challenge = client.NextStanza("challenge");
    if (!challenge) return nullptr;
    std::string answer = Sasl::DigestMd5Response(challenge->text, user, kDomain, password, Sasl::NewCnonce());
    EXPECT_FALSE(answer.empty()) << challenge->text;
    if (!client.Send(SaslElement("response", nullptr, answer))) return nullptr;
    XmlEvent verdict = client.Next();
    if (verdict.kind != XmlEvent::Stanza) return nullptr;
    if (verdict.element->name == "challenge") {
        // The server proves it knows the password too (rspauth); the answer is empty.
        EXPECT_EQ(Sasl::Base64Decode(verdict.element->text).substr(0, 8), "rspauth=");
        if (!client.Send(SaslElement("response", nullptr, ""))) return nullptr;
        verdict = client.Next();
        if (verdict.kind != XmlEvent::Stanza) return nullptr;
    }
    return std::move(verdict.element);
}

inline std::unique_ptr<XmlElement> SignInPlain(Client& client, const std::string& user, const std::string& password)
{
    if (!client.Send(SaslElement("auth", "PLAIN", Sasl::PlainInitialResponse(user, kDomain, password)))) return nullptr;
    XmlEvent verdict = client.Next();
    return verdict.kind == XmlEvent::Stanza ? std::move(verdict.element) : nullptr;
}

// Signs in as user with mechanism ("DIGEST-MD5" or "PLAIN") and opens the stream that follows
// success: its features, or null with the reason in failure.
inline std::unique_ptr<XmlElement> SignIn(Client& client, const std::string& mechanism, std::string& failure,
                                          const std::string& user = "alice", const std::string& password = "alicepw")
{
    std::unique_ptr<XmlElement> features = OpenStream(client);
    if (!features || !Offers(features.get(), mechanism)) {
        failure = features ? mechanism + " not offered: " + Serialize(*features) : client.Failure();
        return nullptr;
    }
    std::unique_ptr<XmlElement> verdict = mechanism == "PLAIN" ? SignInPlain(client, user, password)
                                                               : SignInDigest(client, user, password);
    if (!verdict || verdict->name != "success") {
        failure = verdict ? Serialize(*verdict) : client.Failure();
        return nullptr;
    }
    features = OpenStream(client);
    if (!features) failure = client.Failure();
    return features;
}

// An iq and the reply with its id; null when none came.
inline std::unique_ptr<XmlElement> Ask(Client& client, XmlElement& iq)
{
    if (!client.Send(iq)) return nullptr;
    const std::string id = *GetAttribute(&iq, "id");
    for (;;) {
        std::unique_ptr<XmlElement> reply = client.NextStanza("iq");
        if (!reply) return nullptr;
        const std::string* replyId = GetAttribute(reply.get(), "id");
        if (replyId && *replyId == id) return reply;
    }
}

// Binds resource and opens the session; the full JID bound.
inline std::string BindAndOpenSession(Client& client, unsigned& counter, const std::string& resource = "zel")
{
    XmlElement bind;
    MakeIq(&bind, "set", ++counter);
    XmlElement* request = AddChild(&bind, "bind");
    SetAttribute(request, "xmlns", "urn:ietf:params:xml:ns:xmpp-bind");
    AddTextChild(request, "resource", resource);
    std::unique_ptr<XmlElement> bound = Ask(client, bind);
    if (!bound) return std::string();
    EXPECT_EQ(*GetAttribute(bound.get(), "type"), "result");
    const XmlElement* jid = FindChild(FindChild(bound.get(), "bind"), "jid");
    if (!jid) return std::string();

    XmlElement session;
    MakeIq(&session, "set", ++counter);
    SetAttribute(AddChild(&session, "session"), "xmlns", "urn:ietf:params:xml:ns:xmpp-session");
    std::unique_ptr<XmlElement> opened = Ask(client, session);
    EXPECT_TRUE(opened && *GetAttribute(opened.get(), "type") == "result");
    return jid->text;
}

}  // namespace XmppTest
