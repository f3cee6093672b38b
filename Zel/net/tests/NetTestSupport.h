// Doubles for the connection service's tests: an owner queue on a real bus that records every CM_
// message and takes the received data as a client does, and a scripted loopback server whose
// connections each run a handler of the test's choosing.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include "Handheld/ConnMgr.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/Payloads.h"
#include "Zel/core/ServicesManager.h"
#include "Zel/net/Connection.h"
#include "Zel/net/ConnectionManager.h"
#include "Zel/net/ConnectionWorker.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace NetTest {

struct CmMessage {
    int code;
    CConnection* connection;
    intptr_t value;     // p2's integer, when it is one
    std::wstring text;  // p2's text, when it is one
};

inline std::wstring Text(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

inline const char* CodeName(int code)
{
    switch (code) {
    case CM_TRAFFIC_EVENT: return "CM_TRAFFIC";
    case CM_CONNECT_RESULT: return "CM_CONNECT_RESULT";
    case CM_DISCONNECTED: return "CM_DISCONNECTED";
    case CM_DATA_RECEIVED: return "CM_DATA_RECEIVED";
    case CM_DATA_SENT: return "CM_DATA_SENT";
    case CM_STATUS_TEXT: return "CM_STATUS_TEXT";
    case CM_ERROR_TEXT: return "CM_ERROR_TEXT";
    default: return "?";
    }
}

// The messages as lines, for failure output.
inline std::string Describe(const std::vector<CmMessage>& messages)
{
    std::string out;
    for (const CmMessage& m : messages) {
        out += CodeName(m.code);
        if (m.code == CM_STATUS_TEXT || m.code == CM_ERROR_TEXT)
            out += " \"" + std::string(m.text.begin(), m.text.end()) + "\"";
        else
            out += " " + std::to_string(m.value);
        out += "\n";
    }
    return out;
}

// The owner of the tests' connections. Like a client, it takes the data with Receive on every
// CM_DATA_RECEIVED (unless told not to) and keeps it in order.
class OwnerQueue : public QueueReceiver {
public:
    OwnerQueue(Services::CServicesManager& bus, IConnectionManager& manager) : bus(bus), manager(manager)
    {
        handle = bus.CreateQueue(this, L"Test owner");
    }
    ~OwnerQueue() override
    {
        if (handle) bus.DestroyQueue(handle);
    }

    OwnerQueue(const OwnerQueue&) = delete;
    OwnerQueue& operator=(const OwnerQueue&) = delete;

    int Handle() const { return handle; }

    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override
    {
        if (msgClass != GUID_CONNECTION_MANAGER) return 0;
        CmMessage message = {code, nullptr, 0, std::wstring()};
        if (CRefValue* about = dynamic_cast<CRefValue*>(p1))
            message.connection = reinterpret_cast<CConnection*>(about->value);
        if (CRefValue* value = dynamic_cast<CRefValue*>(p2)) message.value = value->value;
        if (CStringPayload* text = dynamic_cast<CStringPayload*>(p2)) message.text = Text(text->text);
        std::string taken;
        if (code == CM_DATA_RECEIVED && autoReceive && message.connection) {
            std::vector<char> buffer(size_t(receiveSize > 0 ? receiveSize : 1));
            int count = manager.Receive(message.connection, buffer.data(), receiveSize, 0);
            if (count > 0) taken.assign(buffer.data(), size_t(count));
        }
        {
            std::lock_guard<std::mutex> hold(lock);
            messages.push_back(message);
            received += taken;
        }
        changed.notify_all();
        return 0;
    }

    std::vector<CmMessage> Messages()
    {
        std::lock_guard<std::mutex> hold(lock);
        return messages;
    }

    // Messages other than the traffic event.
    std::vector<CmMessage> ConnectionMessages()
    {
        std::vector<CmMessage> out;
        for (const CmMessage& m : Messages())
            if (m.code != CM_TRAFFIC_EVENT) out.push_back(m);
        return out;
    }

    std::vector<CmMessage> OfCode(int code)
    {
        std::vector<CmMessage> out;
        for (const CmMessage& m : Messages())
            if (m.code == code) out.push_back(m);
        return out;
    }

    int Count(int code) { return int(OfCode(code).size()); }

    std::string Received()
    {
        std::lock_guard<std::mutex> hold(lock);
        return received;
    }

    // Waits until count messages of code have arrived.
    bool WaitFor(int code, int count = 1, DWORD milliseconds = 15000)
    {
        std::unique_lock<std::mutex> hold(lock);
        return changed.wait_for(hold, std::chrono::milliseconds(milliseconds), [&] {
            int seen = 0;
            for (const CmMessage& m : messages) seen += m.code == code;
            return seen >= count;
        });
    }

    bool WaitForReceived(size_t bytes, DWORD milliseconds = 30000)
    {
        std::unique_lock<std::mutex> hold(lock);
        return changed.wait_for(hold, std::chrono::milliseconds(milliseconds),
                                [&] { return received.size() >= bytes; });
    }

    // Lets everything posted so far be handled.
    void Flush() { bus.SendMessage(handle, ZEL_GUID_NULL, 0, nullptr, nullptr, true); }

    bool autoReceive = true;
    int receiveSize = CConnection::MaxChunk;

private:
    Services::CServicesManager& bus;
    IConnectionManager& manager;
    int handle = 0;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<CmMessage> messages;
    std::string received;
};

inline void StartWinsock()
{
    static bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

// Blocking helpers on a test-side socket.
inline bool SendAllBytes(SOCKET s, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        int n = send(s, bytes.data() + sent, int(bytes.size() - sent), 0);
        if (n <= 0) return false;
        sent += size_t(n);
    }
    return true;
}

// Exactly count bytes, or what came before the peer closed or an error.
inline std::string ReceiveExactly(SOCKET s, size_t count)
{
    std::string out;
    char buffer[4096];
    while (out.size() < count) {
        int n = recv(s, buffer, int(std::min<size_t>(sizeof buffer, count - out.size())), 0);
        if (n <= 0) break;
        out.append(buffer, size_t(n));
    }
    return out;
}

// Everything until the peer closes.
inline std::string ReceiveAll(SOCKET s)
{
    std::string out;
    char buffer[4096];
    for (;;) {
        int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        out.append(buffer, size_t(n));
    }
    return out;
}

// Echoes until the peer closes.
inline void Echo(SOCKET s)
{
    char buffer[16384];
    for (;;) {
        int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        if (!SendAllBytes(s, std::string(buffer, size_t(n)))) return;
    }
}

// A loopback server on a free port; each accepted connection runs the handler on its own thread,
// and the connection is closed when the handler returns.
class ScriptedServer {
public:
    typedef std::function<void(SOCKET)> Handler;

    explicit ScriptedServer(Handler handler) : handler(std::move(handler))
    {
        StartWinsock();
        listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (listener == INVALID_SOCKET || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener, 16) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port = ntohs(address.sin_port);
        acceptor = std::thread([this] { AcceptLoop(); });
    }

    ~ScriptedServer()
    {
        stopping = true;
        if (acceptor.joinable()) acceptor.join();
        {
            std::lock_guard<std::mutex> hold(lock);
            for (SOCKET s : open) shutdown(s, SD_BOTH);
        }
        for (std::thread& t : handlers) t.join();
        if (listener != INVALID_SOCKET) closesocket(listener);
    }

    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int Port() const { return port; }
    int Accepted() const { return accepted; }
    bool IsStopping() const { return stopping; }

private:
    void AcceptLoop()
    {
        while (!stopping) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener, &readable);
            timeval wait = {0, 20000};
            if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
            SOCKET client = accept(listener, nullptr, nullptr);
            if (client == INVALID_SOCKET) continue;
            ++accepted;
            std::lock_guard<std::mutex> hold(lock);
            open.push_back(client);
            handlers.emplace_back([this, client] {
                handler(client);
                {
                    std::lock_guard<std::mutex> hold(lock);
                    for (size_t i = 0; i < open.size(); ++i)
                        if (open[i] == client) open.erase(open.begin() + long(i));
                }
                shutdown(client, SD_BOTH);
                closesocket(client);
            });
        }
    }

    Handler handler;
    SOCKET listener = INVALID_SOCKET;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::atomic<int> accepted{0};
    std::thread acceptor;
    std::mutex lock;
    std::vector<SOCKET> open;
    std::vector<std::thread> handlers;
};

// A port on 127.0.0.1 that nothing listens on.
inline int ClosedPort()
{
    StartWinsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    closesocket(s);
    return port;
}

template <typename Check> bool WaitUntil(Check check, DWORD milliseconds = 15000)
{
    ULONGLONG end = GetTickCount64() + milliseconds;
    while (!check()) {
        if (GetTickCount64() > end) return false;
        Sleep(1);
    }
    return true;
}

// Test data that shows where a byte went missing or moved: no short period.
inline std::string PatternBytes(size_t size, unsigned seed = 1)
{
    std::string out(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = char(x);
    }
    return out;
}

// The Connection Manager's desktop behaviour and the worker's usual waits, before and after each
// test that changes them.
class SimulationScope {
public:
    SimulationScope() { Reset(); }
    ~SimulationScope() { Reset(); }
    static void Reset()
    {
        ConnMgrSetSimulation(nullptr);
        SetAttachWaitLimits(AttachWaitLimits());
    }
};

}  // namespace NetTest

#include <gtest/gtest.h>

namespace NetTest {

// A bus, the connection service on it, and an owner queue; the Connection Manager behaves as a
// desktop's unless a test says otherwise.
class ConnectionFixture : public ::testing::Test {
protected:
    ConnectionFixture() : manager(bus), owner(bus, manager) {}

    // The service's own settings with a destination of the test's.
    ConnectionSettings To(const wchar_t* host, int port, int secureMode = SECURE_NONE)
    {
        ConnectionSettings settings = manager.GetSettings();
        settings.host = host;
        settings.port = port;
        settings.secureMode = secureMode;
        return settings;
    }

    // Connects and waits for the connect result; its value, or a marker when none came.
    intptr_t ConnectAndWait(CConnection* connection, const ConnectionSettings& settings)
    {
        int before = owner.Count(CM_CONNECT_RESULT);
        if (manager.Connect(connection, settings) != 0) return 0x7EADBEEF;
        if (!owner.WaitFor(CM_CONNECT_RESULT, before + 1, 30000)) return 0x7EADBEEF;
        return owner.OfCode(CM_CONNECT_RESULT)[size_t(before)].value;
    }

    // The error texts posted so far.
    std::vector<std::wstring> ErrorTexts()
    {
        std::vector<std::wstring> out;
        for (const CmMessage& m : owner.OfCode(CM_ERROR_TEXT)) out.push_back(m.text);
        return out;
    }

    SimulationScope simulation;
    Services::CServicesManager bus;
    CConnectionManager manager;
    OwnerQueue owner;
};

}  // namespace NetTest
