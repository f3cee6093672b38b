// A language module: one component's texts in one language, by the numbers of the component's
// English table. The build compiles this file once per table (MUI_TABLE names it), with its literals
// converted to code page 1251, the code page the texts are read back in.
#include "ZELCommon/ZELString.h"

// The table: its component's English-table header, MUI_TEXT_COUNT and kTexts (const, so local to
// this module).
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
