#include "Wex/proto/IncomingMessage.h"

#include "Wex/proto/MessageText.h"
#include "Wex/proto/Rendezvous.h"

namespace Wex {

int IncomingMessage::Unpack(const unsigned char* frame, size_t size)
{
    userInfo = TlvChain();
    messageTlvs = TlvChain();
    messageSequence = 0;
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac);
    if (!ReadHead(reader)) return 0;
    warningLevel = reader.U16();
    unsigned count = reader.U16();
    if (reader.Failed()) return Reject(reader);
    userInfo.ParseFrom(reader, count);
    if (userInfo.GetCount() == int(count)) messageTlvs.ParseFrom(reader, ~0u);
    return Accept(reader);
}

bool IncomingMessage::IsXStatusQuery()
{
    if (channel != 2) return false;
    TlvChain inner;
    const Tlv* data = FindRendezvousData(messageTlvs, inner);
    if (!data) return false;
    ByteReader header = data->Reader();
    ByteReader at = data->Reader();
    at.Skip(header.U16LE());
    unsigned short sequence = at.U16();
    if (header.Failed() || at.Failed()) return false;
    messageSequence = sequence;
    RendezvousLayout layout;
    return ReadRendezvousLayout(*data, layout) && IsXStatusPluginData(*data, layout);
}

unsigned IncomingMessage::GetTime() const
{
    const Tlv* time = messageTlvs.Find(0x0016);
    if (!time) return 0;
    ByteReader value = time->Reader();
    unsigned seconds = value.U32();
    return value.Failed() ? 0 : seconds;
}

CZELString IncomingMessage::GetText() const
{
    return DecodeMessageText(channel, messageTlvs, sender);
}

} // namespace Wex
