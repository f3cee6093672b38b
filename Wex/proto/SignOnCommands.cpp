#include "Wex/proto/SignOnCommands.h"

#include "Wex/proto/PacketWriter.h"
#include "Wex/proto/WireText.h"

#include "ZELCommon/MD5.h"

#include <cstring>

namespace Wex {

namespace {

const unsigned kSignOnVersion = 1;
const char kLoginSalt[] = "Generic Messenger Salt 01x";
const char kClientName[] = "WEX Client";
const char kClientCountry[] = "ru";

} // namespace

Bytes LoginHello(unsigned short sequence)
{
    PacketWriter writer(ChannelSignOn, sequence, 4 + PacketWriter::TlvSize(4));
    writer.U32(kSignOnVersion);
    writer.U16(0x8003);
    writer.U16(4);
    writer.U32(0x100000);
    return writer.Finish();
}

Bytes CookieHello(unsigned short sequence, const Bytes& cookie)
{
    PacketWriter writer(ChannelSignOn, sequence, 4 + PacketWriter::TlvSize(cookie.size()));
    writer.U32(kSignOnVersion);
    writer.TlvItem(0x0006, cookie);
    return writer.Finish();
}

Bytes KeepAliveFrame(unsigned short sequence)
{
    PacketWriter writer(ChannelKeepAlive, sequence, 0);
    return writer.Finish();
}

Bytes AuthKeyRequest(unsigned short sequence, unsigned requestId, const CZELString& uin)
{
    return TlvSnac(sequence, FamilyAuth, 0x06, requestId, 0x0001, NarrowBytes(uin, CodePageUtf8));
}

Md5Digest Md5LoginDigest(const Bytes& authKey, const Md5Digest& passwordDigest)
{
    Bytes input(authKey);
    input.insert(input.end(), passwordDigest.begin(), passwordDigest.end());
    input.insert(input.end(), kLoginSalt, kLoginSalt + strlen(kLoginSalt));
    Md5Digest digest;
    CMD5::Hash(input.data(), unsigned(input.size()), digest.data());
    return digest;
}

Bytes Md5LoginRequest(unsigned short sequence, unsigned requestId, const CZELString& uin, const Bytes& authKey,
                      const Md5Digest& passwordDigest)
{
    Bytes number = NarrowBytes(uin, CodePageUtf8);
    // A UIN too long for its TLV would be cut by the item: refuse it instead.
    if (number.size() > Tlv::MaxLength) return Bytes();
    Md5Digest digest = Md5LoginDigest(authKey, passwordDigest);
    TlvChain items;
    items.Add(Tlv(0x0001, (unsigned short)number.size(), number.data()));
    items.Add(Tlv(0x0025, (unsigned short)digest.size(), digest.data()));
    items.Add(Tlv(0x004C, 0, nullptr));
    items.Add(Tlv(0x0003, (unsigned short)strlen(kClientName), reinterpret_cast<const unsigned char*>(kClientName)));
    items.Add(Tlv(0x0017, (unsigned short)6));
    items.Add(Tlv(0x0018, (unsigned short)5));
    items.Add(Tlv(0x0019, (unsigned short)0));
    items.Add(Tlv(0x001A, (unsigned short)1005));
    items.Add(Tlv(0x0016, (unsigned short)266));
    items.Add(Tlv(0x0014, 30007u));
    items.Add(Tlv(0x000F, (unsigned short)2, reinterpret_cast<const unsigned char*>(kClientCountry)));
    items.Add(Tlv(0x000E, (unsigned short)2, reinterpret_cast<const unsigned char*>(kClientCountry)));
    items.Add(Tlv(0x0094, (unsigned char)0));
    Bytes chain = items.Serialize();
    PacketWriter writer(sequence, FamilyAuth, 0x02, requestId, chain.size());
    writer.Raw(chain);
    return writer.Finish();
}

} // namespace Wex
