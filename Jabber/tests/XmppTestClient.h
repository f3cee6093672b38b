// A raw XMPP client for the tests against a real server: a Winsock socket (or a TLS channel over
// it), our serialiser on the way out, our receive path on the way in, and every byte the server
// sent kept, so a session can be recorded as test data.
#pragma once

#include "Zel/net/SecureChannel.h"
#include "Zel/net/tests/PeerSupport.h"

#include "Jabber/stream/StreamCompression.h"
#include "Jabber/xml/XmlElement.h"
#include "Jabber/xml/XmlSerializer.h"

#include "Jabber/tests/XmppReceivePath.h"

#include <deque>
#include <memory>
#include <string>

namespace XmppTest {

class Client {
public:
    // Takes the connected socket; a secure channel (already through its handshake) carries the
    // stream when given.
    explicit Client(SOCKET s, std::unique_ptr<CSecureChannel> secure = nullptr)
        : s(s), secure(std::move(secure)), receiver(&compression) {}
    ~Client()
    {
        if (s != INVALID_SOCKET) closesocket(s);
    }

    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool SendText(const std::string& text)
    {
        if (!compressing) return SendRaw(text);
        std::string bytes;
        return compression.Compress(text.data(), text.size(), bytes) && SendRaw(bytes);
    }

    bool Send(const XmlElement& element) { return SendText(Serialize(element)); }

    // The stream header for the domain, left open.
    bool OpenStream(const std::string& domain)
    {
        XmlElement header("stream:stream");
        header.prologue = "<?xml version='1.0' encoding='UTF-8'?>";
        header.leaveOpen = true;
        SetAttribute(&header, "to", domain);
        SetAttribute(&header, "xmlns", "jabber:client");
        SetAttribute(&header, "xmlns:stream", "http://etherx.jabber.org/streams");
        SetAttribute(&header, "xml:lang", "en");
        SetAttribute(&header, "version", "1.0");
        return Send(header);
    }

    // From the next stream on, what we send is compressed (the server has said "compressed").
    void StartSendingCompressed() { compressing = true; }
    // Prepares both directions before asking the server for compression.
    bool PrepareCompression() { return compression.Start(); }

    // The next event, waiting up to timeoutMs for the server; NeedMore when none came in time or
    // the connection ended.
    XmlEvent Next(int timeoutMs = 10000)
    {
        DWORD deadline = GetTickCount() + DWORD(timeoutMs);
        while (queue.empty()) {
            int left = int(deadline - GetTickCount());
            if (left <= 0 || !ReceiveSome(left)) return XmlEvent();
        }
        XmlEvent event = std::move(queue.front());
        queue.pop_front();
        return event;
    }

    // The next stanza named name, passing over others (roster pushes, presence); null, with the
    // reason in Failure(), when anything else ends the wait.
    std::unique_ptr<XmlElement> NextStanza(const std::string& name, int timeoutMs = 10000)
    {
        for (;;) {
            XmlEvent event = Next(timeoutMs);
            if (event.kind == XmlEvent::Stanza && event.element->name == name) return std::move(event.element);
            if (event.kind == XmlEvent::Stanza) {
                passedOver.push_back(Serialize(*event.element));
                continue;
            }
            failure = "waiting for <" + name + ">: " + Describe(event);
            return nullptr;
        }
    }

    // The next stream header; null, with the reason in Failure(), when anything else comes.
    std::unique_ptr<XmlElement> NextHeader(int timeoutMs = 10000)
    {
        XmlEvent event = Next(timeoutMs);
        if (event.kind == XmlEvent::StreamOpened) return std::move(event.element);
        failure = "waiting for the stream header: " + Describe(event);
        return nullptr;
    }

    std::string Describe(const XmlEvent& event) const
    {
        if (receiver.IsCorrupt()) return "corrupt compressed stream";
        if (event.kind == XmlEvent::NeedMore) return "nothing came";
        return XmlTest::Describe(event, receiver.Parser());
    }

    const std::string& Failure() const { return failure; }
    // Every byte the server sent, as it came.
    const std::string& Wire() const { return wire; }
    const std::vector<std::string>& PassedOver() const { return passedOver; }

private:
    bool SendRaw(const std::string& bytes)
    {
        if (secure) return secure->Send(s, bytes.data(), int(bytes.size())) == 0;
        return PeerTest::SendAllBytes(s, bytes);
    }

    // One read (after waiting up to timeoutMs) through the receive path; false when nothing came.
    bool ReceiveSome(int timeoutMs)
    {
        char buffer[4096];
        int n = 0;
        if (secure) n = secure->Receive(s, buffer, sizeof buffer, false);  // what the last read left
        if (n <= 0) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(s, &readable);
            timeval wait = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
            if (select(0, &readable, nullptr, nullptr, &wait) <= 0) return false;
            n = secure ? secure->Receive(s, buffer, sizeof buffer, true) : recv(s, buffer, sizeof buffer, 0);
            if (secure && n == CSecureChannel::NeedMore) return true;
        }
        if (n <= 0) return false;
        wire.append(buffer, size_t(n));
        std::vector<XmlEvent> events;
        receiver.Receive(buffer, size_t(n), events);
        for (XmlEvent& event : events) queue.push_back(std::move(event));
        return true;
    }

    SOCKET s;
    std::unique_ptr<CSecureChannel> secure;
    StreamCompression compression;
    ReceivePath receiver;
    bool compressing = false;
    std::deque<XmlEvent> queue;
    std::string wire;
    std::string failure;
    std::vector<std::string> passedOver;
};

}  // namespace XmppTest
