#include "Jabber/xml/Jid.h"

namespace {

template <typename Text> Text NodePart(const Text& jid)
{
    // An "@" in the resource does not make a node.
    size_t slash = jid.find(typename Text::value_type('/'));
    size_t at = jid.find(typename Text::value_type('@'));
    return jid.substr(0, at < slash ? at : slash);
}

template <typename Text> Text Bare(const Text& jid)
{
    size_t slash = jid.find(typename Text::value_type('/'));
    return slash == Text::npos ? jid : jid.substr(0, slash);
}

}  // namespace

std::string JidNodePart(const std::string& jid) { return NodePart(jid); }
std::wstring JidNodePart(const std::wstring& jid) { return NodePart(jid); }
std::string StripResource(const std::string& jid) { return Bare(jid); }
std::wstring StripResource(const std::wstring& jid) { return Bare(jid); }
