#include "Wex/proto/account/WexAccount.h"

#include "Wex/proto/account/AccountDialogs.h"
#include "Wex/proto/account/PluginState.h"
#include "Wex/proto/account/ReconnectWait.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "ZELCommon/ZELRand.h"

const ZEL_GUID AccountRequestClass = {0x5E6A7C01, 0x3B2D, 0x4F10, {0x9A, 0x41, 0x7E, 0x22, 0x0C, 0x5B, 0x91, 0x3D}};

WexAccount::WexAccount(Services::CServicesManager* services, unsigned accountId, unsigned ownerQueue)
    : ServiceEventListener(services, accountId, ownerQueue),
      values(services, accountId),
      status(AccountStatus::Offline),
      RequestedStatus(AccountStatus::Offline),
      Connection(nullptr),
      FlapSequence((unsigned short)(CZELRand::Rand() & 0x7FFF)),
      PrivacyMode(0),
      XStatusTexts(XStatusCount),
      XStatusIndex(0),
      SignedOn(false),
      RestoreStatus(AccountStatus::Offline),
      loaded(false)
{
}

WexAccount::~WexAccount()
{
    // No message may run while the members go: the queue is stopped (and what waits in it dropped)
    // first. Unload has closed the connection and ended the reconnect thread; this catches an
    // account destroyed without it.
    StopQueue();
    StopReconnect();
}

CZELString WexAccount::GetListenerName()
{
    return CZELString(L"WEX");
}

int WexAccount::GetDisplayName(CZELString* out)
{
    if (out) *out = Settings.Uin;
    return 0;
}

int WexAccount::GetStatus()
{
    return status.load();
}

int WexAccount::GetStatusInfo(int status, StatusEntry* out)
{
    StatusEntry row;
    if (out && StatusRow(status, row)) *out = row;
    return 0;
}

int WexAccount::GetSettingsPages(void* pages)
{
    return WexDialogs::AddSettingsPages(this, pages);
}

int WexAccount::GetOwnDetailsPages(void* pages)
{
    return WexDialogs::AddOwnDetailsPages(this, pages);
}

int WexAccount::GetContactDetailsPages(int contactId, void* pages)
{
    return WexDialogs::AddContactDetailsPages(this, contactId, pages);
}

int WexAccount::GetSearchPages(void* pages)
{
    return WexDialogs::AddSearchPages(this, pages);
}

int WexAccount::OnErrorText(CConnection*, const CZELString& text)
{
    ReportWarning(text);
    return 0;
}

void WexAccount::ReportWarning(const CZELString& text)
{
    Notify(GUID_WEX_PROTOCOL, ACC_WARNING, NewStringPayload(text));
}

void WexAccount::NotifyAccountNameChanged()
{
    Notify(GUID_WEX_PROTOCOL, ACC_NAME_CHANGED);
}

XStatusText WexAccount::GetXStatusText(int entry)
{
    CZELLock hold(xStatusLock);
    return entry >= 0 && entry < int(XStatusTexts.size()) ? XStatusTexts[size_t(entry)] : XStatusText();
}

void WexAccount::SetXStatusText(int entry, const XStatusText& text)
{
    CZELLock hold(xStatusLock);
    if (entry >= 0 && entry < int(XStatusTexts.size())) XStatusTexts[size_t(entry)] = text;
}

bool WexAccount::PostRequest(int request, intptr_t value)
{
    return PostToSelf(AccountRequestClass, request, NewValue(value));
}

int WexAccount::OnOtherMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject*)
{
    if (msgClass != AccountRequestClass) return 0;
    const int value = int(ValueOf(p1));
    switch (code) {
    case RequestKeepAlive: SendKeepAlive(); break;
    case RequestMenuStatus: OnMenuStatus(value); break;
    case RequestXStatus: SetXStatus(value); break;
    case RequestPrivacy: SetPrivacyStatus(value & 0xFF, false); break;
    case RequestContactXStatus:
        if (Wex::ServerListItem* item = ServerList.FindItemByContact(int(value))) AskForXStatus(*item);
        break;
    default: break;
    }
    return 0;
}
