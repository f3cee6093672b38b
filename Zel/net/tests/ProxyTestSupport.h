// Bytes, texts and handshake parameters for the proxy tests.
#pragma once

#include "Zel/net/ProxyCodec.h"
#include "Zel/net/ProxyHandshake.h"

#include "ZELCommon/ZELString.h"

#include <initializer_list>
#include <string>

namespace ProxyTest {

using Proxy::Bytes;

inline Bytes Ascii(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

inline Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline CZELString Str(const std::wstring& text)
{
    return CZELString(text.c_str(), int(text.size()));
}

inline std::wstring Text(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

inline Proxy::HandshakeParams Params(int type, const std::wstring& host, int port, bool auth = false,
                                     const std::wstring& login = L"", const std::wstring& password = L"")
{
    Proxy::HandshakeParams params;
    params.proxyType = type;
    params.host = Str(host);
    params.port = port;
    params.auth = auth;
    params.login = Str(login);
    params.password = Str(password);
    return params;
}

}  // namespace ProxyTest
