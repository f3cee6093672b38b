// JabberAccount: what the clients of contacts support, asked of them. A resource that announces
// capabilities gets one disco#info query per capabilities version and extension the cache does
// not know yet, however many resources announce the same; the answer is kept for them all. A
// resource that announces none is asked its software version, and, when the name does not tell
// its features, what it supports. Answers count only from the JID asked (the pending table checks
// the sender and the id); a query unanswered for Caps::QueryLimitMs reads as failed.
#include "Jabber/account/JabberAccount.h"

#include "Jabber/account/ClientFeatures.h"
#include "Jabber/xml/Iq.h"
#include "Jabber/xml/XmlText.h"

#include <windows.h>

#include <algorithm>
#include <sstream>

namespace {

const char DiscoInfoNs[] = "http://jabber.org/protocol/disco#info";
const char VersionNs[] = "jabber:iq:version";
// A client's name or version longer than this is cut: it only keys the cache and picks a guess.
const size_t MaxClientText = 100;

// The reply's query of namespace ns when the reply is a result ("type" in any letter case, as the
// dispatch takes it); null for an error.
const XmlElement* AnsweredQuery(const XmlElement& reply, const char* ns)
{
    return IqTypeIs(&reply, "result") ? FindChildWithAttribute(&reply, "query", "xmlns", ns) : nullptr;
}

std::wstring ClientText(const XmlElement* query, const char* name)
{
    const XmlElement* child = query ? FindChild(query, name) : nullptr;
    if (!child) return std::wstring();
    std::wstring text = WideFromUtf8(child->text.substr(0, MaxClientText * 4));
    if (text.size() > MaxClientText) text.resize(MaxClientText);
    return text;
}

// Guessed clients are known by name alone; asking them would only repeat the guess.
bool NameTellsFeatures(const std::wstring& name)
{
    return name == L"Bombus" || name == L"BombusMod" || name == L"neos" || name == L"sim";
}

}  // namespace

void JabberAccount::AskWhatResourceSupports(const std::wstring& fullJid)
{
    if (ResourcePart(fullJid).empty()) return;
    ResourceRecord* resource = contacts.FindStatusRecord(fullJid);
    if (!resource) return;
    if (!resource->capsNode.empty() && !resource->capsVersion.empty()) {
        // Copies, and the record looked up again afterwards: nothing is held across a send.
        const std::wstring node = resource->capsNode, version = resource->capsVersion;
        std::wistringstream names(resource->capsExtensions);
        const uint64_t now = GetTickCount64();
        bool asked = AskCapsKey(fullJid, node, version);
        for (std::wstring name; names >> name;) asked = AskCapsKey(fullJid, node, name) || asked;
        ResourceRecord* again = asked ? contacts.FindStatusRecord(fullJid) : nullptr;
        if (again && again->firstQueryTime == 0) again->firstQueryTime = now;
        return;
    }
    if (resource->firstQueryTime == 0 && resource->clientName.empty() && resource->clientVersion.empty())
        AskVersion(fullJid);
}

bool JabberAccount::SendLimitedQuery(XmlElement& iq, const std::wstring& fullJid, const std::wstring& node,
                                     const std::wstring& key, IqHandler onReply)
{
    const uint64_t now = GetTickCount64();
    // A query unanswered this long reads as failed; it no longer holds a place.
    discoQueries.erase(std::remove_if(discoQueries.begin(), discoQueries.end(),
                                      [&](const DiscoQuery& query) { return now - query.sent >= Caps::QueryLimitMs; }),
                       discoQueries.end());
    if (discoQueries.size() >= MaxDiscoQueries) return false;
    const std::string to = Utf8FromWide(fullJid.c_str());
    SetAttribute(&iq, "to", to);
    if (!node.empty()) caps.Set(node, key, Caps::StatePending, now);
    discoQueries.push_back(DiscoQuery{iqCounter + 1, now, node, key});
    SendRequest(iq, to, std::move(onReply));
    return true;
}

bool JabberAccount::AskCapsKey(const std::wstring& fullJid, const std::wstring& node, const std::wstring& key)
{
    if (caps.Get(node, key, GetTickCount64()) != Caps::StateUnknown) return false;
    XmlElement iq("iq");
    SetAttribute(&iq, "type", "get");
    XmlElement* query = AddQuery(&iq, DiscoInfoNs);
    SetAttribute(query, "node", Utf8FromWide((node + L"#" + key).c_str()));
    const unsigned counter = iqCounter + 1;
    return SendLimitedQuery(iq, fullJid, node, key, [this, node, key, counter](const XmlElement& reply) {
        DiscoQueryDone(counter);
        const XmlElement* query = AnsweredQuery(reply, DiscoInfoNs);
        // An answer after the time limit still tells the truth; the failed state only meant "not yet".
        caps.Set(node, key, query ? FeatureMaskOf(query) : Caps::StateFailed, GetTickCount64());
    });
}

void JabberAccount::AskVersion(const std::wstring& fullJid)
{
    XmlElement iq("iq");
    SetAttribute(&iq, "type", "get");
    AddQuery(&iq, VersionNs);
    const unsigned counter = iqCounter + 1;
    const uint64_t now = GetTickCount64();
    if (!SendLimitedQuery(iq, fullJid, std::wstring(), std::wstring(), [this, fullJid, counter](const XmlElement& reply) {
            DiscoQueryDone(counter);
            OnVersionAnswer(fullJid, reply);
        }))
        return;
    if (ResourceRecord* again = contacts.FindStatusRecord(fullJid)) again->firstQueryTime = now;
}

void JabberAccount::OnVersionAnswer(const std::wstring& fullJid, const XmlElement& reply)
{
    // The resource may have left (and come back as a new record) meanwhile.
    ResourceRecord* resource = contacts.FindStatusRecord(fullJid);
    if (!resource || resource->firstQueryTime == Caps::Settled) return;
    resource->firstQueryTime = Caps::Settled;
    const XmlElement* query = AnsweredQuery(reply, VersionNs);
    resource->clientName = ClientText(query, "name");
    resource->clientVersion = ClientText(query, "version");
    if (!resource->clientName.empty() && !resource->clientVersion.empty()) {
        // A known client, or one already asked under the same name and version, needs no question.
        if (NameTellsFeatures(resource->clientName) ||
            caps.Get(resource->clientName, resource->clientVersion, GetTickCount64()) != Caps::StateUnknown)
            return;
    }
    AskResourceDisco(*resource, fullJid);
}

void JabberAccount::AskResourceDisco(ResourceRecord& resource, const std::wstring& fullJid)
{
    if (resource.discoQueryTime != 0) return;
    XmlElement iq("iq");
    SetAttribute(&iq, "type", "get");
    AddQuery(&iq, DiscoInfoNs);
    // With a client name and version the answer is kept for every resource of that client.
    const bool named = !resource.clientName.empty() && !resource.clientVersion.empty();
    const std::wstring node = named ? resource.clientName : std::wstring();
    const std::wstring key = named ? resource.clientVersion : std::wstring();
    const unsigned counter = iqCounter + 1;
    const uint64_t now = GetTickCount64();
    if (!SendLimitedQuery(iq, fullJid, node, key, [this, fullJid, node, key, counter](const XmlElement& reply) {
            DiscoQueryDone(counter);
            OnResourceDiscoAnswer(fullJid, node, key, reply);
        }))
        return;
    if (ResourceRecord* again = contacts.FindStatusRecord(fullJid)) again->discoQueryTime = now;
}

void JabberAccount::OnResourceDiscoAnswer(const std::wstring& fullJid, const std::wstring& clientName,
                                          const std::wstring& clientVersion, const XmlElement& reply)
{
    const XmlElement* query = AnsweredQuery(reply, DiscoInfoNs);
    const uint64_t mask = FeatureMaskOf(query);
    if (!clientName.empty())
        caps.Set(clientName, clientVersion, query ? mask : Caps::StateFailed, GetTickCount64());
    // An error answers too: the resource supports nothing it would name.
    if (ResourceRecord* resource = contacts.FindStatusRecord(fullJid)) {
        resource->discoQueryTime = Caps::Settled;
        resource->discoMask = mask;
    }
}

void JabberAccount::DiscoQueryDone(unsigned counter)
{
    discoQueries.erase(std::remove_if(discoQueries.begin(), discoQueries.end(),
                                      [&](const DiscoQuery& query) { return query.counter == counter; }),
                       discoQueries.end());
}

void JabberAccount::ForgetDiscoQueries()
{
    for (const DiscoQuery& query : discoQueries)
        if (!query.node.empty()) caps.ForgetPending(query.node, query.key);
    discoQueries.clear();
}
