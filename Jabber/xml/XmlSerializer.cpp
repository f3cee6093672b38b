#include "Jabber/xml/XmlSerializer.h"

#include "Jabber/xml/XmlElement.h"
#include "Jabber/xml/XmlText.h"

#include <vector>

namespace {

bool HasContent(const XmlElement& element)
{
    return !element.children.empty() || !element.text.empty();
}

// The prologue, the start tag and the text; true when the element has content and so an end tag
// to come after its children.
bool WriteStart(const XmlElement& element, std::string& out)
{
    if (element.prologue) out += element.prologue;
    bool named = !element.name.empty();
    if (named) {
        out += '<';
        out += element.name;
        for (const XmlAttribute& attribute : element.attributes) {
            out += ' ';
            out += attribute.name;
            out += "='";
            AppendEscaped(out, attribute.value.data(), attribute.value.size());
            out += '\'';
        }
    }
    if (!HasContent(element)) {
        if (named) out += element.leaveOpen ? ">" : "/>";
        return false;
    }
    if (named) out += '>';
    AppendEscaped(out, element.text.data(), element.text.size());
    return true;
}

void WriteEnd(const XmlElement& element, std::string& out)
{
    if (element.name.empty()) return;
    out += "</";
    out += element.name;
    out += '>';
}

}  // namespace

void SerializeTo(const XmlElement& root, std::string& out)
{
    struct Open {
        const XmlElement* element;
        size_t nextChild;
    };
    std::vector<Open> open;
    if (WriteStart(root, out)) open.push_back(Open{&root, 0});
    while (!open.empty()) {
        Open& top = open.back();
        if (top.nextChild == top.element->children.size()) {
            WriteEnd(*top.element, out);
            open.pop_back();
            continue;
        }
        const XmlElement& child = *top.element->children[top.nextChild++];
        if (WriteStart(child, out)) open.push_back(Open{&child, 0});
    }
}

std::string Serialize(const XmlElement& element)
{
    std::string out;
    SerializeTo(element, out);
    return out;
}
