// The foundation library's own module handle, kept by its entry point: resources compiled into
// the library (menus, dialog templates) are loaded through it.
#pragma once

#include "ZELCommon/ZELCommonApi.h"

#include <windows.h>

ZELCOMMON_API HINSTANCE GetZELCommonModule();
