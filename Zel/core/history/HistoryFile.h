// CHistoryFile: every message the user sends to or receives from a contact is appended to that
// contact's history file; a chat shows the last few records when it opens and the history viewer
// shows them all. One file per contact and account, in the history folder:
//   <protocol name>_<account name>_<contact's "Account name">.zhf
// Each part comes from the network or a peer, so each is made a safe bare file name first
// (SafeFileName.h): no part can lead the path out of the folder, and different names give different
// parts.
//
// Append honours the global settings "HistSaveHist" (keep history at all) and "HistSaveNotInList"
// (also for contacts in no group and temporary contacts), both bytes in the GUID_GUI section,
// default on. Outgoing entries are named by "MWYourName" (default "I"), incoming ones by the
// contact's "CL Alias".
//
// The operations run on the user interface's thread; each opens the file without sharing for its
// own duration. The format and the rules that keep a file whole are in HistoryFileFormat.h and
// HistoryFileStream.h.
//
// Append, LoadAll and LoadLast answer with the HistoryResult codes the callers have always known:
//   0 success; 1 the file cannot be opened; 2 the header cannot be read; 3 the version is not 1;
//   4 a write or record error.
// Where they now mean more, or less, and why:
// - 1 also for a contact that is unknown, and for a file whose header names another contact: such a
//   file is neither read, written nor deleted, so no contact's messages show in or vanish with
//   another's history. The parts of a file name are joined with "_", which names may hold too, so two
//   contacts can be given one name: the one whose file is there first keeps it, and the other's
//   history goes to a file whose parts write "_" as "%5F".
// - 2 also for a file that does not begin with "ZHF": it is no history file, and appending would
//   write a header over its first bytes. Append leaves such a file, and one of another version (3),
//   untouched.
// - A damaged file loads with 0, giving every record that can be read, as a whole one does; the
//   records after the damage are found from the end of the file.
// - Append repairs a damaged file (HistoryFileStream.h) rather than fail, because a history that
//   refuses every new message is lost from then on; so 4 means only that a read or write of the
//   file failed (a full disk), or that it holds the most records or the highest message number a
//   header can count, and the file is then as it was before the call.
#pragma once

#include "Zel/core/history/HistoryFileFormat.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"

#include <memory>

class CSettingsStore;
namespace Services {
class CServicesManager;
}

// What the history files need to know of a contact.
struct HistoryContactInfo {
    CZELString protocolName;  // the name of the account's protocol
    CZELString accountName;   // the account's name, without the protocol GUID
    CZELString contactName;   // the contact's "Account name"
    CZELString alias;         // the contact's "CL Alias"
    bool inGroup = false;     // false for top-level and temporary contacts
};

// Where those answers come from: in the program, the contact-list data and the protocols manager.
class IHistoryContacts {
public:
    // False when the contact (or its account) is unknown.
    virtual bool Describe(int contact, HistoryContactInfo& out) = 0;

    virtual ~IHistoryContacts() {}
};

// Where the history files live and whom they ask; null or empty members take the program's own: the
// history folder of CZELPath, and the contact-list data, protocols manager and settings store found
// on the bus at each call (the process's bus unless one is given).
struct HistoryPlace {
    CZELString folder;  // ends with "\"
    IHistoryContacts* contacts = nullptr;
    CSettingsStore* settings = nullptr;
    Services::CServicesManager* bus = nullptr;
};

class CHistoryFile {
public:
    explicit CHistoryFile(const HistoryPlace& place = HistoryPlace());

    // Appends one record: direction 0 incoming, 1 outgoing; the main window gives flag byte 1 = 0
    // and flag byte 2 = 1. With history off for this contact nothing is written and the result is 0.
    int Append(int contact, unsigned char flag2, unsigned char direction, unsigned char flag1, unsigned unixTime,
               const CZELString& text);
    // Every record, oldest first, appended to out.
    int LoadAll(int contact, CZELArray<ChatLogEntry>& out);
    // The last n records, oldest first, appended to out.
    int LoadLast(int contact, unsigned n, CZELArray<ChatLogEntry>& out);
    // True when the contact's history file was deleted (with what a repair set aside beside it). A
    // file whose header names another contact, or cannot be read, is left.
    bool Delete(int contact);
    // The file's path (creating the folder when missing): the shared name, or the contact's own when
    // the shared one holds another contact's history; empty for an unknown contact.
    CZELString GetPath(int contact);

private:
    CZELString PathFor(const HistoryContactInfo& info);
    Services::CServicesManager& Bus() const;
    IHistoryContacts* Contacts();
    CSettingsStore* Settings() const;
    bool SettingOn(const wchar_t* key) const;
    int Load(int contact, unsigned n, CZELArray<ChatLogEntry>& out);

    HistoryPlace place;
    std::unique_ptr<IHistoryContacts> busContacts;  // when place.contacts is null
};
