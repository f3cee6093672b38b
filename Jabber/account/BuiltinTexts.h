// The plug-in's user-visible texts in English, by number. Language modules translate the same
// numbers; the language controller falls back to this table for any number a module lacks.
#pragma once

#include "ZELCommon/ZELString.h"

enum { BuiltinTextCount = 87 };

// Numbers the plug-in's code asks for by name.
enum BuiltinTextNumber {
    TextOffline = 13,
    TextInvalidLogin = 84,
};

// Sets out to text number and returns true; a number outside 0 to 86 returns false and leaves out
// alone.
bool GetBuiltinText(int number, CZELString& out);
