// What the codec's tests and benchmark share: bytes written by hand (hex, and a small writer for
// the server's side of the wire, laid out from the reply layouts without the codec's own writer),
// the frames of one whole sign-on in both directions, and buffers that end at an inaccessible page.
#pragma once

#include "Wex/proto/Flap.h"

#include "ZELCommon/ZELString.h"

#include <string>
#include <vector>

namespace WexTest {

using Wex::Bytes;

// "2A 01 00 0C ...": pairs of hexadecimal digits; blanks and line ends between them are ignored.
Bytes Hex(const std::string& text);
// "2a 01 00 0c ..." for messages.
std::string ToHex(const Bytes& bytes);
// The string's units, for comparing with a literal.
std::wstring Text(const CZELString& text);

// Appends fields in the order written: numbers big-endian unless LE, texts as their bytes.
class Wire {
public:
    Wire& U8(unsigned value);
    Wire& U16(unsigned value);
    Wire& U32(unsigned value);
    Wire& U16LE(unsigned value);
    Wire& U32LE(unsigned value);
    Wire& Raw(const Bytes& bytes);
    Wire& Text(const std::string& text);
    Wire& Zeros(size_t count);
    // u8 length, u16 length, each followed by the text.
    Wire& Str8(const std::string& text);
    Wire& Str16(const std::string& text);
    // u16 type, u16 length, the value.
    Wire& Tlv(unsigned type, const Bytes& value);

    const Bytes& Get() const { return bytes; }
    operator const Bytes&() const { return bytes; }

private:
    Bytes bytes;
};

// A frame of channel carrying data.
Bytes Flap(unsigned channel, const Bytes& data, unsigned sequence = 0x0101);
// A SNAC frame.
Bytes Snac(unsigned family, unsigned subtype, const Bytes& body, unsigned flags = 0, unsigned requestId = 0,
           unsigned sequence = 0x0101);

// The message TLVs of incoming messages, as a peer's client or the server writes them.
// Channel 1: the capabilities fragment, then the text fragment with its character set.
Bytes PlainMessageTlv(unsigned characterSet, const Bytes& text);
// Channel 2: TLV 0x0005 through the server, holding TLV 0x2711 with the 45-byte headers (the
// sequence s at offset 27) and the rest of the data after them.
Bytes RendezvousTlv(const Bytes& dataAfterHeaders, unsigned sequence = 0x0102);
// The data after the headers of a plain text: type 1, m = text + zero, colours, and the capability
// text when it is given.
Bytes RendezvousPlainText(const Bytes& text, const std::string& capability);
// The data after the headers of an x-status message: type 0x1A, an empty text, the plug-in header,
// its name and 15 bytes, then the notification text behind its two lengths.
Bytes RendezvousXStatus(const std::string& notification);
// An incoming message frame (04/07).
Bytes IncomingMessageFrame(unsigned channel, const std::string& sender, const Bytes& messageTlvs,
                           unsigned userInfoCount = 0, const Bytes& userInfo = Bytes());
// A contact's x-status answer (04/0B, channel 2) with the notification text.
Bytes XStatusReplyFrame(const std::string& sender, const std::string& notification, unsigned cookie2 = 0x2222);

// One whole sign-on, frame by frame, on its two connections: what the login server and then the
// main server send a client (hellos, keys, replies, presence, messages of every channel, list
// answers, and at last the close frame), and what the client sends them (every command).
struct SignOnFrames {
    std::vector<Bytes> login, main;
};
SignOnFrames ServerSignOn();
// The client's side; its MD5 login answers the key of the server's side.
SignOnFrames ClientSignOn();
// The auth key and the cookie that the servers' side hands out.
extern const char SignOnAuthKey[];
Bytes SignOnCookie();
// The server frames, login server then main server, as one stream.
Bytes SignOnServerStream();

// A copy of bytes that ends where an inaccessible page begins: reading one byte past the end
// crashes the test at once.
class GuardedBytes {
public:
    explicit GuardedBytes(const Bytes& bytes) : GuardedBytes(bytes.data(), bytes.size()) {}
    GuardedBytes(const unsigned char* bytes, size_t size);
    ~GuardedBytes();
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    const unsigned char* data() const { return start; }
    size_t size() const { return length; }

private:
    unsigned char* block = nullptr;
    unsigned char* start = nullptr;
    size_t length = 0;
};

// Runs every parser of the codec, and every accessor that reads further, over the bytes taken as
// one frame, then over every frame the framer cuts from them. Must never crash or read out of
// bounds, whatever the bytes.
void ParseEveryWay(const unsigned char* bytes, size_t size);

} // namespace WexTest
