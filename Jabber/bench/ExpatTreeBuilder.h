// Expat (Debian's, cross-built by build-expat.sh) driven as our stream parser is driven: the same
// input in the same pieces, its handlers building the same XmlElement tree, each stanza handed over
// and destroyed when its end tag arrives.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class XmlElement;

// Parses input in pieces of chunk bytes; the stanzas completed (-1 on a parse error). With first,
// the first stanza is kept there.
long ExpatParseStanzas(const std::string& input, size_t chunk, std::unique_ptr<XmlElement>* first = nullptr);
