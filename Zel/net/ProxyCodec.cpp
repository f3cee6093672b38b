#include "Zel/net/ProxyCodec.h"

#include "ZELCommon/NarrowBytes.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace Proxy {

const wchar_t TextInitProxy[] = L"Init proxy server";
const wchar_t TextCantInitProxy[] = L"Can't init proxy server";
const wchar_t TextHttpError[] = L"HTTP proxy server error ";
const wchar_t TextCantResolve[] = L"Can't resolve destination server name for proxy server";
const wchar_t TextSocks4Error[] = L"SOCKS4 proxy server error";
const wchar_t TextSocks5AuthType[] = L"SOCKS5 proxy server error: auth type not supported";
const wchar_t TextSocks5AuthError[] = L"SOCKS5 proxy server error: auth error";
const wchar_t TextSocks5ConnectError[] = L"SOCKS5 proxy server error: can't connect to destination host";

namespace {

const unsigned kCodePage = 1251;

// The text in code page 1251, measured on the converted bytes (embedded zero bytes kept).
Bytes Narrow(const CZELString& text)
{
    return NarrowBytes(text, kCodePage);
}

void AppendAscii(const char* text, Bytes& out)
{
    out.insert(out.end(), text, text + strlen(text));
}

void AppendDecimal(unsigned value, Bytes& out)
{
    char digits[16];
    int length = 0;
    CZELString::Toa(digits, length, value, false, 0);
    out.insert(out.end(), digits, digits + length);
}

void AppendPort(int port, Bytes& out)
{
    out.push_back((unsigned char)(port >> 8));
    out.push_back((unsigned char)port);
}

// The address is in network order in memory, so its bytes go out as they lie.
void AppendAddress(unsigned long address, Bytes& out)
{
    unsigned int value = (unsigned int)address;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&value);
    out.insert(out.end(), bytes, bytes + 4);
}

} // namespace

CZELString HttpErrorText(int status)
{
    wchar_t digits[16];
    int length = 0;
    if (status < 0) {
        digits[length++] = L'-';
        int rest = 0;
        CZELString::Tow(digits + 1, rest, unsigned(-(long long)status), false, 0);
        length += rest;
    } else {
        CZELString::Tow(digits, length, unsigned(status), false, 0);
    }
    return CZELString(TextHttpError) + CZELString(digits, length);
}

bool BuildHttpConnect(const CZELString& host, int port, bool auth, const CZELString& login,
                      const CZELString& password, Bytes& out)
{
    out.clear();
    if (host.IsEmpty()) return false;
    const wchar_t* units = host.GetBuffer();
    for (int i = 0; i < host.GetLength(); ++i)
        if (units[i] <= L' ' || units[i] == 0x7F) return false;

    AppendAscii("CONNECT ", out);
    Bytes narrowHost = Narrow(host);
    out.insert(out.end(), narrowHost.begin(), narrowHost.end());
    out.push_back(':');
    if (port < 0) {
        out.push_back('-');
        AppendDecimal(unsigned(-(long long)port), out);
    } else {
        AppendDecimal(unsigned(port), out);
    }
    AppendAscii(" HTTP/1.0\r\nConnection: Keep-Alive\r\nUser-agent: Mozilla/4.0\r\n", out);
    if (auth) {
        CZELString credentials = login + L":" + password;
        int length = credentials.GetLength();
        char* encoded = CZELString::Base64Encode(credentials.GetBuffer() ? credentials.GetBuffer() : L"", length);
        AppendAscii("Proxy-Authorization: basic ", out);
        if (encoded) out.insert(out.end(), encoded, encoded + length);
        free(encoded);
        AppendAscii("\r\n", out);
    }
    AppendAscii("\r\n", out);
    return true;
}

bool BuildSocks4Connect(unsigned long address, int port, bool auth, const CZELString& login, Bytes& out)
{
    out.clear();
    Bytes userId;
    if (auth) userId = Narrow(login);
    for (unsigned char c : userId)
        if (c == 0) return false;
    out.push_back(0x04);
    out.push_back(0x01);
    AppendPort(port, out);
    AppendAddress(address, out);
    out.insert(out.end(), userId.begin(), userId.end());
    out.push_back(0x00);
    return true;
}

Bytes BuildSocks5Greeting(bool auth)
{
    return Bytes{0x05, 0x01, (unsigned char)(auth ? Socks5UserPassword : Socks5NoAuth)};
}

bool BuildSocks5Auth(const CZELString& login, const CZELString& password, Bytes& out)
{
    out.clear();
    Bytes user = Narrow(login);
    Bytes secret = Narrow(password);
    if (user.size() > size_t(Socks5MaxCredentialBytes) || secret.size() > size_t(Socks5MaxCredentialBytes))
        return false;
    out.push_back(0x01);
    out.push_back((unsigned char)user.size());
    out.insert(out.end(), user.begin(), user.end());
    out.push_back((unsigned char)secret.size());
    out.insert(out.end(), secret.begin(), secret.end());
    return true;
}

Bytes BuildSocks5Connect(unsigned long address, int port)
{
    Bytes out{0x05, 0x01, 0x00, (unsigned char)Socks5AddressIPv4};
    AppendAddress(address, out);
    AppendPort(port, out);
    return out;
}

int FixedReply::Feed(const unsigned char* data, int length)
{
    if (!data || length <= 0) return 0;
    int take = length < Wanted() ? length : Wanted();
    bytes.insert(bytes.end(), data, data + take);
    return take;
}

int Socks5ConnectReply::ExpectedSize() const
{
    if (bytes.size() < size_t(HeadSize)) return 0;
    switch (bytes[3]) {
    case Socks5AddressIPv4:
        return HeadSize + 4 + 2;
    case Socks5AddressIPv6:
        return HeadSize + 16 + 2;
    case Socks5AddressDomain:
        return bytes.size() > size_t(HeadSize) ? HeadSize + 1 + bytes[HeadSize] + 2 : 0;
    default:
        return 0;
    }
}

int Socks5ConnectReply::Wanted() const
{
    if (complete) return 0;
    if (bytes.size() < size_t(HeadSize)) return HeadSize - int(bytes.size());
    int expected = ExpectedSize();
    // Only a domain's length byte is still missing.
    if (expected == 0) return 1;
    return expected - int(bytes.size());
}

int Socks5ConnectReply::Feed(const unsigned char* data, int length)
{
    int used = 0;
    while (!complete && data && used < length) {
        int take = Wanted();
        if (take > length - used) take = length - used;
        bytes.insert(bytes.end(), data + used, data + used + take);
        used += take;
        if (bytes.size() == size_t(HeadSize)) {
            int type = bytes[3];
            bool knownType = type == Socks5AddressIPv4 || type == Socks5AddressDomain || type == Socks5AddressIPv6;
            if (bytes[0] != 0x05 || bytes[1] != 0x00 || !knownType) complete = true;
        }
        int expected = ExpectedSize();
        if (expected != 0 && int(bytes.size()) == expected) complete = true;
    }
    return used;
}

bool Socks5ConnectReply::IsGranted() const
{
    return complete && ExpectedSize() == int(bytes.size()) && bytes[0] == 0x05 && bytes[1] == 0x00;
}

int HttpConnectReply::Feed(const unsigned char* data, int length)
{
    int used = 0;
    while (!IsComplete() && data && used < length) {
        if (headSize >= MaxHeadSize) {
            overLong = true;
            break;
        }
        unsigned char c = data[used++];
        ++headSize;
        if (c == '\n') {
            if (lineLength == 0) {
                ended = true;
                statusLineDone = true;
            } else if (!statusLineDone) {
                statusLineDone = true;
            }
            lineLength = 0;
        } else {
            if (c != '\r') ++lineLength;
            if (!statusLineDone && c != '\r') statusLine.push_back(c);
        }
    }
    if (!ended && headSize >= MaxHeadSize) overLong = true;
    return used;
}

int HttpConnectReply::Status() const
{
    size_t i = 0, n = statusLine.size();
    while (i < n && statusLine[i] != ' ') ++i;
    if (i == n) return 0;
    ++i;
    size_t start = i;
    while (i < n && statusLine[i] >= '0' && statusLine[i] <= '9') ++i;
    size_t digits = i - start;
    if (digits == 0 || digits > size_t(MaxStatusDigits)) return 0;
    // The field ends at the next blank or, once the line has ended, at its end; a field still
    // growing may be cut short.
    bool fieldEnds = i < n ? statusLine[i] == ' ' : statusLineDone;
    if (!fieldEnds) return 0;
    int status = 0;
    for (size_t k = start; k < i; ++k) status = status * 10 + (statusLine[k] - '0');
    return status;
}

} // namespace Proxy
