#include "Jabber/sasl/LegacyAuth.h"

#include "Jabber/sasl/HexDigest.h"

namespace Sasl {

std::string LegacyAuthDigest(const std::string& streamId, const std::string& password)
{
    return Sha1Hex(streamId + password);
}

} // namespace Sasl
