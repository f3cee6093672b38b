// The texts of incoming messages on each channel, their HTML treatment, and lengths that lie.
#include "Wex/proto/IncomingMessage.h"
#include "Wex/proto/MessageText.h"

#include "WexTestSupport.h"

#include <gtest/gtest.h>

using namespace WexTest;
using namespace Wex;

namespace {

const char kUtf8Capability[] = "{0946134E-4C7F-11D1-8222-444553540000}";
const char kRtfCapability[] = "{97B12751-243C-4334-AD22-D6ABF73F1492}";

IncomingMessage Message(unsigned channel, const std::string& sender, const Bytes& tlvs)
{
    GuardedBytes frame(IncomingMessageFrame(channel, sender, tlvs));
    IncomingMessage message;
    EXPECT_GT(message.Unpack(frame.data(), frame.size()), 0);
    return message;
}

struct TextCase {
    const char* name;
    unsigned channel;
    std::string sender;
    Bytes tlvs;
    std::wstring text;
};

void CheckTexts(const std::vector<TextCase>& cases)
{
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.text, Text(Message(c.channel, c.sender, c.tlvs).GetText()));
    }
}

Bytes Ascii(const std::string& text)
{
    return Wire().Text(text);
}

Bytes Html(const std::string& text)
{
    return PlainMessageTlv(0, Ascii(text));
}

} // namespace

TEST(MessageText, ChannelOneDecodesByCharacterSet)
{
    CheckTexts({
        {"code page 1251", 1, "1", PlainMessageTlv(0, Hex("CF F0 E8 E2 E5 F2")), L"\x041F\x0440\x0438\x0432\x0435\x0442"},
        {"set 3 is code page 1251 too", 1, "1", PlainMessageTlv(3, Hex("CF F0")), L"\x041F\x0440"},
        {"UTF-16 big-endian", 1, "1", PlainMessageTlv(2, Hex("04 1F 04 40")), L"\x041F\x0440"},
        {"any other set is UTF-16", 1, "1", PlainMessageTlv(0xFFFF, Hex("00 68 00 69")), L"hi"},
        {"an odd last byte is left out", 1, "1", PlainMessageTlv(2, Hex("04 1F 04")), L"\x041F"},
        {"an empty text", 1, "1", PlainMessageTlv(0, Bytes()), L""},
        {"no TLV 2", 1, "1", Wire().Tlv(6, Bytes()), L""},
    });
}

TEST(MessageText, ChannelOneLengthsThatLieGiveNoText)
{
    auto fragments = [](const Bytes& bytes) { return Wire().Tlv(0x0002, bytes).Get(); };
    CheckTexts({
        {"text length below 4", 1, "1", fragments(Hex("05 01 00 01 01  01 01 00 03 00 00 00")), L""},
        {"text longer than the TLV", 1, "1", fragments(Hex("05 01 00 01 01  01 01 00 09 00 00 00 00 41 42")), L""},
        {"capabilities longer than the TLV", 1, "1", fragments(Hex("05 01 FF FF 01")), L""},
        {"text fragment cut in its header", 1, "1", fragments(Hex("05 01 00 01 01  01 01 00 08 00")), L""},
    });
}

TEST(MessageText, ChannelOneHtmlBecomesPlainText)
{
    CheckTexts({
        // Each entity is replaced once: a sender's literal "&lt;" (written &amp;lt;) stays "&lt;".
        {"wrapped, numeric sender", 1, "100200300", Html("<HTML><BODY dir=\"ltr\">a&amp;lt;b<br>c</BODY></HTML>"), L"a&lt;b\r\nc"},
        {"the wrapper in any case", 1, "100200300", Html("<html><body>x&lt;y</body></html>"), L"x<y"},
        {"numeric sender, not wrapped: no HTML", 1, "100200300", Html("5 > 3 &amp; <b>"), L"5 > 3 &amp; <b>"},
        {"letter sender, nothing to treat", 1, "Some Body", Html("5 > 3"), L"5 > 3"},
        {"letter sender, tags and entities", 1, "nick", Html("<b>bold</b> &quot;x&quot; &gt;"), L"bold \"x\" >"},
        {"letter sender, not wrapped, nothing cut", 1, "nick", Html("a longer line > here"), L"a longer line > here"},
        {"letter sender, wrapped", 1, "nick", Html("<HTML><BODY><FONT>Hi</FONT><BR>there</BODY></HTML>"), L"Hi\r\nthere"},
        {"only br and hr as they are become line ends", 1, "nick", Html("a<hr>b<br/>c<BR class=x>d<Hr>e"), L"a\r\nbcd\r\ne"},
        {"a < with no > after it stays", 1, "nick", Html("a < b <i>"), L"a "},
        {"a lone <", 1, "nick", Html("a < b"), L"a < b"},
        {"opening with no > after it: unchanged", 1, "nick", Html("<HTML><BODY"), L"<HTML><BODY"},
        {"opening without the closing", 1, "nick", Html("<HTML><BODY>text &amp; more"), L"text & more"},
        {"entities are case-sensitive", 1, "nick", Html("&AMP; &amp;quot;"), L"&AMP; &quot;"},
        {"an unknown entity stays", 1, "nick", Html("&nbsp;&"), L"&nbsp;&"},
    });
}

TEST(MessageText, ChannelTwoDecodesPlainTexts)
{
    Bytes longForm = Wire().U8(1).U8(0).U16LE(0).U16LE(4).U16LE(0).U32LE(0).U32LE(0xFFFFFF).U32LE(38).Text(kUtf8Capability);
    CheckTexts({
        {"UTF-8 by its capability", 2, "1", RendezvousTlv(RendezvousPlainText(Hex("D0 9F D1 80 D0 B8"), kUtf8Capability)),
         L"\x041F\x0440\x0438"},
        {"m = 6: the first five bytes", 2, "1", RendezvousTlv(RendezvousPlainText(Ascii("hello"), kUtf8Capability)), L"hello"},
        {"no capability: code page 1251 to the zero", 2, "1", RendezvousTlv(RendezvousPlainText(Hex("CF F0"), "")), L"\x041F\x0440"},
        {"another capability: code page 1251", 2, "1", RendezvousTlv(RendezvousPlainText(Hex("CF F0"), kRtfCapability)), L"\x041F\x0440"},
        {"m = 0", 2, "1", RendezvousTlv(longForm), L""},
        {"an x-status notification", 2, "1",
         RendezvousTlv(RendezvousXStatus("&lt;title&gt;Coffee&lt;/title&gt;&lt;desc&gt; break&lt;/desc&gt;")), L"Coffee break"},
        {"another message type", 2, "1", RendezvousTlv(Wire().U8(2).U8(0).U16LE(0).U16LE(0).U16LE(1).U8(0)), L""},
    });
}

TEST(MessageText, ChannelTwoLengthsThatLieGiveNoText)
{
    Bytes relay = Hex("09 46 13 49 4C 7F 11 D1 82 22 44 45 53 54 00 00");
    auto extension = [&](const Bytes& capability, const Bytes& data) {
        return Wire().Tlv(0x0005, Wire().U16(0).U32(1).U32(2).Raw(capability).Tlv(0x2711, data)).Get();
    };
    Bytes text = RendezvousPlainText(Ascii("hello"), kUtf8Capability);
    Bytes headers = Wire().U16LE(27).Zeros(27).U16LE(14).Zeros(14);
    CheckTexts({
        {"h1 past the data", 2, "1", extension(relay, Wire().U16LE(0xFFFF).Zeros(60)), L""},
        {"h2 past the data", 2, "1", extension(relay, Wire().U16LE(27).Zeros(27).U16LE(0xFFFF).Zeros(30)), L""},
        {"m past the data", 2, "1", extension(relay, Wire().Raw(headers).U8(1).U8(0).U16LE(0).U16LE(0).U16LE(900).Text("hello")), L""},
        {"capability length past the data", 2, "1",
         extension(relay, Wire().Raw(headers).U8(1).U8(0).U16LE(0).U16LE(0).U16LE(3).Text("hi").U8(0).U32LE(0).U32LE(0).U32LE(0xFFFFFFFF).Text(kUtf8Capability)),
         L"hi"},
        {"no relay capability", 2, "1", extension(Hex("09 46 13 4E 4C 7F 11 D1 82 22 44 45 53 54 00 00"), Wire().Raw(headers).Raw(text)), L""},
        {"extension too short for its capability", 2, "1", Wire().Tlv(0x0005, Wire().U16(0).U32(1).U32(2).Raw(Hex("09 46 13 49"))), L""},
        {"no message data", 2, "1", Wire().Tlv(0x0005, Wire().U16(0).U32(1).U32(2).Raw(relay).Tlv(0x000A, Wire().U16(1))), L""},
        {"x-status without its plug-in header", 2, "1", RendezvousTlv(Wire().U8(0x1A).U8(0).U16LE(0).U16LE(1).U16LE(1).U8(0).Zeros(24).Text("title&gt;x&lt;/title")), L""},
        {"x-status cut inside its plug-in header", 2, "1",
         RendezvousTlv(Wire().U8(0x1A).U8(0).U16LE(0).U16LE(1).U16LE(1).U8(0).Raw(Hex("4F 00 3B 60 B3 EF"))), L""},
    });
}

TEST(MessageText, ChannelFourReadsTheServersText)
{
    auto server = [](const Bytes& value) { return Wire().Tlv(0x0005, value).Get(); };
    CheckTexts({
        {"a text to its zero", 4, "1", server(Wire().U32LE(1).U8(1).U8(0).U16LE(6).Text("Hello").U8(0)), L"Hello"},
        {"a text without its zero", 4, "1", server(Wire().U32LE(1).U8(1).U8(0).U16LE(2).Text("Hi")), L"Hi"},
        {"code page 1251", 4, "1", server(Wire().U32LE(1).U8(1).U8(0).U16LE(2).Raw(Hex("CF F0"))), L"\x041F\x0440"},
        {"length past the TLV", 4, "1", server(Wire().U32LE(1).U8(1).U8(0).U16LE(0xFFFF).Text("Hello")), L""},
        {"TLV too short for the length", 4, "1", server(Wire().U32LE(1).U8(1).U8(0)), L""},
        {"no TLV 5", 4, "1", Wire().Tlv(6, Bytes()), L""},
        {"another channel", 3, "1", server(Wire().U32LE(1).U8(1).U8(0).U16LE(2).Text("Hi")), L""},
    });
}

TEST(MessageText, XStatusQueryIsRecognisedAndItsSequenceKept)
{
    IncomingMessage query = Message(2, "1", RendezvousTlv(RendezvousXStatus("<N><QUERY>&lt;Q&gt;</QUERY></N>"), 0x0102));
    EXPECT_TRUE(query.IsXStatusQuery());
    // The sequence is written low byte first and read back as it lies: the acknowledgement writes it
    // the same way round, so the peer gets its own bytes back.
    EXPECT_EQ(0x0201, query.messageSequence);

    IncomingMessage text = Message(2, "1", RendezvousTlv(RendezvousPlainText(Ascii("hi"), kUtf8Capability), 0x0304));
    EXPECT_FALSE(text.IsXStatusQuery());
    EXPECT_EQ(0x0403, text.messageSequence) << "kept for the acknowledgement of a text";

    IncomingMessage plain = Message(1, "1", PlainMessageTlv(0, Ascii("hi")));
    EXPECT_FALSE(plain.IsXStatusQuery());
    EXPECT_EQ(0, plain.messageSequence);

    IncomingMessage onChannel1 = Message(1, "1", RendezvousTlv(RendezvousXStatus("x")));
    EXPECT_FALSE(onChannel1.IsXStatusQuery()) << "only on channel 2";
}
