// The receive path of an XMPP account as the tests run it, over real or recorded server bytes: the
// codec's XmppInput, restarted after SASL success and (compressed from then on) after "compressed",
// as the account restarts its stream. Everything a piece of input completes comes out at once.
#pragma once

#include "Jabber/stream/StreamCompression.h"
#include "Jabber/stream/XmppInput.h"

#include "Jabber/tests/XmlTestSupport.h"

#include <string>
#include <vector>

namespace XmppTest {

class ReceivePath {
public:
    // Compression shared with the sending side, which starts it when it asks for compression (the
    // receiving side starts it itself when nobody did).
    explicit ReceivePath(StreamCompression* compression = nullptr)
        : compression(compression ? compression : &own), input(*this->compression) {}

    void Receive(const char* data, size_t length, std::vector<XmlEvent>& out)
    {
        input.Put(data, length);
        for (XmlEvent event = input.Next(); event.kind != XmlEvent::NeedMore; event = input.Next()) {
            const bool failure = event.kind == XmlEvent::Failed;
            const bool restart = event.kind == XmlEvent::Stanza &&
                                 (event.element->name == "success" || event.element->name == "compressed");
            const bool compress = restart && event.element->name == "compressed";
            out.push_back(std::move(event));
            if (failure) return;
            if (!restart) continue;
            // What follows "compressed" is the server's first compressed bytes.
            if (compress && !compression->IsStarted()) compression->Start();
            input.Restart(compress);
        }
    }

    // Descriptions of what a piece of input completes (XmlTest::Describe); a failure is given once.
    std::vector<std::string> Receive(const char* data, size_t length)
    {
        std::vector<std::string> described;
        if (failed) return described;
        std::vector<XmlEvent> events;
        Receive(data, length, events);
        for (const XmlEvent& event : events) {
            if (event.kind == XmlEvent::Failed && input.IsCorrupt())
                described.push_back("corrupt compressed stream");
            else
                described.push_back(XmlTest::Describe(event, input.Parser()));
            failed = failed || event.kind == XmlEvent::Failed;
        }
        return described;
    }

    bool IsCompressed() const { return input.IsCompressed(); }
    bool IsCorrupt() const { return input.IsCorrupt(); }
    const XmlStreamParser& Parser() const { return input.Parser(); }

private:
    StreamCompression own;
    StreamCompression* compression;
    XmppInput input;
    bool failed = false;
};

}  // namespace XmppTest
