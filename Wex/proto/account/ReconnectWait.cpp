#include "Wex/proto/account/ReconnectWait.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/bus/Payloads.h"
#include "Zel/core/bus/ServicesManager.h"

ReconnectWait::ReconnectWait(Services::CServicesManager* bus, int queue, int restoreStatus, unsigned delay,
                             const CZELString& name)
    : bus(bus), queue(queue), restoreStatus(restoreStatus), delay(delay), thread(name, &Run, this)
{
    thread.Resume();
}

ReconnectWait::~ReconnectWait()
{
    cancel.Set();
    thread.WaitTermination(INFINITE);
}

unsigned long ReconnectWait::Run(void* argument)
{
    ReconnectWait* self = static_cast<ReconnectWait*>(argument);
    if (self->restoreStatus < AccountStatus::Online) return 0;
    if (self->cancel.Wait(self->delay)) return 0;
    self->bus->SendMessage(self->queue, GUID_PROTOCOLS_MANAGER, PM_SET_STATUS, NewValue(self->restoreStatus), nullptr,
                           false);
    return 0;
}
