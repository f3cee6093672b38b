#include "Zel/net/Connection.h"

#include "Handheld/ConnMgr.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/Payloads.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/net/ConnectionManagerApi.h"
#include "Zel/net/ConnectionWorker.h"
#include "Zel/net/SecureChannel.h"

#include <cstdlib>
#include <cstring>

namespace {

// Serials of Connects, process-wide: 64 bits never wrap, so none is ever handed out twice.
uint64_t NewSerial()
{
    static std::atomic<uint64_t> last(0);
    return ++last;
}

}  // namespace

CConnection::CConnection(Services::CServicesManager& bus, int ownerQueue)
    : ownerQueue(ownerQueue), networkConnection(nullptr), workerThread(nullptr),
      abortEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)), bus(bus), serial(0), nextSerial(NewSerial()),
      socket(INVALID_SOCKET), closing(false),
      open(false)
{
}

CConnection::~CConnection()
{
    Close();
    if (abortEvent) CloseHandle(abortEvent);
    chunksLock.Enter();
    for (ReceivedChunk& chunk : chunks) free(chunk.data);
    chunks.clear();
    chunksLock.Leave();
}

bool CConnection::Start(const ConnectionSettings& newSettings)
{
    // One worker per connection: a Connect while an earlier one still runs ends that one first.
    if (workerThread) Close();
    serial = nextSerial.exchange(NewSerial());
    settings = newSettings;
    if (abortEvent) ResetEvent(abortEvent);
    socketLock.Enter();
    closing = false;
    socketLock.Leave();
    workerThread = CreateThread(nullptr, 0, ConnectionThreadProc, this, 0, nullptr);
    return workerThread != nullptr;
}

void CConnection::Close()
{
    socketLock.Enter();
    closing = true;
    socketLock.Leave();
    CloseSocket();
    if (workerThread) {
        if (abortEvent) SetEvent(abortEvent);
        WaitForSingleObject(workerThread, INFINITE);
        CloseHandle(workerThread);
        workerThread = nullptr;
    }
    CloseTransport();
    // The worker gives the network back when it ends; this one is left only when it never ran.
    ReleaseNetwork(1);
}

bool CConnection::AdoptSocket(SOCKET s)
{
    socketLock.Enter();
    bool taken = !closing;
    SOCKET earlier = taken ? socket.exchange(s) : INVALID_SOCKET;
    socketLock.Leave();
    if (!taken) closesocket(s);
    if (earlier != INVALID_SOCKET) closesocket(earlier);
    return taken;
}

void CConnection::CloseSocket()
{
    SOCKET s = socket.exchange(INVALID_SOCKET);
    if (s == INVALID_SOCKET) return;
    shutdown(s, SD_BOTH);
    closesocket(s);
}

void CConnection::SetSecureChannel(std::unique_ptr<CSecureChannel> channel)
{
    sendLock.Enter();
    secure = std::move(channel);
    sendLock.Leave();
}

void CConnection::OpenTransport()
{
    sendLock.Enter();
    open = true;
    sendLock.Leave();
}

void CConnection::CloseTransport()
{
    // Taken after the socket is closed, so a Send blocked in it has already returned.
    sendLock.Enter();
    open = false;
    secure.reset();
    sendLock.Leave();
}

int CConnection::SendAll(const char* data, int length, int flags)
{
    int error = 0;
    sendLock.Enter();
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
    sendLock.Leave();
    return error;
}

int CConnection::TakeReceivedData(void* buffer, int size)
{
    if (size < 0) size = 0;
    int taken = 0;
    chunksLock.Enter();
    if (!chunks.empty() && (buffer || size == 0)) {
        ReceivedChunk& first = chunks.front();
        if (size < first.length) {
            memcpy(buffer, first.data, size_t(size));
            memmove(first.data, first.data + size, size_t(first.length - size));
            first.length -= size;
            taken = size;
        } else {
            memcpy(buffer, first.data, size_t(first.length));
            taken = first.length;
            free(first.data);
            chunks.pop_front();
        }
    }
    chunksLock.Leave();
    return taken;
}

bool CConnection::QueueChunk(const char* data, int length)
{
    if (!data || length <= 0 || length > MaxChunk) return false;
    char* copy = static_cast<char*>(malloc(size_t(length)));
    if (!copy) return false;
    memcpy(copy, data, size_t(length));
    chunksLock.Enter();
    bool stored = true;
    try {
        chunks.push_back({length, copy});
    } catch (...) {
        stored = false;
    }
    chunksLock.Leave();
    if (!stored) {
        free(copy);
        return false;
    }
    PostValue(CM_DATA_RECEIVED, length);
    return true;
}

int CConnection::QueuedChunkCount()
{
    chunksLock.Enter();
    int count = int(chunks.size());
    chunksLock.Leave();
    return count;
}

void CConnection::PostValue(int code, intptr_t value)
{
    CConnectionRef* about = new (std::nothrow) CConnectionRef(this, serial.load());
    bus.SendMessage(ownerQueue, GUID_CONNECTION_MANAGER, code, about, NewValue(value), false);
}

void CConnection::PostText(int code, const CZELString& text)
{
    CConnectionRef* about = new (std::nothrow) CConnectionRef(this, serial.load());
    bus.SendMessage(ownerQueue, GUID_CONNECTION_MANAGER, code, about, NewStringPayload(text), false);
}

void CConnection::ReleaseNetwork(long cache)
{
    if (!networkConnection) return;
    ConnMgrReleaseConnection(networkConnection, cache);
    networkConnection = nullptr;
}
