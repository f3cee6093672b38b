// CConnectionWorker: one Connect of a connection, its worker thread and everything that thread works
// on: the copy of the settings, the network connection, the socket and its secure channel, the abort
// event and the received chunks. The connection and the thread share it, and whichever lets go
// last frees it, so the thread, which may outlive the connection and the service (stuck in a name
// look-up when Close comes), never touches anything freed. Its messages carry its Connect's serial
// and go through the service link, which the service cuts as it ends.
//
// The worker does all the slow work on its own thread: it attaches the device to a network,
// connects directly or through a proxy, runs the secure handshake when asked, reports the outcome as
// one CM_CONNECT_RESULT, and then receives until the connection ends. It never waits for anybody,
// and nobody waits for it: every message is posted without waiting, and Abort only asks it to end.
//
// Between the threads:
// - the worker writes settings (the network's proxy), networkConnection and the socket while it
//   connects, and appends received chunks; only the socket is touched by others: Abort takes it
//   away at once, so that the worker's blocking calls fail;
// - once Abort has come, no new socket is taken in, so a worker walking its addresses cannot slip a
//   fresh one past it;
// - Send goes through the transport the worker opens when the connection is made (plain, or the
//   secure channel after its handshake); before that, and after the end, Send fails.
#pragma once

// Winsock's header must come before anything that brings in windows.h.
#include <winsock2.h>

#include "Zel/net/ChunkQueue.h"
#include "Zel/net/ConnectionSettings.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

class CConnection;
class CSecureChannel;
class CServiceLink;

class CConnectionWorker {
public:
    // about: the connection the messages name (never touched); serial: its Connect's.
    CConnectionWorker(std::shared_ptr<CServiceLink> link, int ownerQueue, CConnection* about, uint64_t serial,
                      const ConnectionSettings& settings);
    // Closes what the thread left open and frees the queued chunks.
    ~CConnectionWorker();

    CConnectionWorker(const CConnectionWorker&) = delete;
    CConnectionWorker& operator=(const CConnectionWorker&) = delete;

    // Starts worker's thread, which holds worker until it ends: false when it could not be started.
    static bool StartThread(const std::shared_ptr<CConnectionWorker>& worker);
    // Asks the worker to end: no new socket is taken, the socket is shut down (its own thread closes
    // it), the abort event set. Returns at once; the worker posts what it has to and ends alone.
    void Abort();
    // Abort has come.
    bool IsClosing() const { return closing.load(); }

    uint64_t Serial() const { return serial; }
    // Messages to the owner queue: p1 names the connection and this Connect's serial, p2 holds
    // value or text.
    void PostValue(int code, intptr_t value);
    void PostText(int code, const CZELString& text);

    // The socket. AdoptSocket stores s; once Abort has come it closes s and answers false.
    bool AdoptSocket(SOCKET s);
    // Shuts down and closes the socket, if one is held. The worker's own thread only (and the
    // destructor), so that the handle is never freed while that thread uses it.
    void CloseSocket();
    SOCKET Socket() const { return socket.load(); }

    // The secure channel: prepared while connecting, opened by the handshake.
    void SetSecureChannel(std::unique_ptr<CSecureChannel> channel);
    CSecureChannel* SecureChannel() const { return secure.get(); }
    // Makes Send go through the connection (the secure channel, when there is one).
    void OpenTransport();
    // Ends Send's use of the connection and drops the secure channel.
    void CloseTransport();
    // Sends all of data through the open transport: 0, or the error that stopped it.
    int SendAll(const char* data, int length, int flags);

    // Appends a copy of data (1 to MaxChunk bytes) as one chunk and posts CM_DATA_RECEIVED; false
    // when it could not be kept.
    bool QueueChunk(const char* data, int length);
    // Appends data (any length) as chunks of at most MaxChunk bytes and posts their CM_DATA_RECEIVED
    // notices as one burst; false when a chunk could not be kept (those before it are posted).
    bool QueueChunks(const char* data, size_t length);
    // Copies up to size bytes of the first chunk, removing what was taken: the count, 0 when none.
    int TakeReceivedData(void* buffer, int size) { return chunks.Take(buffer, size); }

    // Gives the network connection back (cache as the platform takes it) and forgets it.
    void ReleaseNetwork(long cache);

    ConnectionSettings settings;
    HANDLE networkConnection;  // 0 when none
    HANDLE abortEvent;         // auto-reset; set by Abort; null when it could not be made

private:
    const std::shared_ptr<CServiceLink> link;
    const int ownerQueue;
    CConnection* const about;
    const uint64_t serial;

    CZELCriticalSection socketLock;  // orders AdoptSocket and CloseSocket against Abort; after sendLock
    std::atomic<SOCKET> socket;
    std::atomic<bool> closing;

    CZELCriticalSection sendLock;  // held by Send for its whole call; guards open and secure's life
    bool open;
    std::unique_ptr<CSecureChannel> secure;

    CChunkQueue chunks;
};

// Workers whose thread has started and not yet ended, in the whole process.
int RunningConnectionWorkers();
// Waits at most milliseconds until no worker runs in the process: true when none does.
bool WaitForConnectionWorkers(DWORD milliseconds);

// The thread procedure StartThread starts, given a heap copy of the worker's shared pointer, which
// it frees; -1 for none.
DWORD WINAPI ConnectionThreadProc(void* worker);

// The worker's steps, on its thread: attach, connect (directly or through a proxy), secure,
// report, receive; posts CM_CONNECT_RESULT once and, after a good one, CM_DISCONNECTED once.
void RunConnectionWorker(CConnectionWorker* worker);

// Asks the platform's Connection Manager for a network connection to the destination (or to the
// proxy) and waits for it; may take over the network's proxy into the settings. 0 attached; -1
// failed, after posting "Network error" and the detail; the wait's result when the Connection
// Manager did not become ready (nothing posted).
int AttachNetwork(CConnectionWorker* worker);

// Resolves host and connects the worker's socket to the first address that takes it, preparing the
// secure channel on it when the settings ask for one. 0 connected; otherwise the look-up's error or
// the last socket error, never 0, after posting the error text.
int ConnectToHost(CConnectionWorker* worker, const CZELString& host, int port);

// The text of a Connection Manager status; empty for a status without one.
CZELString GetConnMgrStatusText(int status);

// How long AttachNetwork waits for the Connection Manager to become ready, and for each change of
// the network connection's state. Tests shorten them; the program keeps the defaults.
struct AttachWaitLimits {
    DWORD readyMilliseconds = 10000;
    DWORD statusMilliseconds = 60000;
};
void SetAttachWaitLimits(const AttachWaitLimits& limits);
AttachWaitLimits GetAttachWaitLimits();
