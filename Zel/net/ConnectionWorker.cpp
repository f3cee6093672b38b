#include "Zel/net/ConnectionWorker.h"

#include "Handheld/ConnMgr.h"
#include "Zel/core/bus/Payloads.h"
#include "Zel/net/ConnectionManagerApi.h"
#include "Zel/net/SecureChannel.h"
#include "Zel/net/ServiceLink.h"

#include <algorithm>

namespace {

// The workers running in the process. Never freed: a worker may end after the program's static
// objects are gone, while the process exits.
struct WorkerCount {
    CZELCriticalSection lock;
    HANDLE idle;  // manual reset: set while no worker runs
    int running;
};

WorkerCount& Workers()
{
    static WorkerCount* count = [] {
        WorkerCount* made = new WorkerCount;
        made->idle = CreateEventW(nullptr, TRUE, TRUE, nullptr);
        made->running = 0;
        return made;
    }();
    return *count;
}

void WorkerStarted()
{
    WorkerCount& count = Workers();
    CZELLock hold(count.lock);
    if (count.running++ == 0) ResetEvent(count.idle);
}

void WorkerEnded()
{
    WorkerCount& count = Workers();
    CZELLock hold(count.lock);
    if (--count.running == 0) SetEvent(count.idle);
}

}  // namespace

int RunningConnectionWorkers()
{
    WorkerCount& count = Workers();
    CZELLock hold(count.lock);
    return count.running;
}

bool WaitForConnectionWorkers(DWORD milliseconds)
{
    return WaitForSingleObject(Workers().idle, milliseconds) == WAIT_OBJECT_0;
}

CConnectionWorker::CConnectionWorker(std::shared_ptr<CServiceLink> link, int ownerQueue, CConnection* about,
                                     uint64_t serial, const ConnectionSettings& settings)
    : settings(settings), networkConnection(nullptr), abortEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      link(std::move(link)), ownerQueue(ownerQueue), about(about), serial(serial), socket(INVALID_SOCKET),
      closing(false), open(false)
{
}

CConnectionWorker::~CConnectionWorker()
{
    // The thread has ended, or never ran: nothing of it is left but what it did not close.
    CloseSocket();
    CloseTransport();
    ReleaseNetwork(1);
    if (abortEvent) CloseHandle(abortEvent);
}

DWORD WINAPI ConnectionThreadProc(void* argument)
{
    typedef std::shared_ptr<CConnectionWorker> Held;
    std::unique_ptr<Held> held(static_cast<Held*>(argument));
    if (!held || !*held) return DWORD(-1);
    // The worker's own hold on Winsock: the service may stop its own while a look-up is stuck here.
    WSADATA data;
    bool winsock = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    RunConnectionWorker(held->get());
    held.reset();  // the worker and all it owns go now, unless its connection still holds it
    if (winsock) WSACleanup();
    WorkerEnded();
    return 0;
}

bool CConnectionWorker::StartThread(const std::shared_ptr<CConnectionWorker>& worker)
{
    std::shared_ptr<CConnectionWorker>* held = new (std::nothrow) std::shared_ptr<CConnectionWorker>(worker);
    if (!held) return false;
    WorkerStarted();
    HANDLE thread = CreateThread(nullptr, 0, ConnectionThreadProc, held, 0, nullptr);
    if (!thread) {
        delete held;
        WorkerEnded();
        return false;
    }
    // Nobody waits for the thread: it ends on its own.
    CloseHandle(thread);
    return true;
}

void CConnectionWorker::Abort()
{
    {
        CZELLock hold(socketLock);
        closing = true;
        // Only the worker's own thread closes its socket, so the handle is never freed (and given to
        // another socket) while that thread still uses it; shutting it down wakes whatever waits in
        // it, and a connect in progress sees the flag.
        SOCKET s = socket.load();
        if (s != INVALID_SOCKET) shutdown(s, SD_BOTH);
    }
    if (abortEvent) SetEvent(abortEvent);
}

void CConnectionWorker::PostValue(int code, intptr_t value)
{
    link->Post(ownerQueue, about, serial, code, NewValue(value));
}

void CConnectionWorker::PostText(int code, const CZELString& text)
{
    link->Post(ownerQueue, about, serial, code, NewStringPayload(text));
}

bool CConnectionWorker::AdoptSocket(SOCKET s)
{
    socketLock.Enter();
    bool taken = !closing;
    SOCKET earlier = taken ? socket.exchange(s) : INVALID_SOCKET;
    socketLock.Leave();
    if (!taken) closesocket(s);
    if (earlier != INVALID_SOCKET) closesocket(earlier);
    return taken;
}

void CConnectionWorker::CloseSocket()
{
    // A Send uses the handle under sendLock: closing waits for it, so no send reaches a socket that
    // took this one's handle; Abort's shutdown has already woken a send blocked in it.
    CZELLock sending(sendLock);
    CZELLock hold(socketLock);
    SOCKET s = socket.exchange(INVALID_SOCKET);
    if (s == INVALID_SOCKET) return;
    shutdown(s, SD_BOTH);
    closesocket(s);
}

void CConnectionWorker::SetSecureChannel(std::unique_ptr<CSecureChannel> channel)
{
    CZELLock hold(sendLock);
    secure = std::move(channel);
}

void CConnectionWorker::OpenTransport()
{
    CZELLock hold(sendLock);
    open = true;
}

void CConnectionWorker::CloseTransport()
{
    // Taken after the socket is closed, so a Send blocked in it has already returned.
    CZELLock hold(sendLock);
    open = false;
    secure.reset();
}

int CConnectionWorker::SendAll(const char* data, int length, int flags)
{
    int error = 0;
    CZELLock hold(sendLock);
    SOCKET s = socket.load();
    if (!open || s == INVALID_SOCKET) {
        error = WSAENOTCONN;
    } else if (secure) {
        error = secure->Send(s, data, length);
    } else {
        // send may take less than it was given; the rest follows until all is gone or it fails.
        int sent = 0;
        while (sent < length) {
            int result = send(s, data + sent, length - sent, flags);
            if (result == SOCKET_ERROR) {
                error = WSAGetLastError();
                if (!error) error = WSAECONNABORTED;
                break;
            }
            sent += result;
        }
    }
    return error;
}

bool CConnectionWorker::QueueChunk(const char* data, int length)
{
    if (!chunks.Append(data, length)) return false;
    PostValue(CM_DATA_RECEIVED, length);
    return true;
}

bool CConnectionWorker::QueueChunks(const char* data, size_t length)
{
    // Each burst of notices goes after its chunks are queued.
    intptr_t lengths[CServiceLink::MaxBurst];
    while (length > 0) {
        int count = 0;
        bool kept = true;
        while (length > 0 && count < CServiceLink::MaxBurst) {
            int piece = int(std::min<size_t>(CChunkQueue::MaxChunk, length));
            kept = chunks.Append(data, piece);
            if (!kept) break;
            lengths[count++] = piece;
            data += piece;
            length -= size_t(piece);
        }
        if (count > 0) link->PostValues(ownerQueue, about, serial, CM_DATA_RECEIVED, lengths, count);
        if (!kept) return false;
    }
    return true;
}

void CConnectionWorker::ReleaseNetwork(long cache)
{
    if (!networkConnection) return;
    ConnMgrReleaseConnection(networkConnection, cache);
    networkConnection = nullptr;
}
