// Payloads of the messages and events between the protocols manager and the accounts (numbers in
// AccountCodes.h). Header-only: plug-ins build and post them, the manager reads, relays and releases
// them, and the last holder frees them through the virtual destructor of the module that built them
// (all modules share one heap). Whatever carries a pointer, a callback or a context holds it
// pointer-sized.
#pragma once

#include "Zel/core/bus/Payloads.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELDll.h"
#include "ZELCommon/ZELString.h"
#include "ZELCommon/ZELTime.h"

#include <cstdint>

// A status row: p2 of ACC_STATUS_CHANGED (the account's new status) and of PMEV_STATUS_CHANGED for
// the global status.
class CAccountStatusPayload : public CRefObject {
public:
    CAccountStatusPayload() {}
    explicit CAccountStatusPayload(const StatusEntry& entry) : entry(entry) {}

    StatusEntry entry;
};

// p1 of the manager's own PM_SELF_UNLOAD_DLL: a copy of an account's library handle. Dropping the
// payload does not unload the library; handling the message does.
class CDllPayload : public CRefObject {
public:
    explicit CDllPayload(const CZELDll& library) : library(library) {}

    CZELDll library;
};

// A timer callback of an account: runs on the user interface's thread with its context and returns
// the next interval in milliseconds, 0 to end the timer.
typedef unsigned (*AccountTimerCallback)(intptr_t context);

// p2 of ACC_TIMER_STOP and PMEV_TIMER_CANCEL: which timer.
class CCallbackPayload : public CRefObject {
public:
    CCallbackPayload(AccountTimerCallback callback, intptr_t context) : callback(callback), context(context) {}

    AccountTimerCallback callback;
    intptr_t context;
};

// p2 of ACC_TIMER_START, relayed as PMEV_TIMER_SET.
class CTimerPayload : public CRefObject {
public:
    CTimerPayload(const CZELTime& due, AccountTimerCallback callback, intptr_t context)
        : due(due), callback(callback), context(context)
    {
    }

    CZELTime due;
    AccountTimerCallback callback;
    intptr_t context;
};

// p2 of ACC_MAIL_NOTICE, relayed as PMEV_SHOW_TITLED_TEXT.
class CStringPairPayload : public CRefObject {
public:
    CStringPairPayload(const CZELString& link, const CZELString& text) : link(link), text(text) {}

    CZELString link;
    CZELString text;
};

// p2 of ACC_ICON_ADD: the image indices of one icon of the account's icon row.
class CArrayPayload : public CRefObject {
public:
    CArrayPayload() {}
    explicit CArrayPayload(const CZELArray<int>& images) : images(images) {}

    CZELArray<int> images;
};

// p2 of ACC_ICON_SET: replaces the icon at index.
class CIconSetPayload : public CRefObject {
public:
    CIconSetPayload(int index, const CZELArray<int>& images) : index(index), images(images) {}

    int index;
    CZELArray<int> images;
};

// One file transfer the account announces: the manager appends its data to fileName inside the
// history folder. The name may come from the network; the manager makes it a safe bare file name
// before it touches the disk.
struct HistoryFileEntry {
    HistoryFileEntry() : key(0), contactId(0), size(0) {}
    HistoryFileEntry(int key, int contactId, const CZELString& fileName, int size)
        : key(key), contactId(contactId), fileName(fileName), size(size)
    {
    }

    int key;              // the transfer's number, chosen by the account
    int contactId;        // copied along
    CZELString fileName;  // relative to the history folder
    int size;             // copied along
};

// p2 of ACC_FILE_BEGIN.
class CFileBeginPayload : public CRefObject {
public:
    explicit CFileBeginPayload(const HistoryFileEntry& entry) : entry(entry) {}

    HistoryFileEntry entry;
};

// p2 of ACC_FILE_DATA: a chunk of the transfer key. The payload owns the buffer (allocated with
// new[]), so the bytes are freed however the message ends: handled, ignored or dropped by a queue
// that stops.
class CFileDataPayload : public CRefObject {
public:
    CFileDataPayload(int key, unsigned char* buffer, unsigned length) : key(key), buffer(buffer), length(length) {}
    ~CFileDataPayload() override { FreeBuffer(); }
    CFileDataPayload(const CFileDataPayload&) = delete;
    CFileDataPayload& operator=(const CFileDataPayload&) = delete;

    void FreeBuffer()
    {
        delete[] buffer;
        buffer = nullptr;
        length = 0;
    }

    int key;
    unsigned char* buffer;
    unsigned length;
};

// p2 of ACC_FILE_END.
class CFileEndPayload : public CRefObject {
public:
    explicit CFileEndPayload(int key) : key(key) {}

    int key;
};

// One row of search results, as an account fills it for the search dialog: the contact the row
// stands for (a temporary one when it is not in the list), its status images, its address, names,
// gender (1 or 2, 0 unknown) and age.
struct SearchResultRow {
    SearchResultRow() : contactId(0), gender(0), age(0) {}
    int contactId;
    CZELArray<int> images;
    CZELString account;
    CZELString nickname;
    CZELString firstName;
    CZELString lastName;
    CZELString email;
    unsigned char gender;
    int age;
};

// p2 of ACC_SEARCH_RESULT: one row; the search has ended when the message carries none.
class CSearchResultPayload : public CRefObject {
public:
    explicit CSearchResultPayload(const SearchResultRow& row) : row(row) {}
    SearchResultRow row;
};
