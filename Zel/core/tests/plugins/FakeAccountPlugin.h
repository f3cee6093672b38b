// A protocol plug-in for the account tests: each account is a real queue on the bus that records the
// PM_ commands it receives, answers them as a plug-in would (reading and writing its values through
// the protocols manager's interface), and posts ACC_ notifications to the manager's queue when a
// test asks it to. The tests reach it through the plain exports below.
//
// Kinds (one source, built once per plug-in folder):
//   FAKE_ACCOUNT_A  serves GUID_FAKE_A, and GUID_FAKE_REFUSING, whose accounts it always refuses
//   FAKE_ACCOUNT_B  serves GUID_FAKE_B
//   FAKE_ACCOUNT_PAGES  serves GUID_FAKE_A with a settings page and a search page, and answers a
//                   search with FAKE_SEARCH_ROWS rows, then an end row
//   FAKE_ACCOUNT_PROBE  serves GUID_FAKE_PROBE, whose accounts behave as one whose connection
//                   reports its end only after PM_UNLOAD: while unloading, an account posts itself
//                   CM_DISCONNECTED, and handling it keeps reading and writing the account's values
//                   for a few milliseconds (logged under the code CM_DISCONNECTED)
#pragma once

#include "ZELCommon/ZELGuid.h"

#include <cstdint>

inline const ZEL_GUID GUID_FAKE_A = {0xFA4EAC01, 0x1111, 0x4A4A, {0x81, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xA1}};
inline const ZEL_GUID GUID_FAKE_B = {0xFA4EAC02, 0x2222, 0x4B4B, {0x82, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xB2}};
inline const ZEL_GUID GUID_FAKE_REFUSING = {
    0xFA4EAC03, 0x3333, 0x4C4C, {0x83, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xC3}};
inline const ZEL_GUID GUID_FAKE_PROBE = {
    0xFA4EAC05, 0x5555, 0x4E4E, {0x85, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xE5}};
// The class a fake account posts with when told to use a protocol that is not its own.
inline const ZEL_GUID GUID_FAKE_FOREIGN = {
    0xFA4EAC04, 0x4444, 0x4D4D, {0x84, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xD4}};

// One command an account received, in arrival order.
struct FakeLogEntry {
    unsigned accountId;
    int code;
    intptr_t v1;  // the CRefValue values, 0 when absent or another payload
    intptr_t v2;
    wchar_t text[64];  // the text of a string or message payload, cut to fit
};

// How FakeAccountNotify addresses its notification.
enum FakeNotifyMode {
    FAKE_NOTIFY_OWN = 0,       // the account's own id and protocol
    FAKE_NOTIFY_FOREIGN = 1,   // class GUID_FAKE_FOREIGN
    FAKE_NOTIFY_WRONG_ID = 2,  // p1 = the account's id + 1
};

// Requests to FakeAccountNotify that change the contact list from the account's own thread, as a
// plug-in does, through CContactListData. Each logs itself with v1 = the item it made or changed.
enum FakeListRequest {
    FAKE_ADD_GROUP = 501,           // text: the group's "CL Alias"
    FAKE_ADD_CONTACT = 502,         // value: the group (0 none), text: "CL Alias" and "Account name"
    FAKE_SET_CONTACT_STATUS = 503,  // value: the contact, mode: the status
    FAKE_INCOMING_MESSAGE = 504,    // value: the contact, text: the message, mode: its number
    FAKE_TYPING = 505,              // value: the contact, mode: 0 typing, 1 typing over
};

// Values the fake accounts keep through the manager.
#define FAKE_VALUE_NAME L"Name"                      // string: the name reported for PM_GET_NAME
#define FAKE_VALUE_LOADS L"Loads"                    // int: PM_LOAD count
#define FAKE_VALUE_UNLOADS L"Unloads"                // int: PM_UNLOAD count
#define FAKE_VALUE_LATE L"Late"                      // int: value uses by the probe's late handler
#define FAKE_VALUE_SEEN_AT_CREATE L"Seen at create"  // byte: 1 when CreateAccountFunc could read Name
#define FAKE_VALUE_PAGE_STORES L"Page stores"        // int: pages stored with OK (kind PAGES)
// The rows the kind PAGES answers a search with, before its end row.
#define FAKE_SEARCH_ROWS 2

// Test exports (plain names).
// Copies up to capacity entries of the log for accountId (0: every account); the total count.
typedef int (*FakeAccountLogPtr)(unsigned accountId, FakeLogEntry* out, int capacity);
typedef void (*FakeAccountClearLogPtr)();
// Accounts created and not yet destroyed.
typedef int (*FakeAccountLivePtr)();
// The queue of account id, 0 when there is none.
typedef int (*FakeAccountQueuePtr)(unsigned accountId);
// Makes the account post notification code (ACC_*) from its own thread; value and text fill the
// payload the code carries; or runs one of the FakeListRequest changes there. 1 when the request
// was queued. The status menu's items carry a callback that sets the account's status.
typedef int (*FakeAccountNotifyPtr)(unsigned accountId, int code, intptr_t value, const wchar_t* text, int mode);
// The timer callback the fake accounts put into timer payloads.
typedef unsigned (*FakeAccountTimerPtr)(intptr_t context);
