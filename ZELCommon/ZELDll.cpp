#include "ZELCommon/ZELDll.h"

#include "Handheld/Kernel.h"

bool CZELDll::Load(const CZELString& file, const CZELString& folder)
{
    module = folder.IsEmpty() ? nullptr : LoadLibraryW((folder + file).GetBuffer());
    return module != nullptr;
}

FARPROC CZELDll::GetProcAddressW(const CZELString& name) const
{
    // A null handle would make the desktop loader search the program's own exports.
    if (!module) return nullptr;
    return ::GetProcAddressW(module, name.GetBuffer());
}

bool CZELDll::Unload()
{
    if (!module) return false;
    FreeLibrary(module);
    module = nullptr;
    return true;
}
