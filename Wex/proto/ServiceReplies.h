// The service replies of family 0x01 a client reads while it signs on: the server's families
// (01/03), their versions (01/18) and the rate limits (01/07). See Reply.h for the pattern.
#pragma once

#include "Wex/proto/Reply.h"
#include "Wex/proto/ServiceCommands.h"

#include <vector>

namespace Wex {

// 01/03: u16 family numbers while two bytes remain.
struct ServerFamiliesReply : Reply {
    std::vector<unsigned short> families;

    int Unpack(const unsigned char* frame, size_t size);
};

// 01/18: (u16 family, u16 version) pairs while four bytes remain.
struct FamilyVersionsReply : Reply {
    std::vector<FamilyVersion> entries;

    int Unpack(const unsigned char* frame, size_t size);
};

// One rate class: its 35-byte record, and the class id and (family << 16 | subtype) pairs of the
// group record in the same place.
struct RateClass {
    enum { RecordSize = 35 };

    unsigned short id = 0;
    unsigned window = 0;
    unsigned clearLevel = 0;
    unsigned alertLevel = 0;
    unsigned limitLevel = 0;
    unsigned disconnectLevel = 0;
    unsigned currentLevel = 0;
    unsigned maxLevel = 0;
    unsigned lastTime = 0;
    unsigned char state = 0;
    unsigned short groupClassId = 0;
    std::vector<unsigned> pairs;
};

// 01/07: u16 class count r, r class records, then r group records (u16 class id, u16 pair count p,
// p u32 pairs). Rejected when the class records or a group record run past the frame.
struct RateInfoReply : Reply {
    std::vector<RateClass> classes;

    int Unpack(const unsigned char* frame, size_t size);
    // The class ids of the group records, in order: what the acknowledgement sends back.
    std::vector<unsigned short> GroupClassIds() const;
};

} // namespace Wex
