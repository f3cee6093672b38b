// ValueRecordMap: value records keyed by name under CZELString's case-insensitive ordering, at
// most one per name (insert-or-keep: a record whose name is already present is dropped). A
// red-black tree; its byte form is the records' byte forms in ascending name order.
#pragma once

#include "Zel/core/settings/ValueRecord.h"

#include <map>

class ValueRecordMap {
public:
    // 1 when a record of that name is present afterwards (the one already there stays unchanged);
    // 0 when the name has no byte form (ValueRecord::HasValidName) or memory ran out.
    int Insert(const ValueRecord& record);
    int Insert(ValueRecord&& record);

    ValueRecord* Find(const CZELString& name);
    const ValueRecord* Find(const CZELString& name) const;
    int GetCount() const { return int(records.size()); }

    // The sum of the records' sizes (0xFFFFFFFF when it does not fit 32 bits).
    unsigned GetSize() const;

    // Inserts the records of length bytes (of two equal names the first stays). Returns length,
    // or 0 when a record is malformed (or memory runs out): the map is then cleared, of the records
    // it held before too. A record whose name would not survive a save (a damaged name that grows
    // past MaxNameBytes in UTF-8) is skipped. An empty input returns 0 and changes nothing.
    unsigned Parse(const unsigned char* input, unsigned length);
    // Writes the records in ascending name order; the total, or 0 (nothing written) when the
    // buffer is absent or smaller than GetSize.
    unsigned Serialise(unsigned char* buffer, unsigned capacity) const;

    void Clear() { records.clear(); }

private:
    struct NameLess {
        bool operator()(const CZELString& a, const CZELString& b) const { return a < b; }
    };
    std::map<CZELString, ValueRecord, NameLess> records;
};
