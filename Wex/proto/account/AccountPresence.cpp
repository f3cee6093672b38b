// Contacts' presence: arrivals and departures, the icons the contact list shows for a contact
// (status, x-status, client, list marks), the answer to a status check; and x-statuses both ways:
// the own one announced and told to those who ask, those of contacts asked for and shown.
#include "Wex/proto/account/WexAccount.h"

#include "Wex/proto/CapabilityTable.h"
#include "Wex/proto/ContactRules.h"
#include "Wex/proto/IncomingMessage.h"
#include "Wex/proto/LocationCommands.h"
#include "Wex/proto/MessageCommands.h"
#include "Wex/proto/UserInfo.h"
#include "Wex/proto/XStatusTable.h"
#include "Wex/proto/account/PictureNames.h"
#include "Wex/proto/account/PluginState.h"
#include "Wex/proto/account/StatusMapping.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "ZELCommon/ZELRand.h"

#include <new>
#include <string>

namespace {

enum {
    QueryRequestId = 6,
    AnswerRequestId = 11,
    LocationInfoRequestId = 4,
    CapabilitiesTlv = 0x000D,
};

// The picture entries of a contact's icons.
enum {
    PictureOffline = 0,
    PictureScreenNameOffline = 1,
    PictureOnline = 3,
    PictureOwnClient = 4,
    PictureScreenNameOnline = 5,
    PictureInvisible = 6,
    PictureNotInList = 18,
    PictureInVisibleList = 62,
    PictureInInvisibleList = 63,
    PictureInIgnoreList = 64,
    PictureAwaitingAuthorization = 65,
};

// The statuses announced as capabilities, by status 5 to 10.
const wchar_t* const kStatusCapabilities[] = {L"caStatusFFC",  L"caStatusEvil",  L"caStatusDepression",
                                              L"caStatusHome", L"caStatusWork", L"caStatusLunch"};

SharedTables& Shared()
{
    return WexPlugin::Shared();
}

int Picture(int entry)
{
    return Shared().Image(entry);
}

// The status a capability stands for, or 0.
int StatusOfCapability(const CZELString& name)
{
    for (int i = 0; i < 6; ++i)
        if (name == kStatusCapabilities[i]) return AccountStatus::FreeForChat + i;
    return 0;
}

bool PropertyByteIsOne(IContactListData& data, int contactId, const wchar_t* name)
{
    char value = 0;
    return data.GetPropertyByte(contactId, CZELString(name), &value) && value == 1;
}

} // namespace

void WexAccount::HandleBuddyFamily(unsigned short subtype, const unsigned char* frame, size_t size)
{
    if (subtype == 0x0B)
        HandleArrival(frame, size);
    else if (subtype == 0x0C)
        HandleDeparture(frame, size);
}

void WexAccount::HandleArrival(const unsigned char* frame, size_t size)
{
    Wex::UserOnlineInfo info;
    if (!info.Unpack(frame, size)) return;
    Wex::ServerListItem* item = ServerList.FindBuddy(info.name);
    if (!item) return;
    item->Status = WexStatus::FlagsToStatus(info.GetStatus());
    item->UserInfo = info.items;
    if (const Wex::Tlv* capabilities = info.items.Find(CapabilitiesTlv)) {
        if (Wex::FindXStatus(info.items) != 0) item->HasXStatus = 1;
        // The statuses this network has no word for travel as capabilities; the last one counts.
        const Wex::CapabilityTable& table = Shared().Capabilities();
        for (size_t at = 0; at + 16 <= capabilities->GetLength(); at += 16) {
            const Wex::CapabilityEntry* entry = table.FindByGuid(capabilities->GetValue() + at);
            const int status = entry ? StatusOfCapability(entry->name) : 0;
            if (status) item->Status = status;
        }
    }
    if (item->ContactId) NotifyIcons(item->ContactId);
}

void WexAccount::HandleDeparture(const unsigned char* frame, size_t size)
{
    Wex::UserOnlineInfo info;
    if (!info.Unpack(frame, size)) return;
    Wex::ServerListItem* item = ServerList.FindBuddy(info.name);
    if (!item) return;
    item->Status = AccountStatus::Offline;
    if (item->ContactId) NotifyIcons(item->ContactId);
    if (!item->IsTyping) return;
    item->IsTyping = 0;
    IContactListData* data = ContactList();
    if (data && item->ContactId) data->PostTypingNotify(item->ContactId, 1);
}

int WexAccount::GetContactIcons(int contactId, StatusInfo* out)
{
    if (out) *out = BuildContactIcons(contactId);
    return 0;
}

StatusInfo WexAccount::BuildContactIcons(int contactId)
{
    StatusInfo out;
    IContactListData* data = ContactList();
    if (!data) return out;
    CZELString uin;
    data->GetPropertyString(contactId, CZELString(L"Account name"), uin);
    const Wex::ServerListItem* item = ServerList.FindBuddy(uin);
    const bool inGroup = data->GetContactGroup(contactId) != 0;
    if (!item) {
        out.status = AccountStatus::Offline;
        out.kinds.Add(Picture(inGroup ? PictureOffline : PictureNotInList));
        return out;
    }
    if (!inGroup) {
        out.kinds.Add(Picture(PictureNotInList));
        return out;
    }
    const int status = item->Status;
    out.status = status;
    int base = PictureOffline;
    if (status == AccountStatus::Offline) {
        base = Wex::IsScreenName(*item) ? PictureScreenNameOffline : PictureOffline;
    } else if (status >= AccountStatus::Online) {
        if (Wex::DetectClient(Shared().Capabilities(), item->UserInfo) != 0)
            base = Settings.ShowStandardIcon ? PictureOnline : PictureOwnClient;
        else
            base = Wex::IsScreenName(*item) ? PictureScreenNameOnline : PictureOnline;
    }
    int main = base;
    if (status == AccountStatus::Invisible)
        main = PictureInvisible;
    else if (status >= AccountStatus::FreeForChat && status <= AccountStatus::DoNotDisturb)
        main = status + 3;
    out.kinds.Add(Picture(main));
    if (status > AccountStatus::Connecting) {
        const int xStatus = Wex::FindXStatus(item->UserInfo);
        if (xStatus) out.kinds.Add(Picture(WexPictures::XStatusFirst + xStatus));
        if (Settings.ShowClientsIcons) {
            const int client = Shared().ClientPicture(item->UserInfo);
            if (client != -1) out.images.Add(client);
        }
    }
    if (PropertyByteIsOne(*data, contactId, L"In visible list")) out.images.Add(Picture(PictureInVisibleList));
    if (PropertyByteIsOne(*data, contactId, L"In invisible list")) out.images.Add(Picture(PictureInInvisibleList));
    if (PropertyByteIsOne(*data, contactId, L"In ignore list")) out.images.Add(Picture(PictureInIgnoreList));
    if (item->Attributes.Find(Wex::TlvAwaitingAuth)) out.images.Add(Picture(PictureAwaitingAuthorization));
    return out;
}

void WexAccount::HandleLocationFamily(unsigned short subtype, const unsigned char* frame, size_t size)
{
    if (subtype == 0x03)
        SendPacket(Wex::SetLocationInfo(NextFlapSequence()));
    else if (subtype == 0x06)
        HandleStatusAnswer(frame, size);
}

void WexAccount::HandleStatusAnswer(const unsigned char* frame, size_t size)
{
    Wex::UserOnlineInfo info;
    if (!info.Unpack(frame, size)) return;
    const Wex::ServerListItem* item = ServerList.FindBuddy(info.name);
    if (!item) return;
    unsigned short flags = 0;
    const int status = info.TryGetStatus(flags) ? WexStatus::FlagsToStatus(flags) : AccountStatus::Offline;
    StatusEntry row;
    StatusRow(status, row);
    CZELString alias;
    if (IContactListData* data = ContactList()) data->GetPropertyString(item->ContactId, CZELString(L"CL Alias"), alias);
    ReportWarning(alias + L" \n" + row.name);
}

void WexAccount::SetXStatus(int index)
{
    XStatusIndex = index;
    const Wex::CapabilityTable& table = Shared().Capabilities();
    std::vector<Wex::CapabilityGuid> announced;
    if (index > 0) {
        const std::wstring name = L"capXS" + std::to_wstring(index) + L"pic";
        if (const Wex::CapabilityEntry* entry = table.FindByName(CZELString(name.c_str()))) announced.push_back(entry->guid);
    }
    // The status being set, not the one the server last reported: a change announces its own.
    const int status = RequestedStatus;
    if (status >= AccountStatus::FreeForChat && status <= AccountStatus::Lunch) {
        const wchar_t* name = kStatusCapabilities[status - AccountStatus::FreeForChat];
        if (const Wex::CapabilityEntry* entry = table.FindByName(CZELString(name))) announced.push_back(entry->guid);
    }
    if (Settings.ShowXStatusInStatusbar)
        Notify(GUID_WEX_PROTOCOL, ACC_ICON_SET, new (std::nothrow) CIconSetPayload(1, CZELArray<int>(1, XStatusImage())));
    if (CurrentStatus() > AccountStatus::Offline)
        SendPacket(Wex::SetLocationInfo(NextFlapSequence(), Settings.SendTypingNotification, announced));
}

void WexAccount::AskForXStatus(Wex::ServerListItem& item)
{
    if (item.Status < AccountStatus::Online) return;
    item.HasXStatus = 0;
    const int query = Wex::FindXStatus(item.UserInfo);
    if (query == 0) return;
    Wex::MessageCookie cookie;
    cookie.first = CZELRand::Rand();
    cookie.second = CZELRand::Rand();
    SendPacket(Wex::SendXStatusQuery(NextFlapSequence(), QueryRequestId, cookie, item.Name, query, Settings.Uin));
}

int WexAccount::RequestAuthorization(int contactId)
{
    Wex::ServerListItem* item = ServerList.FindItemByContact(contactId);
    if (Settings.XStatusAutoRequest && item && item->HasXStatus) AskForXStatus(*item);
    return 0;
}

void WexAccount::AnswerXStatusQuery(const unsigned char* frame, size_t size)
{
    Wex::IncomingMessage query;
    if (!query.Unpack(frame, size) || !query.IsXStatusQuery()) return;
    const int index = XStatusIndex;
    if (index < 1 || index > XStatusCount) return;
    if (!Wex::IsVisibleTo(ServerList, ServerList.FindBuddy(query.sender), PrivacyMode)) return;
    const XStatusText text = GetXStatusText(index - 1);
    Wex::MessageCookie cookie;
    cookie.first = query.cookie1;
    cookie.second = query.cookie2;
    SendPacket(Wex::XStatusResponse(NextFlapSequence(), AnswerRequestId, cookie, Settings.Uin, query.sender, index,
                                    text.title, text.description, query.messageSequence));
}

void WexAccount::DeliverXStatusReply(const CZELString& uin, const CZELString& title, const CZELString& description)
{
    const Wex::ServerListItem* item = ServerList.FindBuddy(uin);
    if (!item) return;
    const int index = Wex::FindXStatus(item->UserInfo);
    if (index == 0) return;
    // Shown as the contact wrote them: the answer carries them escaped twice, as ours does.
    DeliverIncomingMessage(uin, 2, Picture(WexPictures::XStatusFirst + index), Wex::XStatusNoticeText(title),
                           Wex::XStatusNoticeText(description));
}

void WexAccount::RefreshOnlineContacts(bool recognisedOnly)
{
    for (const Wex::ServerListItem& item : ServerList.Items) {
        if (!item.ContactId || item.Status < AccountStatus::Online) continue;
        if (recognisedOnly && Wex::DetectClient(Shared().Capabilities(), item.UserInfo) == 0) continue;
        NotifyIcons(item.ContactId);
    }
}
