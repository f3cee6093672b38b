// The directory's numeric ids of countries, regions, zodiac signs and genders, each with the number
// of the text that names it. Constant data in id order: nothing to build, free or guard.
#pragma once

#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <cstddef>

namespace DaxIds {

struct IdRow {
    int id;
    int textNumber;
};

struct IdTable {
    const IdRow* rows;
    size_t count;
};

IdTable Countries();
IdTable Regions();
IdTable ZodiacSigns();
IdTable Genders();

// The text number of id, -1 when the table has no such id.
int TextNumberOf(const IdTable& table, int id);

// Day, month and year as "dd/mm/yyyy", each part left out when it is 0 (or cannot be one); both
// separators always stay: 5, 0, 1980 gives "05//1980".
CZELString BirthdayText(int day, int month, int year);

// An empty combo box gets an empty first entry (id 0) and one entry per row in id order, each
// with its id as item data; one already filled is left alone.
void FillIdCombo(HWND combo, const IdTable& table);
// The id of the combo box's selection; 0 when nothing is selected.
int SelectedId(HWND combo);

}  // namespace DaxIds
