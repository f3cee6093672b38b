// The meta replies of family 0x15 (SNAC 15/03): TLV 0x0001 (big-endian type and length) holding a
// little-endian record, the answers to the meta requests and the offline messages the server hands
// over the same way. See Reply.h for the pattern.
//
// Every read is bounded by TLV 0x0001's value as well as by the frame: a record whose fields or
// texts run past its TLV is rejected. A meta string is a u16 LE length that counts a terminating
// zero, then that many bytes; its text is what comes before the zero, in code page 1251.
#pragma once

#include "Wex/proto/Reply.h"

#include "ZELCommon/ZELString.h"

namespace Wex {

enum : unsigned short {
    MetaReplyOfflineMessage = 0x0041,
    MetaReplyOfflineDone = 0x0042,
    MetaReplyInfo = 0x07DA,
    MetaInfoBasic = 0x00C8,
    MetaInfoWork = 0x00D2,
    MetaInfoMore = 0x00DC,
    MetaInfoAbout = 0x00E6,
    MetaInfoInterests = 0x00F0,
    MetaSearchHit = 0x01A4,      // a hit; more may follow
    MetaSearchLastHit = 0x01AE,  // the last one
};

// The result byte of a successful information reply.
const unsigned char MetaResultSuccess = 0x0A;

// The common header: TLV type 1 and its length (big-endian), then chunk size (skipped), UIN, reply
// type and meta sequence. Unpack returns the frame offset just after them.
struct MetaReply : Reply {
    unsigned short snacFlags = 0;
    unsigned short length = 0;
    unsigned uin = 0;
    unsigned short replyType = 0;
    unsigned short metaSequence = 0;

    int Unpack(const unsigned char* frame, size_t size);
    // No further frame of the same reply follows (SNAC flags bit 0 clear).
    bool IsLastPacket() const { return !(snacFlags & SnacFlagMoreFollow); }

protected:
    // The header read into the fields; the reader stands after it and ends with TLV 0x0001's value.
    // Failed when the header does not read.
    ByteReader OpenRecord(const unsigned char* frame, size_t size);
};

// An information reply of any known subtype (0x010E, 0x00C8, 0x00D2, 0x00DC, 0x00E6, 0x00EB,
// 0x00F0, 0x00FA); reads the subtype and nothing further.
struct MetaInfoReply : MetaReply {
    unsigned short subtype = 0;
    bool success = true;

    int Unpack(const unsigned char* frame, size_t size);
    bool IsSuccess() const { return success; }

protected:
    // The header and subtype; the reader stands after the subtype (failed on a wrong subtype when
    // expected is not 0).
    ByteReader OpenInfo(const unsigned char* frame, size_t size, unsigned short expected);
    // Reads the result byte of a detail kind: false when the reading ends here (a failed reply).
    bool ReadResult(ByteReader& reader);
};

struct MetaBasicInfoReply : MetaInfoReply {
    CZELString nick, firstName, lastName, email, homeCity, homeState, homePhone, homeFax, homeAddress, cellPhone,
        homeZip;
    unsigned short homeCountry = 0;
    unsigned char gmtOffset = 0, authorization = 0, webAware = 0, directConnection = 0, publishEmail = 0;

    int Unpack(const unsigned char* frame, size_t size);
};

struct MetaWorkInfoReply : MetaInfoReply {
    CZELString city, state, phone, fax, address, zip;
    unsigned short country = 0;
    CZELString company, department, position;
    unsigned short occupation = 0;
    CZELString webpage;

    int Unpack(const unsigned char* frame, size_t size);
};

struct MetaMoreInfoReply : MetaInfoReply {
    unsigned short age = 0;
    unsigned char gender = 0;
    CZELString homepage;
    unsigned short birthYear = 0;
    unsigned char birthMonth = 0, birthDay = 0;
    unsigned char languages[3] = {0, 0, 0};
    CZELString city, state;
    unsigned short country = 0;
    unsigned char marital = 0;
    CZELString localizationId, localizationEmail;

    int Unpack(const unsigned char* frame, size_t size);
};

struct MetaAboutReply : MetaInfoReply {
    CZELString about;

    int Unpack(const unsigned char* frame, size_t size);
};

struct MetaInterestsReply : MetaInfoReply {
    enum { MaxInterests = 4 };
    unsigned char count = 0;  // as the reply says; entries hold at most four
    unsigned short categories[MaxInterests] = {0, 0, 0, 0};
    CZELString keywords[MaxInterests];

    int Unpack(const unsigned char* frame, size_t size);
    // The entries read: the count, at most four.
    int Entries() const { return count < int(MaxInterests) ? int(count) : int(MaxInterests); }
};

// An offline message (reply type 0x41): sender, the time it was sent, type, flags and the text in
// code page 1251 (ending at its first zero).
struct OfflineMessage : MetaReply {
    unsigned sender = 0;
    unsigned short year = 0;
    unsigned char month = 0, day = 0, hour = 0, minute = 0;
    unsigned char messageType = 0, messageFlags = 0;
    CZELString text;

    int Unpack(const unsigned char* frame, size_t size);
    CZELString SenderText() const;
};

// One hit of a search reply. result 10: a hit, the fields follow; 20 and 50: no hit, nothing more.
struct SearchResultRecord {
    unsigned char result = 0;
    unsigned uin = 0;
    CZELString nick, firstName, lastName, email;
    unsigned char authorization = 0;
    unsigned short status = 0;
    unsigned char gender = 0;
    unsigned short age = 0;

    bool HasHit() const { return result == 10; }
};

// Reads a search-result record: false (the reader failed) when the result value is not one of a
// search or the record runs past the reader.
bool ReadSearchResult(ByteReader& reader, SearchResultRecord& out);

// A search reply (reply type 0x07DA, subtype 0x01A4 or 0x01AE) with its one record.
struct SearchReply : MetaReply {
    unsigned short subtype = 0;
    bool lastResult = false;
    SearchResultRecord record;

    int Unpack(const unsigned char* frame, size_t size);
};

// A meta string as described above; empty and the reader failed when it runs past the reader.
CZELString ReadMetaString(ByteReader& reader);

} // namespace Wex
