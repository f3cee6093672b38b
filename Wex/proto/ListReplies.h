// The server-side list replies of family 0x13: the list itself (13/06), the acknowledgement of an
// edit (13/0E), and authorisation requests and replies from contacts (13/19, 13/1B). See Reply.h
// for the pattern.
#pragma once

#include "Wex/proto/ListCommands.h"
#include "Wex/proto/Reply.h"

#include <vector>

namespace Wex {

// u8 version, u16 item count, per item the name as a str16 (UTF-8), u16 group id, u16 item id,
// u16 item type and the attributes behind their u16 length; then, unless SNAC flags bit 0 says
// another list frame follows, u32 last-change time. Rejected when an item or the time runs past the
// frame.
struct ListRoster : Reply {
    unsigned char version = 0;
    std::vector<ListItem> items;
    bool last = false;  // no further list frame follows: lastChange was read
    unsigned lastChange = 0;

    int Unpack(const unsigned char* frame, size_t size);
};

// u16 result code of the first change acknowledged.
struct ListAck : Reply {
    unsigned short result = 0;

    int Unpack(const unsigned char* frame, size_t size);
};

// UIN as a str8, then the request text behind a u16 length, both UTF-8.
struct AuthRequestNotice : Reply {
    CZELString uin;
    CZELString text;

    int Unpack(const unsigned char* frame, size_t size);
};

// UIN as a str8, u8 1 when authorisation was granted, then the reason behind a u16 length, both
// UTF-8.
struct AuthReplyNotice : Reply {
    CZELString uin;
    bool granted = false;
    CZELString reason;

    int Unpack(const unsigned char* frame, size_t size);
};

} // namespace Wex
