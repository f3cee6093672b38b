// "Accounts data": every account with its values in one blob, a sequence of value records, one per
// account in the user's order, each named by the account's protocol GUID in braced text form and
// holding the account's values as a serialised value-record list.
//
// Nothing stored is lost because one part cannot be used in one run: the reader keeps every record
// that stands whole, with its bytes as stored, and keeps whatever follows the first record that does
// not (a damaged end) as a raw tail; the writer puts records that were not turned into accounts back
// at their old places and the tail back at the end, byte for byte.
#pragma once

#include "Zel/core/settings/ValueRecordList.h"
#include "ZELCommon/ZELGuid.h"

#include <vector>

namespace AccountsData {

// One record as stored.
struct StoredRecord {
    ZEL_GUID protocol;               // the null GUID when the name is not a GUID text
    std::vector<unsigned char> raw;  // the whole record, header included
    unsigned valuesOffset;           // where its data (the account's values) starts in raw
    unsigned valuesLength;
};

struct Parsed {
    std::vector<StoredRecord> records;  // in stored order
    std::vector<unsigned char> tail;    // from the first record that does not stand whole
};

// Never fails: what cannot be read ends up in tail.
Parsed Parse(const unsigned char* data, unsigned length);

// The account's values from a stored record. False, the list left empty, unless every byte of the
// data reads back as values that save again unchanged.
bool ReadValues(const StoredRecord& record, ValueRecordList& values);

// A live account to write.
struct LiveAccount {
    ZEL_GUID protocol;
    const ValueRecordList* values;  // null: no values
};

// A stored record carried through: it goes back at position (its index in the stored order), or
// at the end when fewer records precede it now.
struct CarriedRecord {
    unsigned position;
    std::vector<unsigned char> raw;
};

// The blob: the live accounts in order with the carried records put back in ascending position,
// then the tail. False when it would not fit 32 bits or memory runs out.
bool Build(const std::vector<LiveAccount>& live, const std::vector<CarriedRecord>& carried,
           const std::vector<unsigned char>& tail, std::vector<unsigned char>& out);

}  // namespace AccountsData
