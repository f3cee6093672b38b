// The program's built-in English texts, numbered 0 to 280: the lookup the language controller falls
// back to, and the numbers every language module translates.
#pragma once

#include "ZELCommon/ZELString.h"

enum { EnglishTextCount = 281 };

// out = text number; false, out untouched, for a number outside the table.
bool EnglishText(int number, CZELString& out);
