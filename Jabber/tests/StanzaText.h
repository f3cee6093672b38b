// One stanza from its text, read by the stream parser as it would arrive.
#pragma once

#include "Jabber/xml/XmlStreamParser.h"

#include <memory>
#include <string>

namespace JabberTest {

inline std::unique_ptr<XmlElement> ParseStanza(const std::string& text)
{
    XmlStreamParser parser;
    const std::string input = "<stream:stream xmlns='jabber:client' xmlns:stream='http://etherx.jabber.org/streams'>" + text;
    parser.Feed(input.data(), input.size());
    for (XmlEvent event = parser.Next(); event.kind != XmlEvent::NeedMore; event = parser.Next()) {
        if (event.kind == XmlEvent::Stanza) return std::move(event.element);
        if (event.kind == XmlEvent::Failed) break;
    }
    return nullptr;
}

}  // namespace JabberTest
