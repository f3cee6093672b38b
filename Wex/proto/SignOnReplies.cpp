#include "Wex/proto/SignOnReplies.h"

#include "Wex/proto/ErrorTexts.h"
#include "Wex/proto/WireText.h"

namespace Wex {

namespace {

const unsigned kHelloVersion = 1;
const unsigned kMaxPort = 0xFFFF;

// The address splits at its first ':'; the port is the decimal digits after it, read up to the first
// character that is not one.
void SplitAddress(const CZELString& address, CZELString& host, int& port)
{
    int colon = address.Find(0, CZELString(L":"));
    port = 0;
    if (colon < 0) {
        host = address;
        return;
    }
    host = address.Substring(0, colon);
    const wchar_t* text = address.GetBuffer();
    unsigned value = 0;
    for (int i = colon + 1; i < address.GetLength() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + unsigned(text[i] - L'0');
        if (value > kMaxPort) return;  // not a port: none
    }
    port = int(value);
}

} // namespace

unsigned short FirstWord(const TlvChain& items, unsigned short type)
{
    const Tlv* item = items.Find(type);
    if (!item) return 0;
    ByteReader value = item->Reader();
    unsigned short word = value.U16();
    return value.Failed() ? 0 : word;
}

int ServerHello::Unpack(const unsigned char* frame, size_t size)
{
    FlapPacket flap;
    ByteReader reader = OpenFlap(frame, size, flap);
    if (reader.Failed() || flap.length != 4) return Reject(reader);
    if (reader.U32() != kHelloVersion) return Reject(reader);
    return Accept(reader);
}

int CloseFrame::Unpack(const unsigned char* frame, size_t size)
{
    items = TlvChain();
    FlapPacket flap;
    ByteReader reader = OpenFlap(frame, size, flap);
    if (reader.Failed() || flap.channel != ChannelSignOff) return Reject(reader);
    items.ParseFrom(reader, ~0u);
    return Accept(reader);
}

unsigned short CloseFrame::ErrorCode() const
{
    return FirstWord(items, 0x0008);
}

unsigned short CloseFrame::Reason() const
{
    return FirstWord(items, 0x0009);
}

int CloseFrame::ErrorTextId() const
{
    return LoginErrorTextId(ErrorCode());
}

int CloseFrame::CloseTextId() const
{
    return CloseReasonTextId(Reason());
}

int AuthKeyReply::Unpack(const unsigned char* frame, size_t size)
{
    key.clear();
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac, FamilyAuth, 0x07);
    size_t length = reader.U16();
    const unsigned char* bytes = reader.Bytes(length);
    if (reader.Failed()) return Reject(reader);
    key.assign(bytes, bytes + length);
    return Accept(reader);
}

int LoginReply::Unpack(const unsigned char* frame, size_t size)
{
    *this = LoginReply();
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac);
    if (reader.Failed()) return Reject(reader);
    TlvChain items;
    items.ParseFrom(reader, ~0u);

    bool seenUin = false, seenAddress = false, seenCookie = false;
    for (int i = 0; i < items.GetCount(); ++i) {
        const Tlv& item = items[i];
        if (item.GetType() == 0x0001) {
            uin = Widen(item.GetValue(), item.GetLength(), CodePageUtf8);
            seenUin = true;
        } else if (item.GetType() == 0x0005) {
            SplitAddress(Widen(item.GetValue(), item.GetLength(), CodePageSystem), host, port);
            seenAddress = true;
        } else if (item.GetType() == 0x0006) {
            cookie.assign(item.GetValue(), item.GetValue() + item.GetLength());
            seenCookie = true;
        }
    }
    errorCode = seenUin && seenAddress && seenCookie ? 0 : FirstWord(items, 0x0008);
    return Accept(reader);
}

int LoginReply::ErrorTextId() const
{
    return LoginErrorTextId(errorCode);
}

} // namespace Wex
