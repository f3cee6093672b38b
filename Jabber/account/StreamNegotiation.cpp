// JabberAccount: from the TCP connection to online: the stream header, the features, compression,
// SASL or legacy authentication, resource binding and the session; stream errors on the way.
#include "Jabber/account/JabberAccount.h"

#include "Jabber/account/BuiltinTexts.h"
#include "Jabber/account/PluginShared.h"
#include "Jabber/account/Timings.h"
#include "Jabber/sasl/LegacyAuth.h"
#include "Jabber/xml/Iq.h"
#include "Jabber/xml/XmlSerializer.h"
#include "Jabber/xml/XmlText.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"

#include <new>

namespace {

const char StreamsNs[] = "http://etherx.jabber.org/streams";
const char SaslNs[] = "urn:ietf:params:xml:ns:xmpp-sasl";
const char CompressNs[] = "http://jabber.org/protocol/compress";
const char BindNs[] = "urn:ietf:params:xml:ns:xmpp-bind";
const char SessionNs[] = "urn:ietf:params:xml:ns:xmpp-session";
const char LegacyAuthNs[] = "jabber:iq:auth";
const char RosterNs[] = "jabber:iq:roster";
const char StreamEnd[] = "</stream:stream>";
const size_t MaxJidUnits = 256;

std::string Utf8(const CZELString& text)
{
    return Utf8FromWide(text.GetBuffer(), text.GetLength());
}

bool HasNamespace(const XmlElement& element, const char* ns)
{
    const std::string* xmlns = GetAttribute(&element, "xmlns");
    return xmlns && *xmlns == ns;
}

bool IsType(const XmlElement& iq, const char* type)
{
    const std::string* value = GetAttribute(&iq, "type");
    return value && *value == type;
}

// At most the first MaxJidUnits UTF-16 units.
std::string CutJid(const std::string& jid)
{
    std::wstring wide = WideFromUtf8(jid);
    if (wide.size() > MaxJidUnits) wide.resize(MaxJidUnits);
    return Utf8FromWide(wide.c_str(), int(wide.size()));
}

}  // namespace

void JabberAccount::OpenStream()
{
    XmlElement header("stream:stream");
    header.prologue = "<?xml version='1.0' encoding='UTF-8'?>";
    header.leaveOpen = true;
    SetAttribute(&header, "to", Utf8(settings.GetServer()));
    SetAttribute(&header, "xmlns", "jabber:client");
    SetAttribute(&header, "xmlns:stream", StreamsNs);
    SetAttribute(&header, "xml:lang", "en");
    SetAttribute(&header, "version", "1.0");
    SendElement(header);
}

void JabberAccount::OnStreamHeader(const XmlElement& header)
{
    if (header.name != "stream:stream") return;
    const std::string* id = GetAttribute(&header, "id");
    if (id && !id->empty()) streamId = *id;
    // A server before XMPP 1.0 sends no features: it is judged by each header anew, and only before
    // anything was authenticated on this connection.
    const bool preOneZero = GetAttribute(&header, "version") == nullptr;
    if (preOneZero && !sasl && !legacyAuthStarted) StartLegacyAuth();
}

void JabberAccount::DispatchTopLevel(std::unique_ptr<XmlElement> stanza)
{
    const std::string& name = stanza->name;
    if (name == "stream:features") {
        // Kept: a refused compression goes back to the features it passed over.
        lastFeatures = std::move(stanza);
        OnFeatures(*lastFeatures);
    } else if (name == "compressed") {
        OnCompressed(*stanza);
    } else if (name == "success") {
        OnSaslSuccess(*stanza);
    } else if (name == "failure") {
        OnFailure(*stanza);
    } else if (name == "stream:error") {
        OnStreamError(*stanza);
    } else if (name == "challenge") {
        OnChallenge(*stanza);
    } else if (name == "iq") {
        HandleIq(*stanza);
    } else if (name == "message") {
        OnMessage(*stanza);
    } else if (name == "presence") {
        OnPresence(*stanza);
    }
    // "proceed" and anything else: nothing.
}

void JabberAccount::OnFeatures(const XmlElement& features)
{
    bool mechanisms = false, digestMd5 = false, plain = false, legacy = false, session = false;
    for (const std::unique_ptr<XmlElement>& child : features.children) {
        const std::string& name = child->name;
        if (name == "compression") {
            // Asked first and alone: the server answers "compressed" (or "failure") before the rest.
            if (AskForCompression(*child)) return;
        } else if (name == "mechanisms") {
            mechanisms = true;
            for (int n = 1; const XmlElement* mechanism = FindChild(child.get(), "mechanism", n); ++n) {
                if (mechanism->text == "DIGEST-MD5") digestMd5 = true;
                if (mechanism->text == "PLAIN") plain = true;
            }
        } else if (name == "auth") {
            legacy = true;
        } else if (name == "session") {
            session = true;
        }
        // "starttls" is never asked for: a secure socket is the connection's business. "register": no.
    }

    if (!mechanisms) {
        if (!sasl) {
            if (!legacyAuthStarted) StartLegacyAuth();
            return;
        }
        // The stream after SASL success.
        SendBind();
        if (session) sessionRequired = true;
        return;
    }
    if (sasl) return;
    const std::string user = Utf8(settings.GetAccountName());
    const std::string server = Utf8(settings.GetServer());
    const std::string password = Utf8(settings.GetPassword());
    if (digestMd5) {
        StartSasl(NewDigestMd5(user, server, password));
    } else if (plain) {
        StartSasl(NewPlain(user, server, password));
    } else if (legacy) {
        if (!legacyAuthStarted) StartLegacyAuth();
    } else {
        EndRefused(CZELString(L"invalid-mechanism: no authentication method this client knows was offered\n"));
    }
}

bool JabberAccount::AskForCompression(const XmlElement& feature)
{
    if (compressionOn || compressionRefused || !settings.GetCompression()) return false;
    for (int n = 1; const XmlElement* method = FindChild(&feature, "method", n); ++n) {
        if (method->text != "zlib" || !compression.Start()) continue;
        XmlElement compress("compress");
        SetAttribute(&compress, "xmlns", CompressNs);
        AddTextChild(&compress, "method", "zlib");
        compressionAsked = true;
        SendElement(compress);
        return true;
    }
    return false;
}

void JabberAccount::StartSasl(std::unique_ptr<SaslMechanism> mechanism)
{
    if (!mechanism) return;
    sasl = std::move(mechanism);
    XmlElement auth("auth", sasl->InitialResponse());
    SetAttribute(&auth, "xmlns", SaslNs);
    SetAttribute(&auth, "mechanism", sasl->Name());
    SendElement(auth);
}

void JabberAccount::OnCompressed(const XmlElement& element)
{
    if (!compressionAsked || !HasNamespace(element, CompressNs)) return;
    compressionOn = true;
    // The new stream, and all that follows it either way, goes through zlib.
    streamRestart = restartCompressed = true;
}

void JabberAccount::OnFailure(const XmlElement& element)
{
    if (HasNamespace(element, CompressNs)) {
        if (!compressionAsked || compressionOn) return;
        // Compression refused: carry on without it, with the rest of the features it passed over.
        compressionAsked = false;
        compressionRefused = true;
        compression.Reset();
        if (lastFeatures) OnFeatures(*lastFeatures);
        return;
    }
    if (!HasNamespace(element, SaslNs)) return;
    EndRefused(PluginShared::Instance().Text(TextInvalidLogin));
}

void JabberAccount::OnSaslSuccess(const XmlElement& element)
{
    if (sasl && HasNamespace(element, SaslNs)) streamRestart = true;
}

void JabberAccount::OnChallenge(const XmlElement& element)
{
    if (!sasl || !HasNamespace(element, SaslNs)) return;
    // The server's second challenge (rspauth) is acknowledged with an empty response.
    XmlElement response("response", sasl->ChallengeResponse(element.text));
    SetAttribute(&response, "xmlns", SaslNs);
    SendElement(response);
}

void JabberAccount::OnStreamError(const XmlElement& error)
{
    std::string text;
    bool conflict = false;
    for (const std::unique_ptr<XmlElement>& child : error.children) {
        text += child->name + ": " + child->text + "\n";
        if (child->name == "conflict") {
            // Another login took our resource: coming back would only throw it out in turn.
            conflict = true;
            break;
        }
    }
    SendText(StreamEnd);
    // The server ends the stream after an error; a conflict ends the account's wish to be online.
    if (conflict)
        Disconnect();
    else
        LoseConnection();
    if (!text.empty()) Warn(text);
}

void JabberAccount::EndRefused(const CZELString& warning)
{
    SendText(StreamEnd);
    Disconnect();
    Warn(warning);
}

void JabberAccount::StartLegacyAuth()
{
    legacyAuthStarted = true;
    XmlElement get;
    MakeIq(&get, "get", -1);
    AddTextChild(AddQuery(&get, LegacyAuthNs), "username", Utf8(settings.GetAccountName()));
    SendRequest(get, std::string(), [this](const XmlElement& reply) { OnLegacyAuthFields(reply); });
}

void JabberAccount::OnLegacyAuthFields(const XmlElement& reply)
{
    const XmlElement* offered = FindChild(&reply, "query");
    if (!GetAttribute(&reply, "type") || !offered) return;
    if (IsType(reply, "error")) {
        EndRefused(PluginShared::Instance().Text(TextInvalidLogin));
        return;
    }
    if (!IsType(reply, "result")) return;
    XmlElement set;
    MakeIq(&set, "set", -1);
    XmlElement* query = AddQuery(&set, LegacyAuthNs);
    AddTextChild(query, "username", Utf8(settings.GetAccountName()));
    const std::string password = Utf8(settings.GetPassword());
    if (FindChild(offered, "digest") && !streamId.empty()) {
        AddTextChild(query, "digest", Sasl::LegacyAuthDigest(streamId, password));
    } else if (FindChild(offered, "password")) {
        AddTextChild(query, "password", password);
    } else {
        EndRefused(CZELString(L"invalid-mechanism: no authentication method this client knows was offered\n"));
        return;
    }
    if (FindChild(offered, "resource")) AddTextChild(query, "resource", Utf8(settings.GetResource()));
    SendRequest(set, std::string(), [this](const XmlElement& result) { OnLegacyAuthResult(result); });
}

void JabberAccount::OnLegacyAuthResult(const XmlElement& reply)
{
    if (IsType(reply, "result"))
        OnSessionEstablished();
    else if (IsType(reply, "error"))
        EndRefused(PluginShared::Instance().Text(TextInvalidLogin));
}

void JabberAccount::SendBind()
{
    XmlElement set;
    MakeIq(&set, "set", -1);
    XmlElement* bind = AddChild(&set, "bind");
    SetAttribute(bind, "xmlns", BindNs);
    AddTextChild(bind, "resource", Utf8(settings.GetResource()));
    SendRequest(set, std::string(), [this](const XmlElement& reply) { OnBindResult(reply); });
}

void JabberAccount::OnBindResult(const XmlElement& reply)
{
    const XmlElement* bind = FindChild(&reply, "bind");
    if (!bind) {
        if (FindChild(&reply, "error")) SendText(StreamEnd);
        return;
    }
    if (const XmlElement* jid = FindChild(bind, "jid")) {
        std::string bound = CutJid(jid->text);
        if (bound != ownFullJid) ownFullJid = bound;
    }
    if (!sessionRequired) {
        OnSessionEstablished();
        return;
    }
    XmlElement set;
    MakeIq(&set, "set", -1);
    SetAttribute(AddChild(&set, "session"), "xmlns", SessionNs);
    SendRequest(set, std::string(), [this](const XmlElement& result) { OnSessionResult(result); });
}

void JabberAccount::OnSessionResult(const XmlElement& reply)
{
    if (IsType(reply, "result")) OnSessionEstablished();
}

void JabberAccount::OnSessionEstablished()
{
    negotiationLimit.Stop();
    status = targetStatus;
    Announce(status);
    if (settings.GetKeepAlive()) {
        const unsigned interval = Timings().keepAliveMs;
        CZELTime due(unsigned(CZELTime().GetUnixTime() + interval / 1000));
        Notify(ProtocolGuid(), ACC_TIMER_START, new (std::nothrow) CTimerPayload(due, KeepAliveTick, OwnQueue()));
    }
    XmlElement get;
    MakeIq(&get, "get", -1);
    AddQuery(&get, RosterNs);
    SendRequest(get, std::string(), [this](const XmlElement& reply) { OnRosterResult(reply); });
}

void JabberAccount::OnNegotiationStalled()
{
    // Like a lost connection: the server may be back by the next attempt.
    SendText(StreamEnd);
    LoseConnection();
}
