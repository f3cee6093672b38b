// A scripted XMPP server for what a real one never does (a pre-1.0 header, a refused compression,
// no usable mechanism, silence, hostile stanzas) and for checking the client's every stanza. It
// knows nothing of sockets: the client's bytes go in, the server's answer comes out, so the same
// script runs behind a loopback socket (TcpFakeServer) or an in-process connection service
// (FakeConnectionService). It answers stream headers, features, PLAIN, compression, legacy
// authentication, binding, the session and the roster request; everything the client sends is kept
// for the test, serialised, in order.
#pragma once

#include "Jabber/sasl/Base64.h"
#include "Jabber/sasl/LegacyAuth.h"
#include "Jabber/stream/StreamCompression.h"
#include "Jabber/stream/XmppInput.h"
#include "Jabber/xml/Iq.h"
#include "Jabber/xml/XmlSerializer.h"

#include "Jabber/tests/XmlTestSupport.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace JabberTest {

// What the server offers and how it answers; the defaults are an XMPP 1.0 server offering PLAIN.
struct ServerScript {
    std::string domain = "localhost";
    std::string user = "alice";
    std::string password = "alicepw";
    std::string streamId = "fake-stream-1";
    bool preOneZero = false;  // the header has no "version": no features, only legacy authentication
    std::vector<std::string> mechanisms = {"PLAIN"};
    bool legacyAuth = false;         // the "auth" feature
    bool legacyDigest = true;        // legacy authentication offers "digest" beside "password"
    bool compression = false;        // zlib offered before authentication
    bool refuseCompression = false;  // and refused when asked for
    bool silent = false;             // accepts the connection and never says anything
    // Sent right after the roster result, once the client is online.
    std::string afterRoster;
    // The items of the roster result.
    std::string rosterItems;
};

class FakeXmppServer {
public:
    explicit FakeXmppServer(ServerScript script) : script(std::move(script)), input(compression) {}

    // The client's bytes in; the server's answer out.
    std::string Receive(const char* data, size_t length)
    {
        std::lock_guard<std::mutex> hold(lock);
        std::string out;
        input.Put(data, length);
        for (XmlEvent event = input.Next(); event.kind != XmlEvent::NeedMore; event = input.Next()) {
            if (event.kind == XmlEvent::Failed) {
                sent.push_back("(failed)");
                break;
            }
            if (event.kind == XmlEvent::StreamClosed) {
                sent.push_back("</stream:stream>");
                Emit(out, "</stream:stream>");
                continue;
            }
            if (event.kind == XmlEvent::StreamOpened) {
                sent.push_back("open " + Serialize(*event.element));
                OnHeader(out);
                continue;
            }
            sent.push_back(Serialize(*event.element));
            OnStanza(*event.element, out);
        }
        return out;
    }

    // text as the server sends it now (compressed once the stream is).
    std::string Outgoing(const std::string& text)
    {
        std::lock_guard<std::mutex> hold(lock);
        std::string out;
        Emit(out, text);
        return out;
    }

    // What the client sent: "open <stream:stream .../>" for each header, each stanza serialised,
    // "</stream:stream>" for its end.
    std::vector<std::string> Sent()
    {
        std::lock_guard<std::mutex> hold(lock);
        return sent;
    }

    // The stanzas sent so far that contain part.
    std::vector<std::string> SentWith(const std::string& part) { return XmlTest::Containing(Sent(), part); }

    bool Online()
    {
        std::lock_guard<std::mutex> hold(lock);
        return online;
    }

    bool Compressed()
    {
        std::lock_guard<std::mutex> hold(lock);
        return outCompressed;
    }

    const ServerScript& Script() const { return script; }

private:
    void Emit(std::string& out, const std::string& text)
    {
        if (outCompressed)
            compression.Compress(text.data(), text.size(), out);
        else
            out += text;
    }

    void OnHeader(std::string& out)
    {
        if (script.silent) return;
        Emit(out, "<?xml version='1.0'?><stream:stream xmlns='jabber:client' "
                  "xmlns:stream='http://etherx.jabber.org/streams' id='" + script.streamId + "' from='" +
                      script.domain + "'" + (script.preOneZero ? "" : " version='1.0'") + ">");
        if (script.preOneZero) return;
        std::string features = "<stream:features>";
        if (!authenticated) {
            if (script.compression && !outCompressed)
                features += "<compression xmlns='http://jabber.org/features/compress'><method>zlib</method></compression>";
            if (!script.mechanisms.empty()) {
                features += "<mechanisms xmlns='urn:ietf:params:xml:ns:xmpp-sasl'>";
                for (const std::string& mechanism : script.mechanisms)
                    features += "<mechanism>" + mechanism + "</mechanism>";
                features += "</mechanisms>";
            }
            if (script.legacyAuth) features += "<auth xmlns='http://jabber.org/features/iq-auth'/>";
        } else {
            features += "<bind xmlns='urn:ietf:params:xml:ns:xmpp-bind'/>"
                        "<session xmlns='urn:ietf:params:xml:ns:xmpp-session'><optional/></session>";
        }
        Emit(out, features + "</stream:features>");
    }

    void OnStanza(const XmlElement& stanza, std::string& out)
    {
        if (stanza.name == "auth") {
            OnSaslAuth(stanza, out);
        } else if (stanza.name == "compress") {
            if (script.refuseCompression) {
                Emit(out, "<failure xmlns='http://jabber.org/protocol/compress'><setup-failed/></failure>");
                return;
            }
            Emit(out, "<compressed xmlns='http://jabber.org/protocol/compress'/>");
            compression.Start();
            outCompressed = true;
            input.Restart(true);
        } else if (stanza.name == "iq") {
            OnIq(stanza, out);
        }
    }

    void OnSaslAuth(const XmlElement& auth, std::string& out)
    {
        const std::string* mechanism = GetAttribute(&auth, "mechanism");
        if (!mechanism || *mechanism != "PLAIN") {
            Emit(out, "<failure xmlns='urn:ietf:params:xml:ns:xmpp-sasl'><invalid-mechanism/></failure>");
            return;
        }
        const std::string expected = script.user + "@" + script.domain + std::string(1, '\0') + script.user +
                                     std::string(1, '\0') + script.password;
        if (Sasl::Base64Decode(auth.text) != expected) {
            Emit(out, "<failure xmlns='urn:ietf:params:xml:ns:xmpp-sasl'><not-authorized/></failure>");
            return;
        }
        authenticated = true;
        Emit(out, "<success xmlns='urn:ietf:params:xml:ns:xmpp-sasl'/>");
        // The client's next bytes open a new stream.
        input.Restart(false);
    }

    void OnIq(const XmlElement& iq, std::string& out)
    {
        const std::string* type = GetAttribute(&iq, "type");
        const XmlElement* child = FirstChild(&iq);
        if (!type || (*type != "get" && *type != "set") || !child) return;
        const std::string* ns = GetAttribute(child, "xmlns");
        const std::string xmlns = ns ? *ns : std::string();
        XmlElement reply;
        MakeIqReply(&reply, "result", &iq);
        if (xmlns == "jabber:iq:auth") {
            if (!OnLegacyAuth(*type, *child, reply)) {
                XmlElement error;
                MakeIqReply(&error, "error", &iq);
                Emit(out, Serialize(error));
                return;
            }
        } else if (xmlns == "urn:ietf:params:xml:ns:xmpp-bind") {
            const XmlElement* resource = FindChild(child, "resource");
            XmlElement* bind = AddChild(&reply, "bind");
            SetAttribute(bind, "xmlns", xmlns);
            AddTextChild(bind, "jid", script.user + "@" + script.domain + "/" + (resource ? resource->text : "fake"));
        } else if (xmlns == "urn:ietf:params:xml:ns:xmpp-session") {
        } else if (xmlns == "jabber:iq:roster") {
            AddQuery(&reply, "jabber:iq:roster");
            std::string result = Serialize(reply);
            if (!script.rosterItems.empty()) {
                // The query as written ends the reply: "/></iq>" becomes the items and its end tag.
                const size_t end = result.rfind("/></iq>");
                if (end != std::string::npos)
                    result = result.substr(0, end) + ">" + script.rosterItems + "</query></iq>";
            }
            Emit(out, result);
            online = true;
            if (!script.afterRoster.empty()) Emit(out, script.afterRoster);
            return;
        } else {
            return;
        }
        Emit(out, Serialize(reply));
    }

    // Fills the reply to a legacy authentication request; false for an error.
    bool OnLegacyAuth(const std::string& type, const XmlElement& query, XmlElement& reply)
    {
        if (type == "get") {
            XmlElement* fields = AddQuery(&reply, "jabber:iq:auth");
            AddChild(fields, "username");
            AddChild(fields, "password");
            if (script.legacyDigest) AddChild(fields, "digest");
            AddChild(fields, "resource");
            return true;
        }
        const XmlElement* user = FindChild(&query, "username");
        const XmlElement* password = FindChild(&query, "password");
        const XmlElement* digest = FindChild(&query, "digest");
        const bool good = user && user->text == script.user &&
                          ((password && password->text == script.password) ||
                           (digest && digest->text == Sasl::LegacyAuthDigest(script.streamId, script.password)));
        if (good) authenticated = true;
        return good;
    }

    const ServerScript script;
    std::mutex lock;
    StreamCompression compression;
    XmppInput input;
    bool outCompressed = false;
    bool authenticated = false;
    bool online = false;
    std::vector<std::string> sent;
};

}  // namespace JabberTest
