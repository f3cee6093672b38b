// The plug-in's texts in English, by number (0-162): the table the language controller falls back
// on whenever the current language module lacks a number. The login and close error texts
// (125-158) are the codec's own (Wex/proto/ErrorTexts.h).
#pragma once

#include "ZELCommon/ZELString.h"

namespace WexTexts {

enum {
    Count = 163,
    StatusPicture = 28,
    PrivacyStatus = 16,
    RequestXStatus = 31,
    Authorization = 39,
    AddContact = 43,
    AddToContactList = 44,
    ServerPause = 118,
    SaveNeedsConnection = 162,
};

// The English text of id; an empty text for a number outside the table.
const wchar_t* English(int id);

// The language controller's built-in table: fills out and returns true for 0-162.
bool BuiltInText(int id, CZELString& out);

}  // namespace WexTexts
