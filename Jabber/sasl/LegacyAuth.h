// The "digest" of legacy authentication ("jabber:iq:auth", XEP-0078).
#pragma once

#include <string>

namespace Sasl {

// 40 lowercase hexadecimal digits of the SHA-1 of the stream id followed by the password (UTF-8).
std::string LegacyAuthDigest(const std::string& streamId, const std::string& password);

} // namespace Sasl
