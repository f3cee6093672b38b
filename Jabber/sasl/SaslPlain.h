// SASL PLAIN (RFC 4616) as this client sends it: the authorisation identity is the bare JID, the
// authentication identity the user name.
#pragma once

#include <string>

namespace Sasl {

// Base64 of user "@" server NUL user NUL password; all three UTF-8.
std::string PlainInitialResponse(const std::string& user, const std::string& server, const std::string& password);

} // namespace Sasl
