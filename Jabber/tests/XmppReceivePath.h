// The receive path of an XMPP account as the tests run it, over real or recorded server bytes:
// bytes in as they come (compressed once the server has confirmed compression), events out, with
// the parser started afresh after SASL success and after "compressed", as the account restarts its
// stream. Everything a piece of input completes comes out at once: the inflater is drained into
// the parser before Receive returns.
#pragma once

#include "Jabber/stream/StreamCompression.h"
#include "Jabber/xml/XmlStreamParser.h"

#include "Jabber/tests/XmlTestSupport.h"

#include <string>
#include <vector>

namespace XmppTest {

class ReceivePath {
public:
    // Compression shared with the sending side, which starts it when it asks for compression (the
    // receiving side starts it itself when nobody did).
    explicit ReceivePath(StreamCompression* compression = nullptr)
        : compression(compression ? compression : &own) {}

    void Receive(const char* data, size_t length, std::vector<XmlEvent>& out)
    {
        if (!compressed) {
            Parse(data, length, out);
            return;
        }
        compression->Put(data, length);
        char piece[4096];
        int n;
        while ((n = compression->Decompress(piece, sizeof piece)) > 0) Parse(piece, size_t(n), out);
        if (n < 0) corrupt = true;
    }

    // Descriptions of what a piece of input completes (XmlTest::Describe); a failure is given once.
    std::vector<std::string> Receive(const char* data, size_t length)
    {
        std::vector<std::string> described;
        if (failed) return described;
        std::vector<XmlEvent> events;
        Receive(data, length, events);
        for (const XmlEvent& event : events) described.push_back(XmlTest::Describe(event, parser));
        if (corrupt) described.push_back("corrupt compressed stream");
        failed = corrupt || parser.LastError() != XmlStreamParser::NoError;
        return described;
    }

    bool IsCompressed() const { return compressed; }
    bool IsCorrupt() const { return corrupt; }
    const XmlStreamParser& Parser() const { return parser; }

private:
    void Parse(const char* data, size_t length, std::vector<XmlEvent>& out)
    {
        parser.Feed(data, length);
        for (XmlEvent event = parser.Next(); event.kind != XmlEvent::NeedMore; event = parser.Next()) {
            const bool failure = event.kind == XmlEvent::Failed;
            const bool restart = event.kind == XmlEvent::Stanza &&
                                 (event.element->name == "success" || event.element->name == "compressed");
            const bool compress = restart && event.element->name == "compressed";
            out.push_back(std::move(event));
            if (failure) return;
            if (!restart) continue;
            std::string rest = parser.TakeUnparsed();
            parser.Reset();
            if (compress) {
                // What follows "compressed" is the server's first compressed bytes.
                if (!compression->IsStarted()) compression->Start();
                compressed = true;
                Receive(rest.data(), rest.size(), out);
            } else {
                Parse(rest.data(), rest.size(), out);
            }
            return;
        }
    }

    StreamCompression own;
    StreamCompression* compression;
    XmlStreamParser parser;
    bool compressed = false;
    bool corrupt = false;
    bool failed = false;
};

}  // namespace XmppTest
