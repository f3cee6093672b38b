// The network's two servers as the tests need them, on 127.0.0.1 at free ports: a redirector that
// answers each connection with one "host:port" line (whole, split across two writes, ended by the
// close alone with no line end, nothing, or garbage) and closes, and a session server that reads packets, answers the hello and the login on
// its own, records every packet, and sends whatever a test asks, or drops the connection.
#pragma once

#include "Dax/proto/MrimPacket.h"

#include <winsock2.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace MrimTest {

// A listening socket on 127.0.0.1 with its accept loop on a thread of its own.
class FakeListener {
public:
    // Port 0 takes a free one; Port() is 0 when the one asked for could not be had.
    explicit FakeListener(unsigned short wantedPort = 0);
    virtual ~FakeListener();
    unsigned short Port() const { return port; }

protected:
    void Start();
    void Stop();
    virtual void Serve(SOCKET client) = 0;

private:
    void Run();

    SOCKET listener = INVALID_SOCKET;
    unsigned short port = 0;
    std::thread thread;
    std::atomic<bool> stopping{false};
};

class FakeRedirector : public FakeListener {
public:
    enum Mode { Whole, Split, Nothing, Garbage, NoLineEnd };

    FakeRedirector(unsigned short sessionPort, Mode mode = Whole, unsigned short listenPort = 0);
    ~FakeRedirector() override;

    std::atomic<int> mode;
    std::atomic<int> served{0};

protected:
    void Serve(SOCKET client) override;

private:
    unsigned short sessionPort;
};

struct ReceivedPacket {
    Mrim::PacketHeader header;
    Mrim::Bytes body;
};

class FakeSessionServer : public FakeListener {
public:
    FakeSessionServer();
    ~FakeSessionServer() override;

    // Answers: the hello with this ping interval; the login accepted, or rejected with the reason.
    std::atomic<unsigned> pingInterval{30};
    bool acceptLogin = true;
    std::string rejectReason = "Invalid login";
    // Packets sent right after an accepted login (the contact list, statuses...).
    std::vector<Mrim::Bytes> afterLogin;

    // Sends bytes to the current client; false when none is connected.
    bool Send(const Mrim::Bytes& bytes);
    bool SendPacket(unsigned command, unsigned sequence, const Mrim::Bytes& body);
    // Closes the current client's connection.
    void Drop();

    // The n-th packet (from 1) of command received since the last Clear, waited for.
    bool WaitFor(unsigned command, ReceivedPacket& out, int n = 1, unsigned milliseconds = 10000);
    int Count(unsigned command);
    std::vector<ReceivedPacket> Received();
    void Clear();
    int Connections() const { return connections; }

protected:
    void Serve(SOCKET client) override;

private:
    void Answer(const ReceivedPacket& packet);

    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<ReceivedPacket> received;
    SOCKET current = INVALID_SOCKET;
    std::atomic<int> connections{0};
};

} // namespace MrimTest
