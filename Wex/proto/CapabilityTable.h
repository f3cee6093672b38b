// The capability table: every capability identifier the engine knows, with the program's name for
// it ("caTyping", "capXS5pic") and a text for people ("Typing Notifications"). A contact's
// capabilities arrive in its user information, 16 bytes each in TLV 0x000D and in a short two-byte
// form in TLV 0x0019; the table names them, tells whether a contact can do something, and
// recognises this product family's own clients.
//
// The table is built once and never changes, so any number of threads may read one table.
#pragma once

#include "Wex/proto/Capabilities.h"
#include "Wex/proto/Tlv.h"

#include "ZELCommon/ZELString.h"

#include <map>
#include <vector>

namespace Wex {

struct CapabilityEntry {
    CapabilityGuid guid{};
    CZELString name;  // empty for an identifier the table does not know
    CZELString text;
};

// One contact's capabilities in the order they were announced (TLV 0x000D's first).
typedef std::vector<CapabilityEntry> CapabilityList;

class CapabilityTable {
public:
    enum { RowCount = 109 };

    // The 109 rows.
    CapabilityTable();

    int GetCount() const { return int(entries.size()); }
    // The row of the 16 bytes at guid, or null.
    const CapabilityEntry* FindByGuid(const unsigned char* guid) const;
    // The first row, in ascending identifier order, whose name equals name ignoring case; or null.
    const CapabilityEntry* FindByName(const CZELString& name) const;

    // The rows in ascending identifier order (bytes compared unsigned).
    const std::map<CapabilityGuid, CapabilityEntry>& Entries() const { return entries; }

private:
    std::map<CapabilityGuid, CapabilityEntry> entries;
};

// The capabilities of a user-information chain: each whole 16-byte block of TLV 0x000D, then each
// whole two-byte value b0 b1 of TLV 0x0019 as 09 46 b0 b1 4C 7F 11 D1 82 22 44 45 53 54 00 00; an
// identifier the table does not know enters without a name. Nothing is merged.
CapabilityList ParseCapabilities(const CapabilityTable& table, const TlvChain& userInfo);

// True when the table has a row of that name and some entry of list shares the first prefix bytes
// (at most 16) of its identifier.
bool HasCapability(const CapabilityTable& table, const CapabilityList& list, const CZELString& name, size_t prefix);

// Which client of this product family the user information announces: 1 for the family's first
// client (tested on the first 10 bytes of "caZEL", which the PDA and Mobile clients share), 2 PDA,
// 3 PDA for Symbian, 4 Mobile, 5 Pellox; 0 for none.
int DetectClient(const CapabilityTable& table, const TlvChain& userInfo);

} // namespace Wex
