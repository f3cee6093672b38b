#include "Zel/shell/updater/PackageDigest.h"

#include "ZELCommon/ZELFile.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <vector>

namespace {

// One SHA-256 computation; every step reports failure by leaving ok false.
class Hasher {
public:
    Hasher()
    {
        if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
            algorithm = nullptr;
            return;
        }
        ok = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    }
    ~Hasher()
    {
        if (hash) BCryptDestroyHash(hash);
        if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;

    void Add(const void* bytes, ULONG length)
    {
        if (ok && length) ok = BCryptHashData(hash, static_cast<PUCHAR>(const_cast<void*>(bytes)), length, 0) == 0;
    }
    bool Finish(PackageDigest digest)
    {
        return ok && BCryptFinishHash(hash, digest, sizeof(PackageDigest), 0) == 0;
    }

private:
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = false;
};

}  // namespace

bool Sha256(const void* bytes, size_t length, PackageDigest digest)
{
    Hasher hasher;
    const unsigned char* at = static_cast<const unsigned char*>(bytes);
    while (length > 0) {
        ULONG piece = length > 0x10000000 ? 0x10000000 : ULONG(length);
        hasher.Add(at, piece);
        at += piece;
        length -= piece;
    }
    return hasher.Finish(digest);
}

bool FileSha256(const CZELString& path, PackageDigest digest)
{
    CZELFile file(path, CZELFile::ModeRead);
    if (!file.Open()) return false;
    Hasher hasher;
    std::vector<unsigned char> buffer(64 * 1024);
    for (;;) {
        int got = file.Read(buffer.data(), int(buffer.size()));
        if (got <= 0) {
            if (file.LastError() != 0) return false;
            break;
        }
        hasher.Add(buffer.data(), ULONG(got));
    }
    return hasher.Finish(digest);
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
