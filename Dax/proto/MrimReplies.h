// Readers of the packets the server sends, each bounded by its body: a field that runs past the body
// fails the whole reply (ok false) and its handler does nothing with it, unless the layout says a
// field is optional.
#pragma once

#include "Dax/proto/MrimPacket.h"

#include <utility>
#include <vector>

namespace Mrim {

// 0x1002, 0x1012, 0x1013, 0x1014, 0x1033: one u32, read only when the body holds four bytes.
bool ReadLeadingU32(const unsigned char* body, size_t length, unsigned& value);

// 0x1005: the reason (UTF-8); false for a body under four bytes or a reason past its end.
bool ParseLoginRejected(const unsigned char* body, size_t length, CZELString& reason);

// 0x1015: (key UTF-8, value UTF-16LE) pairs up to the end of the body; a pair cut short ends the
// list (the pairs before it stay).
std::vector<std::pair<CZELString, CZELString>> ParseUserInfo(const unsigned char* body, size_t length);

// 0x1048.
struct NewMail {
    unsigned count = 0;
    CZELString sender, subject;  // code page 1251
};
bool ParseNewMail(const unsigned char* body, size_t length, NewMail& out);

// 0x1025: status, then the key (UTF-8) when the status is 1.
struct WebSessionKey {
    unsigned status = 0;
    CZELString key;
};
bool ParseWebSessionKey(const unsigned char* body, size_t length, WebSessionKey& out);

// 0x1009: id, flags, sender (UTF-8) and the text's bytes (in place); the RTF part is not read.
struct IncomingMessage {
    unsigned id = 0;
    unsigned flags = 0;
    CZELString sender;
    const unsigned char* text = nullptr;
    size_t textLength = 0;
};
bool ParseIncomingMessage(const unsigned char* body, size_t length, IncomingMessage& out);

// How an incoming text is encoded: code page 1251 when 0x00200000 is set or 0x00100000 clear,
// UTF-16LE otherwise.
Encoding TextEncoding(unsigned flags);

// The text of an authorisation block (Base64 already decoded): u32 n, then up to min(n, 2) LPS; the
// second, when read, decoded by flags. False when the block cannot give it.
bool ParseAuthBlock(const Bytes& block, unsigned flags, CZELString& text);

// 0x1021 and other one-address bodies (UTF-8).
bool ParseAddress(const unsigned char* body, size_t length, CZELString& address);

// 0x101D: the 8-byte key and the text (code page 1251) from offset 12 to the end. False for a body
// under 8 bytes (nothing to delete by); a body of 8 to 11 bytes has a key and an empty text.
struct OfflineMessagePacket {
    unsigned char key[8] = {0};
    CZELString text;
};
bool ParseOfflineMessagePacket(const unsigned char* body, size_t length, OfflineMessagePacket& out);

// 0x100F. The capability mask and the user agent may be missing from the end.
struct UserStatus {
    unsigned status = 0;
    CZELString xstatusId, title, text, email, userAgent;
};
bool ParseUserStatus(const unsigned char* body, size_t length, UserStatus& out);

// 0x101A and 0x101C: status, and for 0x101A the id (0 when the body ends before it).
struct ContactAck {
    unsigned status = 0;
    unsigned id = 0;
};
bool ParseContactAck(const unsigned char* body, size_t length, ContactAck& out);

} // namespace Mrim
