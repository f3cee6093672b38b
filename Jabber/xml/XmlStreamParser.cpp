#include "Jabber/xml/XmlStreamParser.h"

#include "Jabber/xml/XmlText.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

inline bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Bytes that stop the scan for the end of a tag.
struct TagStops {
    bool stop[256] = {};
    TagStops() { stop[unsigned('>')] = stop[unsigned('\'')] = stop[unsigned('"')] = true; }
};
const TagStops kTagStops;

// Position of needle in [from, end) of text, or end.
size_t FindIn(const std::string& text, size_t from, size_t end, const char* needle, size_t length)
{
    if (end - from < length) return end;
    const char* begin = text.data();
    const char* found = std::search(begin + from, begin + end, needle, needle + length);
    return size_t(found - begin);
}

}  // namespace

void XmlStreamParser::Feed(const char* data, size_t length)
{
    if (error != NoError || !data || length == 0) return;
    // Everything is kept (what follows a NUL may still be taken by TakeUnparsed), but parsing stops there.
    if (nul == ~0ull) {
        if (const void* zero = std::memchr(data, 0, length))
            nul = base + buffer.size() + size_t(static_cast<const char*>(zero) - data);
    }
    buffer.append(data, length);
}

size_t XmlStreamParser::End() const
{
    return nul == ~0ull ? buffer.size() : size_t(nul - base);
}

XmlEvent XmlStreamParser::Next()
{
    XmlEvent event;
    if (error != NoError) {
        event.kind = XmlEvent::Failed;
        return event;
    }
    if (closePending) {
        closePending = false;
        streamOpen = false;
        event.kind = XmlEvent::StreamClosed;
        return event;
    }
    const size_t end = End();
    while (pos < end) {
        const char* data = buffer.data();
        if (data[pos] != '<') {
            size_t from = std::max(scan, pos);
            const void* lt = std::memchr(data + from, '<', end - from);
            size_t textEnd = lt ? size_t(static_cast<const char*>(lt) - data) : end;
            // Between stanzas text goes as it comes; inside one it waits for the "<" that ends it.
            if (InStanza()) {
                if (!lt) {
                    scan = end;
                    break;
                }
                OnText(pos, textEnd);
                if (error != NoError) return Fail(error, errorOffset);
            }
            pos = scan = textEnd;
            continue;
        }
        if (end - pos < 2) break;
        if (data[pos + 1] == '!') {
            // Only a comment; a DTD, an entity declaration or a CDATA section is not for a stream.
            static const char kComment[] = "<!--";
            size_t have = std::min<size_t>(end - pos, 4);
            if (std::memcmp(data + pos, kComment, have) != 0) return Fail(ForbiddenMarkup, base + pos);
            if (have < 4 || !SkipPast(end, 4, "-->")) break;
            continue;
        }
        if (data[pos + 1] == '?') {
            if (!SkipPast(end, 2, "?>")) break;
            continue;
        }
        size_t tagEnd;
        if (!ScanToTagEnd(end, tagEnd)) break;
        bool produced = OnTag(pos + 1, tagEnd, event);
        pos = scan = tagEnd + 1;
        if (error != NoError) {
            event.element.reset();
            event.kind = XmlEvent::Failed;
            return event;
        }
        if (produced) return event;
    }
    if (!CheckHeld()) return Fail(error, errorOffset);
    Compact();
    return event;
}

// Skips the markup at pos, whose opening is openLength bytes, up to and including closing. False
// when its end has not come yet; the next call resumes where a split closing can still begin.
bool XmlStreamParser::SkipPast(size_t end, size_t openLength, const char* closing)
{
    const size_t closingLength = std::strlen(closing);
    size_t close = FindIn(buffer, std::max(scan, pos + openLength), end, closing, closingLength);
    if (close == end) {
        scan = std::max(pos + openLength, end - (closingLength - 1));
        return false;
    }
    pos = scan = close + closingLength;
    return true;
}

// Finds the ">" that ends the tag at pos, outside quoted stretches, resuming where the last call
// stopped. False when the input ends first.
bool XmlStreamParser::ScanToTagEnd(size_t end, size_t& tagEnd)
{
    const char* data = buffer.data();
    size_t i = std::max(scan, pos + 1);
    char q = scan > pos ? quote : 0;
    while (i < end) {
        if (q) {
            const void* close = std::memchr(data + i, q, end - i);
            if (!close) {
                i = end;
                break;
            }
            i = size_t(static_cast<const char*>(close) - data) + 1;
            q = 0;
            continue;
        }
        while (i < end && !kTagStops.stop[static_cast<unsigned char>(data[i])]) ++i;
        if (i == end) break;
        if (data[i] == '>') {
            tagEnd = i;
            quote = 0;
            return true;
        }
        q = data[i++];
    }
    scan = end;
    quote = q;
    return false;
}

// The tag between "<" at start - 1 and ">" at end. True when it completes an event.
bool XmlStreamParser::OnTag(size_t start, size_t end, XmlEvent& event)
{
    const char* data = buffer.data();
    if (start == end) {
        Fail(NotWellFormed, base + start - 1);
        return false;
    }
    if (data[start] == '/') return OnEndTag(start + 1, end, event);
    bool empty = data[end - 1] == '/';
    if (empty) --end;
    size_t nameEnd = start;
    while (nameEnd < end && !IsSpace(data[nameEnd])) ++nameEnd;
    if (nameEnd == start) {
        Fail(NotWellFormed, base + start - 1);
        return false;
    }
    size_t attributes = nameEnd;
    while (attributes < end && IsSpace(data[attributes])) ++attributes;
    return OnStartTag(start, nameEnd, attributes, end, empty, event);
}

bool XmlStreamParser::OnEndTag(size_t start, size_t end, XmlEvent& event)
{
    const char* data = buffer.data();
    while (end > start && IsSpace(data[end - 1])) --end;
    const size_t tagOffset = base + start - 2;
    if (skipDepth > 0) {
        --skipDepth;
        return false;
    }
    const std::string* expected = !open.empty() ? &open.back()->name : streamOpen ? &streamName : nullptr;
    if (!expected || expected->size() != end - start || expected->compare(0, end - start, data + start, end - start) != 0) {
        Fail(NotWellFormed, tagOffset);
        return false;
    }
    if (!open.empty()) {
        open.pop_back();
        if (!open.empty()) return false;
        if (base + end - stanzaStart > MaxStanzaBytes) {
            Fail(StanzaTooLarge, stanzaStart);
            return false;
        }
        event.kind = XmlEvent::Stanza;
        event.element = std::move(stanza);
        return true;
    }
    streamOpen = false;
    event.kind = XmlEvent::StreamClosed;
    return true;
}

bool XmlStreamParser::OnStartTag(size_t start, size_t nameEnd, size_t attributes, size_t end, bool empty,
                                 XmlEvent& event)
{
    const char* data = buffer.data();
    const unsigned long long tagOffset = base + start - 1;
    if (skipDepth > 0) {
        if (!empty) ++skipDepth;
        return false;
    }
    const bool overLong = nameEnd - start > MaxNameBytes || end - attributes > MaxAttributeBytes;
    if (!streamOpen) {
        if (overLong) {
            Fail(NotWellFormed, tagOffset);
            return false;
        }
        std::unique_ptr<XmlElement> header(new XmlElement(std::string(data + start, nameEnd - start)));
        ParseAttributes(attributes, end, header->attributes);
        streamName = header->name;
        streamOpen = true;
        closePending = empty;
        event.kind = XmlEvent::StreamOpened;
        event.element = std::move(header);
        return true;
    }
    if (open.empty()) {
        stanzaStart = tagOffset;
        stanzaNodes = 0;
    }
    if (overLong || open.size() >= MaxDepth) {
        // Dropped whole, never in part: its children must not stand in its place.
        if (!empty) skipDepth = 1;
        return false;
    }
    std::unique_ptr<XmlElement> element(new XmlElement(std::string(data + start, nameEnd - start)));
    ParseAttributes(attributes, end, element->attributes);
    stanzaNodes += 1 + element->attributes.size();
    if (stanzaNodes > MaxStanzaNodes || base + end - stanzaStart > MaxStanzaBytes) {
        Fail(StanzaTooLarge, stanzaStart);
        return false;
    }
    XmlElement* added = element.get();
    if (open.empty())
        stanza = std::move(element);
    else
        open.back()->children.push_back(std::move(element));
    if (!empty) {
        open.push_back(added);
        return false;
    }
    if (!open.empty()) return false;
    event.kind = XmlEvent::Stanza;
    event.element = std::move(stanza);
    return true;
}

void XmlStreamParser::ParseAttributes(size_t i, size_t end, std::vector<XmlAttribute>& out)
{
    // Collected in a list kept between tags, then moved into one allocation of the right size.
    std::vector<XmlAttribute>& found = attributeScratch;
    found.clear();
    const char* data = buffer.data();
    while (i < end) {
        while (i < end && IsSpace(data[i])) ++i;
        if (i == end) break;
        size_t nameStart = i;
        while (i < end && data[i] != '=' && !IsSpace(data[i])) ++i;
        size_t nameEnd = i;
        while (i < end && IsSpace(data[i])) ++i;
        size_t valueStart = i, valueEnd = i;
        if (i < end && data[i] == '=') {
            ++i;
            while (i < end && IsSpace(data[i])) ++i;
            if (i < end && (data[i] == '\'' || data[i] == '"')) {
                const char q = data[i++];
                valueStart = i;
                while (i < end && data[i] != q) ++i;
                valueEnd = i;
                if (i < end) ++i;
            } else {
                valueStart = i;
                while (i < end && !IsSpace(data[i])) ++i;
                valueEnd = i;
            }
        }
        if (nameEnd == nameStart) continue;
        found.push_back(XmlAttribute{std::string(data + nameStart, nameEnd - nameStart),
                                     DecodeText(data + valueStart, valueEnd - valueStart)});
    }
    out.assign(std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
}

void XmlStreamParser::OnText(size_t start, size_t end)
{
    if (skipDepth > 0 || open.empty()) return;
    if (base + end - stanzaStart > MaxStanzaBytes) {
        Fail(StanzaTooLarge, stanzaStart);
        return;
    }
    std::string& text = open.back()->text;
    text.assign(buffer.data() + start, end - start);
    DecodeEntities(text);
}

// Whether what is held while waiting for more input stays within the limits.
bool XmlStreamParser::CheckHeld()
{
    if (nul != ~0ull) {
        // Nothing after a NUL is parsed, so the token it cuts can never end.
        error = ForbiddenMarkup;
        errorOffset = nul;
        return false;
    }
    if (InStanza() ? base + buffer.size() - stanzaStart > MaxStanzaBytes : buffer.size() - pos > MaxStanzaBytes) {
        error = StanzaTooLarge;
        errorOffset = InStanza() ? stanzaStart : base + pos;
        return false;
    }
    return true;
}

void XmlStreamParser::Compact()
{
    if (pos == 0) return;
    buffer.erase(0, pos);
    base += pos;
    scan -= std::min(scan, pos);
    pos = 0;
    // A large stanza or text once held does not pin its buffer for the rest of the stream.
    if (buffer.capacity() > (256 << 10) && buffer.size() < (16 << 10)) buffer.shrink_to_fit();
}

XmlEvent XmlStreamParser::Fail(Error kind, unsigned long long offset)
{
    error = kind;
    errorOffset = offset;
    stanza.reset();
    open.clear();
    XmlEvent event;
    event.kind = XmlEvent::Failed;
    return event;
}

void XmlStreamParser::Reset()
{
    buffer.clear();
    buffer.shrink_to_fit();
    pos = scan = 0;
    quote = 0;
    base = 0;
    nul = ~0ull;
    streamOpen = closePending = false;
    streamName.clear();
    stanza.reset();
    open.clear();
    skipDepth = 0;
    stanzaStart = 0;
    stanzaNodes = 0;
    error = NoError;
    errorOffset = 0;
}

std::string XmlStreamParser::TakeUnparsed()
{
    std::string rest = buffer.substr(pos);
    base += buffer.size();
    buffer.clear();
    pos = scan = 0;
    quote = 0;
    nul = ~0ull;
    return rest;
}
