// Builders and readers of "iq" elements and of the ids the plug-in gives its requests: "zel_"
// followed by the account's counter in decimal, without padding.
#pragma once

#include "Jabber/xml/XmlElement.h"

extern const char IqIdPrefix[];  // "zel_"

// Adds "id" = the prefix and counter.
XmlElement* SetIqId(XmlElement* element, unsigned counter);
// Adds a child "query" with "xmlns" = ns; gives the child.
XmlElement* AddQuery(XmlElement* parent, const char* ns);

// Makes element an "iq" with "type" (when given), "to" (when given) and an id: the counter's
// (none when counter is negative), or a ready text id (none when empty).
XmlElement* MakeIq(XmlElement* element, const char* type, long long counter, const std::string* to = nullptr);
XmlElement* MakeIq(XmlElement* element, const char* type, const std::string& id, const std::string* to = nullptr);
// Makes element an "iq" with "type" that answers request: "to" = the request's "from" and "id" =
// its id, each only when the request has it.
XmlElement* MakeIqReply(XmlElement* element, const char* type, const XmlElement* request);

// Whether the element's "type" is type (lower case), in any letter case, as the dispatch reads it.
bool IqTypeIs(const XmlElement* element, const char* type);

// The counter of the element's "id" when it is the prefix (in any letter case) followed by a
// decimal number that fits 32 bits and nothing else; -1 otherwise.
long long ParseIqId(const XmlElement* element);
