// CConnection: one client connection of the connection service, as its owner holds it: the owner
// queue, the serial its next Connect takes, and the worker of its latest Connect. Clients only hold
// its address.
//
// Nothing here waits for a worker. A new Connect, Close and the destructor tell the worker to end
// and let go of it; the worker, which owns everything it works on, finishes alone, and whatever it
// still posts carries its own Connect's serial.
#pragma once

#include "Zel/net/ChunkQueue.h"
#include "Zel/net/ConnectionSettings.h"
#include "ZELCommon/ZELCriticalSection.h"

#include <atomic>
#include <cstdint>
#include <memory>

class CConnectionWorker;
class CServiceLink;

class CConnection {
public:
    enum { MaxChunk = CChunkQueue::MaxChunk };

    CConnection(std::shared_ptr<CServiceLink> link, int ownerQueue);
    // Closes the connection (as Close).
    virtual ~CConnection();

    CConnection(const CConnection&) = delete;
    CConnection& operator=(const CConnection&) = delete;

    // Starts a worker on a copy of settings, whose messages carry the serial NextSerial gave; an
    // earlier worker of this connection is told to end. False when no worker could be started.
    bool Start(const ConnectionSettings& settings);
    // Tells the worker to end: its socket is closed at once, it gives the network back itself.
    void Close();
    // The serial the next Start takes.
    uint64_t NextSerial() const { return nextSerial.load(); }

    // Sends all of data through the latest worker's open transport: 0, or the error that stopped it.
    int SendAll(const char* data, int length, int flags);
    // Copies up to size bytes of the latest worker's first chunk: the count, 0 when none.
    int TakeReceivedData(void* buffer, int size);
    // Posts a message about the latest Connect (serial 0 before the first) to the owner queue.
    void PostValue(int code, intptr_t value);

    const int ownerQueue;

private:
    std::shared_ptr<CConnectionWorker> Current();

    const std::shared_ptr<CServiceLink> link;
    std::atomic<uint64_t> nextSerial;
    CZELCriticalSection lock;  // guards current, which Send may read on another thread
    std::shared_ptr<CConnectionWorker> current;
};
