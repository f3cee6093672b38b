// The server-side list commands of family 0x13: rights, the list itself, edits of its items, and
// authorisation requests and replies. Each builder returns the whole frame, sized from its own
// values, or no bytes when a value does not fit its length field (PacketWriter).
#pragma once

#include "Wex/proto/Flap.h"
#include "Wex/proto/Tlv.h"

#include "ZELCommon/ZELString.h"

namespace Wex {

// One item of the server-side list, as the list reply carries it and the edits send it.
struct ListItem {
    CZELString name;
    unsigned short groupId = 0;
    unsigned short itemId = 0;
    unsigned short itemType = 0;
    TlvChain attributes;
};

// 13/02, request id 2: TLV 0x000B holding 0x000F.
Bytes ListRightsRequest(unsigned short sequence);
// 13/04, request id 0x10004, no body.
Bytes ListRequest(unsigned short sequence);
// 13/07, request id 7, no body.
Bytes ListActivate(unsigned short sequence);

// 13/08, 13/09, 13/0A: the name as a str16 in UTF-8, group id, item id, item type, then the
// attributes behind their u16 length.
Bytes ListAddItem(unsigned short sequence, unsigned requestId, const ListItem& item);
Bytes ListUpdateItem(unsigned short sequence, unsigned requestId, const ListItem& item);
Bytes ListDeleteItem(unsigned short sequence, unsigned requestId, const ListItem& item);

// 13/11 and 13/12, no body.
Bytes ListEditBegin(unsigned short sequence, unsigned requestId);
Bytes ListEditEnd(unsigned short sequence, unsigned requestId);

// 13/18: UIN as a str8 and the request text as a str16, both UTF-8, then u16 0.
Bytes AuthRequest(unsigned short sequence, unsigned requestId, const CZELString& uin, const CZELString& text);
// 13/1A: UIN as a str8 in UTF-8, 1 to accept or 0 to decline, then u16 0 (no reason).
Bytes AuthReply(unsigned short sequence, unsigned requestId, const CZELString& uin, bool accept);

} // namespace Wex
