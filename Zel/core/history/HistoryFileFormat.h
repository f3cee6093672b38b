// The message history file format (".zhf"), as pure functions over byte buffers; the file work is
// in HistoryFileStream.h. All numbers are big-endian.
//
//   header   "ZHF", version 1, u32 total size of the records, 26 reserved bytes, u32 record count,
//            u32 last message number, u16 1                                          (44 bytes)
//            u16 A, A bytes: the contact's "Account name" in UTF-8 and a zero byte
//            u16 B, B bytes: the contact's "CL Alias" in UTF-8 and a zero byte
//   records  back to back to the end of the file: 00 01, u32 body length, body
//   body     a TLV list: 1 = u32 message number, 2 = u32 Unix time,
//            3 = {direction (0 incoming, 1 outgoing), flag byte 1, flag byte 2}, 4 = UTF-8 text
//
// The reserved bytes, the field at 42 and both strings are kept exactly as read, so a rewritten
// header keeps its length and records never move.
#pragma once

#include "ZELCommon/ZELString.h"

#include <cstddef>
#include <string>
#include <vector>

// Result codes of the history operations; what each covers is told in HistoryFile.h.
enum HistoryResult {
    HistoryOk = 0,
    HistoryCannotOpen = 1,   // no such file or contact, the file is in use, or it is another contact's
    HistoryBadHeader = 2,    // the header cannot be read: the file is shorter, or not a history file
    HistoryBadVersion = 3,   // the version byte is not 1
    HistoryRecordError = 4,  // a read or write of the file failed, or its header can count no more
};

// What the loaders make of one record.
struct ChatLogEntry {
    int direction = 0;      // 0 incoming, 1 outgoing
    int messageNumber = 0;  // of a live message; the loaders leave 0
    int kind = 0;           // 24 incoming, 25 outgoing
    CZELString name;        // who wrote it
    CZELString timeText;    // "(" + local time as "%c" + ")"
    CZELString text;
};

struct HistoryHeader {
    enum : unsigned { FixedBytes = 44, Version = 1, ReservedBytes = 26 };

    unsigned char version = Version;
    unsigned totalSize = 0;  // of all records, heads included
    unsigned char reserved[ReservedBytes] = {};
    unsigned recordCount = 0;
    unsigned lastNumber = 0;  // of the last record appended
    unsigned short created = 1;
    // Each string as stored, its zero byte included (empty only in a damaged file).
    std::vector<unsigned char> contactName;
    std::vector<unsigned char> alias;

    // The header's length in the file: where the records start.
    size_t GetSize() const { return FixedBytes + 2 + contactName.size() + 2 + alias.size(); }
};

// One record's fields.
struct HistoryRecord {
    unsigned number = 0;
    unsigned time = 0;  // Unix time
    unsigned char direction = 0;
    unsigned char flag1 = 0;
    unsigned char flag2 = 1;
    CZELString text;
};

namespace HistoryFormat {

enum : unsigned {
    RecordHeadBytes = 6,
    // The text item's length is 16-bit.
    MaxTextBytes = 0xFFFF,
    // The body of a record as Append writes it: items 1 to 4.
    WrittenBodyFixedBytes = 4 + 4 + 4 + 4 + 4 + 3 + 4,
    MaxWrittenRecordBytes = RecordHeadBytes + WrittenBodyFixedBytes + MaxTextBytes,
    // Bodies longer than this are taken for damage, whatever the file holds after them.
    MaxBodyBytes = 1u << 20,
};

// A new file's header: version 1, numbers 0, field 42 = 1, the two strings (each cut to fit its
// 16-bit length with the zero byte, at a character boundary).
HistoryHeader NewHeader(const CZELString& contactName, const CZELString& alias);
std::vector<unsigned char> EncodeHeader(const HistoryHeader& header);

struct HeaderDecode {
    int result = HistoryBadHeader;
    // When data ends inside the header: the bytes the header needs, as far as data tells (always more
    // than were given); otherwise 0.
    size_t needed = 0;
    // Where decoding failed.
    size_t errorOffset = 0;
};
// Reads the header at the start of data: HistoryOk, HistoryBadHeader (data ends inside it, or the
// magic is not "ZHF") or HistoryBadVersion. out is complete only on HistoryOk.
HeaderDecode DecodeHeader(const unsigned char* data, size_t length, HistoryHeader& out);
// A header string's text: its UTF-8 bytes up to the first zero.
CZELString HeaderText(const std::vector<unsigned char>& stored);

// The text as stored: UTF-8, ending at its first zero unit, cut to at most maxBytes at a character
// boundary. No stored text holds a zero byte, which lets a record be recognised from its end.
std::string TextBytes(const CZELString& text, size_t maxBytes = MaxTextBytes);

// A whole record: head and body with items 1 to 4.
std::vector<unsigned char> EncodeRecord(const HistoryRecord& record);
// The body length from a record's 6-byte head (its first two bytes are not examined).
unsigned RecordBodyLength(const unsigned char* head);
// The fields of a record body. False when item 2, 3 or 4 is missing, item 2 is not 4 bytes or item
// 3 is empty; number is 0 without item 1.
bool DecodeRecordBody(const unsigned char* body, size_t length, HistoryRecord& out);
// True when the length bytes at data are exactly one record as EncodeRecord writes it: head 00 01
// with the body length length - 6, then items 1, 2 (4 bytes each), 3 (3 bytes) and 4 in this order
// filling the body, the text free of zero bytes. Sets *number from item 1.
bool IsWrittenRecord(const unsigned char* data, size_t length, unsigned* number);

// The entry for a record: direction 1 is outgoing (kind 25, named ownName), every other direction
// incoming (kind 24, named alias).
ChatLogEntry MakeEntry(const HistoryRecord& record, const CZELString& alias, const CZELString& ownName);

}  // namespace HistoryFormat
