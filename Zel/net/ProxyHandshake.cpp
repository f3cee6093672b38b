#include "Zel/net/ProxyHandshake.h"

#include "Zel/net/NameLookup.h"

#include <ws2tcpip.h>
#include <windows.h>

#include <cstdlib>

namespace Proxy {

namespace {

// How a reply read ended.
enum ReadOutcome { ReadComplete, ReadFailed, ReadEnded };

// Receives until reader has its whole reply, never asking for more than it wants, so fixed replies
// take nothing of the tunnel out of the stream. Bytes received beyond the reply go to extra.
ReadOutcome ReadReply(ByteStream& stream, ReplyReader& reader, Bytes& extra)
{
    unsigned char buffer[1024];
    while (!reader.IsComplete()) {
        int wanted = reader.Wanted();
        int ask = wanted < int(sizeof buffer) ? wanted : int(sizeof buffer);
        int got = stream.Receive(buffer, ask);
        if (got < 0) return ReadFailed;
        if (got == 0) return ReadEnded;
        if (got > ask) got = ask;  // a stream that overfills is cut back, not trusted
        int used = reader.Feed(buffer, got);
        extra.insert(extra.end(), buffer + used, buffer + got);
    }
    return ReadComplete;
}

// A stream's error as a failure code: never 0, which would mean success.
int StreamError(const ByteStream& stream)
{
    int error = stream.LastError();
    return error != 0 ? error : -1;
}

int Fail(HandshakeResult& result, const CZELString& text, int code)
{
    result.errorText = text;
    result.code = code != 0 ? code : -1;
    result.tunnelData.clear();
    return result.code;
}

int Succeed(HandshakeResult& result, Bytes& extra)
{
    result.errorText = CZELString();
    result.code = 0;
    result.tunnelData.swap(extra);
    return 0;
}

bool SendAll(ByteStream& stream, const Bytes& bytes)
{
    return stream.Send(bytes.data(), int(bytes.size())) == int(bytes.size());
}

int RunHttp(ByteStream& stream, const HandshakeParams& params, HandshakeResult& result)
{
    Bytes request;
    if (!BuildHttpConnect(params.host, params.port, params.auth, params.login, params.password, request))
        return Fail(result, TextCantInitProxy, -1);
    if (!SendAll(stream, request)) return Fail(result, TextCantInitProxy, StreamError(stream));

    HttpConnectReply reply;
    Bytes extra;
    ReadOutcome outcome = ReadReply(stream, reply, extra);
    if (outcome == ReadFailed) return Fail(result, TextCantInitProxy, StreamError(stream));

    int status = reply.Status();
    // A head that never ended is no answer, whatever its status line began to say.
    if (!reply.IsEnded() && status == 200) status = 0;
    if (reply.IsEnded() && status == 200) return Succeed(result, extra);
    return Fail(result, HttpErrorText(status), status != 0 ? status : -1);
}

int ResolveDestination(const HandshakeParams& params, Resolver resolve, unsigned long* address)
{
    int error = (resolve ? resolve : ResolveHostIPv4)(params.host, params.port, address);
    return error;
}

int RunSocks4(ByteStream& stream, const HandshakeParams& params, HandshakeResult& result, Resolver resolve)
{
    unsigned long address = 0;
    int error = ResolveDestination(params, resolve, &address);
    if (error != 0) return Fail(result, TextCantResolve, error);

    Bytes request;
    if (!BuildSocks4Connect(address, params.port, params.auth, params.login, request))
        return Fail(result, TextCantInitProxy, -1);
    if (!SendAll(stream, request)) return Fail(result, TextCantInitProxy, StreamError(stream));

    FixedReply reply(Socks4ReplySize);
    Bytes extra;
    ReadOutcome outcome = ReadReply(stream, reply, extra);
    if (outcome == ReadFailed) return Fail(result, TextCantInitProxy, StreamError(stream));
    if (outcome == ReadEnded) return Fail(result, TextCantInitProxy, -1);
    if (reply.At(1) != Socks4Granted) return Fail(result, TextSocks4Error, -1);
    return Succeed(result, extra);
}

// Reads one fixed-size SOCKS5 reply; 0 when it is in, else the failure code with text posted.
int ReadSocks5Fixed(ByteStream& stream, FixedReply& reply, const wchar_t* text, HandshakeResult& result)
{
    Bytes extra;
    ReadOutcome outcome = ReadReply(stream, reply, extra);
    if (outcome == ReadFailed) return Fail(result, text, StreamError(stream));
    if (outcome == ReadEnded) return Fail(result, text, -1);
    return 0;
}

int RunSocks5(ByteStream& stream, const HandshakeParams& params, HandshakeResult& result, Resolver resolve)
{
    unsigned long address = 0;
    int error = ResolveDestination(params, resolve, &address);
    if (error != 0) return Fail(result, TextCantResolve, error);

    if (!SendAll(stream, BuildSocks5Greeting(params.auth)))
        return Fail(result, TextCantInitProxy, StreamError(stream));
    FixedReply method(Socks5MethodReplySize);
    if (int code = ReadSocks5Fixed(stream, method, TextCantInitProxy, result)) return code;
    if (method.At(1) != Socks5NoAuth && method.At(1) != Socks5UserPassword)
        return Fail(result, TextSocks5AuthType, -1);

    // With auth on the credentials go whatever the proxy chose; with it off they never do.
    if (params.auth) {
        Bytes request;
        if (!BuildSocks5Auth(params.login, params.password, request)) return Fail(result, TextSocks5AuthError, -1);
        if (!SendAll(stream, request)) return Fail(result, TextSocks5AuthError, StreamError(stream));
        FixedReply status(Socks5AuthReplySize);
        if (int code = ReadSocks5Fixed(stream, status, TextSocks5AuthError, result)) return code;
        if (status.At(0) != 0x01 || status.At(1) != 0x00) return Fail(result, TextSocks5AuthError, -1);
    }

    if (!SendAll(stream, BuildSocks5Connect(address, params.port)))
        return Fail(result, TextSocks5ConnectError, StreamError(stream));
    Socks5ConnectReply reply;
    Bytes extra;
    ReadOutcome outcome = ReadReply(stream, reply, extra);
    if (outcome == ReadFailed) return Fail(result, TextSocks5ConnectError, StreamError(stream));
    if (outcome == ReadEnded || !reply.IsGranted()) return Fail(result, TextSocks5ConnectError, -1);
    return Succeed(result, extra);
}

} // namespace

int SocketStream::Send(const unsigned char* data, int length)
{
    int sent = 0;
    while (sent < length) {
        int n = send(s, reinterpret_cast<const char*>(data) + sent, length - sent, 0);
        if (n == SOCKET_ERROR || n <= 0) {
            lastError = n == SOCKET_ERROR ? WSAGetLastError() : -1;
            return -1;
        }
        sent += n;
    }
    return length;
}

int SocketStream::Receive(unsigned char* buffer, int size)
{
    int n = recv(s, reinterpret_cast<char*>(buffer), size, 0);
    if (n == SOCKET_ERROR) {
        lastError = WSAGetLastError();
        return -1;
    }
    return n;
}

HandshakeParams HandshakeParams::From(const ConnectionSettings& settings)
{
    HandshakeParams params;
    params.proxyType = settings.proxyType;
    params.host = settings.host;
    params.port = settings.port;
    params.auth = settings.proxyAuth;
    params.login = settings.proxyLogin;
    params.password = settings.proxyPassword;
    return params;
}

int ResolveHostIPv4(const CZELString& host, int port, unsigned long* address)
{
    if (address) *address = 0;
    char* name = CZELString::Convert(host, CP_ACP);
    if (!name) return WSAHOST_NOT_FOUND;

    int error = 0;
    IN_ADDR dotted;
    if (inet_pton(AF_INET, name, &dotted) == 1) {
        if (address) *address = dotted.S_un.S_addr;
    } else {
        char service[16];
        int length = 0;
        CZELString::Toa(service, length, unsigned(port & 0xFFFF), false, 0);
        service[length] = 0;
        addrinfo hints = {};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        addrinfo* found = nullptr;
        error = LookUpName(name, service, &hints, &found);
        if (error == 0) {
            error = WSAHOST_NOT_FOUND;
            for (addrinfo* a = found; a; a = a->ai_next) {
                if (a->ai_family != AF_INET || !a->ai_addr || a->ai_addrlen < sizeof(sockaddr_in)) continue;
                if (address) *address = reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.S_un.S_addr;
                error = 0;
                break;
            }
            freeaddrinfo(found);
        } else if (error < 0) {
            error = WSAHOST_NOT_FOUND;
        }
    }
    free(name);
    return error;
}

int RunHandshake(ByteStream& stream, const HandshakeParams& params, HandshakeResult& result, Resolver resolve)
{
    result = HandshakeResult();
    switch (params.proxyType) {
    case PROXY_HTTP:
        return RunHttp(stream, params, result);
    case PROXY_SOCKS4:
        return RunSocks4(stream, params, result, resolve);
    case PROXY_SOCKS5:
        return RunSocks5(stream, params, result, resolve);
    default:
        result.code = -1;
        return -1;
    }
}

} // namespace Proxy
