#include "Zel/shell/updater/VersionUpdater.h"

#include "ZELCommon/ZELPath.h"

CZELString CVersionUpdater::GetCabPath() const
{
    return CZELPath::AppDir() + L"zelpda.cab";
}
