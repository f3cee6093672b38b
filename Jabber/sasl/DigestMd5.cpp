#include "Jabber/sasl/DigestMd5.h"

#include "Jabber/sasl/Base64.h"
#include "Jabber/sasl/HexDigest.h"

#include "ZELCommon/MD5.h"
#include "ZELCommon/ZELRand.h"

#include <windows.h>
#include <wincrypt.h>

namespace Sasl {

namespace {

inline bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Trimmed(const std::string& text, size_t start, size_t end)
{
    while (start < end && IsBlank(text[start])) ++start;
    while (end > start && IsBlank(text[end - 1])) --end;
    return text.substr(start, end - start);
}

std::string Md5Raw(const std::string& bytes)
{
    unsigned char digest[CMD5::DigestSize];
    CMD5::Hash(bytes.data(), unsigned(bytes.size()), digest);
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

// A quoted-string of RFC 2831: the quote and the backslash quoted by a backslash.
std::string Quoted(const std::string& value)
{
    std::string out = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

}  // namespace

const std::string* DigestChallenge::Find(const char* key) const
{
    for (const auto& directive : directives)
        if (directive.first == key) return &directive.second;
    return nullptr;
}

DigestChallenge ParseDigestChallenge(const std::string& text)
{
    DigestChallenge challenge;
    const size_t n = text.size();
    size_t i = 0;
    while (challenge.directives.size() < DigestChallenge::MaxDirectives) {
        while (i < n && (IsBlank(text[i]) || text[i] == ',')) ++i;
        if (i == n) break;
        size_t keyStart = i;
        while (i < n && text[i] != '=' && text[i] != ',') ++i;
        if (i == n || text[i] != '=') break;
        std::string key = Trimmed(text, keyStart, i);
        ++i;
        while (i < n && IsBlank(text[i])) ++i;
        std::string value;
        if (i < n && text[i] == '"') {
            bool closed = false;
            for (++i; i < n;) {
                char c = text[i++];
                if (c == '\\' && i < n) {
                    value += text[i++];
                } else if (c == '"') {
                    closed = true;
                    break;
                } else {
                    value += c;
                }
            }
            if (!closed) break;
        } else {
            size_t valueStart = i;
            while (i < n && text[i] != ',') ++i;
            value = Trimmed(text, valueStart, i);
        }
        challenge.directives.emplace_back(std::move(key), std::move(value));
    }
    return challenge;
}

std::string DigestResponseValue(const DigestAnswer& a)
{
    std::string secret = Md5Raw(a.user + ":" + a.realm + ":" + a.password);
    std::string ha1 = Md5Hex(secret + ":" + a.nonce + ":" + a.cnonce);
    std::string ha2 = Md5Hex("AUTHENTICATE:" + a.digestUri);
    return Md5Hex(ha1 + ":" + a.nonce + ":" + a.nc + ":" + a.cnonce + ":" + a.qop + ":" + ha2);
}

std::string DigestResponseText(const DigestAnswer& a)
{
    return "username=" + Quoted(a.user) + ",realm=" + Quoted(a.realm) + ",nonce=" + Quoted(a.nonce) +
           ",cnonce=" + Quoted(a.cnonce) + ",nc=" + a.nc + ",qop=" + a.qop + ",digest-uri=" + Quoted(a.digestUri) +
           ",charset=utf-8,response=" + DigestResponseValue(a);
}

std::string DigestMd5Response(const std::string& challengeBase64, const std::string& user, const std::string& server,
                              const std::string& password, const std::string& cnonce)
{
    DigestChallenge challenge = ParseDigestChallenge(Base64Decode(challengeBase64));
    const std::string* nonce = challenge.Find("nonce");
    if (!nonce || nonce->empty()) return std::string();
    const std::string* realm = challenge.Find("realm");
    DigestAnswer answer;
    answer.user = user;
    answer.realm = realm ? *realm : std::string();
    answer.password = password;
    answer.nonce = *nonce;
    answer.cnonce = cnonce;
    answer.nc = "00000001";
    answer.qop = "auth";
    answer.digestUri = "xmpp/" + server;
    return Base64Encode(DigestResponseText(answer));
}

std::string NewCnonce()
{
    unsigned char bytes[16] = {};
    HCRYPTPROV provider = 0;
    bool filled = false;
    if (CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
        filled = CryptGenRandom(provider, sizeof bytes, bytes) != FALSE;
        CryptReleaseContext(provider, 0);
    }
    if (!filled) {
        // Without the system's source the process generator still makes each attempt differ.
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(CZELRand::Rand());
    }
    return LowerHex(bytes, sizeof bytes);
}

} // namespace Sasl
