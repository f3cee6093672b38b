// The system's statuses as XMPP presence and back, as pure tables: what a chosen status sends
// ("show", the "invisible" type and the "zel:x:status" value for statuses XMPP has no word for), and
// what a contact's "show", extended status and priority make of it.
#pragma once

#include <string>

struct OutgoingPresence {
    int presenceStatus;  // the status announced to the server
    const char* show;    // null: none
    bool invisible;      // type "invisible"
    int xStatus;         // 0: none
};

OutgoingPresence OutgoingPresenceFor(int chosen);
// The status of a resource by its "show" (null: none): 2 when absent or unknown.
int IncomingStatusFor(const char* show);
// The status an extended-status value gives; any value the table lacks leaves status.
int StatusWithXStatus(int status, const std::string& value);
// A signed decimal number of which only the low 8 bits count: "200" is -56. Reading stops at the
// first character that is not a digit; no digits read 0.
signed char PriorityFromText(const std::string& text);
// The overlay image (an index of the plug-in's images) a contact shows for status; -1 for none.
int ContactOverlayImage(int status);
