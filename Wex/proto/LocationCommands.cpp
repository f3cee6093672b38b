#include "Wex/proto/LocationCommands.h"

#include "Wex/proto/PacketWriter.h"
#include "Wex/proto/WireText.h"

namespace Wex {

namespace {

const CapabilityGuid kSignOnCapabilities[] = {
    caTyping,       caWEXRelay,    caWEXBI,  caUnification, caUTF8support,  caRTFsupport,
    caShortSupport, capXSStatuses, caFTSend, caRouteFinder, caWEXVoiceChat, caXtraz,
};

const CapabilityGuid kStatusCapabilities[] = {
    caShortSupport, caRouteFinder, caWEXRelay, caUTF8support, caXtraz, caZELPDA,
};

Bytes LocationInfo(unsigned short sequence, const std::vector<CapabilityGuid>& capabilities)
{
    Bytes value;
    for (const CapabilityGuid& guid : capabilities) value.insert(value.end(), guid.begin(), guid.end());
    return TlvSnac(sequence, FamilyLocation, 0x04, 4, 0x0005, value);
}

} // namespace

Bytes LocationRightsRequest(unsigned short sequence)
{
    return EmptySnac(sequence, FamilyLocation, 0x02, 2);
}

Bytes SetLocationInfo(unsigned short sequence)
{
    return LocationInfo(sequence, std::vector<CapabilityGuid>(std::begin(kSignOnCapabilities), std::end(kSignOnCapabilities)));
}

Bytes SetLocationInfo(unsigned short sequence, bool typing, const std::vector<CapabilityGuid>& capabilities)
{
    std::vector<CapabilityGuid> all(std::begin(kStatusCapabilities), std::end(kStatusCapabilities));
    all.insert(all.end(), capabilities.begin(), capabilities.end());
    if (typing) all.push_back(caTyping);
    return LocationInfo(sequence, all);
}

Bytes UserInfoQuery(unsigned short sequence, const CZELString& uin)
{
    Bytes number = NarrowBytes(uin, CodePageSystem);
    PacketWriter writer(sequence, FamilyLocation, 0x15, 6, 4 + PacketWriter::Str8Size(number));
    writer.U32(5);
    writer.Str8(number);
    return writer.Finish();
}

Bytes BuddyRightsRequest(unsigned short sequence)
{
    return TlvSnac(sequence, FamilyBuddy, 0x02, 2, 0x0005, Bytes{0x00, 0x03});
}

Bytes SetIcbmParams(unsigned short sequence, const IcbmParams& params)
{
    PacketWriter writer(sequence, FamilyMessaging, 0x02, 2, 16);
    writer.U16(params.channel);
    writer.U32(params.flags);
    writer.U16(params.maxMessageSize);
    writer.U16(params.maxSenderWarning);
    writer.U16(params.maxReceiverWarning);
    writer.U16(params.minMessageInterval);
    writer.U16(0);
    return writer.Finish();
}

Bytes IcbmParamsRequest(unsigned short sequence)
{
    return EmptySnac(sequence, FamilyMessaging, 0x04, 4);
}

Bytes OfflineMessagesRequest(unsigned short sequence, unsigned requestId)
{
    return EmptySnac(sequence, FamilyMessaging, 0x10, requestId);
}

Bytes PrivacyRightsRequest(unsigned short sequence)
{
    return EmptySnac(sequence, FamilyPrivacy, 0x02, 2);
}

} // namespace Wex
