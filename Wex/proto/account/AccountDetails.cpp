// Details and search through the meta service (family 0x15): the details of a contact stored as its
// contact-list properties and the user's own as account values, searches sent, and their hits
// posted as result rows. Offline messages that arrive the same way are handed to the message code.
#include "Wex/proto/account/WexAccount.h"

#include "Wex/proto/MetaReplies.h"
#include "Wex/proto/account/BuiltInTexts.h"
#include "Wex/proto/account/PluginState.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "ZELCommon/ZELRand.h"

#include <new>
#include <string>

namespace {

const wchar_t kAccountName[] = L"Account name";
const wchar_t kAlias[] = L"CL Alias";

// One stored detail: a string, a 16-bit or an 8-bit value under its key.
struct Detail {
    enum Type { String, Word, Byte };
    const wchar_t* key;
    Type type;
    CZELString text;
    unsigned number;
};

Detail S(const wchar_t* key, const CZELString& text) { return {key, Detail::String, text, 0}; }
Detail W(const wchar_t* key, unsigned value) { return {key, Detail::Word, CZELString(), value}; }
Detail B(const wchar_t* key, unsigned value) { return {key, Detail::Byte, CZELString(), value}; }

// The reply of a details subtype read into its keys, in order. False when the frame does not parse
// or the reply reports a failure: nothing is then to be stored. Another known subtype gives no keys.
bool ReadDetails(unsigned short subtype, const unsigned char* frame, size_t size, Wex::MetaInfoReply& header,
                 std::vector<Detail>& out, CZELString& nick)
{
    switch (subtype) {
    case Wex::MetaInfoBasic: {
        Wex::MetaBasicInfoReply r;
        if (!r.Unpack(frame, size) || !r.IsSuccess()) return false;
        header = r;
        nick = r.nick;
        out = {S(L"WEX: nick name", r.nick), S(L"WEX: first name", r.firstName), S(L"WEX: last name", r.lastName),
               S(L"WEX: e-mail", r.email), S(L"WEX: home city", r.homeCity), S(L"WEX: home state", r.homeState),
               S(L"WEX: home phone", r.homePhone), S(L"WEX: home fax", r.homeFax),
               S(L"WEX: home address", r.homeAddress), S(L"WEX: cell phone", r.cellPhone),
               S(L"WEX: home zip", r.homeZip), W(L"WEX: home country code", r.homeCountry),
               B(L"WEX: GMT offset", r.gmtOffset), B(L"WEX: authorization flag", r.authorization),
               B(L"WEX: webaware flag", r.webAware), B(L"WEX: direct connection", r.directConnection),
               B(L"WEX: pyblish e-mail flag", r.publishEmail)};
        return true;
    }
    case Wex::MetaInfoWork: {
        Wex::MetaWorkInfoReply r;
        if (!r.Unpack(frame, size) || !r.IsSuccess()) return false;
        header = r;
        out = {S(L"WEX: work city", r.city), S(L"WEX: work state", r.state), S(L"WEX: work phone", r.phone),
               S(L"WEX: work fax", r.fax), S(L"WEX: work address", r.address), S(L"WEX: work zip", r.zip),
               W(L"WEX: work country code", r.country), S(L"WEX: work company", r.company),
               S(L"WEX: work department", r.department), S(L"WEX: work position", r.position),
               W(L"WEX: work ocupation code", r.occupation), S(L"WEX: work webpage", r.webpage)};
        return true;
    }
    case Wex::MetaInfoMore: {
        Wex::MetaMoreInfoReply r;
        if (!r.Unpack(frame, size) || !r.IsSuccess()) return false;
        header = r;
        out = {W(L"WEX: age", r.age), B(L"WEX: gender", r.gender), S(L"WEX: homepage", r.homepage),
               W(L"WEX: birth year", r.birthYear), B(L"WEX: birth month", r.birthMonth),
               B(L"WEX: birth day", r.birthDay), B(L"WEX: spoken language1", r.languages[0]),
               B(L"WEX: spoken language2", r.languages[1]), B(L"WEX: spoken language3", r.languages[2]),
               S(L"WEX: city", r.city), S(L"WEX: state", r.state), W(L"WEX: country code", r.country),
               B(L"WEX: marital status code", r.marital), S(L"WEX: localization ID", r.localizationId),
               S(L"WEX: localization e-mail", r.localizationEmail)};
        return true;
    }
    case Wex::MetaInfoAbout: {
        Wex::MetaAboutReply r;
        if (!r.Unpack(frame, size) || !r.IsSuccess()) return false;
        header = r;
        out = {S(L"WEX: about", r.about)};
        return true;
    }
    case Wex::MetaInfoInterests: {
        Wex::MetaInterestsReply r;
        if (!r.Unpack(frame, size) || !r.IsSuccess()) return false;
        header = r;
        static const wchar_t* const kCodes[] = {L"WEX: interest1", L"WEX: interest2", L"WEX: interest3",
                                                L"WEX: interest4"};
        static const wchar_t* const kKeys[] = {L"WEX: interest keys1", L"WEX: interest keys2",
                                               L"WEX: interest keys3", L"WEX: interest keys4"};
        for (int i = 0; i < Wex::MetaInterestsReply::MaxInterests; ++i) {
            out.push_back(W(kCodes[i], r.categories[i]));
            out.push_back(S(kKeys[i], r.keywords[i]));
        }
        return true;
    }
    default: return header.Unpack(frame, size) != 0;
    }
}

void StoreOnContact(IContactListData& list, int contact, const std::vector<Detail>& details)
{
    for (const Detail& d : details) {
        const CZELString key(d.key);
        if (d.type == Detail::String) {
            list.SetPropertyString(contact, key, d.text);
        } else if (d.type == Detail::Word) {
            const short value = short(d.number);
            list.SetPropertyShort(contact, key, &value);
        } else {
            const char value = char(d.number);
            list.SetPropertyByte(contact, key, &value);
        }
    }
}

void StoreOnAccount(IProtocolsManager& manager, unsigned account, const std::vector<Detail>& details)
{
    for (const Detail& d : details) {
        const CZELString key(d.key);
        if (d.type == Detail::String) {
            manager.SetAccountString(account, key, d.text, 0);
        } else if (d.type == Detail::Word) {
            const short value = short(d.number);
            manager.SetAccountShort(account, key, &value);
        } else {
            const char value = char(d.number);
            manager.SetAccountByte(account, key, &value);
        }
    }
}

CZELString Decimal(unsigned value)
{
    return CZELString(std::to_wstring(value).c_str());
}

}  // namespace

unsigned WexAccount::OwnUinNumber() const
{
    unsigned value = 0;
    const wchar_t* text = Settings.Uin.GetBuffer();
    for (int i = 0; text && i < Settings.Uin.GetLength(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') return 0;
        value = value * 10 + unsigned(text[i] - L'0');
    }
    return value;
}

void WexAccount::HandleMetaFamily(unsigned short subtype, const unsigned char* frame, size_t size)
{
    if (subtype != 0x03) return;
    Wex::MetaReply header;
    if (!header.Unpack(frame, size)) return;
    switch (header.replyType) {
    case Wex::MetaReplyOfflineMessage: {
        Wex::OfflineMessage message;
        if (message.Unpack(frame, size)) DeliverOfflineMessage(message);
        break;
    }
    case Wex::MetaReplyOfflineDone:
        SendPacket(Wex::MetaDeleteOfflineRequest(NextFlapSequence(), OwnUinNumber(),
                                                 (unsigned short)CZELRand::Rand()));
        break;
    case Wex::MetaReplyInfo: HandleInfoReply(frame, size); break;
    default: break;
    }
}

void WexAccount::HandleInfoReply(const unsigned char* frame, size_t size)
{
    Wex::SearchReply search;
    if (search.Unpack(frame, size)) {
        HandleSearchReply(frame, size);
        return;
    }
    Wex::MetaInfoReply info;
    if (info.Unpack(frame, size)) ParseUserDetails(info.subtype, frame, size);
}

void WexAccount::HandleSearchReply(const unsigned char* frame, size_t size)
{
    IContactListData* list = ContactList();
    Wex::SearchReply reply;
    if (!list || !reply.Unpack(frame, size)) return;
    const Wex::SearchResultRecord& hit = reply.record;
    // A record without a hit (result 20 or 50) has no row to show.
    if (hit.HasHit() && hit.uin != 0) {
        SearchResultRow row;
        row.account = Decimal(hit.uin);
        row.contactId = list->FindOrAddContact(AccountId(), row.account);
        if (row.contactId) list->SetPropertyString(row.contactId, CZELString(kAlias), hit.nick);
        const int entry = hit.status == 0 ? 0 : hit.status == 1 ? 3 : 18;
        row.images.Add(WexPlugin::Shared().Image(entry));
        row.nickname = hit.nick;
        row.firstName = hit.firstName;
        row.lastName = hit.lastName;
        row.email = hit.email;
        row.gender = hit.gender;
        row.age = hit.age;
        Notify(GUID_WEX_PROTOCOL, ACC_SEARCH_RESULT, new (std::nothrow) CSearchResultPayload(row));
    }
    if (reply.lastResult) Notify(GUID_WEX_PROTOCOL, ACC_SEARCH_RESULT);
}

void WexAccount::ParseUserDetails(unsigned short subtype, const unsigned char* frame, size_t size)
{
    IContactListData* list = ContactList();
    if (!list) return;
    Wex::MetaInfoReply header;
    std::vector<Detail> details;
    CZELString nick;
    const bool stored = ReadDetails(subtype, frame, size, header, details, nick);
    if (!stored && !header.Unpack(frame, size)) return;
    auto pending = PendingDetails.find(header.metaSequence);
    if (pending == PendingDetails.end()) return;
    const int target = pending->second;
    const bool last = header.IsLastPacket();
    if (last) PendingDetails.erase(pending);
    // A failed reply leaves what was stored as it was.
    if (!stored) return;

    bool own = target == 0;
    if (target != 0) {
        StoreOnContact(*list, target, details);
        CZELString accountName, alias;
        list->GetPropertyString(target, CZELString(kAccountName), accountName);
        list->GetPropertyString(target, CZELString(kAlias), alias);
        if (subtype == Wex::MetaInfoBasic && !nick.IsEmpty() && accountName == alias) {
            if (list->GetContactGroup(target) != 0) {
                RenameContact(target, nick);
            } else {
                list->SetPropertyString(target, CZELString(kAlias), nick);
                list->NotifyContactChanged(target);
            }
        }
        if (last) Notify(GUID_WEX_PROTOCOL, ACC_CONTACT_DETAILS_CHANGED, NewValue(target));
        own = !accountName.IsEmpty() && accountName == Settings.Uin;
    }
    IProtocolsManager* manager =
        services ? static_cast<IProtocolsManager*>(services->GetService(GUID_PROTOCOLS_MANAGER)) : nullptr;
    if (own && manager) {
        StoreOnAccount(*manager, AccountId(), details);
        if (last) Notify(GUID_WEX_PROTOCOL, ACC_OWN_DETAILS_CHANGED);
    }
}

void WexAccount::RequestDetails(int contactId)
{
    unsigned target = OwnUinNumber();
    if (contactId != 0) {
        const Wex::ServerListItem* item = ServerList.FindItemByContact(contactId);
        CZELString uin;
        if (item) {
            uin = item->Name;
        } else if (IContactListData* list = ContactList()) {
            list->GetPropertyString(contactId, CZELString(kAccountName), uin);
        }
        target = 0;
        const wchar_t* text = uin.GetBuffer();
        for (int i = 0; text && i < uin.GetLength(); ++i) {
            if (text[i] < L'0' || text[i] > L'9') return;
            target = target * 10 + unsigned(text[i] - L'0');
        }
    }
    if (target == 0 || CurrentStatus() < AccountStatus::Online) return;
    unsigned short sequence;
    do {
        sequence = (unsigned short)CZELRand::Rand();
    } while (PendingDetails.count(sequence));
    PendingDetails[sequence] = contactId;
    SendPacket(Wex::MetaFullInfoRequest(NextFlapSequence(), unsigned(CZELRand::Rand()), OwnUinNumber(), sequence,
                                        target));
}

void WexAccount::SaveOwnDetails(const Wex::TlvChain& details)
{
    if (details.GetCount() == 0) return;
    if (CurrentStatus() < AccountStatus::Online) {
        ReportWarning(WexPlugin::Shared().Text(WexTexts::SaveNeedsConnection));
        return;
    }
    SendPacket(Wex::MetaSaveInfoRequest(NextFlapSequence(), unsigned(CZELRand::Rand()), OwnUinNumber(),
                                        (unsigned short)CZELRand::Rand(), details));
}

int WexAccount::Search(intptr_t page)
{
    switch (page) {
    case 0: searchRequest.kind = 0; break;
    case 1: searchRequest.kind = 1; break;
    case 2:
    case 3: searchRequest.kind = 2; break;
    default: break;
    }
    RunSearchRequest();
    return 0;
}

void WexAccount::RunSearchRequest()
{
    const unsigned requestId = unsigned(CZELRand::Rand());
    const unsigned short sequence = (unsigned short)CZELRand::Rand();
    switch (searchRequest.kind) {
    case 0:
        if (searchRequest.uin != 0)
            SendPacket(Wex::MetaSearchByUinRequest(NextFlapSequence(), requestId, OwnUinNumber(), sequence,
                                                   searchRequest.uin));
        else
            Notify(GUID_WEX_PROTOCOL, ACC_SEARCH_RESULT);  // nothing to ask: the search ends at once
        break;
    case 1:
        if (!searchRequest.email.IsEmpty())
            SendPacket(Wex::MetaSearchByEmailRequest(NextFlapSequence(), requestId, OwnUinNumber(), sequence,
                                                     searchRequest.email));
        else
            Notify(GUID_WEX_PROTOCOL, ACC_SEARCH_RESULT);
        break;
    case 2:
        SendPacket(Wex::MetaWhitePagesSearchRequest(NextFlapSequence(), requestId, OwnUinNumber(), sequence,
                                                    searchRequest.form));
        break;
    default: break;
    }
}
