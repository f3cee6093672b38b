// The location, buddy, messaging-parameter and privacy commands a client sends while it signs on
// (families 0x02, 0x03, 0x04 and 0x09). Each builder returns the whole frame, sized from its own
// values, or no bytes when a value does not fit its length field (PacketWriter).
#pragma once

#include "Wex/proto/Capabilities.h"
#include "Wex/proto/Flap.h"

#include "ZELCommon/ZELString.h"

#include <vector>

namespace Wex {

// 02/02, request id 2, no body.
Bytes LocationRightsRequest(unsigned short sequence);
// 02/04, request id 4, full form: TLV 0x0005 with the twelve capabilities announced at sign-on.
Bytes SetLocationInfo(unsigned short sequence);
// 02/04, request id 4, list form: the six capabilities every status announces, then those given,
// in their order, then caTyping when typing notices are on.
Bytes SetLocationInfo(unsigned short sequence, bool typing, const std::vector<CapabilityGuid>& capabilities);
// 02/15, request id 6: u32 5, then the UIN as a str8 in the system code page.
Bytes UserInfoQuery(unsigned short sequence, const CZELString& uin);

// 03/02, request id 2: TLV 0x0005 holding 0x0003.
Bytes BuddyRightsRequest(unsigned short sequence);

// The messaging parameters a client asks for; the defaults are the engine's own.
struct IcbmParams {
    unsigned short channel = 0;
    unsigned flags = 0x070B;
    unsigned short maxMessageSize = 8000;
    unsigned short maxSenderWarning = 999;
    unsigned short maxReceiverWarning = 999;
    unsigned short minMessageInterval = 0;
};

// 04/02, request id 2.
Bytes SetIcbmParams(unsigned short sequence, const IcbmParams& params);
// 04/04, request id 4, no body.
Bytes IcbmParamsRequest(unsigned short sequence);
// 04/10, no body.
Bytes OfflineMessagesRequest(unsigned short sequence, unsigned requestId);

// 09/02, request id 2, no body.
Bytes PrivacyRightsRequest(unsigned short sequence);

} // namespace Wex
