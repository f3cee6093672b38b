// The byte form of "CL data": value records nested three deep.
//   account record: name "{protocol GUID}account name", data = the account's item records
//   item record:    "Group" (data: one "Group settings" record with the group's properties, then
//                   one "Contact" record per contact of the group) or "Contact" (a top-level
//                   contact, data: its properties)
//   property:       one value record of the item's property list
// An item whose list holds a "Group settings" record is a group whatever its own name.
//
// Reading keeps every whole record: a list is read record by record and ends at the first record
// that does not stand whole in the bytes that remain, so damage costs what it touches and nothing
// before it. What follows (the damaged tail) is kept as it was and written back after the whole
// records at the same level: after an account's items, after a group's contacts, or at the end of
// "CL data". A record cut short (its header whole, its data running past the end) is still read for
// what it holds: an account's whole items, a group's whole contacts once its settings stand whole.
// Nothing here allocates more than the input holds.
#pragma once

#include "Zel/core/settings/ValueRecordList.h"
#include "ZELCommon/ZELGuid.h"
#include "ZELCommon/ZELString.h"

#include <string>
#include <vector>

namespace ContactListFile {

extern const wchar_t GroupRecord[];          // "Group"
extern const wchar_t GroupSettingsRecord[];  // "Group settings"
extern const wchar_t ContactRecord[];        // "Contact"

// One record as it lies in its buffer: its name, its data and its whole byte form.
struct RecordView {
    CZELString name;
    const unsigned char* data;
    unsigned length;
    const unsigned char* bytes;
    unsigned size;
};

// The names of the records read, each decoded once: the records of a list repeat a few names
// ("Contact", "Account name", "CL Alias"), and decoding every one again would cost most of a load.
// Keeps the last few names met; one reader at a time.
class NameCache {
public:
    // A record named by the nameLength UTF-8 bytes at name, holding no data.
    const ValueRecord& Named(const unsigned char* name, unsigned nameLength);

private:
    struct Entry {
        std::string raw;
        ValueRecord record;
    };
    std::vector<Entry> entries;
    size_t replace = 0;  // the entry the next new name takes once all are in use
};

// The whole records of a buffer, in order, up to the first that is not whole. The bytes used.
unsigned ReadRecords(const unsigned char* input, unsigned length, std::vector<RecordView>& out,
                     NameCache* names = nullptr);

// A buffer read as a list: its whole records, then the damaged tail, which may begin with a record
// cut short: its data is what the buffer still holds and its size reaches to the end.
struct RecordList {
    std::vector<RecordView> whole;
    bool hasCut;
    RecordView cut;
    const unsigned char* tail;
    unsigned tailLength;
};
void ReadList(const unsigned char* input, unsigned length, RecordList& out, NameCache* names = nullptr);

// "CL data" as read once in a run, its account records viewed in place.
struct StoredValue {
    StoredValue() = default;
    StoredValue(const StoredValue&) = delete;
    StoredValue& operator=(const StoredValue&) = delete;

    std::vector<unsigned char> bytes;
    RecordList accounts;
};

// A property list from its byte form, appended to out: its whole records (those whose name can be
// written again).
void ReadProperties(const unsigned char* input, unsigned length, ValueRecordList& out, NameCache* names = nullptr);

// The first record of that name (ignoring case), or null.
const RecordView* FindRecord(const std::vector<RecordView>& records, const CZELString& name);

// The protocol an account record's name begins with; the null GUID when it begins with none.
ZEL_GUID RecordProtocol(const CZELString& recordName);

// The account record's name for an account key: the key, cut at a character boundary when its
// UTF-8 form would not fit the record's one length byte. Loading and saving cut the same way.
CZELString AccountRecordName(const CZELString& key);

// Appends a record's byte form. False (nothing appended) when the name does not fit its length
// byte or the record would pass 4 GB.
bool AppendRecord(std::vector<unsigned char>& out, const CZELString& name, const unsigned char* data,
                  unsigned length);
bool AppendRecord(std::vector<unsigned char>& out, const CZELString& name, const std::vector<unsigned char>& data);
// Appends a property list's byte form. False when it does not fit 4 GB.
bool AppendProperties(std::vector<unsigned char>& out, const ValueRecordList& properties);

}  // namespace ContactListFile
