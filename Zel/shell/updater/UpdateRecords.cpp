#include "Zel/shell/updater/UpdateRecords.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/settings/SettingsStore.h"
#include "ZELCommon/ZELFile.h"
#include "ZELCommon/ZELFileSystem.h"
#include "ZELCommon/ZELTime.h"

namespace {

const wchar_t kCheckTime[] = L"VerCheckTime";
const wchar_t kBuild[] = L"NewVersionNumber";
const wchar_t kSize[] = L"NewcabSize";

// The package file's size; false when it does not open.
bool PackageSize(const CZELString& path, unsigned long long& size)
{
    CZELFile file(path, CZELFile::ModeRead);
    return file.Open() && file.GetSize(size);
}

}  // namespace

bool CUpdateRecords::Read(const wchar_t* key, unsigned& value) const
{
    int stored = 0;
    if (!store || !store->GetInt(ZEL_GUID_NULL, CZELString(key), &stored)) return false;
    value = unsigned(stored);
    return true;
}

bool CUpdateRecords::IsUpdateCheckDue() const
{
    if (!store) return false;
    unsigned last = 0;
    Read(kCheckTime, last);
    CZELTime now;
    CZELTime midnight(unsigned(now.Year()), unsigned(now.Month() - 1), unsigned(now.Day()), 0, 0, 0);
    return last < midnight.GetUnixTime();
}

void CUpdateRecords::MarkChecked(unsigned unixTime)
{
    int value = int(unixTime);
    if (store) store->SetInt(ZEL_GUID_NULL, CZELString(kCheckTime), &value);
}

bool CUpdateRecords::IsDownloadComplete(unsigned build) const
{
    unsigned recorded = 0, size = 0;
    unsigned long long fileSize = 0;
    return Read(kBuild, recorded) && Read(kSize, size) && recorded != 0 && size != 0 && recorded >= build &&
           PackageSize(cabPath, fileSize) && fileSize == size;
}

long long CUpdateRecords::GetResumeOffset(unsigned build, unsigned& expectedSize) const
{
    unsigned recorded = 0, size = 0;
    unsigned long long fileSize = 0;
    if (!Read(kBuild, recorded) || !Read(kSize, size) || recorded == 0 || size == 0) return 0;
    // Bytes of another build would only be thrown away by the digest.
    if (recorded != build || !PackageSize(cabPath, fileSize)) return 0;
    if (fileSize > size) {
        CZELFileSystem::DeleteFileW(cabPath);
        return 0;
    }
    if (fileSize == size) return -1;
    expectedSize = size;
    return (long long)fileSize;
}

void CUpdateRecords::Record(unsigned build, unsigned size)
{
    if (!store) return;
    int buildValue = int(build), sizeValue = int(size);
    store->SetInt(ZEL_GUID_NULL, CZELString(kBuild), &buildValue);
    store->SetInt(ZEL_GUID_NULL, CZELString(kSize), &sizeValue);
}

unsigned CUpdateRecords::RecordedBuild() const
{
    unsigned recorded = 0;
    Read(kBuild, recorded);
    return recorded;
}

void CUpdateRecords::Clear()
{
    CZELFileSystem::DeleteFileW(cabPath);
    if (!store) return;
    int zero = 0;
    store->SetInt(ZEL_GUID_NULL, CZELString(kBuild), &zero);
    store->SetInt(ZEL_GUID_NULL, CZELString(kSize), &zero);
}
