// The directory: a contact's details and searches both ask with 0x1029 and both are answered with
// 0x1028; the answer's sequence tells them apart (both high bits of the details mark set).
#include "Dax/MrimAccount.h"

#include "Dax/DaxGuids.h"
#include "Dax/DaxPanes.h"
#include "Dax/DaxShared.h"
#include "Dax/proto/Anketa.h"
#include "Dax/proto/MrimCommands.h"
#include "Dax/proto/MrimStatus.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "ZELCommon/ZELTime.h"

#include <new>

namespace {

const CZELString* Column(const Mrim::AnketaRow& row, const wchar_t* name)
{
    auto found = row.find(name);
    return found != row.end() ? &found->second : nullptr;
}

void SetInt(IContactListData* data, int item, const wchar_t* name, int value)
{
    data->SetPropertyInt(item, CZELString(name), &value);
}

// The properties a row gives a contact: names, ids and the birthday's parts (0 when it does not
// split).
void WriteDetails(IContactListData* data, int item, const Mrim::AnketaRow& row)
{
    if (const CZELString* v = Column(row, L"nickname")) data->SetPropertyString(item, CZELString(L"DAX: nick name"), *v);
    if (const CZELString* v = Column(row, L"firstname")) data->SetPropertyString(item, CZELString(L"DAX: first name"), *v);
    if (const CZELString* v = Column(row, L"lastname")) data->SetPropertyString(item, CZELString(L"DAX: last name"), *v);
    if (const CZELString* v = Column(row, L"city_id")) SetInt(data, item, L"DAX: region id", int(v->Uint(false)));
    if (const CZELString* v = Column(row, L"country_id")) SetInt(data, item, L"DAX: country id", int(v->Uint(false)));
    if (const CZELString* v = Column(row, L"sex")) SetInt(data, item, L"DAX: gender id", int(v->Uint(false)));
    if (const CZELString* v = Column(row, L"zodiac")) SetInt(data, item, L"DAX: zodiac id", int(v->Uint(false)));
    if (const CZELString* v = Column(row, L"birthday")) {
        int year = 0, month = 0, day = 0;
        if (!Mrim::SplitBirthday(*v, year, month, day)) year = month = day = 0;
        SetInt(data, item, L"DAX: birth year", year);
        SetInt(data, item, L"DAX: birth month", month);
        SetInt(data, item, L"DAX: birth day", day);
    }
}

} // namespace

int MrimAccount::GetOwnDetailsPages(void* pages)
{
    RequestWebSession(0, CZELString());
    AppendPane(pages, NewOwnDetailsPane(unsigned(OwnQueue())));
    return 0;
}

int MrimAccount::GetContactDetailsPages(int contactId, void* pages)
{
    if (MrimContact* contact = contactList.FindByContactId(contactId)) RequestContactDetails(contact->email);
    AppendPane(pages, NewGeneralPane(Data(), contactId));
    AppendPane(pages, NewHomePane(Data(), contactId));
    AppendPane(pages, NewPersonalPane(Data(), contactId));
    return 0;
}

int MrimAccount::GetSearchPages(void* pages)
{
    searchQuery = SearchQuery();
    AppendPane(pages, NewEmailSearchPane(unsigned(OwnQueue())));
    AppendPane(pages, NewGlobalSearchPane(unsigned(OwnQueue())));
    return 0;
}

int MrimAccount::Search(intptr_t kind)
{
    if (kind == 0 || kind == 1) searchQuery.kind = int(kind);
    Mrim::Bytes body;
    if (searchQuery.kind == 0) {
        body = Mrim::AddressSearchBody(searchQuery.email);
    } else if (searchQuery.kind == 1) {
        Mrim::NormaliseAges(searchQuery.fields);
        body = Mrim::FieldSearchBody(searchQuery.fields);
    }
    // Nothing to send, or no session to send it on: the search is over at once, so the search
    // dialog does not wait for rows that never come.
    if (body.empty() || status < 2) {
        Notify(GUID_DAX_PROTOCOL, ACC_SEARCH_RESULT);
        return 0;
    }
    SendPacket(Mrim::CmdDirectoryRequest, body, Mrim::SearchSequenceMark | NextSequence());
    return 0;
}

void MrimAccount::RequestContactDetails(const CZELString& email)
{
    Mrim::Bytes body = Mrim::AddressSearchBody(email);
    if (!body.empty()) SendPacket(Mrim::CmdDirectoryRequest, body, Mrim::DetailsSequenceMark | NextSequence());
}

void MrimAccount::OnAnketa(const Mrim::Packet& packet)
{
    IContactListData* data = Data();
    if (!data) return;
    const bool details = (packet.header.sequence & Mrim::DetailsSequenceMark) == Mrim::DetailsSequenceMark;
    Mrim::Anketa anketa;
    if (!Mrim::ParseAnketa(packet.body, packet.length, anketa)) anketa.status = 0;
    if (anketa.status != 1) {
        if (!details) Notify(GUID_DAX_PROTOCOL, ACC_SEARCH_RESULT);
        return;
    }
    const CZELTime today;
    for (const Mrim::AnketaRow& row : anketa.rows) {
        const CZELString* user = Column(row, L"username");
        const CZELString* domain = Column(row, L"domain");
        if (!user || !domain) continue;
        const CZELString email = *user + L"@" + *domain;
        if (details) {
            MrimContact* contact = contactList.FindByEmail(email);
            if (!contact || !contact->clContactId) continue;
            WriteDetails(data, contact->clContactId, row);
            Notify(GUID_DAX_PROTOCOL, ACC_CONTACT_DETAILS_CHANGED, NewValue(contact->clContactId));
            continue;
        }
        SearchResultRow result;
        result.contactId = data->FindOrAddContact(accountId, email);
        const CZELString* wireStatus = Column(row, L"mrim_status");
        const CZELString* uri = Column(row, L"status_uri");
        if (wireStatus && uri)
            result.images = DaxShared::StatusRecord(Mrim::StatusFromWire(wireStatus->Uint(false), *uri)).images;
        result.account = result.email = email;
        if (const CZELString* v = Column(row, L"nickname")) result.nickname = *v;
        if (const CZELString* v = Column(row, L"firstname")) result.firstName = *v;
        if (const CZELString* v = Column(row, L"lastname")) result.lastName = *v;
        if (const CZELString* v = Column(row, L"sex")) {
            unsigned sex = v->Uint(false);
            result.gender = sex == 1 ? 2 : sex == 2 ? 1 : 0;
        }
        if (const CZELString* v = Column(row, L"birthday")) {
            int year = 0, month = 0, day = 0;
            if (Mrim::SplitBirthday(*v, year, month, day))
                result.age = Mrim::AgeOn(year, month, day, today.Year(), today.Month(), today.Day());
        }
        if (result.contactId) {
            WriteDetails(data, result.contactId, row);
            // A contact of the list keeps the name the user gave it.
            if (Column(row, L"nickname") && data->IsTempContact(result.contactId))
                data->SetPropertyString(result.contactId, CZELString(L"CL Alias"), result.nickname);
        }
        Notify(GUID_DAX_PROTOCOL, ACC_SEARCH_RESULT, new (std::nothrow) CSearchResultPayload(result));
    }
    if (!details) Notify(GUID_DAX_PROTOCOL, ACC_SEARCH_RESULT);
}
