// CZELBrowserLauncher: hands a web address to the shell, which opens it with its default handler.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELString.h"

class ZELCOMMON_API CZELBrowserLauncher {
public:
    // Whether the shell managed is not reported. Only http, https and mailto addresses are opened
    // (Handheld/Shell.h); anything else opens nothing.
    static void Launch(const CZELString& address);
};
