// JabberAccount: every "iq" the account receives, the requests it sends and waits for, and the
// requests it answers itself: software version, ping and service discovery info.
#include "Jabber/account/JabberAccount.h"

#include "Jabber/account/ClientFeatures.h"
#include "Jabber/xml/Iq.h"
#include "Jabber/xml/XmlText.h"
#include "ZELCommon/ZELSystemInfo.h"

#include <windows.h>

#include <string>

namespace {

const char StanzasNs[] = "urn:ietf:params:xml:ns:xmpp-stanzas";
const char VersionNs[] = "jabber:iq:version";
const char PingNs[] = "urn:xmpp:ping";
const char DiscoInfoNs[] = "http://jabber.org/protocol/disco#info";

std::string ClientName()
{
    CZELString os = CZELSystemInfo::OSName();
    return "ZEL PDA " + Utf8FromWide(os.GetBuffer(), os.GetLength());
}

// An iq "error" answering request, holding "error" with type and the condition (and a code, when
// given).
XmlElement ErrorReply(const XmlElement& request, const char* code, const char* condition)
{
    XmlElement reply;
    MakeIqReply(&reply, "error", &request);
    XmlElement* error = AddChild(&reply, "error");
    if (code) SetAttribute(error, "code", code);
    SetAttribute(error, "type", "cancel");
    SetAttribute(AddChild(error, condition), "xmlns", StanzasNs);
    return reply;
}

}  // namespace

void JabberAccount::RegisterRequestHandlers()
{
    requestHandlers.clear();
    requestHandlers.push_back({TypeGet, VersionNs, "query", [this](const XmlElement& iq) { ReplyVersion(iq); }});
    requestHandlers.push_back({TypeGet, PingNs, "ping", [this](const XmlElement& iq) { ReplyPing(iq); }});
    requestHandlers.push_back({TypeGet, DiscoInfoNs, "query", [this](const XmlElement& iq) { ReplyDiscoInfo(iq); }});
    RegisterTransferHandlers();
    RegisterRosterHandlers();
}

OwnAddress JabberAccount::Own() const
{
    OwnAddress own;
    own.server = Utf8FromWide(settings.GetServer().GetBuffer());
    own.bareJid = Utf8FromWide(settings.OwnJid().GetBuffer());
    own.fullJid = ownFullJid;
    return own;
}

bool JabberAccount::SendRequest(XmlElement& iq, const std::string& asked, IqHandler onReply, int pendingKind)
{
    SetIqId(&iq, ++iqCounter);
    pending.Register(iqCounter, pendingKind, asked, std::move(onReply), GetTickCount64());
    return SendElement(iq);
}

void JabberAccount::HandleIq(const XmlElement& iq)
{
    if (iq.name != "iq") return;
    const bool get = IqTypeIs(&iq, "get"), set = IqTypeIs(&iq, "set");
    if (get || set) {
        if (!DispatchRequest(iq, get ? TypeGet : TypeSet)) ReplyUnserved(iq);
        return;
    }
    if (!IqTypeIs(&iq, "result") && !IqTypeIs(&iq, "error")) return;
    // A reply nobody waits for (or from someone not asked) is dropped; an error is never answered.
    const long long counter = ParseIqId(&iq);
    if (counter < 0) return;
    IqHandler handler = pending.Take(unsigned(counter), GetAttribute(&iq, "from"), Own(), GetTickCount64());
    if (handler) handler(iq);
}

bool JabberAccount::DispatchRequest(const XmlElement& iq, unsigned typeBit)
{
    const XmlElement* child = FirstChild(&iq);
    if (!child || child->name.empty()) return false;
    const std::string* ns = GetAttribute(child, "xmlns");
    bool served = false;
    for (const RequestHandler& entry : requestHandlers) {
        if (!(entry.typeMask & typeBit)) continue;
        if (entry.ns && (!ns || *ns != entry.ns)) continue;
        if (entry.name && child->name != entry.name) continue;
        entry.handler(iq);
        served = true;
    }
    return served;
}

void JabberAccount::ReplyUnserved(const XmlElement& request)
{
    SendElement(ErrorReply(request, nullptr, "service-unavailable"));
}

void JabberAccount::ReplyVersion(const XmlElement& request)
{
    if (!GetAttribute(&request, "from")) return;
    XmlElement reply;
    MakeIqReply(&reply, "result", &request);
    XmlElement* query = AddQuery(&reply, VersionNs);
    CZELString os = CZELSystemInfo::OSName();
    AddTextChild(query, "name", ClientName());
    AddTextChild(query, "version", std::to_string(CZELSystemInfo::ZELVersion()));
    AddTextChild(query, "os", Utf8FromWide(os.GetBuffer(), os.GetLength()));
    SendElement(reply);
}

void JabberAccount::ReplyPing(const XmlElement& request)
{
    XmlElement reply;
    MakeIqReply(&reply, "result", &request);
    SendElement(reply);
}

void JabberAccount::ReplyDiscoInfo(const XmlElement& request)
{
    const XmlElement* asked = FirstChild(&request);
    if (!asked) return;
    const std::string* node = GetAttribute(asked, "node");
    uint64_t mask = 0;
    if (!OwnMaskForNode(node, mask)) {
        SendElement(ErrorReply(request, "404", "item-not-found"));
        return;
    }
    XmlElement reply;
    MakeIqReply(&reply, "result", &request);
    XmlElement* query = AddQuery(&reply, DiscoInfoNs);
    if (node) SetAttribute(query, "node", *node);
    XmlElement* identity = AddChild(query, "identity");
    SetAttribute(identity, "category", "client");
    SetAttribute(identity, "type", "pda");
    SetAttribute(identity, "name", ClientName());
    for (int bit = 0; bit < XmppFeatureCount; ++bit)
        if (mask & (uint64_t(1) << bit)) SetAttribute(AddChild(query, "feature"), "var", XmppFeatureTable[bit].ns);
    SendElement(reply);
}
