// The SASL mechanisms an account signs in with, one object per attempt (RFC 4616 PLAIN, RFC 2831
// DIGEST-MD5); the computations are the codec's.
#pragma once

#include <memory>
#include <string>

class SaslMechanism {
public:
    virtual ~SaslMechanism() = default;
    // "DIGEST-MD5" or "PLAIN".
    virtual const char* Name() const = 0;
    // The text of the "auth" element; empty for none.
    virtual std::string InitialResponse() = 0;
    // The text of the "response" to a challenge (Base64, as received); empty for an empty response.
    virtual std::string ChallengeResponse(const std::string& challenge) = 0;
};

// user, server and password in UTF-8.
std::unique_ptr<SaslMechanism> NewDigestMd5(const std::string& user, const std::string& server,
                                            const std::string& password);
std::unique_ptr<SaslMechanism> NewPlain(const std::string& user, const std::string& server,
                                        const std::string& password);
