#include "Jabber/account/SaslMechanism.h"

#include "Jabber/sasl/DigestMd5.h"
#include "Jabber/sasl/SaslPlain.h"

#include <new>

namespace {

class DigestMd5 : public SaslMechanism {
public:
    DigestMd5(const std::string& user, const std::string& server, const std::string& password)
        : user(user), server(server), password(password)
    {
    }
    const char* Name() const override { return "DIGEST-MD5"; }
    std::string InitialResponse() override { return std::string(); }
    // Only the first challenge is answered; the second carries the server's rspauth, acknowledged
    // with an empty response.
    std::string ChallengeResponse(const std::string& challenge) override
    {
        if (step++ > 0) return std::string();
        return Sasl::DigestMd5Response(challenge, user, server, password, Sasl::NewCnonce());
    }

private:
    std::string user, server, password;
    unsigned step = 0;
};

class Plain : public SaslMechanism {
public:
    Plain(const std::string& user, const std::string& server, const std::string& password)
        : user(user), server(server), password(password)
    {
    }
    const char* Name() const override { return "PLAIN"; }
    std::string InitialResponse() override { return Sasl::PlainInitialResponse(user, server, password); }
    std::string ChallengeResponse(const std::string&) override { return std::string(); }

private:
    std::string user, server, password;
};

}  // namespace

std::unique_ptr<SaslMechanism> NewDigestMd5(const std::string& user, const std::string& server,
                                            const std::string& password)
{
    return std::unique_ptr<SaslMechanism>(new (std::nothrow) DigestMd5(user, server, password));
}

std::unique_ptr<SaslMechanism> NewPlain(const std::string& user, const std::string& server,
                                        const std::string& password)
{
    return std::unique_ptr<SaslMechanism>(new (std::nothrow) Plain(user, server, password));
}
