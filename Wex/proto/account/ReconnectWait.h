// ReconnectWait: the reconnect thread and what it needs. It waits, then asks the account's queue for
// the status to restore (PM_SET_STATUS, as the manager would), and touches nothing of the account.
// Destroying it sets the event and waits for the thread to end, which it does at once: it never
// blocks on anything else, and posting to a queue does not wait for the queue.
#pragma once

#include "ZELCommon/ZELEvent.h"
#include "ZELCommon/ZELString.h"
#include "ZELCommon/ZELThread.h"

namespace Services {
class CServicesManager;
}

class ReconnectWait {
public:
    // Starts the thread; with restoreStatus below Online it ends at once and asks nothing.
    ReconnectWait(Services::CServicesManager* bus, int queue, int restoreStatus, unsigned delay, const CZELString& name);
    ~ReconnectWait();

    ReconnectWait(const ReconnectWait&) = delete;
    ReconnectWait& operator=(const ReconnectWait&) = delete;

private:
    static unsigned long Run(void* argument);

    Services::CServicesManager* const bus;
    const int queue;
    const int restoreStatus;
    const unsigned delay;
    CZELEvent cancel;
    CZELThread thread;  // last: it starts once everything it reads is set
};
