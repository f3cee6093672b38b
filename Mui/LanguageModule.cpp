// A language module: one component's texts in one language, by the numbers of the component's
// English table. The build compiles this file once per table: MUI_COMPONENT_TEXTS names the header of
// the component's English table, MUI_TEXT_COUNT its size, and MUI_TABLE the array make_table.py made
// of the table, in code page 1251, the code page the texts are read back in.
#include "ZELCommon/ZELString.h"

#include MUI_COMPONENT_TEXTS
#include MUI_TABLE

static_assert(sizeof kTexts / sizeof kTexts[0] == MUI_TEXT_COUNT,
              "a language module has exactly one text for each text of its component");

// How many texts the module answers: all of them, unless a test builds a module that lacks the last.
#ifndef MUI_ANSWERED_COUNT
#define MUI_ANSWERED_COUNT MUI_TEXT_COUNT
#endif

bool MUI_GetString(int id, CZELString& out);

bool MUI_GetString(int id, CZELString& out)
{
    // Unsigned: a negative number is out of the table too.
    if (unsigned(id) > unsigned(MUI_ANSWERED_COUNT) - 1) return false;
    out = CZELString(kTexts[id], -1, 1251);
    return true;
}
