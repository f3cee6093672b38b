#include "Wex/proto/ServiceCommands.h"

#include "Wex/proto/PacketWriter.h"

namespace Wex {

const std::vector<FamilyVersion> ClientFamilies = {
    {0x0022, 1}, {0x0001, 4}, {0x0013, 4}, {0x0002, 1}, {0x0003, 1}, {0x0015, 1},
    {0x0004, 1}, {0x0006, 1}, {0x0009, 1}, {0x000A, 1}, {0x000B, 1},
};

namespace {

const unsigned short kToolId = 0x0110;
const unsigned short kToolVersion = 0x164F;
const unsigned short kDirectConnectionBlockSize = 0x25;

} // namespace

Bytes ClientReady(unsigned short sequence)
{
    PacketWriter writer(sequence, FamilyService, 0x02, 2, 8 * ClientFamilies.size());
    for (const FamilyVersion& entry : ClientFamilies) {
        writer.U16(entry.family);
        writer.U16(entry.version);
        writer.U16(kToolId);
        writer.U16(kToolVersion);
    }
    return writer.Finish();
}

Bytes RateInfoRequest(unsigned short sequence)
{
    return EmptySnac(sequence, FamilyService, 0x06, 6);
}

Bytes RateClassesAck(unsigned short sequence, const std::vector<unsigned short>& classIds)
{
    PacketWriter writer(sequence, FamilyService, 0x08, 8, 2 * classIds.size());
    for (unsigned short id : classIds) writer.U16(id);
    return writer.Finish();
}

Bytes SelfInfoRequest(unsigned short sequence)
{
    return EmptySnac(sequence, FamilyService, 0x0E, 14);
}

Bytes IdleTimeReport(unsigned short sequence, unsigned requestId)
{
    PacketWriter writer(sequence, FamilyService, 0x11, requestId, 4);
    writer.U32(0);
    return writer.Finish();
}

Bytes FamilyVersionsRequest(unsigned short sequence, const std::vector<FamilyVersion>& entries)
{
    PacketWriter writer(sequence, FamilyService, 0x17, 23, 4 * entries.size());
    for (const FamilyVersion& entry : entries) {
        writer.U16(entry.family);
        writer.U16(entry.version);
    }
    return writer.Finish();
}

Bytes SetStatusRequest(unsigned short sequence, unsigned requestId, unsigned short flags, unsigned short statusCode)
{
    PacketWriter writer(sequence, FamilyService, 0x1E, requestId,
                        PacketWriter::TlvSize(4) + PacketWriter::TlvSize(kDirectConnectionBlockSize));
    writer.U16(0x0006);
    writer.U16(4);
    writer.U16(flags);
    writer.U16LE(statusCode);
    writer.U16(0x000C);
    writer.U16(kDirectConnectionBlockSize);
    writer.U32(0);
    writer.U32(0);
    writer.U8(4);
    writer.U16(11);
    writer.U32(0x1234567);
    writer.U32(0x1000);
    writer.U32(1);
    writer.U32(0);
    writer.U32(0);
    writer.U32(0);
    writer.U16(0);
    return writer.Finish();
}

} // namespace Wex
