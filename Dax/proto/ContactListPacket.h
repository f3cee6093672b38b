// The server's contact list (0x1037) and the records it fills: status, group count, a group mask and
// a contact mask (letters: "u" a u32, "s" an LPS, anything else nothing), the group records, then
// contact records up to the end of the body. The k-th "u" and "s" of a mask go to fixed fields; the
// rest are skipped by their size.
#pragma once

#include "Dax/proto/MrimPacket.h"

#include <vector>

namespace Mrim {

enum : unsigned {
    GroupRemoved = 0x00000001,
    GroupFlag = 0x00000002,
    GroupUtf16Name = 0x00000200,

    ContactRemoved = 0x00000001,
    ContactInvisibleList = 0x00000004,
    ContactVisibleList = 0x00000008,
    ContactIgnoreList = 0x00000010,
    ContactHidden = 0x00000020,
    ContactHiddenToo = 0x00100000,
    ContactUtf16Name = 0x00000200,

    ServerNotAuthorised = 0x00000001,
    FirstServerId = 20,
};

struct MrimGroup {
    unsigned flags = 0;
    unsigned index = 0;  // what contacts refer to
    CZELString name;
    int clGroupId = 0;  // the mirrored group, 0 for none
};

struct MrimContact {
    unsigned flags = 0;
    unsigned group = 0;  // the index of its group
    unsigned serverId = 0;
    CZELString email;
    CZELString nickname;
    unsigned serverFlags = 0;
    unsigned status = 0;
    CZELString phone;
    CZELString xstatusId, xstatusTitle, xstatusText;
    unsigned features = 0;
    CZELString userAgent;
    int clContactId = 0;  // the mirrored contact, 0 for none
    bool authAsked = false;
};

// Outcomes besides a non-zero status from the packet.
enum : int { ListParsed = 0, ListBroken = 1 };

// Fills groups and contacts from the packet: ListParsed; ListBroken when the body is shorter than
// four bytes, a field runs past it or a mask cannot describe its records; otherwise the packet's
// non-zero status. Only ListParsed touches the outputs.
int ParseContactList(const unsigned char* body, size_t length, std::vector<MrimGroup>& groups,
                     std::vector<MrimContact>& contacts);

// The part of an address before its first "@" (the whole address when "@" is missing or first).
CZELString LocalPart(const CZELString& email);

} // namespace Mrim
