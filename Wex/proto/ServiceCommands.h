// The service commands of family 0x01 that a client sends while it signs on and when its status
// changes. Each builder returns the whole frame, sized from its own values (PacketWriter).
#pragma once

#include "Wex/proto/Flap.h"

#include <vector>

namespace Wex {

struct FamilyVersion {
    unsigned short family;
    unsigned short version;
};

// The families the client uses, with their versions, in the order it names them.
extern const std::vector<FamilyVersion> ClientFamilies;

// 01/02, request id 2: per family of ClientFamilies its version, tool id 0x0110, tool version 0x164F.
Bytes ClientReady(unsigned short sequence);
// 01/06, request id 6, no body.
Bytes RateInfoRequest(unsigned short sequence);
// 01/08, request id 8: the class ids of the rate information reply, in its order.
Bytes RateClassesAck(unsigned short sequence, const std::vector<unsigned short>& classIds);
// 01/0E, request id 14, no body.
Bytes SelfInfoRequest(unsigned short sequence);
// 01/11: u32 0, not idle.
Bytes IdleTimeReport(unsigned short sequence, unsigned requestId);
// 01/17, request id 23: the (family, version) pairs.
Bytes FamilyVersionsRequest(unsigned short sequence, const std::vector<FamilyVersion>& entries);
// 01/1E: TLV 0x0006 = flags, then the status code low byte first; TLV 0x000C = the fixed
// direct-connection block.
Bytes SetStatusRequest(unsigned short sequence, unsigned requestId, unsigned short flags, unsigned short statusCode);

} // namespace Wex
