// ValueRecordList: value records in the order they were appended (for a parsed list, the order of
// the input). Several records may carry the same name; the list owns copies of them. Its byte form
// is the records' byte forms back to back, with no count in front.
#pragma once

#include "Zel/core/settings/ValueRecord.h"
#include "ZELCommon/ZELArray.h"

class ValueRecordList {
public:
    ValueRecordList();
    ValueRecordList(const ValueRecordList& other);
    ValueRecordList& operator=(const ValueRecordList& other);
    ~ValueRecordList();

    // The index of the appended copy; -1 when it was refused: the name has no byte form
    // (ValueRecord::HasValidName) or memory ran out.
    int Add(const ValueRecord& record);
    // The same, taking the record's bytes over instead of copying them.
    int Add(ValueRecord&& record);
    bool Append(const ValueRecord& record) { return Add(record) >= 0; }

    int GetCount() const { return records.GetCount(); }
    // The record at index; an index at or past the end gives the last record. Null for a negative
    // index or an empty list.
    ValueRecord* Get(int index);
    const ValueRecord* Get(int index) const;
    // The first record, in index order, whose name equals name (ignoring case), or null.
    ValueRecord* Find(const CZELString& name);
    const ValueRecord* Find(const CZELString& name) const;

    // The sum of the records' sizes (0xFFFFFFFF when it does not fit 32 bits).
    unsigned GetSize() const;

    // Appends the records of length bytes after those already held. Returns length, or 0 when a
    // record is malformed (or memory runs out): the list is then emptied. A record whose name
    // would not survive a save (a damaged name that grows past MaxNameBytes in UTF-8) is skipped.
    // An empty input returns 0 and changes nothing.
    unsigned Parse(const unsigned char* input, unsigned length);
    // Writes every record in index order; the total, or 0 (nothing written) when the buffer is
    // absent or smaller than GetSize.
    unsigned Serialise(unsigned char* buffer, unsigned capacity) const;

    void Clear();

private:
    bool CopyFrom(const ValueRecordList& other);

    CZELArray<ValueRecord*> records;  // owned; growth moves pointers, never record bytes
};
