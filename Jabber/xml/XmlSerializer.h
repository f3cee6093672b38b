// The serialiser: an element tree as UTF-8 text for the connection. Attribute values are written in
// single quotes; every attribute value and every text is escaped (EscapeXmlText), so a tree holds
// plain text and nothing a user or a peer typed can close a tag. An element's text comes before its
// children. The tree is walked with a list of its own, not recursion.
#pragma once

#include <string>

class XmlElement;

// Appends the element's text form to out.
void SerializeTo(const XmlElement& element, std::string& out);
std::string Serialize(const XmlElement& element);
