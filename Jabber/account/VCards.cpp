// JabberAccount: vCards asked for, read into the own values or a contact's properties, and the own
// one published.
#include "Jabber/account/JabberAccount.h"

#include "Jabber/account/VCardFields.h"
#include "Jabber/account/VCardStores.h"
#include "Jabber/xml/Iq.h"
#include "Jabber/xml/Jid.h"
#include "Jabber/xml/XmlText.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"

#include <cctype>

namespace {

const char VCardNs[] = "vcard-temp";
const char ProductId[] = "-//ZEL//ZEL PDA//EN";

// Marks the answer to an own-vCard request as come when the request can no longer be answered:
// its pending record was taken, replaced, expired or cleared with the connection.
struct AnswerGuard {
    explicit AnswerGuard(VCardAnswer flag) : flag(std::move(flag)) {}
    ~AnswerGuard()
    {
        if (flag) *flag = true;
    }
    VCardAnswer flag;
};

bool SameNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

}  // namespace

unsigned JabberAccount::RequestVCard(const CZELString& jid, VCardAnswer answered)
{
    const std::string to = jid.GetBuffer() ? Utf8FromWide(jid.GetBuffer(), jid.GetLength()) : std::string();
    if (to.empty()) {
        if (answered) *answered = true;
        return 0;
    }
    const std::string own = Utf8FromWide(settings.OwnJid().GetBuffer());
    XmlElement iq;
    MakeIq(&iq, "get", -1, &to);
    XmlElement* vcard = AddChild(&iq, "vCard");
    SetAttribute(vcard, "xmlns", VCardNs);
    SetAttribute(vcard, "prodid", ProductId);
    SetAttribute(vcard, "version", "2.0");
    const bool askedOwn = SameNoCase(to, own);
    // The own vCard is the server's to answer on the account's behalf, with or without a "from".
    auto guard = std::make_shared<AnswerGuard>(std::move(answered));
    SendRequest(
        iq, askedOwn ? std::string() : to,
        [this, askedOwn, guard](const XmlElement& reply) { ParseVCardResult(reply, askedOwn, guard->flag.get()); },
        askedOwn ? PendingIqTable::OwnVCardRequest : PendingIqTable::Ordinary);
    return iqCounter;
}

void JabberAccount::ParseVCardResult(const XmlElement& iq, bool askedOwn, std::atomic<bool>* answered)
{
    IContactListData* list =
        services ? static_cast<IContactListData*>(services->GetService(GUID_CONTACT_LIST_DATA)) : nullptr;
    IProtocolsManager* manager =
        services ? static_cast<IProtocolsManager*>(services->GetService(GUID_PROTOCOLS_MANAGER)) : nullptr;
    if (!list || !manager) return;
    const std::string* type = GetAttribute(&iq, "type");
    const std::string* from = GetAttribute(&iq, "from");
    // The server may answer for the own account without a "from"; the pending request has already
    // checked that such a reply answers our own request.
    if (!type || (!from && !askedOwn)) return;
    // An error (or anything but a result) says nothing about the details: what is stored stays.
    if (*type != "result") return;
    const std::string ownJid = Utf8FromWide(settings.OwnJid().GetBuffer());
    const std::string sender = from ? *from : ownJid;
    const bool own = IsOwnJidOrResource(sender, ownJid);
    const int contact = ContactIdForJid(StripResource(sender));
    if (!own && !contact) return;

    const XmlElement* vcard = FindChild(&iq, "vCard");
    auto fill = [vcard](VCardValues& values) {
        ResetVCardValues(values);
        if (vcard) FillVCardValues(*vcard, values);
    };
    if (contact) {
        ContactValues values(*list, contact);
        fill(values);
    }
    if (own) {
        AccountValues values(*manager, accountId);
        fill(values);
    }
    // Before the panes reload: from then on what they hold may be saved.
    if (answered) *answered = true;
    if (contact) Notify(ProtocolGuid(), ACC_CONTACT_DETAILS_CHANGED, NewValue(contact));
    if (own) Notify(ProtocolGuid(), ACC_OWN_DETAILS_CHANGED);
}

void JabberAccount::PublishOwnVCard()
{
    IProtocolsManager* manager =
        services ? static_cast<IProtocolsManager*>(services->GetService(GUID_PROTOCOLS_MANAGER)) : nullptr;
    if (!manager) return;
    XmlElement iq;
    MakeIq(&iq, "set", -1);
    XmlElement* vcard = AddChild(&iq, "vCard");
    SetAttribute(vcard, "xmlns", VCardNs);
    AccountValues values(*manager, accountId);
    BuildVCard(values, vcard);
    SendRequest(iq, std::string(), [](const XmlElement&) {}, PendingIqTable::OwnVCardPublication);
}

bool JabberAccount::QueueVCardRequest(const CZELString& jid)
{
    return RunOnQueue([this, jid] { RequestVCard(jid); });
}

bool JabberAccount::QueueOwnVCardPublication()
{
    return RunOnQueue([this] { PublishOwnVCard(); });
}
