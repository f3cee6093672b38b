// Winsock's header must come before anything that brings in windows.h.
#include <winsock2.h>

#include "Zel/net/Connection.h"

#include "Zel/core/bus/Payloads.h"
#include "Zel/net/ConnectionWorker.h"
#include "Zel/net/ServiceLink.h"

#include <new>

namespace {

// Serials of Connects, process-wide: 64 bits never wrap, so none is ever handed out twice.
uint64_t NewSerial()
{
    static std::atomic<uint64_t> last(0);
    return ++last;
}

}  // namespace

CConnection::CConnection(std::shared_ptr<CServiceLink> link, int ownerQueue)
    : ownerQueue(ownerQueue), link(std::move(link)), nextSerial(NewSerial())
{
}

CConnection::~CConnection()
{
    Close();
}

bool CConnection::Start(const ConnectionSettings& settings)
{
    std::shared_ptr<CConnectionWorker> worker;
    try {
        worker = std::make_shared<CConnectionWorker>(link, ownerQueue, this, nextSerial.exchange(NewSerial()),
                                                     settings);
    } catch (...) {
        return false;
    }
    if (!worker->abortEvent) return false;
    std::shared_ptr<CConnectionWorker> earlier;
    {
        CZELLock hold(lock);
        earlier = std::move(current);
        current = worker;
    }
    // One worker per connection: the earlier one ends on its own, under its own serial.
    if (earlier) earlier->Abort();
    return CConnectionWorker::StartThread(worker);
}

void CConnection::Close()
{
    std::shared_ptr<CConnectionWorker> worker = Current();
    if (worker) worker->Abort();
}

std::shared_ptr<CConnectionWorker> CConnection::Current()
{
    CZELLock hold(lock);
    return current;
}

int CConnection::SendAll(const char* data, int length, int flags)
{
    std::shared_ptr<CConnectionWorker> worker = Current();
    return worker ? worker->SendAll(data, length, flags) : WSAENOTCONN;
}

int CConnection::TakeReceivedData(void* buffer, int size)
{
    std::shared_ptr<CConnectionWorker> worker = Current();
    return worker ? worker->TakeReceivedData(buffer, size) : 0;
}

void CConnection::PostValue(int code, intptr_t value)
{
    std::shared_ptr<CConnectionWorker> worker = Current();
    link->Post(ownerQueue, this, worker ? worker->Serial() : 0, code, NewValue(value));
}
