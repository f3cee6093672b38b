// A language module built without the decorated-name alias: the function is there, but only under
// the compiler's own name, so no controller can bind it.
#include "ZELCommon/ZELString.h"

__declspec(dllexport) bool MUI_GetString(int id, CZELString& out);

bool MUI_GetString(int id, CZELString& out)
{
    if (id != 0) return false;
    out = L"undecorated";
    return true;
}
