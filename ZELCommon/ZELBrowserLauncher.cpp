#include "ZELCommon/ZELBrowserLauncher.h"

#include "Handheld/Shell.h"

void CZELBrowserLauncher::Launch(const CZELString& address)
{
    ShellOpenAddress(address.GetBuffer());
}
