// The account's timers: the keep-alive frame every 120 s while online, and the reconnection 15 s
// after a connection was lost while it was wanted.
#include "Wex/proto/account/WexAccount.h"

#include "Wex/proto/SignOnCommands.h"
#include "Wex/proto/account/PluginState.h"
#include "Wex/proto/account/ReconnectWait.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/bus/ServicesManager.h"
#include "ZELCommon/ZELTime.h"

#include <new>

void WexAccount::StartReconnect()
{
    if (!values.GetKeepAlive()) return;
    if (!SignedOn) {
        // The server never let the account in: the next attempt goes to the next preset host.
        int index = (values.GetLastServerIndex() + 1) & 0xFF;
        if (index >= int(PresetLoginHosts().size())) index = 0;
        values.SetLastServerIndex(index);
    }
    StopReconnect();
    ReconnectThread.reset(new (std::nothrow) ReconnectWait(services, OwnQueue(), RestoreStatus, ReconnectDelay,
                                                           L"WEX " + Settings.Uin + L" reconnection"));
}

void WexAccount::StopReconnect()
{
    ReconnectThread.reset();
}

void WexAccount::StartKeepAlive()
{
    const CZELTime due(CZELTime().GetUnixTime() + KeepAliveInterval / 1000);
    Notify(GUID_WEX_PROTOCOL, ACC_TIMER_START,
           new (std::nothrow) CTimerPayload(due, &WexAccount::KeepAliveTick, intptr_t(AccountId())));
}

void WexAccount::StopKeepAlive()
{
    Notify(GUID_WEX_PROTOCOL, ACC_TIMER_STOP,
           new (std::nothrow) CCallbackPayload(&WexAccount::KeepAliveTick, intptr_t(AccountId())));
}

unsigned WexAccount::KeepAliveTick(intptr_t context)
{
    unsigned next = 0;
    WexPlugin::Accounts().WithAccountId(unsigned(context), [&next](WexAccount* account) {
        if (account->CurrentStatus() >= AccountStatus::Online && account->PostRequest(RequestKeepAlive, 0))
            next = KeepAliveInterval;
    });
    return next;
}

void WexAccount::SendKeepAlive()
{
    if (CurrentStatus() >= AccountStatus::Online) SendPacket(Wex::KeepAliveFrame(NextFlapSequence()));
}
