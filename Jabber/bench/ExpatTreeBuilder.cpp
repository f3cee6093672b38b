#include "Jabber/bench/ExpatTreeBuilder.h"

#include "Jabber/xml/XmlElement.h"

#include <expat.h>

#include <vector>

namespace {

struct TreeBuilder {
    int depth = 0;  // 1 inside the stream, 2 and more inside a stanza
    std::unique_ptr<XmlElement> stanza;
    std::vector<XmlElement*> open;
    long stanzas = 0;
    std::unique_ptr<XmlElement>* first = nullptr;

    static void OnStart(void* user, const XML_Char* name, const XML_Char** attributes)
    {
        TreeBuilder& self = *static_cast<TreeBuilder*>(user);
        std::unique_ptr<XmlElement> element(new XmlElement(name));
        size_t count = 0;
        while (attributes[2 * count]) ++count;
        element->attributes.reserve(count);
        for (const XML_Char** a = attributes; *a; a += 2) element->attributes.push_back(XmlAttribute{a[0], a[1]});
        if (++self.depth == 1) return;  // the stream header, handed over and dropped as ours is
        XmlElement* added = element.get();
        if (self.open.empty())
            self.stanza = std::move(element);
        else
            self.open.back()->children.push_back(std::move(element));
        self.open.push_back(added);
    }

    static void OnEnd(void* user, const XML_Char*)
    {
        TreeBuilder& self = *static_cast<TreeBuilder*>(user);
        if (self.depth-- < 2) return;
        self.open.pop_back();
        if (!self.open.empty()) return;
        ++self.stanzas;
        if (self.first && !*self.first) *self.first = std::move(self.stanza);
        self.stanza.reset();
    }

    static void OnText(void* user, const XML_Char* text, int length)
    {
        TreeBuilder& self = *static_cast<TreeBuilder*>(user);
        if (!self.open.empty()) self.open.back()->text.append(text, size_t(length));
    }
};

}  // namespace

long ExpatParseStanzas(const std::string& input, size_t chunk, std::unique_ptr<XmlElement>* first)
{
    TreeBuilder builder;
    builder.first = first;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &builder);
    XML_SetElementHandler(parser, &TreeBuilder::OnStart, &TreeBuilder::OnEnd);
    XML_SetCharacterDataHandler(parser, &TreeBuilder::OnText);
    long result = 0;
    for (size_t at = 0; at < input.size(); at += chunk) {
        size_t piece = std::min(chunk, input.size() - at);
        if (XML_Parse(parser, input.data() + at, int(piece), 0) != XML_STATUS_OK) {
            result = -1;
            break;
        }
    }
    XML_ParserFree(parser);
    return result < 0 ? result : builder.stanzas;
}
