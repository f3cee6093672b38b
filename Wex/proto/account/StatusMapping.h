// The account's statuses and their network form, as plain tables and functions.
//
// Statuses are the shared vocabulary 0-14 (AccountStatus). On the wire a status is the 16-bit status
// half of the network's status value, big-endian. The codec reads and writes that half low byte
// first (Wex::StatusCodeOf, Wex::SetStatusRequest), so in memory the account holds it byte-swapped:
// StatusToFlags gives, and FlagsToStatus takes, that swapped form (0x0100 on the wire is 0x0001).
#pragma once

namespace WexStatus {

enum { StatusCount = 15, MaxRowImages = 2, NoFlags = 0xFFFF };

// One row of the account's status table: the status, its built-in text and its pictures (entries
// of the plug-in's picture list).
struct StatusRow {
    int status;
    int textId;
    int imageCount;
    int imageEntries[MaxRowImages];
};

// Indexed by status.
extern const StatusRow StatusRows[StatusCount];

// The wire word sent for a status (2-14); NoFlags for any other.
unsigned short StatusToWire(int status);
// The status a wire word stands for: the first of, in order, bit 0x0020 -> 5, 0x0004 -> 12,
// 0x0002 -> 14, 0x0010 -> 13, exactly 0x2001 -> 10, bit 0x0001 -> 11, bit 0x0100 -> 3, exactly
// 0x3000 -> 6, 0x4000 -> 7, 0x5000 -> 8, 0x6000 -> 9; else 2.
int WireToStatus(unsigned short wire);

// The same in the byte-swapped form the codec reads and writes.
unsigned short StatusToFlags(int status);
int FlagsToStatus(unsigned short flags);

// What goes on the wire for a requested status: the extended statuses travel as capabilities, so
// 5-9 are sent as Online and 10 as Away.
int NetworkStatus(int status);
// Statuses 5-10, announced as capabilities.
bool IsExtendedStatus(int status);

// The privacy modes 1-5: their built-in texts, and the picture entry shown for a mode (modes outside
// 1-5 show the picture of mode 4).
enum { PrivacyModeCount = 5 };
int PrivacyTextId(int mode);
int PrivacyImageEntry(int mode);

}  // namespace WexStatus
