#include "Wex/proto/account/StatusMapping.h"

namespace WexStatus {

const StatusRow StatusRows[StatusCount] = {
    {0, 14, 1, {0, 0}},   // Offline
    {1, 4, 1, {2, 0}},    // Connection
    {2, 15, 1, {3, 0}},   // Online
    {3, 10, 2, {3, 6}},   // Invisible
    {4, 9, 2, {7, 6}},    // Invisible for all
    {5, 8, 2, {3, 8}},    // Free for chat
    {6, 7, 2, {3, 9}},    // Evil
    {7, 5, 2, {3, 10}},   // Depression
    {8, 1, 2, {3, 11}},   // @ Home
    {9, 2, 2, {3, 12}},   // @ Work
    {10, 11, 2, {3, 13}}, // Lunch
    {11, 3, 2, {3, 14}},  // Away
    {12, 12, 2, {3, 15}}, // Not available
    {13, 13, 2, {3, 16}}, // Occupied
    {14, 6, 2, {3, 17}},  // Do not disturb
};

namespace {

const unsigned short kWireWords[StatusCount] = {
    NoFlags, NoFlags, 0x0000, 0x0100, 0x0100, 0x0020, 0x3000, 0x4000,
    0x5000,  0x6000,  0x2001, 0x0001, 0x0004, 0x0010, 0x0002,
};

unsigned short Swap(unsigned short word)
{
    return (unsigned short)((word >> 8) | (word << 8));
}

}  // namespace

unsigned short StatusToWire(int status)
{
    return status >= 2 && status < StatusCount ? kWireWords[status] : (unsigned short)NoFlags;
}

int WireToStatus(unsigned short wire)
{
    if (wire & 0x0020) return 5;
    if (wire & 0x0004) return 12;
    if (wire & 0x0002) return 14;
    if (wire & 0x0010) return 13;
    // Lunch carries the Away bit too, so it is told apart first.
    if (wire == 0x2001) return 10;
    if (wire & 0x0001) return 11;
    if (wire & 0x0100) return 3;
    switch (wire) {
    case 0x3000: return 6;
    case 0x4000: return 7;
    case 0x5000: return 8;
    case 0x6000: return 9;
    default: return 2;
    }
}

unsigned short StatusToFlags(int status)
{
    unsigned short wire = StatusToWire(status);
    return wire == NoFlags ? wire : Swap(wire);
}

int FlagsToStatus(unsigned short flags)
{
    return WireToStatus(Swap(flags));
}

int NetworkStatus(int status)
{
    if (status >= 5 && status <= 9) return 2;
    if (status == 10) return 11;
    return status;
}

bool IsExtendedStatus(int status)
{
    return status >= 5 && status <= 10;
}

int PrivacyTextId(int mode)
{
    // 1 "Visible for all", 2 "Invisible for all", 3 "Visible only for visible list",
    // 4 "Visible for all except invisible list", 5 "Visible only for contact list".
    static const int kTexts[PrivacyModeCount] = {17, 21, 18, 19, 20};
    return mode >= 1 && mode <= PrivacyModeCount ? kTexts[mode - 1] : kTexts[3];
}

int PrivacyImageEntry(int mode)
{
    static const int kImages[PrivacyModeCount] = {57, 61, 58, 59, 60};
    return mode >= 1 && mode <= PrivacyModeCount ? kImages[mode - 1] : kImages[3];
}

}  // namespace WexStatus
