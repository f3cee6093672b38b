// Loopback helpers for tests that play a network peer themselves: sockets on 127.0.0.1 (a free port
// to listen on, a client connection), blocking send and receive helpers, and a scripted server whose
// accepted connections each run a handler of the test's choosing on a thread of its own.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace PeerTest {

inline void StartWinsock()
{
    static bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

// Binds s to a free port of 127.0.0.1; the port, or 0 when it could not.
inline int BindLoopback(SOCKET s)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

// A port on 127.0.0.1 that nothing listens on now.
inline int PickFreePort()
{
    StartWinsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return 0;
    int port = BindLoopback(s);
    closesocket(s);
    return port;
}

// A socket listening on a free port of 127.0.0.1, with that port in *port; INVALID_SOCKET and 0
// when it cannot listen.
inline SOCKET ListenLoopback(int backlog, int* port)
{
    StartWinsock();
    *port = 0;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return s;
    int bound = BindLoopback(s);
    if (bound == 0 || listen(s, backlog) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    *port = bound;
    return s;
}

// A socket connected to 127.0.0.1:port, or INVALID_SOCKET.
inline SOCKET ConnectLoopback(int port)
{
    StartWinsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return s;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(u_short(port));
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
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

// Echoes until the peer closes, or until stop() holds. It polls, checking stop() at least every
// 50 ms: under Wine a receive blocked in one thread does not see a shutdown from another.
template <typename Stop> void EchoUntil(SOCKET s, Stop stop)
{
    char buffer[16384];
    for (;;) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval wait = {0, 50000};
        int ready = select(0, &readable, nullptr, nullptr, &wait);
        if (stop() || ready < 0) return;
        if (ready == 0) continue;
        int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        if (!SendAllBytes(s, std::string(buffer, size_t(n)))) return;
    }
}

// Echoes until the peer closes.
inline void Echo(SOCKET s)
{
    EchoUntil(s, [] { return false; });
}

// A loopback server on a free port; each accepted connection runs the handler on its own thread,
// and the connection is closed when the handler returns. The destructor waits for every handler:
// one that may outlive its client's interest must end by itself once IsStopping().
class ScriptedServer {
public:
    typedef std::function<void(SOCKET)> Handler;

    explicit ScriptedServer(Handler handler) : handler(std::move(handler))
    {
        listener = ListenLoopback(16, &port);
        if (listener != INVALID_SOCKET) acceptor = std::thread([this] { AcceptLoop(); });
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

    // 0 when it could not listen.
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

} // namespace PeerTest
