// Protocol GUIDs the test plug-ins serve besides the real XMPP and Wex ones. Their byte-wise order
// (the order of the bytes in memory, Data1's lowest byte first) differs from the order of their
// Data1 numbers, so a table sorted the wrong way shows it:
//     FiveB < Other < FiveA < FiveD < FiveC
#pragma once

#include "ZELCommon/ZELGuid.h"

inline const ZEL_GUID GUID_TEST_FIVE_A = {0x00000001, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0xA1}};
inline const ZEL_GUID GUID_TEST_FIVE_B = {0x01000000, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0xB2}};
inline const ZEL_GUID GUID_TEST_FIVE_C = {0xFFFFFFFF, 0xFFFF, 0xFFFF, {0, 0, 0, 0, 0, 0, 0, 0xC3}};
inline const ZEL_GUID GUID_TEST_FIVE_D = {0x12345678, 0xABCD, 0xEF01, {1, 2, 3, 4, 5, 6, 7, 0xD4}};
// The one protocol of the plug-in "Other" (any GUID that is neither XMPP nor Wex).
inline const ZEL_GUID GUID_TEST_OTHER = {0x00000100, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0x0E}};
// Served by the plug-ins that lack one of the three exports: never in a table.
inline const ZEL_GUID GUID_TEST_PARTIAL = {0x7A7A7A7A, 0x7A7A, 0x7A7A, {7, 7, 7, 7, 7, 7, 7, 7}};
// Described by the plug-in that fails while filling the array.
inline const ZEL_GUID GUID_TEST_THROWER = {0x7E7E7E7E, 0x7E7E, 0x7E7E, {7, 7, 7, 7, 7, 7, 7, 0xEE}};

// Test-only exports of every test plug-in (plain names, listed in each .def file).
// Accounts created and not yet destroyed by this load of the library.
typedef int (*TestLiveAccountsPtr)();
// The arguments of the last CreateAccountFunc call.
typedef void (*TestLastCreatePtr)(void** bus, unsigned* accountId, unsigned* ownerQueue);
