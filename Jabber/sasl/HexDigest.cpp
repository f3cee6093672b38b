#include "Jabber/sasl/HexDigest.h"

#include "ZELCommon/MD5.h"
#include "ZELCommon/SHA1.h"

std::string LowerHex(const unsigned char* bytes, size_t length)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

std::string Md5Hex(const std::string& bytes)
{
    unsigned char digest[CMD5::DigestSize];
    CMD5::Hash(bytes.data(), unsigned(bytes.size()), digest);
    return LowerHex(digest, sizeof digest);
}

std::string Sha1Hex(const std::string& bytes)
{
    unsigned char digest[CSHA1::DigestSize];
    CSHA1::Hash(bytes.data(), unsigned(bytes.size()), digest);
    return LowerHex(digest, sizeof digest);
}
