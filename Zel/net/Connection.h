// CConnection: one client connection of the connection service. Clients only hold its address; the
// service and the connection's worker thread work on it.
//
// Ownership between threads:
// - the worker writes settings (the network's proxy), networkConnection and the socket while it
//   connects, and appends received chunks; Close reads the fields only after the worker has ended,
//   except the socket, which it takes away at once so that the worker's blocking calls fail;
// - once Close has begun, no new socket is taken in, so a worker walking its addresses cannot slip
//   a fresh one past it;
// - Send goes through the transport the worker opens when the connection is made (plain, or the
//   secure channel after its handshake); before that, and after the end, Send fails.
#pragma once

// Winsock's header must come before anything that brings in windows.h.
#include <winsock2.h>

#include "Zel/net/ConnectionSettings.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>

namespace Services {
class CServicesManager;
}
class CSecureChannel;

// One successful receive: 1 to MaxChunk bytes, exactly as received, in a block of exactly that size.
struct ReceivedChunk {
    int length;
    char* data;
};

class CConnection {
public:
    enum { MaxChunk = 1024 };

    CConnection(Services::CServicesManager& bus, int ownerQueue);
    // Closes the connection (as Close) and frees every queued chunk.
    virtual ~CConnection();

    CConnection(const CConnection&) = delete;
    CConnection& operator=(const CConnection&) = delete;

    // Copies settings and starts a worker, whose messages carry the serial NextSerial gave; an
    // earlier worker of this connection is closed first. False when no thread could be started.
    bool Start(const ConnectionSettings& settings);
    // The serial the next Start takes.
    uint64_t NextSerial() const { return nextSerial.load(); }
    // Closes the socket, stops the worker (waiting for it without limit) and gives the network back.
    void Close();

    // Sends all of data through the open transport: 0, or the error that stopped it.
    int SendAll(const char* data, int length, int flags);
    // Copies up to size bytes of the first chunk, removing what was taken: the count, 0 when none.
    int TakeReceivedData(void* buffer, int size);
    // Appends a copy of data (1 to MaxChunk bytes) as one chunk and posts CM_DATA_RECEIVED; false
    // when no memory could be had for it.
    bool QueueChunk(const char* data, int length);
    int QueuedChunkCount();

    // Messages to the owner queue: p1 names this connection and the serial of its latest Start, p2
    // holds value or text.
    void PostValue(int code, intptr_t value);
    void PostText(int code, const CZELString& text);

    // The worker's socket. AdoptSocket stores s; once Close has begun it closes s and answers false.
    bool AdoptSocket(SOCKET s);
    // Shuts down and closes the socket, if one is held.
    void CloseSocket();
    SOCKET Socket() const { return socket.load(); }
    // Close has begun (and the worker has not been restarted since).
    bool IsClosing() const { return closing.load(); }

    // The worker's secure channel: prepared while connecting, opened by the handshake.
    void SetSecureChannel(std::unique_ptr<CSecureChannel> channel);
    CSecureChannel* SecureChannel() const { return secure.get(); }
    // Makes Send go through the connection (the secure channel, when there is one).
    void OpenTransport();
    // Ends Send's use of the connection and drops the secure channel.
    void CloseTransport();

    // Gives the network connection back (cache as the platform takes it) and forgets it.
    void ReleaseNetwork(long cache);

    const int ownerQueue;
    ConnectionSettings settings;
    HANDLE networkConnection;  // 0 when none
    HANDLE workerThread;       // 0 when none
    HANDLE abortEvent;         // auto-reset; set by Close

private:
    Services::CServicesManager& bus;

    std::atomic<uint64_t> serial;      // of the latest Start; 0 before the first
    std::atomic<uint64_t> nextSerial;

    CZELCriticalSection socketLock;  // orders AdoptSocket against Close
    std::atomic<SOCKET> socket;
    std::atomic<bool> closing;

    CZELCriticalSection sendLock;  // held by Send for its whole call; guards open and secure's life
    bool open;
    std::unique_ptr<CSecureChannel> secure;

    CZELCriticalSection chunksLock;
    std::deque<ReceivedChunk> chunks;
};
