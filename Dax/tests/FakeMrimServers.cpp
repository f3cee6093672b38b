#include "Dax/tests/FakeMrimServers.h"

#include "Dax/proto/MrimCommands.h"
#include "Dax/proto/PacketReader.h"
#include "Dax/proto/tests/MrimTestSupport.h"

#include <ws2tcpip.h>

#include <chrono>

namespace MrimTest {

FakeListener::FakeListener(unsigned short wantedPort)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(wantedPort);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 8) != 0) {
        closesocket(listener);
        listener = INVALID_SOCKET;
        return;
    }
    int length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
}

FakeListener::~FakeListener()
{
    Stop();
    WSACleanup();
}

void FakeListener::Start()
{
    if (listener == INVALID_SOCKET) return;
    thread = std::thread([this] { Run(); });
}

void FakeListener::Stop()
{
    stopping = true;
    if (listener != INVALID_SOCKET) closesocket(listener);
    listener = INVALID_SOCKET;
    if (thread.joinable()) thread.join();
}

void FakeListener::Run()
{
    while (!stopping) {
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) break;
        Serve(client);
        closesocket(client);
    }
}

FakeRedirector::FakeRedirector(unsigned short sessionPort, Mode mode, unsigned short listenPort)
    : FakeListener(listenPort), mode(mode), sessionPort(sessionPort)
{
    Start();
}

FakeRedirector::~FakeRedirector()
{
    Stop();
}

void FakeRedirector::Serve(SOCKET client)
{
    ++served;
    const std::string line = "127.0.0.1:" + std::to_string(sessionPort) + "\r\n";
    switch (mode.load()) {
    case Whole: send(client, line.data(), int(line.size()), 0); break;
    case Split:
        send(client, line.data(), 6, 0);
        Sleep(150);
        send(client, line.data() + 6, int(line.size() - 6), 0);
        break;
    case Garbage: send(client, "no port here\r\n", 14, 0); break;
    case NoLineEnd: send(client, line.data(), int(line.size() - 2), 0); break;
    default: break;
    }
    shutdown(client, SD_SEND);
    char drain[64];
    while (recv(client, drain, sizeof drain, 0) > 0) {
    }
}

FakeSessionServer::FakeSessionServer()
{
    Start();
}

FakeSessionServer::~FakeSessionServer()
{
    Drop();
    Stop();
}

bool FakeSessionServer::Send(const Mrim::Bytes& bytes)
{
    std::lock_guard<std::mutex> hold(mutex);
    if (current == INVALID_SOCKET) return false;
    return send(current, reinterpret_cast<const char*>(bytes.data()), int(bytes.size()), 0) == int(bytes.size());
}

bool FakeSessionServer::SendPacket(unsigned command, unsigned sequence, const Mrim::Bytes& body)
{
    return Send(Packet(command, sequence, body));
}

void FakeSessionServer::Drop()
{
    std::lock_guard<std::mutex> hold(mutex);
    if (current != INVALID_SOCKET) shutdown(current, SD_BOTH);
}

void FakeSessionServer::Serve(SOCKET client)
{
    {
        std::lock_guard<std::mutex> hold(mutex);
        current = client;
    }
    ++connections;
    Mrim::PacketReader reader;
    char chunk[4096];
    for (;;) {
        int got = recv(client, chunk, sizeof chunk, 0);
        if (got <= 0) break;
        reader.Feed(reinterpret_cast<unsigned char*>(chunk), size_t(got));
        Mrim::Packet packet;
        while (reader.Next(packet) == Mrim::PacketReader::GotPacket) {
            ReceivedPacket copy{packet.header, Mrim::Bytes(packet.body, packet.body + packet.length)};
            {
                std::lock_guard<std::mutex> hold(mutex);
                received.push_back(copy);
            }
            arrived.notify_all();
            Answer(copy);
        }
    }
    std::lock_guard<std::mutex> hold(mutex);
    current = INVALID_SOCKET;
}

void FakeSessionServer::Answer(const ReceivedPacket& packet)
{
    if (packet.header.command == Mrim::CmdHello) {
        SendPacket(Mrim::CmdHelloAck, packet.header.sequence, Wire().U32(pingInterval));
    } else if (packet.header.command == Mrim::CmdLogin) {
        if (!acceptLogin) {
            SendPacket(Mrim::CmdLoginRejected, packet.header.sequence, Wire().Lps(rejectReason));
            return;
        }
        SendPacket(Mrim::CmdLoginAck, packet.header.sequence, Mrim::Bytes());
        for (const Mrim::Bytes& more : afterLogin) Send(more);
    }
}

bool FakeSessionServer::WaitFor(unsigned command, ReceivedPacket& out, int n, unsigned milliseconds)
{
    std::unique_lock<std::mutex> hold(mutex);
    auto found = [&]() {
        int seen = 0;
        for (const ReceivedPacket& packet : received)
            if (packet.header.command == command && ++seen == n) {
                out = packet;
                return true;
            }
        return false;
    };
    return arrived.wait_for(hold, std::chrono::milliseconds(milliseconds), found);
}

int FakeSessionServer::Count(unsigned command)
{
    std::lock_guard<std::mutex> hold(mutex);
    int count = 0;
    for (const ReceivedPacket& packet : received) count += packet.header.command == command;
    return count;
}

std::vector<ReceivedPacket> FakeSessionServer::Received()
{
    std::lock_guard<std::mutex> hold(mutex);
    return received;
}

void FakeSessionServer::Clear()
{
    std::lock_guard<std::mutex> hold(mutex);
    received.clear();
}

} // namespace MrimTest
