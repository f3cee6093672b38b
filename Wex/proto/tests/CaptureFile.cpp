#include "CaptureFile.h"

namespace WexTest {

namespace {

enum : unsigned char { TcpFin = 0x01, TcpSyn = 0x02, TcpPush = 0x08, TcpAck = 0x10 };

// The Internet checksum (RFC 1071) of bytes, starting from sum.
unsigned short Checksum(const Bytes& bytes, unsigned sum = 0)
{
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) sum += unsigned(bytes[i] << 8 | bytes[i + 1]);
    if (bytes.size() % 2) sum += unsigned(bytes.back() << 8);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return (unsigned short)~sum;
}

void Patch16(Bytes& bytes, size_t at, unsigned short value)
{
    bytes[at] = (unsigned char)(value >> 8);
    bytes[at + 1] = (unsigned char)value;
}

const unsigned kLoopback = 0x7F000001;

} // namespace

CaptureFile::CaptureFile()
{
    // Magic, version 2.4, time zone 0, accuracy 0, snap length, Ethernet: little-endian fields.
    file = Wire().U32LE(0xA1B2C3D4).U16LE(2).U16LE(4).U32LE(0).U32LE(0).U32LE(0xFFFF + 200).U32LE(1);
}

void CaptureFile::Open(unsigned short clientPort, unsigned short serverPort)
{
    connections.push_back({clientPort, serverPort, 1000u * clientPort, 7000u});
    Connection& c = connections.back();
    Segment(c, true, TcpSyn, Bytes());
    ++c.clientNext;
    Segment(c, false, TcpSyn | TcpAck, Bytes());
    ++c.serverNext;
    Segment(c, true, TcpAck, Bytes());
}

CaptureFile::Connection& CaptureFile::Find(unsigned short clientPort)
{
    for (Connection& c : connections)
        if (c.clientPort == clientPort) return c;
    return connections.front();
}

void CaptureFile::Send(unsigned short clientPort, bool fromClient, const Bytes& payload)
{
    Connection& c = Find(clientPort);
    Segment(c, fromClient, TcpPush | TcpAck, payload);
    (fromClient ? c.clientNext : c.serverNext) += unsigned(payload.size());
}

void CaptureFile::Segment(const Connection& c, bool fromClient, unsigned char flags, const Bytes& payload)
{
    unsigned short sourcePort = fromClient ? c.clientPort : c.serverPort;
    unsigned short destinationPort = fromClient ? c.serverPort : c.clientPort;
    Bytes tcp = Wire()
                    .U16(sourcePort).U16(destinationPort)
                    .U32(fromClient ? c.clientNext : c.serverNext)
                    .U32(flags & TcpAck ? (fromClient ? c.serverNext : c.clientNext) : 0)
                    .U8(5 << 4).U8(flags).U16(0xFFFF).U16(0).U16(0)
                    .Raw(payload);
    // The pseudo-header: addresses, protocol 6, TCP length.
    Bytes pseudo = Wire().U32(kLoopback).U32(kLoopback).U16(6).U16(unsigned(tcp.size())).Raw(tcp);
    Patch16(tcp, 16, Checksum(pseudo));

    Bytes ip = Wire().U8(0x45).U8(0).U16(unsigned(20 + tcp.size())).U16(0).U16(0x4000).U8(64).U8(6).U16(0)
                   .U32(kLoopback).U32(kLoopback);
    Patch16(ip, 10, Checksum(ip));

    Bytes ethernet = Wire().Raw(Bytes(6, 0)).Raw(Bytes(6, 0)).U16(0x0800).Raw(ip).Raw(tcp);
    microseconds += 1000;
    Bytes record = Wire().U32LE(microseconds / 1000000).U32LE(microseconds % 1000000)
                       .U32LE(unsigned(ethernet.size())).U32LE(unsigned(ethernet.size())).Raw(ethernet);
    file.insert(file.end(), record.begin(), record.end());
}

} // namespace WexTest
