// JabberAccount: vCards asked for, read into the own values or a contact's properties, and the own
// one published.
#include "Jabber/account/JabberAccount.h"

#include "Jabber/account/VCardFields.h"
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

// The account's own values in the protocols manager.
class AccountValues : public VCardValues {
public:
    AccountValues(IProtocolsManager& manager, unsigned account) : manager(manager), account(account) {}
    bool GetString(const wchar_t* key, CZELString& out) override
    {
        return manager.GetAccountString(account, CZELString(key), out, 0);
    }
    void SetString(const wchar_t* key, const CZELString& value) override
    {
        manager.SetAccountString(account, CZELString(key), value, 0);
    }
    bool GetNumber(const wchar_t* key, int bits, int& out) override
    {
        if (bits == 16) {
            short value = 0;
            if (!manager.GetAccountShort(account, CZELString(key), &value)) return false;
            out = static_cast<unsigned short>(value);
            return true;
        }
        char value = 0;
        if (!manager.GetAccountByte(account, CZELString(key), &value)) return false;
        out = static_cast<unsigned char>(value);
        return true;
    }
    void SetNumber(const wchar_t* key, int bits, int value) override
    {
        if (bits == 16) {
            const short v = short(value);
            manager.SetAccountShort(account, CZELString(key), &v);
        } else {
            const char v = char(value);
            manager.SetAccountByte(account, CZELString(key), &v);
        }
    }

private:
    IProtocolsManager& manager;
    unsigned account;
};

// A contact's properties in the contact list.
class ContactValues : public VCardValues {
public:
    ContactValues(IContactListData& list, int contact) : list(list), contact(contact) {}
    bool GetString(const wchar_t* key, CZELString& out) override { return list.GetPropertyString(contact, CZELString(key), out); }
    void SetString(const wchar_t* key, const CZELString& value) override
    {
        list.SetPropertyString(contact, CZELString(key), value);
    }
    bool GetNumber(const wchar_t* key, int bits, int& out) override
    {
        if (bits == 16) {
            short value = 0;
            if (!list.GetPropertyShort(contact, CZELString(key), &value)) return false;
            out = static_cast<unsigned short>(value);
            return true;
        }
        char value = 0;
        if (!list.GetPropertyByte(contact, CZELString(key), &value)) return false;
        out = static_cast<unsigned char>(value);
        return true;
    }
    void SetNumber(const wchar_t* key, int bits, int value) override
    {
        if (bits == 16) {
            const short v = short(value);
            list.SetPropertyShort(contact, CZELString(key), &v);
        } else {
            const char v = char(value);
            list.SetPropertyByte(contact, CZELString(key), &v);
        }
    }

private:
    IContactListData& list;
    int contact;
};

bool SameNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

}  // namespace

unsigned JabberAccount::RequestVCard(const CZELString& jid)
{
    const std::string to = jid.GetBuffer() ? Utf8FromWide(jid.GetBuffer(), jid.GetLength()) : std::string();
    if (to.empty()) return 0;
    const std::string own = Utf8FromWide(settings.OwnJid().GetBuffer());
    XmlElement iq;
    MakeIq(&iq, "get", -1, &to);
    XmlElement* vcard = AddChild(&iq, "vCard");
    SetAttribute(vcard, "xmlns", VCardNs);
    SetAttribute(vcard, "prodid", ProductId);
    SetAttribute(vcard, "version", "2.0");
    const bool askedOwn = SameNoCase(to, own);
    // The own vCard is the server's to answer on the account's behalf, with or without a "from".
    SendRequest(
        iq, askedOwn ? std::string() : to, [this, askedOwn](const XmlElement& reply) { ParseVCardResult(reply, askedOwn); },
        askedOwn ? PendingIqTable::OwnVCardRequest : PendingIqTable::Ordinary);
    return iqCounter;
}

void JabberAccount::ParseVCardResult(const XmlElement& iq, bool askedOwn)
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
