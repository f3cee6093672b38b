// The pages a Wex account hands the user search dialog: "By WEX#", "By Email", and the white pages
// spread over "Global 1" and "Global 2". They are made on the account's queue; what they store is
// posted back to it, ahead of the search the dialog then asks for, so the account's search request
// is only ever touched on its queue.
#pragma once

#include "ZELCommon/ZELString.h"

#include <cstdint>

class WexAccount;

namespace WexSearch {

// A row of the age list: its text and the bounds it searches for.
struct AgeRange {
    const wchar_t* text;
    unsigned char min, max;
};
enum { AgeRangeCount = 8 };
// Row 0 is empty: any age.
extern const AgeRange kAgeRanges[AgeRangeCount];
// The bounds of a list row; no row (the list left unselected) or one outside the table is row 0.
const AgeRange& AgeRangeOfRow(intptr_t row);

// The id typed on "By WEX#": decimal digits alone that fit 32 bits, else 0 (nothing to search for).
unsigned ParseSearchUin(const CZELString& text);

}  // namespace WexSearch

namespace WexPages {

// Appends the account's four search pages to the host's list (a ZELTabDlg::PanList). While any of
// them lives, the lookup lists stay loaded. Runs on the account's queue.
void AppendSearchPages(WexAccount& account, void* pages);

}  // namespace WexPages
