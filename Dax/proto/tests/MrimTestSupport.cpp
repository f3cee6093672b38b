#include "Dax/proto/tests/MrimTestSupport.h"

#include "Dax/proto/Anketa.h"
#include "Dax/proto/ContactListPacket.h"
#include "Dax/proto/MrimReplies.h"
#include "Dax/proto/OfflineMessage.h"
#include "Dax/proto/Smileys.h"

#include <cstdio>
#include <cstdlib>

namespace MrimTest {

Bytes Hex(const std::string& text)
{
    Bytes out;
    std::string digits;
    for (char c : text)
        if (isxdigit((unsigned char)c)) digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2) out.push_back((unsigned char)strtoul(digits.substr(i, 2).c_str(), nullptr, 16));
    return out;
}

std::string ToHex(const Bytes& bytes)
{
    std::string out;
    char two[4];
    for (unsigned char b : bytes) {
        snprintf(two, sizeof two, "%02x ", b);
        out += two;
    }
    return out;
}

std::wstring Text(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

CZELString Str(const std::wstring& text)
{
    return CZELString(text.c_str(), int(text.size()));
}

Wire& Wire::U32(unsigned value)
{
    for (int i = 0; i < 4; ++i) bytes.push_back((unsigned char)(value >> (8 * i)));
    return *this;
}

Wire& Wire::Raw(const Bytes& more)
{
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
}

Wire& Wire::Text(const std::string& more)
{
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
}

Wire& Wire::Lps(const std::string& more)
{
    U32(unsigned(more.size()));
    return Text(more);
}

Wire& Wire::Lps(const Bytes& more)
{
    U32(unsigned(more.size()));
    return Raw(more);
}

Wire& Wire::Lps16(const std::wstring& text)
{
    return Lps(Utf16(text));
}

Bytes Utf16(const std::wstring& text)
{
    Bytes out;
    for (wchar_t c : text) {
        out.push_back((unsigned char)(c & 0xFF));
        out.push_back((unsigned char)(c >> 8));
    }
    return out;
}

Bytes Packet(unsigned command, unsigned sequence, const Bytes& body)
{
    Wire wire;
    wire.U32(0xDEADBEEF).U32(0x00010013).U32(sequence).U32(command).U32(unsigned(body.size()));
    for (int i = 0; i < 6; ++i) wire.U32(0);
    return wire.Raw(body).Get();
}

void ReadEveryWay(const unsigned char* body, size_t length)
{
    unsigned value = 0;
    Mrim::ReadLeadingU32(body, length, value);
    CZELString text;
    Mrim::ParseLoginRejected(body, length, text);
    Mrim::ParseUserInfo(body, length);
    Mrim::NewMail mail;
    Mrim::ParseNewMail(body, length, mail);
    Mrim::WebSessionKey key;
    Mrim::ParseWebSessionKey(body, length, key);
    Mrim::IncomingMessage message;
    if (Mrim::ParseIncomingMessage(body, length, message)) {
        Mrim::Decode(message.text, message.textLength, Mrim::TextEncoding(message.flags));
        Bytes block = Mrim::FromBase64(message.text, message.textLength);
        Mrim::ParseAuthBlock(block, message.flags, text);
    }
    Mrim::ParseAddress(body, length, text);
    Mrim::OfflineMessagePacket offline;
    if (Mrim::ParseOfflineMessagePacket(body, length, offline)) Mrim::ParseOfflineMessage(offline.text);
    Mrim::UserStatus status;
    Mrim::ParseUserStatus(body, length, status);
    Mrim::ContactAck ack;
    Mrim::ParseContactAck(body, length, ack);
    std::vector<Mrim::MrimGroup> groups;
    std::vector<Mrim::MrimContact> contacts;
    Mrim::ParseContactList(body, length, groups, contacts);
    Mrim::Anketa anketa;
    Mrim::ParseAnketa(body, length, anketa);
    CZELString wide = Mrim::Decode(body, length, Mrim::Encoding::Cp1251);
    Mrim::ReplaceSmileyTags(wide);
    Mrim::ExpandCartoonMessage(wide);
}

} // namespace MrimTest
