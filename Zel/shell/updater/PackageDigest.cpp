#include "Zel/shell/updater/PackageDigest.h"

#include "ZELCommon/ZELFile.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <vector>

CPackageHasher::CPackageHasher()
{
    BCRYPT_ALG_HANDLE provider = nullptr;
    if (BCryptOpenAlgorithmProvider(&provider, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) return;
    algorithm = provider;
    BCRYPT_HASH_HANDLE handle = nullptr;
    ok = BCryptCreateHash(provider, &handle, nullptr, 0, nullptr, 0, 0) == 0;
    hash = handle;
}

CPackageHasher::~CPackageHasher()
{
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
}

void CPackageHasher::Add(const void* bytes, size_t length)
{
    const unsigned char* at = static_cast<const unsigned char*>(bytes);
    while (ok && length > 0) {
        ULONG piece = length > 0x10000000 ? 0x10000000 : ULONG(length);
        ok = BCryptHashData(hash, const_cast<PUCHAR>(at), piece, 0) == 0;
        at += piece;
        length -= piece;
    }
}

bool CPackageHasher::AddFileBytes(CZELFile& file, unsigned long long count)
{
    std::vector<unsigned char> buffer(64 * 1024);
    while (count > 0) {
        int want = count < buffer.size() ? int(count) : int(buffer.size());
        int got = file.Read(buffer.data(), want);
        if (got <= 0) return false;
        Add(buffer.data(), size_t(got));
        count -= (unsigned long long)got;
    }
    return true;
}

bool CPackageHasher::Finish(PackageDigest digest)
{
    bool finished = ok && BCryptFinishHash(hash, digest, sizeof(PackageDigest), 0) == 0;
    ok = false;
    return finished;
}

bool Sha256(const void* bytes, size_t length, PackageDigest digest)
{
    CPackageHasher hasher;
    hasher.Add(bytes, length);
    return hasher.Finish(digest);
}

bool FileSha256(const CZELString& path, PackageDigest digest)
{
    CZELFile file(path, CZELFile::ModeRead);
    unsigned long long size = 0;
    if (!file.Open() || !file.GetSize(size)) return false;
    CPackageHasher hasher;
    return hasher.AddFileBytes(file, size) && hasher.Finish(digest);
}

bool FileMatchesDigest(const CZELString& path, const PackageDigest expected)
{
    return CheckFileDigest(path, expected) == DigestMatches;
}

DigestCheck CheckFileDigest(const CZELString& path, const PackageDigest expected)
{
    PackageDigest actual;
    if (!FileSha256(path, actual)) return DigestUnreadable;
    return memcmp(actual, expected, sizeof(actual)) == 0 ? DigestMatches : DigestDiffers;
}
