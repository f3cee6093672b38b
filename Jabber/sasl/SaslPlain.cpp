#include "Jabber/sasl/SaslPlain.h"

#include "Jabber/sasl/Base64.h"

namespace Sasl {

std::string PlainInitialResponse(const std::string& user, const std::string& server, const std::string& password)
{
    std::string message = user + "@" + server;
    message += '\0';
    message += user;
    message += '\0';
    message += password;
    return Base64Encode(message);
}

} // namespace Sasl
