// The directory's answer (0x1028): status, column count N, row limit R, server time, N column names
// (code page 1251), then rows of N values, each UTF-16LE in the name columns and code page 1251
// elsewhere. At most R rows are read, and only whole rows.
#pragma once

#include "Dax/proto/MrimPacket.h"

#include <map>
#include <string>
#include <vector>

namespace Mrim {

typedef std::map<std::wstring, CZELString> AnketaRow;  // column (lower case) -> value

struct Anketa {
    unsigned status = 0;  // 1 = rows follow
    std::vector<AnketaRow> rows;
};

// False when the body does not hold its status; a reply whose status is not 1 has no rows.
bool ParseAnketa(const unsigned char* body, size_t length, Anketa& out);

// "year-month-day": false unless both dashes stand at index 1 or later.
bool SplitBirthday(const CZELString& text, int& year, int& month, int& day);
// Whole years from the birthday to the day given.
int AgeOn(int birthYear, int birthMonth, int birthDay, int year, int month, int day);

} // namespace Mrim
