// XmppInput: the receiving side of an XMPP stream, bytes in as the connection hands them over,
// parser events out. Once the stream is compressed, the bytes go through the inflater first, and
// only as much is inflated as the parser needs for its next event, so a small input that inflates
// to a flood never holds more than one piece beyond the parser's own limits.
//
//     input.Put(bytes, count);
//     for (XmlEvent e = input.Next(); e.kind != XmlEvent::NeedMore; e = input.Next()) ...
//
// A restart (after SASL success, or with compression after "compressed") is made between two events:
// the parser starts afresh on what the current input still holds, which stays in order.
#pragma once

#include "Jabber/stream/StreamCompression.h"
#include "Jabber/xml/XmlStreamParser.h"

#include <cstddef>
#include <string>

class XmppInput {
public:
    // The inflater is the caller's (its deflater sends): it must have been started before a restart
    // that turns compression on.
    explicit XmppInput(StreamCompression& compression) : compression(compression) {}

    void Put(const char* data, size_t length);
    // The next event; Failed for a stream the parser refuses or a corrupt compressed stream (then
    // every later call fails too, until Reset).
    XmlEvent Next();
    // Starts a new stream on the input held. With compressed, what follows is compressed from now on.
    void Restart(bool compressed);
    // Forgets everything, compression included: a new connection.
    void Reset();

    bool IsCompressed() const { return compressed; }
    // Why Next failed: the parser's error, or NoError with a corrupt compressed stream.
    XmlStreamParser::Error ParserError() const { return parser.LastError(); }
    bool IsCorrupt() const { return corrupt; }
    const XmlStreamParser& Parser() const { return parser; }

private:
    enum { PieceBytes = 4096 };

    StreamCompression& compression;
    XmlStreamParser parser;
    bool compressed = false;
    bool corrupt = false;
};
