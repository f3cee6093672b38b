#include "Jabber/sasl/Base64.h"

#include "ZELCommon/ZELString.h"

#include <climits>
#include <cstdlib>

namespace Sasl {

namespace {

typedef char* (*Codec)(const char*, int&);

std::string Run(Codec codec, const std::string& in)
{
    if (in.empty() || in.size() > INT_MAX / 2) return std::string();
    int length = int(in.size());
    char* out = codec(in.data(), length);
    std::string result = out ? std::string(out, size_t(length)) : std::string();
    free(out);
    return result;
}

}  // namespace

std::string Base64Encode(const std::string& bytes)
{
    return Run(&CZELString::Base64Encode, bytes);
}

std::string Base64Decode(const std::string& text)
{
    return Run(&CZELString::Base64Decode, text);
}

} // namespace Sasl
