// Two ways to put a FakeXmppServer before an account: behind a loopback socket, for the real
// connection service (TcpFakeServer), and as an in-process connection service on the bus
// (FakeConnectionService), which also decides how each Connect and Send fares and how the server's
// bytes are chunked and announced.
#pragma once

#include "Zel/net/tests/PeerSupport.h"

#include "Jabber/tests/FakeXmppServer.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/net/ConnectionManagerApi.h"

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace JabberTest {

// A loopback server running a FakeXmppServer per connection it accepts: connection n (from 0) plays
// scripts[n], the last script for every later one.
class TcpFakeServer {
public:
    explicit TcpFakeServer(std::vector<ServerScript> scripts)
        : scripts(std::move(scripts)), server([this](SOCKET s) { Serve(s); })
    {
    }

    int Port() const { return server.Port(); }
    int Accepted() const { return server.Accepted(); }

    // The server of connection n, null until it was accepted.
    std::shared_ptr<FakeXmppServer> Session(size_t n)
    {
        std::lock_guard<std::mutex> hold(lock);
        return n < sessions.size() ? sessions[n].server : nullptr;
    }

    // Sends text to the client of connection n (compressed when its stream is).
    void Send(size_t n, const std::string& text)
    {
        std::lock_guard<std::mutex> hold(lock);
        if (n < sessions.size()) sessions[n].outbox.push_back(text);
    }

    // Closes connection n from the server's side.
    void Close(size_t n)
    {
        std::lock_guard<std::mutex> hold(lock);
        if (n < sessions.size()) sessions[n].close = true;
    }

private:
    struct Connection {
        std::shared_ptr<FakeXmppServer> server;
        std::deque<std::string> outbox;
        bool close = false;
    };

    void Serve(SOCKET s)
    {
        size_t n;
        std::shared_ptr<FakeXmppServer> session;
        {
            std::lock_guard<std::mutex> hold(lock);
            n = sessions.size();
            session = std::make_shared<FakeXmppServer>(scripts[std::min(n, scripts.size() - 1)]);
            sessions.push_back({session, {}, false});
        }
        char buffer[4096];
        while (!server.IsStopping()) {
            std::deque<std::string> outbox;
            bool close = false;
            {
                std::lock_guard<std::mutex> hold(lock);
                outbox.swap(sessions[n].outbox);
                close = sessions[n].close;
            }
            for (const std::string& text : outbox)
                if (!PeerTest::SendAllBytes(s, session->Outgoing(text))) return;
            if (close) return;
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(s, &readable);
            timeval wait = {0, 20000};
            int ready = select(0, &readable, nullptr, nullptr, &wait);
            if (ready < 0) return;
            if (ready == 0) continue;
            int got = recv(s, buffer, sizeof buffer, 0);
            if (got <= 0) return;
            std::string answer = session->Receive(buffer, size_t(got));
            if (!answer.empty() && !PeerTest::SendAllBytes(s, answer)) return;
        }
    }

    const std::vector<ServerScript> scripts;
    std::mutex lock;
    std::vector<Connection> sessions;
    PeerTest::ScriptedServer server;  // last: its destructor waits for the handlers above
};

// The connection service as an account sees it, in-process: each connection is answered by a
// FakeXmppServer (when a script is given), its bytes queued in chunks and announced as the real
// service does, and the test decides whether connections can be made, Connect succeeds, and Send
// succeeds.
class FakeConnectionService : public IConnectionManager {
public:
    explicit FakeConnectionService(Services::CServicesManager& bus) : bus(bus)
    {
        handle = bus.RegisterService(GUID_CONNECTION_MANAGER, static_cast<IConnectionManager*>(this));
    }
    ~FakeConnectionService()
    {
        if (handle) bus.UnregisterService(handle);
        for (auto& entry : connections) delete[] reinterpret_cast<char*>(entry.first);
    }
    FakeConnectionService(const FakeConnectionService&) = delete;
    FakeConnectionService& operator=(const FakeConnectionService&) = delete;

    bool Registered() const { return handle != 0; }

    // Each connection that connects gets a server playing script, and its CM_CONNECT_RESULT (0).
    void Serve(const ServerScript& script)
    {
        std::lock_guard<std::mutex> hold(lock);
        serving = true;
        this->script = script;
    }

    std::atomic<bool> refuseConnections{false};  // CreateConnection gives null
    std::atomic<int> connectFailure{0};          // what Connect returns; 0 starts
    std::atomic<int> connectOutcome{0};          // what CM_CONNECT_RESULT then says; 0 connected
    // Sends fail (-1) from the first one made while the server's stream is compressed.
    std::atomic<bool> failCompressedSends{false};
    // The server's answers are queued in chunks of this many bytes, all announced by one notice.
    std::atomic<int> chunkBytes{1024};

    int Created() const { return created; }
    int Connects() const { return connects; }
    int Destroyed() const { return destroyed; }
    int FailedSends() const { return failedSends; }

    // The server of the n-th connection that connected (from 0), or null.
    std::shared_ptr<FakeXmppServer> Session(size_t n)
    {
        std::lock_guard<std::mutex> hold(lock);
        return n < sessions.size() ? sessions[n] : nullptr;
    }

    // Sends text from the server of the last connection that connected.
    void ServerSends(const std::string& text)
    {
        std::lock_guard<std::mutex> hold(lock);
        if (!last || !connections.count(last)) return;
        Queue(last, connections[last].server->Outgoing(text));
    }

    CConnection* CreateConnection(int ownerQueue) override
    {
        if (refuseConnections) return nullptr;
        std::lock_guard<std::mutex> hold(lock);
        CConnection* connection = reinterpret_cast<CConnection*>(new char[1]);
        connections[connection].owner = ownerQueue;
        ++created;
        return connection;
    }

    bool IsValidConnection(CConnection* connection) override
    {
        std::lock_guard<std::mutex> hold(lock);
        return connections.count(connection) != 0;
    }

    int DestroyConnection(CConnection* connection) override
    {
        std::lock_guard<std::mutex> hold(lock);
        auto found = connections.find(connection);
        if (found == connections.end()) return CM_NOT_LIVE;
        connections.erase(found);
        delete[] reinterpret_cast<char*>(connection);
        if (last == connection) last = nullptr;
        ++destroyed;
        return 0;
    }

    int Connect(CConnection* connection, const ConnectionSettings& settings) override
    {
        std::lock_guard<std::mutex> hold(lock);
        auto found = connections.find(connection);
        if (found == connections.end()) return CM_NOT_LIVE;
        Entry& entry = found->second;
        entry.serial = nextSerial++;
        lastSettings = settings;
        if (connectFailure != 0) return connectFailure;
        ++connects;
        if (connectOutcome != 0) {
            Post(connection, CM_CONNECT_RESULT, connectOutcome);
        } else if (serving) {
            entry.server = std::make_shared<FakeXmppServer>(script);
            sessions.push_back(entry.server);
            last = connection;
            Post(connection, CM_CONNECT_RESULT, 0);
        }
        return 0;
    }

    int Send(CConnection* connection, const void* data, int length, int) override
    {
        std::lock_guard<std::mutex> hold(lock);
        auto found = connections.find(connection);
        if (found == connections.end()) return CM_NOT_LIVE;
        Entry& entry = found->second;
        if (!entry.server || length < 0) return length;
        if (failCompressedSends && entry.server->Compressed()) {
            ++failedSends;
            return -1;
        }
        Queue(connection, entry.server->Receive(static_cast<const char*>(data), size_t(length)));
        return length;
    }

    int Receive(CConnection* connection, void* buffer, int size, int) override
    {
        std::lock_guard<std::mutex> hold(lock);
        auto found = connections.find(connection);
        if (found == connections.end()) return CM_NOT_LIVE;
        std::deque<std::string>& chunks = found->second.chunks;
        if (chunks.empty() || size <= 0) return 0;
        std::string& first = chunks.front();
        const int n = std::min(size, int(first.size()));
        memcpy(buffer, first.data(), size_t(n));
        first.erase(0, size_t(n));
        if (first.empty()) chunks.pop_front();
        return n;
    }

    void Close(CConnection* connection) override
    {
        std::lock_guard<std::mutex> hold(lock);
        if (connections.count(connection)) Post(connection, CM_DISCONNECTED, 0);
    }

    int CheckConnection(CConnection* connection, int) override { return IsValidConnection(connection) ? 0 : CM_NOT_LIVE; }

    uint64_t NextConnectSerial(CConnection* connection) override
    {
        std::lock_guard<std::mutex> hold(lock);
        return connections.count(connection) ? nextSerial : 0;
    }

    int ReservedSlot9(CConnection*, int) override { return 0; }
    ConnectionSettings GetSettings() override { return ConnectionSettings(); }
    void SetSettings(const ConnectionSettings&) override {}
    int GetBytesSent() override { return 0; }
    int GetBytesReceived() override { return 0; }

    ConnectionSettings LastSettings()
    {
        std::lock_guard<std::mutex> hold(lock);
        return lastSettings;
    }

private:
    struct Entry {
        int owner = 0;
        uint64_t serial = 0;
        std::shared_ptr<FakeXmppServer> server;
        std::deque<std::string> chunks;
    };

    // Lock held.
    void Post(CConnection* connection, int code, intptr_t value)
    {
        const Entry& entry = connections[connection];
        bus.SendMessage(entry.owner, GUID_CONNECTION_MANAGER, code, new CConnectionRef(connection, entry.serial),
                        NewValue(value), false);
    }

    // Lock held: the bytes as chunks, announced by one notice.
    void Queue(CConnection* connection, const std::string& bytes)
    {
        if (bytes.empty()) return;
        const size_t step = size_t(std::max(1, int(chunkBytes)));
        for (size_t at = 0; at < bytes.size(); at += step)
            connections[connection].chunks.push_back(bytes.substr(at, step));
        Post(connection, CM_DATA_RECEIVED, intptr_t(std::min(bytes.size(), step)));
    }

    Services::CServicesManager& bus;
    int handle = 0;
    std::mutex lock;
    std::map<CConnection*, Entry> connections;
    std::vector<std::shared_ptr<FakeXmppServer>> sessions;
    CConnection* last = nullptr;
    bool serving = false;
    ServerScript script;
    uint64_t nextSerial = 1000;
    ConnectionSettings lastSettings;
    std::atomic<int> created{0}, connects{0}, destroyed{0}, failedSends{0};
};

}  // namespace JabberTest
