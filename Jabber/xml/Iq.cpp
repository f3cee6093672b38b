#include "Jabber/xml/Iq.h"

#include <cctype>
#include <cstring>

const char IqIdPrefix[] = "zel_";

XmlElement* SetIqId(XmlElement* element, unsigned counter)
{
    return SetAttribute(element, "id", IqIdPrefix + std::to_string(counter));
}

XmlElement* AddQuery(XmlElement* parent, const char* ns)
{
    XmlElement* query = AddChild(parent, "query");
    SetAttribute(query, "xmlns", ns ? ns : "");
    return query;
}

namespace {

XmlElement* StartIq(XmlElement* element, const char* type, const std::string* to)
{
    if (!element) return nullptr;
    element->name = "iq";
    if (type) SetAttribute(element, "type", type);
    if (to) SetAttribute(element, "to", *to);
    return element;
}

}  // namespace

XmlElement* MakeIq(XmlElement* element, const char* type, long long counter, const std::string* to)
{
    if (!StartIq(element, type, to)) return nullptr;
    if (counter >= 0) SetIqId(element, unsigned(counter));
    return element;
}

XmlElement* MakeIq(XmlElement* element, const char* type, const std::string& id, const std::string* to)
{
    if (!StartIq(element, type, to)) return nullptr;
    if (!id.empty()) SetAttribute(element, "id", id);
    return element;
}

XmlElement* MakeIqReply(XmlElement* element, const char* type, const XmlElement* request)
{
    const std::string* id = GetAttribute(request, "id");
    return MakeIq(element, type, id ? *id : std::string(), GetAttribute(request, "from"));
}

bool IqTypeIs(const XmlElement* element, const char* type)
{
    const std::string* value = GetAttribute(element, "type");
    if (!value || value->size() != std::strlen(type)) return false;
    for (size_t i = 0; i < value->size(); ++i)
        if (std::tolower(static_cast<unsigned char>((*value)[i])) != type[i]) return false;
    return true;
}

long long ParseIqId(const XmlElement* element)
{
    const std::string* id = GetAttribute(element, "id");
    const size_t prefixLength = sizeof IqIdPrefix - 1;
    if (!id || id->size() <= prefixLength || id->size() > prefixLength + 10) return -1;
    for (size_t i = 0; i < prefixLength; ++i)
        if (std::tolower(static_cast<unsigned char>((*id)[i])) != IqIdPrefix[i]) return -1;
    unsigned long long counter = 0;
    for (size_t i = prefixLength; i < id->size(); ++i) {
        char c = (*id)[i];
        if (c < '0' || c > '9') return -1;
        counter = counter * 10 + unsigned(c - '0');
    }
    return counter > 0xFFFFFFFFull ? -1 : (long long)counter;
}
