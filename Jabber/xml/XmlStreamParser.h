// XmlStreamParser: turns the bytes of an XMPP stream, fed as they arrive in pieces of any size,
// into events: the stream header (each time one arrives, with its attributes), every complete
// stanza (the element at the second level, with its whole subtree), the stream's end, or a failure.
// It knows nothing of XMPP beyond those two outer levels.
//
//     parser.Feed(bytes, count);
//     for (XmlEvent event = parser.Next(); event.kind != XmlEvent::NeedMore; event = parser.Next())
//         ... a failure ends the stream: the parser then answers Failed until Reset
//
// Feed only keeps the bytes; Next parses as far as the next event and hands it over, so a caller
// that must switch the stream (a restart after authentication, compression) does so between two
// events and takes the bytes not yet parsed with TakeUnparsed. Each event comes from the Next
// calls that follow the Feed of the byte that completes it, however the input was split.
//
// What the parser accepts (a restricted XML, as XMPP streams are):
// - Text is kept inside stanzas only, white space included, the five named entities decoded; an
//   element with mixed content keeps its last run of text. Text between stanzas (the keep-alive
//   blanks) is dropped as it comes.
// - Comments and processing instructions (the XML declaration) are skipped.
// - A NUL byte, "<!DOCTYPE", "<!ENTITY" or any other "<!" markup but a comment is a failure
//   (ForbiddenMarkup), as is an end tag that does not close the open element (NotWellFormed).
// - An element whose name is over MaxNameBytes or whose attribute text is over MaxAttributeBytes,
//   or that would stand deeper than MaxDepth in its stanza, is skipped whole, with its subtree; a
//   stanza that is skipped so is dropped and the stream goes on. (A stream header of that kind is
//   NotWellFormed.)
// - A stanza over MaxStanzaBytes of input or MaxStanzaNodes elements and attributes, or a
//   partial token between stanzas over MaxStanzaBytes, is a failure (StanzaTooLarge): memory stays
//   bounded by those limits and the size of one Feed.
// Nothing recurses per level, so depth never reaches the stack.
#pragma once

#include "Jabber/xml/XmlElement.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct XmlEvent {
    enum Kind { NeedMore, StreamOpened, Stanza, StreamClosed, Failed };
    Kind kind = NeedMore;
    // StreamOpened: the header (name and attributes, no children); Stanza: the stanza.
    std::unique_ptr<XmlElement> element;
};

class XmlStreamParser {
public:
    enum Limits {
        MaxNameBytes = 50,
        MaxAttributeBytes = 1024,
        MaxDepth = 32,  // elements nested in one stanza, the stanza itself counted
        // A roster of 10,000 items takes about 1.5 MB and 50,000 nodes.
        MaxStanzaBytes = 4 << 20,
        MaxStanzaNodes = 200000
    };
    enum Error { NoError, StanzaTooLarge, ForbiddenMarkup, NotWellFormed };

    XmlStreamParser() = default;
    XmlStreamParser(const XmlStreamParser&) = delete;
    XmlStreamParser& operator=(const XmlStreamParser&) = delete;

    // Keeps length bytes for Next. Ignored after a failure.
    void Feed(const char* data, size_t length);
    XmlEvent Next();
    // Forgets everything: the input held, the stream and the stanza under construction, a failure.
    void Reset();
    // The input fed but not parsed yet, which the parser forgets: what follows the last event.
    std::string TakeUnparsed();

    Error LastError() const { return error; }
    // Where the failure lies, in bytes from the start of the stream (the last Reset).
    unsigned long long ErrorOffset() const { return errorOffset; }
    // Input bytes held now (a partial token, or a text awaiting its end).
    size_t HeldBytes() const { return buffer.size() - pos; }

private:
    size_t End() const;
    bool InStanza() const { return !open.empty() || skipDepth > 0; }
    bool SkipPast(size_t end, size_t openLength, const char* closing);
    bool ScanToTagEnd(size_t end, size_t& tagEnd);
    bool OnTag(size_t start, size_t end, XmlEvent& event);
    bool OnEndTag(size_t start, size_t end, XmlEvent& event);
    bool OnStartTag(size_t start, size_t nameEnd, size_t attributes, size_t end, bool empty, XmlEvent& event);
    void ParseAttributes(size_t start, size_t end, std::vector<XmlAttribute>& out);
    void OnText(size_t start, size_t end);
    bool CheckHeld();
    void Compact();
    XmlEvent Fail(Error kind, unsigned long long offset);

    std::string buffer;             // input held: [pos, End()) is not parsed yet
    size_t pos = 0;                 // start of the token being read
    size_t scan = 0;                // how far that token has been scanned, so it is never scanned twice
    char quote = 0;                 // the quote open at scan inside a tag, or 0
    unsigned long long base = 0;    // stream offset of buffer[0]
    unsigned long long nul = ~0ull; // stream offset of the first NUL fed, if any

    bool streamOpen = false;
    bool closePending = false;      // an empty-element stream header: its end comes next
    std::string streamName;
    std::unique_ptr<XmlElement> stanza;  // the stanza under construction
    std::vector<XmlElement*> open;       // its open elements, the stanza first
    int skipDepth = 0;                   // > 0: inside an element being skipped, that many levels
    unsigned long long stanzaStart = 0;  // stream offset of the stanza's "<"
    size_t stanzaNodes = 0;

    Error error = NoError;
    unsigned long long errorOffset = 0;
    std::vector<XmlAttribute> attributeScratch;
};
