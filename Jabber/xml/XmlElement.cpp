#include "Jabber/xml/XmlElement.h"

#include "Jabber/xml/XmlText.h"

#include <cstring>

XmlElement::XmlElement(std::string name, const wchar_t* text) : name(std::move(name)), text(Utf8FromWide(text)) {}

XmlElement::~XmlElement()
{
    // Descendants are taken out and destroyed from a list of our own, each once its own children
    // have been taken out too, so no destructor below this one has anything left to walk. They go
    // in the order they were made, which the platform's heap frees far faster than the reverse.
    std::vector<std::unique_ptr<XmlElement>> pending;
    pending.swap(children);
    for (size_t i = 0; i < pending.size(); ++i) {
        std::unique_ptr<XmlElement> next = std::move(pending[i]);
        for (std::unique_ptr<XmlElement>& child : next->children) pending.push_back(std::move(child));
        next->children.clear();
    }
}

XmlElement* AddChild(XmlElement* parent, const char* name)
{
    if (!parent) return nullptr;
    return AppendChild(parent, std::unique_ptr<XmlElement>(new XmlElement(name ? name : "")));
}

XmlElement* AddTextChild(XmlElement* parent, const char* name, const std::string& text)
{
    XmlElement* child = AddChild(parent, name);
    if (child) child->text = text;
    return child;
}

XmlElement* AddTextChild(XmlElement* parent, const char* name, const wchar_t* text)
{
    XmlElement* child = AddChild(parent, name);
    if (child) child->text = Utf8FromWide(text);
    return child;
}

XmlElement* AppendChild(XmlElement* parent, std::unique_ptr<XmlElement> child)
{
    if (!parent || !child) return nullptr;
    parent->children.push_back(std::move(child));
    return parent->children.back().get();
}

XmlElement* SetAttribute(XmlElement* element, const char* name, const std::string& value)
{
    if (!element || !name || !*name) return nullptr;
    element->attributes.push_back(XmlAttribute{name, value});
    return element;
}

XmlElement* SetAttribute(XmlElement* element, const char* name, const wchar_t* value)
{
    return SetAttribute(element, name, Utf8FromWide(value));
}

XmlElement* SetAttributeInt(XmlElement* element, const char* name, long long number)
{
    return SetAttribute(element, name, std::to_string(number));
}

const std::string* GetAttribute(const XmlElement* element, const char* name)
{
    if (!element || !name || !*name) return nullptr;
    for (const XmlAttribute& attribute : element->attributes)
        if (attribute.name == name) return &attribute.value;
    return nullptr;
}

namespace {

template <typename Element> Element* FirstChildOf(Element* element)
{
    return element && !element->children.empty() ? element->children.front().get() : nullptr;
}

template <typename Element> Element* FindChildOf(Element* element, const char* name, int n)
{
    if (!element || !name || !*name) return nullptr;
    for (const std::unique_ptr<XmlElement>& child : element->children)
        if (child->name == name && --n == 0) return child.get();
    return nullptr;
}

template <typename Element>
Element* FindChildWithAttributeOf(Element* element, const char* name, const char* attrName, const std::string& value)
{
    if (!element || !name || !*name || !attrName || !*attrName || value.empty()) return nullptr;
    for (const std::unique_ptr<XmlElement>& child : element->children) {
        if (child->name != name) continue;
        const std::string* found = GetAttribute(child.get(), attrName);
        if (found && *found == value) return child.get();
    }
    return nullptr;
}

}  // namespace

const XmlElement* FirstChild(const XmlElement* element) { return FirstChildOf(element); }
XmlElement* FirstChild(XmlElement* element) { return FirstChildOf(element); }

const XmlElement* FindChild(const XmlElement* element, const char* name, int n) { return FindChildOf(element, name, n); }
XmlElement* FindChild(XmlElement* element, const char* name, int n) { return FindChildOf(element, name, n); }

const XmlElement* FindChildWithAttribute(const XmlElement* element, const char* name, const char* attrName,
                                         const std::string& value)
{
    return FindChildWithAttributeOf(element, name, attrName, value);
}

XmlElement* FindChildWithAttribute(XmlElement* element, const char* name, const char* attrName, const std::string& value)
{
    return FindChildWithAttributeOf(element, name, attrName, value);
}

bool RemoveChild(XmlElement* parent, const XmlElement* child)
{
    if (!parent || !child) return false;
    for (auto it = parent->children.begin(); it != parent->children.end(); ++it) {
        if (it->get() == child) {
            parent->children.erase(it);
            return true;
        }
    }
    return false;
}
