// Capability identifiers: the 16 bytes by which clients of the network announce what they can do,
// exactly as they travel (the braces notation lists the bytes in wire order; no field is swapped).
// Only those the commands and replies of the codec name are here.
#pragma once

#include <array>
#include <cstddef>

namespace Wex {

typedef std::array<unsigned char, 16> CapabilityGuid;

namespace Detail {
constexpr unsigned char HexDigit(char c)
{
    return (unsigned char)(c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c - 'a' + 10);
}
} // namespace Detail

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" as its 16 bytes in the order written.
constexpr CapabilityGuid GuidFromText(const char (&text)[39])
{
    CapabilityGuid guid{};
    int n = 0;
    for (int i = 1; i < 37 && n < 16; ++i) {
        if (text[i] == '-') continue;
        guid[size_t(n++)] = (unsigned char)(Detail::HexDigit(text[i]) << 4 | Detail::HexDigit(text[i + 1]));
        ++i;
    }
    return guid;
}

inline constexpr CapabilityGuid caShortSupport = GuidFromText("{09460000-4C7F-11D1-8222-444553540000}");
inline constexpr CapabilityGuid caFTSend = GuidFromText("{09461343-4C7F-11D1-8222-444553540000}");
inline constexpr CapabilityGuid caRouteFinder = GuidFromText("{09461344-4C7F-11D1-8222-444553540000}");
inline constexpr CapabilityGuid caWEXRelay = GuidFromText("{09461349-4C7F-11D1-8222-444553540000}");
inline constexpr CapabilityGuid caWEXBI = GuidFromText("{0946134C-4C7F-11D1-8222-444553540000}");
inline constexpr CapabilityGuid caUnification = GuidFromText("{0946134D-4C7F-11D1-8222-444553540000}");
inline constexpr CapabilityGuid caUTF8support = GuidFromText("{0946134E-4C7F-11D1-8222-444553540000}");
inline constexpr CapabilityGuid caRTFsupport = GuidFromText("{97B12751-243C-4334-AD22-D6ABF73F1492}");
inline constexpr CapabilityGuid capXSStatuses = GuidFromText("{67361515-612D-4C07-8F3D-BDE6408EA041}");
inline constexpr CapabilityGuid caWEXVoiceChat = GuidFromText("{B99708B5-3A92-4202-B069-F1E757BB2E17}");
inline constexpr CapabilityGuid caTyping = GuidFromText("{563FC809-0B6F-41BD-9F79-422609DFA2F3}");
inline constexpr CapabilityGuid caXtraz = GuidFromText("{1A093C6C-D7FD-4EC5-9D51-A6474E34F5A0}");
inline constexpr CapabilityGuid caZELPDA = GuidFromText("{563FC809-0B6F-415A-454C-202020202021}");

} // namespace Wex
