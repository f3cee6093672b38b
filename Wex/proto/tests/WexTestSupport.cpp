#include "WexTestSupport.h"

#include <windows.h>

#include <cstdio>

namespace WexTest {

Bytes Hex(const std::string& text)
{
    Bytes out;
    int high = -1;
    for (char c : text) {
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) continue;
        if (high < 0) {
            high = digit;
        } else {
            out.push_back((unsigned char)(high << 4 | digit));
            high = -1;
        }
    }
    return out;
}

std::string ToHex(const Bytes& bytes)
{
    std::string out;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(pair, sizeof pair, i ? " %02x" : "%02x", bytes[i]);
        out += pair;
    }
    return out;
}

std::wstring Text(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

Wire& Wire::U8(unsigned value)
{
    bytes.push_back((unsigned char)value);
    return *this;
}

Wire& Wire::U16(unsigned value)
{
    return U8(value >> 8).U8(value);
}

Wire& Wire::U32(unsigned value)
{
    return U16(value >> 16).U16(value);
}

Wire& Wire::U16LE(unsigned value)
{
    return U8(value).U8(value >> 8);
}

Wire& Wire::U32LE(unsigned value)
{
    return U16LE(value).U16LE(value >> 16);
}

Wire& Wire::Raw(const Bytes& more)
{
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
}

Wire& Wire::Text(const std::string& text)
{
    bytes.insert(bytes.end(), text.begin(), text.end());
    return *this;
}

Wire& Wire::Zeros(size_t count)
{
    bytes.insert(bytes.end(), count, 0);
    return *this;
}

Wire& Wire::Str8(const std::string& text)
{
    return U8(unsigned(text.size())).Text(text);
}

Wire& Wire::Str16(const std::string& text)
{
    return U16(unsigned(text.size())).Text(text);
}

Wire& Wire::Tlv(unsigned type, const Bytes& value)
{
    return U16(type).U16(unsigned(value.size())).Raw(value);
}

Bytes Flap(unsigned channel, const Bytes& data, unsigned sequence)
{
    return Wire().U8(0x2A).U8(channel).U16(sequence).U16(unsigned(data.size())).Raw(data);
}

Bytes Snac(unsigned family, unsigned subtype, const Bytes& body, unsigned flags, unsigned requestId, unsigned sequence)
{
    return Flap(2, Wire().U16(family).U16(subtype).U16(flags).U32(requestId).Raw(body), sequence);
}

Bytes PlainMessageTlv(unsigned characterSet, const Bytes& text)
{
    Bytes fragments = Wire()
                          .U8(5).U8(1).U16(1).U8(1)  // capabilities: one byte
                          .U8(1).U8(1).U16(unsigned(text.size()) + 4).U16(characterSet).U16(0).Raw(text);
    return Wire().Tlv(0x0002, fragments);
}

Bytes RendezvousTlv(const Bytes& dataAfterHeaders, unsigned sequence)
{
    Bytes data = Wire()
                     .U16LE(27).U16LE(10).Zeros(16).U16LE(0).U32LE(3).U8(0).U16LE(sequence)
                     .U16LE(14).U16LE(sequence).Zeros(12)
                     .Raw(dataAfterHeaders);
    Bytes relay = Hex("09 46 13 49 4C 7F 11 D1 82 22 44 45 53 54 00 00");
    Bytes extension = Wire()
                          .U16(0).U32(0x11111111).U32(0x22222222).Raw(relay)
                          .Tlv(0x000A, Wire().U16(1)).Tlv(0x000F, Bytes()).Tlv(0x2711, data);
    return Wire().Tlv(0x0005, extension).Tlv(0x0003, Bytes());
}

Bytes RendezvousPlainText(const Bytes& text, const std::string& capability)
{
    Wire data;
    data.U8(1).U8(0).U16LE(0).U16LE(4).U16LE(unsigned(text.size()) + 1).Raw(text).U8(0);
    data.U32LE(0).U32LE(0xFFFFFF);
    if (!capability.empty()) data.U32LE(unsigned(capability.size())).Text(capability);
    return data;
}

Bytes RendezvousXStatus(const std::string& notification)
{
    return Wire()
        .U8(0x1A).U8(0).U16LE(0).U16LE(1).U16LE(1).U8(0)
        .Raw(Hex("4F 00 3B 60 B3 EF D8 2A 6C 45 A4 E0 9C 5A 5E 67 E8 65 08 00 2A 00 00 00"))
        .Text("Script Plug-in: Remote Notification Arrive")
        .Raw(Hex("00 00 01 00 00 00 00 00 00 00 00 00 00 00 00"))
        .U32LE(unsigned(notification.size()) + 4).U32LE(unsigned(notification.size())).Text(notification);
}

Bytes IncomingMessageFrame(unsigned channel, const std::string& sender, const Bytes& messageTlvs,
                           unsigned userInfoCount, const Bytes& userInfo)
{
    return Snac(0x04, 0x07,
                Wire().U32(0x11111111).U32(0x22222222).U16(channel).Str8(sender).U16(0).U16(userInfoCount)
                    .Raw(userInfo).Raw(messageTlvs));
}

Bytes XStatusReplyFrame(const std::string& sender, const std::string& notification, unsigned cookie2)
{
    Wire body;
    body.U32(0x11111111).U32(cookie2).U16(2).Str8(sender).U16(3);
    body.Raw(Hex("1B 00 09 00")).Zeros(16).Raw(Hex("00 00 01 00 00 00 00")).U16(0x0102);
    body.Raw(Hex("0E 00")).U16(0x0102).Zeros(12).Raw(Hex("1A 00 00 00 00 00 01 00 00"));
    body.Raw(Hex("4F 00 3B 60 B3 EF D8 2A 6C 45 A4 E0 9C 5A 5E 67 E8 65 08 00 2A 00 00 00"));
    body.Text("Script Plug-in: Remote Notification Arrive").Raw(Hex("00 00 01 00 00 00 00 00 00 00 00 00 00 00 00"));
    body.U32LE(unsigned(notification.size()) + 4).U32LE(unsigned(notification.size())).Text(notification);
    return Snac(0x04, 0x0B, body);
}

Bytes SignOnServerStream()
{
    SignOnFrames frames = ServerSignOn();
    Bytes stream;
    for (const std::vector<Bytes>* side : {&frames.login, &frames.main})
        for (const Bytes& frame : *side) stream.insert(stream.end(), frame.begin(), frame.end());
    return stream;
}

GuardedBytes::GuardedBytes(const unsigned char* bytes, size_t size) : length(size)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    size_t page = system.dwPageSize;
    size_t pages = (size + page - 1) / page;
    block = static_cast<unsigned char*>(VirtualAlloc(nullptr, (pages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!block) return;
    DWORD old = 0;
    VirtualProtect(block + pages * page, page, PAGE_NOACCESS, &old);
    start = block + pages * page - size;
    if (size) memcpy(start, bytes, size);
}

GuardedBytes::~GuardedBytes()
{
    if (block) VirtualFree(block, 0, MEM_RELEASE);
}

} // namespace WexTest
