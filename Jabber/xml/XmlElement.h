// XmlElement: one element of the small tree that every stanza handler reads and every stanza
// builder fills. Names, attribute values and texts are UTF-8 in built and parsed elements alike;
// texts are plain (the serialiser escapes them, the parser has decoded them).
//
// The functions below take and give pointers and do nothing with a null element (the adders then
// give null, the readers null or -1), so lookups chain: FindChild(FindChild(iq, "query"), "item").
// Names compare byte by byte, prefix included ("stream:features").
//
// An element owns its attributes and children. Nothing here recurses per level: destroying a tree,
// like serialising or parsing one, walks it with a list of its own, so depth never reaches the stack.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct XmlAttribute {
    std::string name;
    std::string value;
};

class XmlElement {
public:
    explicit XmlElement(std::string name = std::string()) : name(std::move(name)) {}
    XmlElement(std::string name, std::string text) : name(std::move(name)), text(std::move(text)) {}
    XmlElement(std::string name, const wchar_t* text);
    ~XmlElement();

    XmlElement(const XmlElement&) = delete;
    XmlElement& operator=(const XmlElement&) = delete;
    XmlElement(XmlElement&&) = default;
    XmlElement& operator=(XmlElement&&) = default;

    std::string name;  // empty: the serialiser writes only the text and the children
    std::string text;  // empty: none; an element with mixed content keeps its last run of text
    std::vector<XmlAttribute> attributes;  // in document order; a name may appear twice
    std::vector<std::unique_ptr<XmlElement>> children;
    // Written immediately before the element by the serialiser; not owned (a constant).
    const char* prologue = nullptr;
    // With neither children nor text the start tag ends with ">" and no end tag follows: how the
    // stream header is sent.
    bool leaveOpen = false;
};

// Building. Each adds at the end; a null parent or element adds nothing and gives null.
XmlElement* AddChild(XmlElement* parent, const char* name);
XmlElement* AddTextChild(XmlElement* parent, const char* name, const std::string& text);
XmlElement* AddTextChild(XmlElement* parent, const char* name, const wchar_t* text);
// Takes the child; gives it, or null (the child destroyed) when parent is null.
XmlElement* AppendChild(XmlElement* parent, std::unique_ptr<XmlElement> child);
// Appends, never replaces: a name given twice appears twice.
XmlElement* SetAttribute(XmlElement* element, const char* name, const std::string& value);
XmlElement* SetAttribute(XmlElement* element, const char* name, const wchar_t* value);
XmlElement* SetAttributeInt(XmlElement* element, const char* name, long long number);

// Reading. A null element or an empty name gives null.
const std::string* GetAttribute(const XmlElement* element, const char* name);
const XmlElement* FirstChild(const XmlElement* element);
XmlElement* FirstChild(XmlElement* element);
// The n-th (from 1) direct child with that name.
const XmlElement* FindChild(const XmlElement* element, const char* name, int n = 1);
XmlElement* FindChild(XmlElement* element, const char* name, int n = 1);
// The first direct child with that name whose attribute attrName equals value exactly.
const XmlElement* FindChildWithAttribute(const XmlElement* element, const char* name, const char* attrName,
                                         const std::string& value);
XmlElement* FindChildWithAttribute(XmlElement* element, const char* name, const char* attrName,
                                   const std::string& value);

// Unlinks child from parent (the later children move up one place) and destroys it; false, doing
// nothing, when it is not a child of parent.
bool RemoveChild(XmlElement* parent, const XmlElement* child);
