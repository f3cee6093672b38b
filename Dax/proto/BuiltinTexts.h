// The plug-in's built-in English texts by number (0 to 234); the language controller falls back on
// them whenever a language module has no text.
#pragma once

#include "ZELCommon/ZELString.h"

namespace Mrim {

enum : int { TextCount = 235 };

// Texts the engine uses by number.
enum TextNumber : int {
    TextConnection = 3,
    TextAddVisible = 14,
    TextRemoveVisible = 15,
    TextAddInvisible = 16,
    TextRemoveInvisible = 17,
    TextAddIgnore = 18,
    TextRemoveIgnore = 19,
    TextAuthRequestItem = 21,
    TextPleaseAuthorize = 23,
    TextAcceptedAuthorization = 24,
    TextAuthorization = 27,
    TextAccept = 28,
    TextDecline = 29,
    TextIgnore = 30,
    TextAuthorizationDenied = 31,
    TextAddContact = 32,
    TextAddToContactList = 33,
    TextWakeYou = 38,
    TextWakeup = 39,
    TextAccountPrefix = 40,
    TextMailReceived = 41,
    TextSubject = 42,
    TextInMailbox = 43,
    TextUnreadMessages = 44,
    TextUnreadedMsgs = 230,
    TextOpenInbox = 231,
    TextUsedElsewhere = 232,
};

// Sets out to the text of number and returns true; false (out untouched) outside 0 to 234.
bool BuiltinTexts(int number, CZELString& out);

} // namespace Mrim
