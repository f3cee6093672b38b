// A language module for the tests: three texts in code page 1251, exported under the decorated
// name by TestLanguage.def.
#include "ZELCommon/ZELString.h"

namespace {
const char* const kTexts[] = {
    "\xc2\xfb\xea\xeb\xfe\xf7\xe5\xed",  // Выключен
    "\xc2 \xf1\xe5\xf2\xe8",             // В сети
    "\xcd\xe5\xf2 \xe4\xee\xec\xe0",     // Нет дома
};
const unsigned kTextCount = sizeof(kTexts) / sizeof(kTexts[0]);
}  // namespace

bool MUI_GetString(int id, CZELString& out);

bool MUI_GetString(int id, CZELString& out)
{
    if (unsigned(id) > kTextCount - 1) return false;
    out = CZELString(kTexts[id], -1, 1251);
    return true;
}
