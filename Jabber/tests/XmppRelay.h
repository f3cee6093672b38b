// A loopback relay between a client and a server that reads the server's side of each XMPP stream
// as it passes (ReceivePath: a new stream after "success", compressed after "compressed"), so a test
// sees what the server answered without touching either end. It can also cut a literal out of what
// the server sends (before compression starts), to make a real server offer less than it does.
#pragma once

#include "Zel/net/tests/PeerSupport.h"

#include "Jabber/tests/XmppReceivePath.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace XmppTest {

class XmppRelay {
public:
    explicit XmppRelay(int serverPort, std::string cutFromServer = std::string())
        : serverPort(serverPort), cut(std::move(cutFromServer)), relay([this](SOCKET s) { Pump(s); })
    {
    }

    int Port() const { return relay.Port(); }

    // What the server sent, each event described (XmlTest::Describe), every connection in order.
    std::vector<std::string> ServerEvents()
    {
        std::lock_guard<std::mutex> hold(lock);
        return events;
    }

    // What the clients sent, as bytes, every connection in order: readable while their streams are
    // not compressed.
    std::string ClientBytes()
    {
        std::lock_guard<std::mutex> hold(lock);
        return clientBytes;
    }

    // The server's events so far that contain part.
    std::vector<std::string> ServerEventsWith(const std::string& part)
    {
        return XmlTest::Containing(ServerEvents(), part);
    }

private:
    void Pump(SOCKET client)
    {
        SOCKET server = PeerTest::ConnectLoopback(serverPort);
        if (server == INVALID_SOCKET) return;
        ReceivePath path;
        std::string held;  // the server's last bytes, while they may begin the literal to cut
        char buffer[16384];
        while (!relay.IsStopping()) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(client, &readable);
            FD_SET(server, &readable);
            timeval wait = {0, 20000};
            int ready = select(0, &readable, nullptr, nullptr, &wait);
            if (ready < 0) break;
            if (ready == 0) continue;
            if (FD_ISSET(client, &readable)) {
                int got = recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                {
                    std::lock_guard<std::mutex> hold(lock);
                    clientBytes.append(buffer, size_t(got));
                }
                if (!PeerTest::SendAllBytes(server, std::string(buffer, size_t(got)))) break;
            }
            if (FD_ISSET(server, &readable)) {
                int got = recv(server, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                std::string bytes = Cut(held, std::string(buffer, size_t(got)));
                // Read before it is passed on: the client answers only what it has received.
                std::vector<std::string> seen = path.Receive(bytes.data(), bytes.size());
                {
                    std::lock_guard<std::mutex> hold(lock);
                    events.insert(events.end(), seen.begin(), seen.end());
                }
                if (!PeerTest::SendAllBytes(client, bytes)) break;
            }
        }
        shutdown(server, SD_BOTH);
        closesocket(server);
    }

    // What of held + bytes may go on now, every whole cut literal removed; keeps in held the tail
    // that may still become one.
    std::string Cut(std::string& held, const std::string& bytes) const
    {
        if (cut.empty()) return bytes;
        std::string text = held + bytes;
        for (size_t at; (at = text.find(cut)) != std::string::npos;) text.erase(at, cut.size());
        size_t keep = std::min(text.size(), cut.size() - 1);
        while (keep > 0 && text.compare(text.size() - keep, keep, cut, 0, keep) != 0) --keep;
        held = text.substr(text.size() - keep);
        return text.substr(0, text.size() - keep);
    }

    const int serverPort;
    const std::string cut;
    std::mutex lock;
    std::vector<std::string> events;
    std::string clientBytes;
    PeerTest::ScriptedServer relay;  // last: its destructor waits for the pumps
};

}  // namespace XmppTest
