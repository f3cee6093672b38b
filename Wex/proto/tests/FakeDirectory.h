// The fake server's directory: one details record per number, the five replies a full-info request
// gets for it, and the items of a save request applied to it. Written from the reply and item layouts,
// not with the codec's own readers and writers. Texts are code page 1251 bytes.
#pragma once

#include "WexTestSupport.h"

#include <string>
#include <vector>

namespace WexTest {

struct DirectoryRecord {
    std::string nick, firstName, lastName, email, homeCity, homeState, homePhone, homeFax, homeAddress, cellPhone,
        homeZip;
    unsigned homeCountry = 0;
    unsigned char gmtOffset = 0, authorization = 0, webAware = 0, directConnection = 0, publishEmail = 0;
    std::string workCity, workState, workPhone, workFax, workAddress, workZip;
    unsigned workCountry = 0;
    std::string company, department, position;
    unsigned occupation = 0;
    std::string workPage;
    unsigned age = 0;
    unsigned char gender = 0;
    std::string homepage;
    unsigned birthYear = 0;
    unsigned char birthMonth = 0, birthDay = 0;
    unsigned char languages[3] = {0, 0, 0};
    std::string city, state;
    unsigned country = 0;
    unsigned char marital = 0;
    std::string about;
    unsigned interests[4] = {0, 0, 0, 0};
    std::string interestKeys[4];
};

// One meta record of a client's 15/02 frame.
struct MetaRequestRecord {
    unsigned ownUin = 0, command = 0, sequence = 0, subtype = 0;
    Bytes data;  // what follows the subtype
};
// False when the frame holds no meta record.
bool ReadMetaRequestRecord(const Bytes& frame, MetaRequestRecord& out);

// The record bodies of the five details replies (subtype, result, fields), in reply order.
std::vector<Bytes> DetailsRecords(const DirectoryRecord& record);
// A 15/03 body: TLV 1 holding the meta record of reply type for ownUin with sequence.
Bytes MetaReplyBody(unsigned ownUin, unsigned replyType, unsigned sequence, const Bytes& rest);

// Applies the items of a save request (types and lengths little-endian) to record; false, with the
// record untouched, when an item is cut or of a type the directory does not know.
bool ApplySave(const Bytes& items, DirectoryRecord& record);

}  // namespace WexTest
