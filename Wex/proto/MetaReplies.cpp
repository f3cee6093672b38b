#include "Wex/proto/MetaReplies.h"

#include "Wex/proto/WireText.h"

#include <string>

namespace Wex {

namespace {

const unsigned short MetaTlv = 0x0001;

bool IsKnownInfoSubtype(unsigned short subtype)
{
    switch (subtype) {
    case 0x010E:
    case 0x00C8:
    case 0x00D2:
    case 0x00DC:
    case 0x00E6:
    case 0x00EB:
    case 0x00F0:
    case 0x00FA: return true;
    default: return false;
    }
}

// A trailing string that may be there: read only when it is there whole; else the value stays.
void ReadOptionalString(ByteReader& reader, CZELString& value)
{
    if (reader.Remaining() == 0) return;
    ByteReader attempt = reader;
    CZELString text = ReadMetaString(attempt);
    if (attempt.Failed()) return;
    value = text;
    reader = attempt;
}

} // namespace

CZELString ReadMetaString(ByteReader& reader)
{
    const size_t length = reader.U16LE();
    const unsigned char* bytes = reader.Bytes(length);
    if (reader.Failed() || length <= 1) return CZELString();
    return WidenToZero(bytes, length - 1, CodePage1251);
}

ByteReader MetaReply::OpenRecord(const unsigned char* frame, size_t size)
{
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac);
    snacFlags = snac.flags;
    const unsigned short type = reader.U16();
    length = reader.U16();
    const size_t start = reader.Offset();
    if (!reader.Failed() && type != MetaTlv) reader.Skip(reader.Remaining() + 1);
    if (!reader.Failed() && size_t(length) > reader.Remaining()) reader.Skip(reader.Remaining() + 1);
    if (reader.Failed()) return reader;
    // The record ends with its TLV; what follows it is none of the record's.
    ByteReader record(frame, start + length);
    record.Skip(start);
    record.U16LE();  // chunk size
    uin = record.U32LE();
    replyType = record.U16LE();
    metaSequence = record.U16LE();
    return record;
}

int MetaReply::Unpack(const unsigned char* frame, size_t size)
{
    ByteReader reader = OpenRecord(frame, size);
    if (reader.Failed()) return Reject(reader);
    return Accept(reader);
}

ByteReader MetaInfoReply::OpenInfo(const unsigned char* frame, size_t size, unsigned short expected)
{
    ByteReader reader = OpenRecord(frame, size);
    subtype = reader.U16LE();
    if (!reader.Failed() && (!IsKnownInfoSubtype(subtype) || (expected && subtype != expected)))
        reader.Skip(reader.Remaining() + 1);
    return reader;
}

bool MetaInfoReply::ReadResult(ByteReader& reader)
{
    const unsigned char result = reader.U8();
    success = !reader.Failed() && result == MetaResultSuccess;
    return success;
}

int MetaInfoReply::Unpack(const unsigned char* frame, size_t size)
{
    ByteReader reader = OpenInfo(frame, size, 0);
    if (reader.Failed()) return Reject(reader);
    return Accept(reader);
}

int MetaBasicInfoReply::Unpack(const unsigned char* frame, size_t size)
{
    *this = MetaBasicInfoReply();
    ByteReader reader = OpenInfo(frame, size, MetaInfoBasic);
    if (ReadResult(reader)) {
        CZELString* texts[] = {&nick, &firstName, &lastName, &email, &homeCity, &homeState,
                               &homePhone, &homeFax, &homeAddress, &cellPhone, &homeZip};
        for (CZELString* text : texts) *text = ReadMetaString(reader);
        homeCountry = reader.U16LE();
        gmtOffset = reader.U8();
        authorization = reader.U8();
        webAware = reader.U8();
        directConnection = reader.U8();
        publishEmail = reader.U8();
        if (!reader.Failed()) ReadOptionalString(reader, homeZip);
    }
    if (reader.Failed()) return Reject(reader);
    return Accept(reader);
}

int MetaWorkInfoReply::Unpack(const unsigned char* frame, size_t size)
{
    *this = MetaWorkInfoReply();
    ByteReader reader = OpenInfo(frame, size, MetaInfoWork);
    if (ReadResult(reader)) {
        CZELString* texts[] = {&city, &state, &phone, &fax, &address, &zip};
        for (CZELString* text : texts) *text = ReadMetaString(reader);
        country = reader.U16LE();
        company = ReadMetaString(reader);
        department = ReadMetaString(reader);
        position = ReadMetaString(reader);
        occupation = reader.U16LE();
        webpage = ReadMetaString(reader);
        if (!reader.Failed()) ReadOptionalString(reader, zip);
    }
    if (reader.Failed()) return Reject(reader);
    return Accept(reader);
}

int MetaMoreInfoReply::Unpack(const unsigned char* frame, size_t size)
{
    *this = MetaMoreInfoReply();
    ByteReader reader = OpenInfo(frame, size, MetaInfoMore);
    if (ReadResult(reader)) {
        age = reader.U16LE();
        gender = reader.U8();
        homepage = ReadMetaString(reader);
        birthYear = reader.U16LE();
        birthMonth = reader.U8();
        birthDay = reader.U8();
        for (unsigned char& language : languages) language = reader.U8();
        reader.Skip(2);
        city = ReadMetaString(reader);
        state = ReadMetaString(reader);
        country = reader.U16LE();
        marital = reader.U8();
        reader.Skip(4);
        localizationId = ReadMetaString(reader);
        reader.Skip(8);
        localizationEmail = ReadMetaString(reader);
    }
    if (reader.Failed()) return Reject(reader);
    return Accept(reader);
}

int MetaAboutReply::Unpack(const unsigned char* frame, size_t size)
{
    *this = MetaAboutReply();
    ByteReader reader = OpenInfo(frame, size, MetaInfoAbout);
    if (ReadResult(reader)) about = ReadMetaString(reader);
    if (reader.Failed()) return Reject(reader);
    return Accept(reader);
}

int MetaInterestsReply::Unpack(const unsigned char* frame, size_t size)
{
    *this = MetaInterestsReply();
    ByteReader reader = OpenInfo(frame, size, MetaInfoInterests);
    if (ReadResult(reader)) {
        count = reader.U8();
        for (int i = 0; i < Entries() && !reader.Failed(); ++i) {
            categories[i] = reader.U16LE();
            keywords[i] = ReadMetaString(reader);
        }
    }
    if (reader.Failed()) return Reject(reader);
    return Accept(reader);
}

int OfflineMessage::Unpack(const unsigned char* frame, size_t size)
{
    *this = OfflineMessage();
    ByteReader reader = OpenRecord(frame, size);
    if (!reader.Failed() && replyType != MetaReplyOfflineMessage) reader.Skip(reader.Remaining() + 1);
    sender = reader.U32LE();
    year = reader.U16LE();
    month = reader.U8();
    day = reader.U8();
    hour = reader.U8();
    minute = reader.U8();
    messageType = reader.U8();
    messageFlags = reader.U8();
    const size_t length = reader.U16LE();
    const unsigned char* bytes = reader.Bytes(length);
    if (reader.Failed()) return Reject(reader);
    text = WidenToZero(bytes, length, CodePage1251);
    return Accept(reader);
}

CZELString OfflineMessage::SenderText() const
{
    return CZELString(std::to_wstring(sender).c_str());
}

bool ReadSearchResult(ByteReader& reader, SearchResultRecord& out)
{
    out = SearchResultRecord();
    out.result = reader.U8();
    if (reader.Failed()) return false;
    if (out.result == 20 || out.result == 50) return true;
    if (out.result != 10) {
        reader.Skip(reader.Remaining() + 1);
        return false;
    }
    reader.U16LE();  // record length
    out.uin = reader.U32LE();
    out.nick = ReadMetaString(reader);
    out.firstName = ReadMetaString(reader);
    out.lastName = ReadMetaString(reader);
    out.email = ReadMetaString(reader);
    out.authorization = reader.U8();
    out.status = reader.U16LE();
    out.gender = reader.U8();
    out.age = reader.U16LE();
    return !reader.Failed();
}

int SearchReply::Unpack(const unsigned char* frame, size_t size)
{
    *this = SearchReply();
    ByteReader reader = OpenRecord(frame, size);
    if (!reader.Failed() && replyType != MetaReplyInfo) reader.Skip(reader.Remaining() + 1);
    subtype = reader.U16LE();
    if (!reader.Failed() && subtype != MetaSearchHit && subtype != MetaSearchLastHit)
        reader.Skip(reader.Remaining() + 1);
    lastResult = subtype == MetaSearchLastHit;
    if (reader.Failed() || !ReadSearchResult(reader, record)) return Reject(reader);
    return Accept(reader);
}

} // namespace Wex
