#include "Wex/proto/ServiceReplies.h"

namespace Wex {

int ServerFamiliesReply::Unpack(const unsigned char* frame, size_t size)
{
    families.clear();
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac, FamilyService, 0x03);
    if (reader.Failed()) return Reject(reader);
    while (reader.Remaining() >= 2) families.push_back(reader.U16());
    return Accept(reader);
}

int FamilyVersionsReply::Unpack(const unsigned char* frame, size_t size)
{
    entries.clear();
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac, FamilyService, 0x18);
    if (reader.Failed()) return Reject(reader);
    while (reader.Remaining() >= 4) {
        FamilyVersion entry;
        entry.family = reader.U16();
        entry.version = reader.U16();
        entries.push_back(entry);
    }
    return Accept(reader);
}

int RateInfoReply::Unpack(const unsigned char* frame, size_t size)
{
    classes.clear();
    SnacPacket snac;
    ByteReader reader = OpenSnac(frame, size, snac, FamilyService, 0x07);
    size_t count = reader.U16();
    if (reader.Failed() || reader.Remaining() / RateClass::RecordSize < count) return Reject(reader);

    classes.resize(count);
    for (RateClass& rate : classes) {
        rate.id = reader.U16();
        rate.window = reader.U32();
        rate.clearLevel = reader.U32();
        rate.alertLevel = reader.U32();
        rate.limitLevel = reader.U32();
        rate.disconnectLevel = reader.U32();
        rate.currentLevel = reader.U32();
        rate.maxLevel = reader.U32();
        rate.lastTime = reader.U32();
        rate.state = reader.U8();
    }
    for (RateClass& rate : classes) {
        rate.groupClassId = reader.U16();
        size_t pairs = reader.U16();
        if (reader.Failed() || reader.Remaining() / 4 < pairs) return Reject(reader);
        rate.pairs.resize(pairs);
        for (unsigned& pair : rate.pairs) pair = reader.U32();
    }
    return Accept(reader);
}

std::vector<unsigned short> RateInfoReply::GroupClassIds() const
{
    std::vector<unsigned short> ids;
    for (const RateClass& rate : classes) ids.push_back(rate.groupClassId);
    return ids;
}

} // namespace Wex
