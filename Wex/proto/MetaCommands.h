// The meta requests of family 0x15: SNAC 15/02 whose body is TLV 0x0001 (big-endian type and length)
// holding a little-endian record: u16 meta length − 2, u32 own UIN, u16 command, u16 meta sequence,
// then, for command 2000, u16 meta subtype and the subtype's data. Each builder returns the whole
// frame, or no bytes when a value does not fit its field (PacketWriter).
#pragma once

#include "Wex/proto/Flap.h"
#include "Wex/proto/Tlv.h"

#include "ZELCommon/ZELString.h"

namespace Wex {

enum : unsigned short {
    MetaCommandInfo = 2000,             // 0x07D0: every information and search request
    MetaCommandDeleteOffline = 0x003E,  // the offline messages were read: delete them
    MetaSubtypeFullInfo = 0x04D0,
    MetaSubtypeSaveInfo = 0x0C3A,
    MetaSubtypeSearchByUin = 0x0569,
    MetaSubtypeSearchByEmail = 0x0573,
    MetaSubtypeWhitePages = 0x055F,
};

// The fixed request id of the bare delete request.
const unsigned MetaDeleteOfflineRequestId = 0x20002;

// The bare request (no subtype): command 0x003E, meta length 10, request id 0x20002.
Bytes MetaDeleteOfflineRequest(unsigned short sequence, unsigned ownUin, unsigned short metaSequence);

// 0x04D0: all the details of target.
Bytes MetaFullInfoRequest(unsigned short sequence, unsigned requestId, unsigned ownUin, unsigned short metaSequence,
                          unsigned targetUin);
// 0x0C3A: the changed details as a chain whose types and lengths are written little-endian.
Bytes MetaSaveInfoRequest(unsigned short sequence, unsigned requestId, unsigned ownUin, unsigned short metaSequence,
                          const TlvChain& details);
// 0x0569: TLV 0x0136 holding the UIN.
Bytes MetaSearchByUinRequest(unsigned short sequence, unsigned requestId, unsigned ownUin,
                             unsigned short metaSequence, unsigned uin);
// 0x0573: TLV 0x015E holding the address in the system code page with its zero.
Bytes MetaSearchByEmailRequest(unsigned short sequence, unsigned requestId, unsigned ownUin,
                               unsigned short metaSequence, const CZELString& email);

// The white-pages form: each field goes out only when it is set (see the builder).
struct WhitePagesForm {
    CZELString nickname, firstName, lastName, email, city, keywords;
    unsigned char language = 0;     // 0 and 255: any
    unsigned char gender = 0;       // 0: any
    unsigned char ageFrom = 0, ageTo = 0;  // ageFrom 0: any
    unsigned char marital = 0;      // 0 and 255: any
    unsigned short country = 0;     // 0 and 0xFFFF: any
    unsigned short occupation = 0;  // 0 and 0xFFFF: any
    unsigned short categories[3] = {0, 0, 0};  // each with the keywords; 0 and 0xFFFF: none
    unsigned char onlineOnly = 0;   // always sent
};

// 0x055F: the little-endian search items of the form's set fields, in the network's order.
Bytes MetaWhitePagesSearchRequest(unsigned short sequence, unsigned requestId, unsigned ownUin,
                                  unsigned short metaSequence, const WhitePagesForm& form);

// The search items of the form alone (what follows the subtype).
Bytes WhitePagesItems(const WhitePagesForm& form);

} // namespace Wex
