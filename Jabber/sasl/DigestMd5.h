// SASL DIGEST-MD5 (RFC 2831) as an XMPP client answers the server's first challenge: qop "auth",
// digest-uri "xmpp/" + server, nonce count 1, no authorisation identity. Every text is UTF-8 and
// the bytes hashed are the bytes sent.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace Sasl {

// The directives of a decoded challenge, in order.
struct DigestChallenge {
    enum { MaxDirectives = 100 };  // the rest of a longer challenge is not read
    std::vector<std::pair<std::string, std::string>> directives;

    // The value of the first directive with that key, or null.
    const std::string* Find(const char* key) const;
};

// Splits key=value directives separated by commas. A value is a quoted string (a backslash quotes
// the next character) or a token up to the next comma; blanks around keys, values and commas are
// dropped. Reading stops at a key without "=" or an unterminated quote.
DigestChallenge ParseDigestChallenge(const std::string& decoded);

struct DigestAnswer {
    std::string user, realm, password, nonce, cnonce, nc, qop, digestUri;
};

// The 32 lowercase hexadecimal digits of the "response" directive (RFC 2831 2.1.2.1, md5-sess
// without an authorisation identity).
std::string DigestResponseValue(const DigestAnswer& answer);

// The whole response text: username, realm, nonce, cnonce (quoted), nc, qop, digest-uri (quoted),
// charset=utf-8 and response, separated by commas. Not yet Base64-encoded.
std::string DigestResponseText(const DigestAnswer& answer);

// The answer to the server's first challenge (Base64 text as received), Base64-encoded; empty when
// the challenge carries no nonce. realm is the challenge's, or empty when it names none.
std::string DigestMd5Response(const std::string& challengeBase64, const std::string& user, const std::string& server,
                              const std::string& password, const std::string& cnonce);

// 32 lowercase hexadecimal digits from the system's cryptographic random source.
std::string NewCnonce();

} // namespace Sasl
