// What the XML tests share: a plain dump of elements and events that shows every byte of names,
// attribute values and texts (the serialiser would escape them and drop carriage returns), and
// feeding a parser in pieces.
#pragma once

#include "Jabber/xml/XmlElement.h"
#include "Jabber/xml/XmlStreamParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace XmlTest {

// <name a="v" b="w">text|child...</name>, values and texts as they stand.
inline void DumpTo(const XmlElement& element, std::string& out)
{
    out += "<" + element.name;
    for (const XmlAttribute& attribute : element.attributes) out += " " + attribute.name + "=\"" + attribute.value + "\"";
    out += ">" + element.text;
    for (const auto& child : element.children) {
        out += "|";
        DumpTo(*child, out);
    }
    out += "</" + element.name + ">";
}

// The items that contain part, in order.
inline std::vector<std::string> Containing(const std::vector<std::string>& items, const std::string& part)
{
    std::vector<std::string> found;
    for (const std::string& item : items)
        if (item.find(part) != std::string::npos) found.push_back(item);
    return found;
}

inline std::string Dump(const XmlElement& element)
{
    std::string out;
    DumpTo(element, out);
    return out;
}

inline std::string Describe(const XmlEvent& event, const XmlStreamParser& parser)
{
    switch (event.kind) {
    case XmlEvent::StreamOpened: return "open " + Dump(*event.element);
    case XmlEvent::Stanza: return Dump(*event.element);
    case XmlEvent::StreamClosed: return "close";
    case XmlEvent::Failed:
        return "failed " + std::to_string(int(parser.LastError())) + " at " + std::to_string(parser.ErrorOffset());
    default: return "need more";
    }
}

// The events Next gives until it needs more input; a failure ends the list.
inline std::vector<std::string> Drain(XmlStreamParser& parser)
{
    std::vector<std::string> events;
    for (;;) {
        XmlEvent event = parser.Next();
        if (event.kind == XmlEvent::NeedMore) break;
        events.push_back(Describe(event, parser));
        if (event.kind == XmlEvent::Failed) break;
    }
    return events;
}

inline std::vector<std::string> ParseWhole(const std::string& input)
{
    XmlStreamParser parser;
    parser.Feed(input.data(), input.size());
    return Drain(parser);
}

// Events of input fed in pieces of chunk bytes.
inline std::vector<std::string> ParseInChunks(const std::string& input, size_t chunk)
{
    XmlStreamParser parser;
    std::vector<std::string> events;
    for (size_t at = 0; at < input.size(); at += chunk) {
        parser.Feed(input.data() + at, std::min(chunk, input.size() - at));
        for (std::string& event : Drain(parser)) events.push_back(std::move(event));
    }
    return events;
}

// The parser alone as a receiver for ExpectSameEventsAtEverySplit. A failure is reported once.
class ParserReceiver {
public:
    std::vector<std::string> Receive(const char* data, size_t length)
    {
        if (failed) return {};
        parser.Feed(data, length);
        std::vector<std::string> events = Drain(parser);
        failed = parser.LastError() != XmlStreamParser::NoError;
        return events;
    }

private:
    XmlStreamParser parser;
    bool failed = false;
};

// Feeds input to a fresh Receiver (default-constructible, with std::vector<std::string>
// Receive(const char*, size_t) giving the events each call completes) whole, byte by byte, split in
// two at every offset and in chunks of every size up to maxChunk. Every way gives the events of the
// whole, each from the call that received the byte completing it.
template <typename Receiver> void ExpectSameEventsAtEverySplit(const std::string& input, size_t maxChunk = 64)
{
    std::vector<std::string> whole = Receiver().Receive(input.data(), input.size());

    // The byte that completes each event.
    std::vector<size_t> completedAt;
    {
        Receiver receiver;
        std::vector<std::string> events;
        for (size_t i = 0; i < input.size(); ++i) {
            for (std::string& event : receiver.Receive(input.data() + i, 1)) {
                events.push_back(std::move(event));
                completedAt.push_back(i);
            }
        }
        ASSERT_EQ(events, whole) << "byte by byte";
    }

    for (size_t split = 1; split < input.size(); ++split) {
        Receiver receiver;
        std::vector<std::string> first = receiver.Receive(input.data(), split);
        std::vector<std::string> second = receiver.Receive(input.data() + split, input.size() - split);
        size_t before = size_t(std::count_if(completedAt.begin(), completedAt.end(), [&](size_t at) { return at < split; }));
        ASSERT_EQ(first, std::vector<std::string>(whole.begin(), whole.begin() + long(before))) << "split at " << split;
        ASSERT_EQ(second, std::vector<std::string>(whole.begin() + long(before), whole.end())) << "split at " << split;
    }

    for (size_t chunk = 2; chunk <= maxChunk; ++chunk) {
        Receiver receiver;
        size_t next = 0;  // index of the next event expected
        for (size_t at = 0; at < input.size(); at += chunk) {
            size_t end = std::min(at + chunk, input.size());
            std::vector<std::string> events = receiver.Receive(input.data() + at, end - at);
            size_t expected = next;
            while (expected < whole.size() && completedAt[expected] < end) ++expected;
            ASSERT_EQ(events, std::vector<std::string>(whole.begin() + long(next), whole.begin() + long(expected)))
                << "chunks of " << chunk << ", the one at " << at;
            next = expected;
        }
        ASSERT_EQ(next, whole.size()) << "chunks of " << chunk;
    }
}

const char kStreamHeader[] =
    "<?xml version='1.0'?><stream:stream xmlns='jabber:client' xmlns:stream='http://etherx.jabber.org/streams' "
    "id='42' from='localhost' version='1.0'>";
const char kOpenEvent[] =
    "open <stream:stream xmlns=\"jabber:client\" xmlns:stream=\"http://etherx.jabber.org/streams\" id=\"42\" "
    "from=\"localhost\" version=\"1.0\"></stream:stream>";

// input after the stream header gives the header's event and then expected, whole and split
// anywhere (in chunks up to maxChunk).
inline void ExpectEventsAfterHeader(const std::string& input, std::vector<std::string> expected, size_t maxChunk)
{
    expected.insert(expected.begin(), kOpenEvent);
    EXPECT_EQ(ParseWhole(kStreamHeader + input), expected);
    ExpectSameEventsAtEverySplit<ParserReceiver>(kStreamHeader + input, maxChunk);
}

}  // namespace XmlTest
