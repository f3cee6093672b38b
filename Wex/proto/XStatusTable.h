// The 35 extended statuses (x-statuses): a mood picture with the user's own title and description,
// announced as one extra capability in TLV 0x000D. Their position in the table (1 to 35, 0 for none)
// is the x-status index used everywhere: the account's own setting, a contact's picture, the
// capability announced, the query sent to a contact. The same rows are rows 5 to 39 of the
// capability table.
#pragma once

#include "Wex/proto/Capabilities.h"
#include "Wex/proto/Tlv.h"

#include "ZELCommon/ZELString.h"

#include <vector>

namespace Wex {

enum { XStatusCount = 35 };

struct XStatusRow {
    const wchar_t* name;  // "capXS1pic" ... "capXS35pic"
    const wchar_t* text;  // "XStatus(Angry)" ...
    CapabilityGuid guid;
    const wchar_t* picture;
};

// In index order: row n - 1 is x-status n.
extern const XStatusRow XStatusRows[XStatusCount];

// One x-status with the user's own texts for it (empty when built).
struct XStatusEntry {
    CapabilityGuid guid{};
    CZELString name;
    CZELString text;
    CZELString title;
    CZELString description;
};

class XStatusTable {
public:
    // The 35 rows in order, their texts empty.
    XStatusTable();

    int GetCount() const { return int(entries.size()); }
    const XStatusEntry& operator[](int slot) const { return entries[size_t(slot)]; }

    // Slot is the index - 1. False (outputs untouched) for a slot outside the table.
    bool GetXStatusText(int slot, CZELString& title, CZELString& description) const;
    bool SetXStatusText(int slot, const CZELString& title, const CZELString& description);

private:
    std::vector<XStatusEntry> entries;
};

// The x-status index (1-35) of the first of count 16-byte GUIDs at guids that is an x-status (the
// contact's order decides, not the table's); 0 when none is or count is 0.
int FindXStatus(const unsigned char* guids, size_t count);
// The same over TLV 0x000D of a user-information chain; 0 without it.
int FindXStatus(const TlvChain& userInfo);

} // namespace Wex
