// A capture file (the classic pcap format, Ethernet frames) of TCP conversations on 127.0.0.1, each
// FLAP frame in a segment of its own: what a packet dissector reads as a recorded session. Headers
// and checksums are written here; nothing is captured from a network.
#pragma once

#include "WexTestSupport.h"

namespace WexTest {

class CaptureFile {
public:
    CaptureFile();

    // A connection from clientPort to serverPort: the three-way handshake.
    void Open(unsigned short clientPort, unsigned short serverPort);
    // One segment of the connection opened with clientPort, from the client or from the server.
    void Send(unsigned short clientPort, bool fromClient, const Bytes& payload);

    const Bytes& Get() const { return file; }

private:
    struct Connection {
        unsigned short clientPort, serverPort;
        unsigned clientNext, serverNext;
    };

    Connection& Find(unsigned short clientPort);
    void Segment(const Connection& c, bool fromClient, unsigned char flags, const Bytes& payload);

    Bytes file;
    std::vector<Connection> connections;
    unsigned microseconds = 0;
};

} // namespace WexTest
