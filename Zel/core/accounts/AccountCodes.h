// The numbers of the messages between the protocols manager and the accounts, of the manager's events
// and of its own deferred messages, and the status values every protocol shares. Plug-ins build
// against this header, so every number is fixed.
//
//   PM_*    class GUID_PROTOCOLS_MANAGER, sent by the manager to an account's queue. Every number or
//           pointer travels in a CRefValue (pointer-sized); out marks what the account fills during
//           a synchronous send.
//   ACC_*   class = the account's protocol GUID, posted by the account to its owner queue with
//           p1 = CRefValue(account id).
//   PMEV_*  events of class GUID_PROTOCOLS_MANAGER, registered by the manager in this order.
#pragma once

enum ManagerCommand {
    PM_LOAD = 49,                // sync
    PM_ACCOUNT_ADDED = 50,       // sync
    PM_UNLOAD = 51,              // sync
    PM_GET_NAME = 52,            // sync; p1 out CZELString*
    PM_SET_STATUS = 53,          // async; p1 status
    PM_GET_STATUS = 54,          // sync; the handler's result is the status
    PM_GET_STATUS_INFO = 55,     // sync; p1 status, p2 out StatusEntry*
    PM_GET_STATUS_MENU = 56,     // sync; p1 out CPopupMenu*, p2 icon index (0 = status menu)
    PM_RESERVED_57 = 57,         // sync; p1 a value
    PM_GET_CONTACT_ICONS = 58,   // sync; p1 contact id, p2 out StatusInfo*
    PM_GET_SETTINGS_PAGES = 59,  // sync; p1 page list*
    PM_FILL_ACCOUNT_MENU = 60,   // sync; p2 CPopupMenu*
    PM_FILL_GROUP_MENU = 61,     // sync; p1 group id, p2 CPopupMenu*
    PM_FILL_CONTACT_MENU = 62,   // sync; p1 contact id, p2 CPopupMenu*
    PM_FILL_CHAT_MENU = 63,      // sync; p1 contact id, p2 CPopupMenu*
    PM_FILL_MAIN_MENU = 64,      // sync, to every account; p1 account id, p2 CPopupMenu*
    PM_ADD_GROUP = 65,           // async; p1 CStringPayload name
    PM_RENAME_GROUP = 66,        // sync; p1 group id, p2 CStringPayload name
    PM_DELETE_GROUP = 67,        // async; p1 group id
    // 68 is not used.
    PM_RENAME_CONTACT = 69,             // async; p1 contact id, p2 CStringPayload name
    PM_MOVE_CONTACT = 70,               // async; p1 contact id, p2 group id
    PM_DELETE_CONTACT = 71,             // async; p1 contact id
    PM_REQUEST_AUTH = 72,               // async; p1 contact id
    PM_SEND_MESSAGE = 73,               // async; p1 CMessagePayload (the account's own copy)
    PM_GET_OWN_DETAILS_PAGES = 74,      // sync; p1 page list*
    PM_GET_CONTACT_DETAILS_PAGES = 75,  // sync; p1 contact id, p2 page list*
    PM_LANGUAGE_CHANGED = 76,           // async; p1 CStringPayload language name
    PM_SEARCH = 77,                     // sync; p1 search request
    PM_GET_SEARCH_PAGES = 78,           // sync; p2 page list*
    PM_FILL_SEARCH_RESULT_MENU = 79,    // sync; p1 result item*, p2 CPopupMenu*
    PM_CONTACT_ADDED = 80,              // async; p1 contact id
    PM_SET_TYPING = 81,                 // async; p1 contact id, p2 typing flag (0 = typing)
    PM_FILE_OPENED = 82,                // async; p1 transfer key, p2 1
};

enum AccountNotification {
    ACC_NAME_CHANGED = 97,              // no p2
    ACC_STATUS_CHANGED = 98,            // p2 CAccountStatusPayload
    ACC_OWN_DETAILS_CHANGED = 99,       // no p2
    ACC_CONTACT_DETAILS_CHANGED = 100,  // p2 CRefValue contact id
    ACC_WARNING = 101,                  // p2 CStringPayload
    ACC_MAIL_NOTICE = 102,              // p2 CStringPairPayload {link, text}
    ACC_SEARCH_RESULT = 103,            // p2 one result row, none when the search ended
    ACC_ICON_ADD = 104,                 // p2 CArrayPayload
    ACC_ICON_SET = 105,                 // p2 CIconSetPayload
    ACC_ICON_REMOVE = 106,              // p2 CRefValue index
    ACC_TIMER_START = 107,              // p2 CTimerPayload
    ACC_TIMER_STOP = 108,               // p2 CCallbackPayload
    ACC_OPEN_URL = 109,                 // p2 CStringPayload
    ACC_FILE_BEGIN = 110,               // p2 CFileBeginPayload
    ACC_FILE_DATA = 111,                // p2 CFileDataPayload
    ACC_FILE_END = 112,                 // p2 CFileEndPayload
};

enum ManagerEvent {
    PMEV_ACCOUNTS_LOADED = 1,
    PMEV_FILL_STATUS_TABLE = 2,  // p1 CRefValue(CZELString* title), p2 CRefValue(CZELArray<StatusEntry>*)
    PMEV_ACCOUNT_CREATED = 3,
    PMEV_ACCOUNT_REMOVING = 4,  // fired with waiting
    PMEV_ACCOUNT_MOVED = 5,     // p2 new index
    PMEV_ACCOUNT_RENAMED = 6,
    PMEV_STATUS_CHANGED = 7,  // p1 0 for the global status
    PMEV_MESSAGE_SENT = 8,
    PMEV_DETAILS_RECEIVED = 9,
    PMEV_DETAILS_NOTIFY = 10,
    PMEV_SEARCH_RESULT = 11,
    PMEV_ACCOUNT_TEXT = 12,
    PMEV_ACCOUNT_XSTATUS = 13,
    PMEV_ACCOUNT_INDICATOR = 14,
    PMEV_SHOW_TEXT = 15,
    PMEV_SHOW_TITLED_TEXT = 16,
    PMEV_TIMER_SET = 17,
    PMEV_TIMER_CANCEL = 18,
    PMEV_OPEN_URL = 19,
    PMEV_COUNT = 19,
};

// Posted by the manager to its own queue.
enum ManagerSelfMessage {
    PM_SELF_STATUS = 161,          // p1, p2 as the account's ACC_STATUS_CHANGED
    PM_SELF_REMOVE_ACCOUNT = 163,  // p1 CRefValue(id), p2 CRefValue(0)
    PM_SELF_UNLOAD_DLL = 164,      // p1 CDllPayload
};

// The application's language change: class GUID_GUI, p1 CStringPayload(new language name).
enum { GUIEV_LANGUAGE_CHANGED = 1 };

// One status vocabulary for every protocol; 2 and above count as connected. (A namespace, because
// the platform headers already define some STATUS_ names.)
namespace AccountStatus {
enum {
    Offline = 0,
    Connecting = 1,
    Online = 2,
    Invisible = 3,
    InvisibleForAll = 4,
    FreeForChat = 5,
    Evil = 6,
    Depression = 7,
    AtHome = 8,
    AtWork = 9,
    Lunch = 10,
    Away = 11,
    NotAvailable = 12,
    Occupied = 13,
    DoNotDisturb = 14,
    Count = 15,
};

inline bool IsConnected(int status)
{
    return status >= Online;
}

// The status names as the application shows them, indexed by status.
inline const wchar_t* const Names[Count] = {
    L"Offline",       L"Connecting", L"Online",        L"Invisible", L"Invisible for All",
    L"Free for Chat", L"Evil",       L"Depression",    L"@ Home",    L"@ Work",
    L"Lunch",         L"Away",       L"Not Available", L"Occupied",  L"Do not Disturb",
};
}  // namespace AccountStatus
