// The numbers of the messages and events that cross module boundaries. Plug-ins are built on their
// own against these numbers, so each is fixed: a renumbered code breaks every plug-in silently.
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/net/ConnectionManagerApi.h"

#include <gtest/gtest.h>

#define CODE(name, number) {#name, name, number}

TEST(MessageCodes, EveryCodeHasItsFixedNumber)
{
    struct Case {
        const char* name;
        int code;
        int expected;
    } cases[] = {
        // Commands of the protocols manager to an account (68 is not used).
        CODE(PM_LOAD, 49),
        CODE(PM_ACCOUNT_ADDED, 50),
        CODE(PM_UNLOAD, 51),
        CODE(PM_GET_NAME, 52),
        CODE(PM_SET_STATUS, 53),
        CODE(PM_GET_STATUS, 54),
        CODE(PM_GET_STATUS_INFO, 55),
        CODE(PM_GET_STATUS_MENU, 56),
        CODE(PM_RESERVED_57, 57),
        CODE(PM_GET_CONTACT_ICONS, 58),
        CODE(PM_GET_SETTINGS_PAGES, 59),
        CODE(PM_FILL_ACCOUNT_MENU, 60),
        CODE(PM_FILL_GROUP_MENU, 61),
        CODE(PM_FILL_CONTACT_MENU, 62),
        CODE(PM_FILL_CHAT_MENU, 63),
        CODE(PM_FILL_MAIN_MENU, 64),
        CODE(PM_ADD_GROUP, 65),
        CODE(PM_RENAME_GROUP, 66),
        CODE(PM_DELETE_GROUP, 67),
        CODE(PM_RENAME_CONTACT, 69),
        CODE(PM_MOVE_CONTACT, 70),
        CODE(PM_DELETE_CONTACT, 71),
        CODE(PM_REQUEST_AUTH, 72),
        CODE(PM_SEND_MESSAGE, 73),
        CODE(PM_GET_OWN_DETAILS_PAGES, 74),
        CODE(PM_GET_CONTACT_DETAILS_PAGES, 75),
        CODE(PM_LANGUAGE_CHANGED, 76),
        CODE(PM_SEARCH, 77),
        CODE(PM_GET_SEARCH_PAGES, 78),
        CODE(PM_FILL_SEARCH_RESULT_MENU, 79),
        CODE(PM_CONTACT_ADDED, 80),
        CODE(PM_SET_TYPING, 81),
        CODE(PM_FILE_OPENED, 82),
        // The protocols manager's own deferred messages.
        CODE(PM_SELF_STATUS, 161),
        CODE(PM_SELF_REMOVE_ACCOUNT, 163),
        CODE(PM_SELF_UNLOAD_DLL, 164),
        // Notifications of an account to the protocols manager.
        CODE(ACC_NAME_CHANGED, 97),
        CODE(ACC_STATUS_CHANGED, 98),
        CODE(ACC_OWN_DETAILS_CHANGED, 99),
        CODE(ACC_CONTACT_DETAILS_CHANGED, 100),
        CODE(ACC_WARNING, 101),
        CODE(ACC_MAIL_NOTICE, 102),
        CODE(ACC_SEARCH_RESULT, 103),
        CODE(ACC_ICON_ADD, 104),
        CODE(ACC_ICON_SET, 105),
        CODE(ACC_ICON_REMOVE, 106),
        CODE(ACC_TIMER_START, 107),
        CODE(ACC_TIMER_STOP, 108),
        CODE(ACC_OPEN_URL, 109),
        CODE(ACC_FILE_BEGIN, 110),
        CODE(ACC_FILE_DATA, 111),
        CODE(ACC_FILE_END, 112),
        // Events of the protocols manager, registered in this order.
        CODE(PMEV_ACCOUNTS_LOADED, 1),
        CODE(PMEV_FILL_STATUS_TABLE, 2),
        CODE(PMEV_ACCOUNT_CREATED, 3),
        CODE(PMEV_ACCOUNT_REMOVING, 4),
        CODE(PMEV_ACCOUNT_MOVED, 5),
        CODE(PMEV_ACCOUNT_RENAMED, 6),
        CODE(PMEV_STATUS_CHANGED, 7),
        CODE(PMEV_MESSAGE_SENT, 8),
        CODE(PMEV_DETAILS_RECEIVED, 9),
        CODE(PMEV_DETAILS_NOTIFY, 10),
        CODE(PMEV_SEARCH_RESULT, 11),
        CODE(PMEV_ACCOUNT_TEXT, 12),
        CODE(PMEV_ACCOUNT_XSTATUS, 13),
        CODE(PMEV_ACCOUNT_INDICATOR, 14),
        CODE(PMEV_SHOW_TEXT, 15),
        CODE(PMEV_SHOW_TITLED_TEXT, 16),
        CODE(PMEV_TIMER_SET, 17),
        CODE(PMEV_TIMER_CANCEL, 18),
        CODE(PMEV_OPEN_URL, 19),
        CODE(PMEV_COUNT, 19),
        // Events of the contact-list data.
        CODE(CLE_ACCOUNTS_READY, 1),
        CODE(CLE_UPDATE_BEGIN, 2),
        CODE(CLE_UPDATE_END, 3),
        CODE(CLE_GROUP_ADDED, 4),
        CODE(CLE_GROUP_REMOVED, 5),
        CODE(CLE_GROUP_CHANGED, 6),
        CODE(CLE_CONTACT_ADDED, 7),
        CODE(CLE_CONTACT_REMOVED, 8),
        CODE(CLE_CONTACT_STATUS, 9),
        CODE(CLE_CONTACT_CHANGED, 10),
        CODE(CLE_INCOMING_MESSAGE, 11),
        CODE(CLE_MESSAGE_ACK, 12),
        CODE(CLE_TYPING, 13),
        CODE(CLE_EVENT_COUNT, 13),
        // Messages of the connection service to a connection's owner (1, 6 and 7 are not sent),
        // and its traffic event.
        CODE(CM_CONNECT_RESULT, 2),
        CODE(CM_DISCONNECTED, 3),
        CODE(CM_DATA_RECEIVED, 4),
        CODE(CM_DATA_SENT, 5),
        CODE(CM_STATUS_TEXT, 8),
        CODE(CM_ERROR_TEXT, 9),
        CODE(CM_TRAFFIC_EVENT, 1),
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.code, c.expected);
    }
}
