// Cutting JIDs (node@domain/resource) apart, in UTF-8 or UTF-16.
#pragma once

#include <string>

// The JID up to its first "@" before any "/"; with none, up to its first "/"; with neither, the
// whole JID.
std::string JidNodePart(const std::string& jid);
std::wstring JidNodePart(const std::wstring& jid);
// The JID without its resource: cut at its first "/".
std::string StripResource(const std::string& jid);
std::wstring StripResource(const std::wstring& jid);
