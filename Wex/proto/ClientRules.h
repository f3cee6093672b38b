// Client identification: which program a contact uses, from rules in the plug-in's "Clients.cfg"
// matched against the contact's user information: the direct-connection block (TLV 0x0C) with its
// protocol version and three "dcinfo" words, and the capability list (TLVs 0x0D and 0x19).
//
// "Clients.cfg" is UTF-16LE text with a byte-order mark, CR LF lines, read lower-cased: ';' starts a
// comment, '[' a new rule, then key=value lines: name=, protover= (decimal), dcinfo1= to dcinfo3=
// (hexadecimal), caps= ('!' first: exactly these many capabilities), nocaps=, pic=. A caps list's
// items are hexadecimal prefixes of capability bytes in wire order, written "a, b": each next item
// starts two characters after its comma.
#pragma once

#include "Wex/proto/CapabilityTable.h"
#include "Wex/proto/Tlv.h"

#include "ZELCommon/ZELString.h"

#include <vector>

namespace Wex {

// The first Length bytes (0 to 16) of a capability.
struct CapPrefix {
    CapabilityGuid guid{};
    int length = 0;
};

struct ClientIdEntry {
    CZELString name;  // lower case, never empty
    unsigned protocolVersion = 0;
    bool hasProtocolVersion = false;
    unsigned dcInfo[3] = {0, 0, 0};
    bool hasDcInfo[3] = {false, false, false};
    std::vector<CapPrefix> caps;
    bool exactCapCount = false;
    std::vector<CapPrefix> noCaps;
    CZELString picture;     // the pic= value, empty for none
    int pictureIndex = -1;  // its skin image once acquired; -1 = none
};

typedef std::vector<ClientIdEntry> ClientIdTable;

// The rules of a "Clients.cfg" file's bytes, in file order. Text after the last CR LF is not read;
// a rule without a name is dropped, and so is a list item holding a character that is not a
// hexadecimal digit.
ClientIdTable ParseClientRules(const unsigned char* bytes, size_t size);

// The index of the first rule the contact's user information passes, or -1. A contact without a
// whole direct-connection block (35 bytes) is never identified.
int IdentifyClient(const ClientIdTable& table, const CapabilityTable& capabilities, const TlvChain& userInfo);

} // namespace Wex
