// The byte forms of the three proxy handshakes (HTTP CONNECT, SOCKS4, SOCKS5 with RFC 1929 user
// name and password), as pure functions and readers over byte buffers: no sockets, no threads.
//
// Requests are built whole. Replies are read by a ReplyReader that takes bytes as they come, in
// pieces of any size: Feed says how many of the offered bytes belong to the reply, and the bytes
// after it are the tunnel's first data, which the caller keeps. Wanted says how many bytes the
// reader may take next without reading past its reply, so a caller that receives at most that many
// never takes tunnel bytes out of the socket (the HTTP reply has no such bound).
//
// Narrow texts sent to a proxy are in code page 1251; every length is measured on the converted
// bytes, never on the UTF-16 text.
#pragma once

#include "ZELCommon/ZELString.h"

#include <vector>

namespace Proxy {

typedef std::vector<unsigned char> Bytes;

// The connection's texts, exactly as the owner sees them.
extern const wchar_t TextInitProxy[];            // "Init proxy server" (progress)
extern const wchar_t TextCantInitProxy[];        // "Can't init proxy server"
extern const wchar_t TextHttpError[];            // "HTTP proxy server error " + status
extern const wchar_t TextCantResolve[];          // "Can't resolve destination server name for proxy server"
extern const wchar_t TextSocks4Error[];          // "SOCKS4 proxy server error"
extern const wchar_t TextSocks5AuthType[];       // "SOCKS5 proxy server error: auth type not supported"
extern const wchar_t TextSocks5AuthError[];      // "SOCKS5 proxy server error: auth error"
extern const wchar_t TextSocks5ConnectError[];   // "SOCKS5 proxy server error: can't connect to destination host"

// "HTTP proxy server error " followed by status in decimal.
CZELString HttpErrorText(int status);

// HTTP CONNECT

// The whole request: the CONNECT line for host:port, the fixed headers, "Proxy-Authorization: basic"
// with Base64 of login:password (one byte per UTF-16 unit, its low 8 bits) when auth is on, and the
// blank line. False, building nothing, when host is empty or holds a control character or a blank,
// which would end the request line early or start a header of its own.
bool BuildHttpConnect(const CZELString& host, int port, bool auth, const CZELString& login,
                      const CZELString& password, Bytes& out);

// SOCKS4

// 04 01, port big-endian, the IPv4 address as given (network order), the user id (login, only when
// auth is on) and a zero byte. False when the user id holds a zero byte, which would end it early
// and leave the rest for the proxy to read as another request.
bool BuildSocks4Connect(unsigned long address, int port, bool auth, const CZELString& login, Bytes& out);

// SOCKS5

enum {
    Socks5NoAuth = 0x00,
    Socks5UserPassword = 0x02,
    Socks5NoAcceptable = 0xFF,
    Socks5AddressIPv4 = 0x01,
    Socks5AddressDomain = 0x03,
    Socks5AddressIPv6 = 0x04,
    // RFC 1929 carries each of user name and password behind a one-byte length.
    Socks5MaxCredentialBytes = 255
};

// 05 01 and the one method offered: user name and password when auth is on, else no authentication.
Bytes BuildSocks5Greeting(bool auth);
// 01, then each of login and password behind its length byte. False when either is longer than
// Socks5MaxCredentialBytes once converted; nothing is then built.
bool BuildSocks5Auth(const CZELString& login, const CZELString& password, Bytes& out);
// 05 01 00 01, the IPv4 address as given (network order), port big-endian.
Bytes BuildSocks5Connect(unsigned long address, int port);

// Replies

class ReplyReader {
public:
    virtual ~ReplyReader() {}
    // Takes up to length bytes that followed the ones fed before; returns how many of them belong
    // to the reply. Once complete it takes none.
    virtual int Feed(const unsigned char* data, int length) = 0;
    virtual bool IsComplete() const = 0;
    // The most bytes the next Feed may be given without reaching past the reply; 0 once complete.
    virtual int Wanted() const = 0;
};

// A reply of a fixed size: SOCKS4 (8 bytes), the SOCKS5 method choice and the SOCKS5
// authentication status (2 bytes each).
class FixedReply : public ReplyReader {
public:
    explicit FixedReply(int size) : size(size) {}

    int Feed(const unsigned char* data, int length) override;
    bool IsComplete() const override { return int(bytes.size()) == size; }
    int Wanted() const override { return size - int(bytes.size()); }

    // Byte index of the reply, 0 when not received.
    unsigned char At(int index) const { return index >= 0 && index < int(bytes.size()) ? bytes[index] : 0; }
    int Received() const { return int(bytes.size()); }

private:
    int size;
    Bytes bytes;
};

enum { Socks4ReplySize = 8, Socks4Granted = 0x5A, Socks5MethodReplySize = 2, Socks5AuthReplySize = 2 };

// The SOCKS5 CONNECT reply: VER REP RSV ATYP, the bound address by its type (4 bytes, a length byte
// and that many bytes, or 16 bytes), and the bound port. A reply whose head already refuses (REP
// not 0 or VER not 5) is complete after the head: a proxy need not send the rest before it closes.
// So is one with an unknown address type, whose length cannot be known.
class Socks5ConnectReply : public ReplyReader {
public:
    enum { HeadSize = 4, MaxSize = HeadSize + 1 + 255 + 2 };

    int Feed(const unsigned char* data, int length) override;
    bool IsComplete() const override { return complete; }
    int Wanted() const override;

    // Complete, version 5, reply 0 and a known address type.
    bool IsGranted() const;
    int Version() const { return bytes.size() > 0 ? bytes[0] : -1; }
    int Reply() const { return bytes.size() > 1 ? bytes[1] : -1; }
    int AddressType() const { return bytes.size() > 3 ? bytes[3] : -1; }
    int Size() const { return int(bytes.size()); }

private:
    // The full size once the head (and for a domain its length byte) is in; 0 before.
    int ExpectedSize() const;

    Bytes bytes;
    bool complete = false;
};

// The HTTP reply to CONNECT, read up to and including its first empty line (CR LF CR LF; a bare LF
// also ends a line), however it is split. The status is the status line's second field, read as a
// decimal number; 0 when it is not one.
class HttpConnectReply : public ReplyReader {
public:
    // A reply head that has not ended by then is not an answer.
    enum { MaxHeadSize = 16384, MaxStatusDigits = 9 };

    int Feed(const unsigned char* data, int length) override;
    bool IsComplete() const override { return ended || overLong; }
    // Any number: whatever follows the head is tunnel data, which Feed leaves to the caller.
    int Wanted() const override { return IsComplete() ? 0 : MaxHeadSize; }

    // The empty line was seen within MaxHeadSize bytes.
    bool IsEnded() const { return ended; }
    bool IsOverLong() const { return overLong; }
    // The status of the status line received so far (a line not yet ended counts up to where it is).
    int Status() const;

private:
    Bytes statusLine;      // the first line, without its line end, at most MaxHeadSize bytes
    bool statusLineDone = false;
    int headSize = 0;
    int lineLength = 0;    // bytes of the current line other than CR
    bool ended = false;
    bool overLong = false;
};

} // namespace Proxy
