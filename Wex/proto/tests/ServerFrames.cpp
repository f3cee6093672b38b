// The servers' side of one whole sign-on, written by hand from the reply layouts.
#include "WexTestSupport.h"

namespace WexTest {

const char SignOnAuthKey[] = "3219787463";

Bytes SignOnCookie()
{
    Bytes cookie(256);
    for (size_t i = 0; i < cookie.size(); ++i) cookie[i] = (unsigned char)(i * 7 + 3);
    return cookie;
}

namespace {

const char kUin[] = "100200300";
const char kContact[] = "200300400";

Bytes Hello(unsigned sequence)
{
    return Flap(1, Wire().U32(1), sequence);
}

std::vector<Bytes> LoginServer()
{
    return {
        Hello(0x2001),
        Snac(0x17, 0x07, Wire().Str16(SignOnAuthKey), 0, 0, 0x2002),
        Snac(0x17, 0x03,
             Wire().Tlv(0x0001, Wire().Text(kUin)).Tlv(0x0005, Wire().Text("127.0.0.1:5190")).Tlv(0x0006, SignOnCookie()),
             0, 0, 0x2003),
    };
}

Bytes RateInfo()
{
    Wire body;
    body.U16(5);
    for (unsigned id = 1; id <= 5; ++id)
        body.U16(id).U32(80).U32(2500).U32(2000).U32(1500).U32(800).U32(6000).U32(6000).U32(0).U8(0);
    for (unsigned id = 1; id <= 5; ++id) {
        body.U16(id).U16(id == 1 ? 3 : 1);
        body.U32(0x00010002 + id);
        if (id == 1) body.U32(0x00040006).U32(0x00130008);
    }
    return body;
}

Bytes OnlineUserInfo(const std::string& name, unsigned status)
{
    Bytes caps = Hex("09 46 13 4E 4C 7F 11 D1 82 22 44 45 53 54 00 00 56 3F C8 09 0B 6F 41 BD 9F 79 42 26 09 DF A2 F3");
    return Wire()
        .Str8(name).U16(0).U16(4)
        .Tlv(0x0001, Wire().U16(0x0050))
        .Tlv(0x0006, Wire().U16(0x1000).U16(status))
        .Tlv(0x000D, caps)
        .Tlv(0x000F, Wire().U32(3600));
}

Bytes RosterItem(const std::string& name, unsigned group, unsigned item, unsigned type, const Bytes& attributes)
{
    return Wire().Str16(name).U16(group).U16(item).U16(type).U16(unsigned(attributes.size())).Raw(attributes);
}

std::vector<Bytes> MainServer()
{
    Bytes roster1 = Wire().U8(0).U16(2).Raw(RosterItem("General", 1, 0, 1, Bytes()))
                        .Raw(RosterItem(kContact, 1, 0x10, 0, Wire().Tlv(0x0131, Wire().Text("Bob"))));
    Bytes roster2 = Wire().U8(0).U16(1)
                        .Raw(RosterItem("", 0, 0x20, 4, Wire().Tlv(0x00CA, Wire().U8(4))))
                        .U32(1700000000);
    Bytes utf16 = Hex("04 1F 04 40 04 38 04 32 04 35 04 42");
    Bytes server = Wire().Tlv(0x0005, Wire().U32LE(100200300).U8(1).U8(0).U16LE(6).Text("Hello").U8(0));
    return {
        Hello(0x3001),
        Snac(0x01, 0x03, Wire().U16(0x01).U16(0x02).U16(0x03).U16(0x04).U16(0x09).U16(0x13).U16(0x15)),
        Snac(0x01, 0x18, Wire().U16(0x01).U16(4).U16(0x13).U16(4).U16(0x02).U16(1).U16(0x03).U16(1)),
        Snac(0x01, 0x07, RateInfo()),
        Snac(0x01, 0x0F, OnlineUserInfo(kUin, 0x0000)),
        Snac(0x13, 0x06, roster1, 0x0001),
        Snac(0x13, 0x06, roster2),
        Snac(0x03, 0x0B, OnlineUserInfo(kContact, 0x0100)),
        Snac(0x02, 0x06, OnlineUserInfo(kContact, 0x0001)),
        IncomingMessageFrame(1, kContact, Wire().Raw(PlainMessageTlv(0, Wire().Text("Hello there"))).Tlv(0x0016, Wire().U32(1700000100))),
        IncomingMessageFrame(1, kContact, PlainMessageTlv(2, utf16)),
        IncomingMessageFrame(2, kContact, RendezvousTlv(RendezvousPlainText(Hex("D0 9F D1 80 D0 B8"), "{0946134E-4C7F-11D1-8222-444553540000}"))),
        IncomingMessageFrame(2, kContact, RendezvousTlv(RendezvousXStatus("<N><QUERY>&lt;Q&gt;&lt;PluginID&gt;srvMng&lt;/PluginID&gt;&lt;/Q&gt;</QUERY></N>\r\n"))),
        IncomingMessageFrame(4, kContact, server),
        XStatusReplyFrame(kContact, "&lt;title&gt;Coffee&lt;/title&gt;&lt;desc&gt;a break&lt;/desc&gt;"),
        Snac(0x13, 0x0E, Wire().U16(0)),
        Snac(0x13, 0x19, Wire().Str8(kContact).Str16("Please authorize my request.")),
        Snac(0x13, 0x1B, Wire().Str8(kContact).U8(1).Str16("")),
        Snac(0x03, 0x0C, Wire().Str8(kContact).U16(0).U16(1).Tlv(0x0001, Wire().U16(0x0050))),
        Flap(4, Wire().Tlv(0x0009, Wire().U16(1)), 0x3100),
    };
}

} // namespace

SignOnFrames ServerSignOn()
{
    SignOnFrames frames;
    frames.login = LoginServer();
    frames.main = MainServer();
    return frames;
}

} // namespace WexTest
