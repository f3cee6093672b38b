// The SHA-256 of a downloaded package, through the system's cryptography primitives.
#pragma once

#include "ZELCommon/ZELString.h"

#include <cstddef>

class CZELFile;

typedef unsigned char PackageDigest[32];

// One SHA-256 fed in pieces, so that a package is hashed as it is written rather than read back.
// Any failure of the system's primitives is kept: Finish then fails.
class CPackageHasher {
public:
    CPackageHasher();
    ~CPackageHasher();

    CPackageHasher(const CPackageHasher&) = delete;
    CPackageHasher& operator=(const CPackageHasher&) = delete;

    void Add(const void* bytes, size_t length);
    // Reads count bytes of file from where it stands and adds them: false when fewer could be read.
    bool AddFileBytes(CZELFile& file, unsigned long long count);
    // The digest of everything added; false when any step failed. Nothing may be added after it.
    bool Finish(PackageDigest digest);

private:
    void* algorithm = nullptr;  // BCRYPT_ALG_HANDLE
    void* hash = nullptr;       // BCRYPT_HASH_HANDLE
    bool ok = false;
};

// The digest of bytes; false when the system cannot compute it.
bool Sha256(const void* bytes, size_t length, PackageDigest digest);
// The digest of the whole file at path; false when it cannot be read.
bool FileSha256(const CZELString& path, PackageDigest digest);
// Whether the file at path exists and its digest is expected.
bool FileMatchesDigest(const CZELString& path, const PackageDigest expected);

enum DigestCheck { DigestMatches, DigestDiffers, DigestUnreadable };
// As FileMatchesDigest, telling a file that differs from one that cannot be read now (missing, or
// held by a download that is writing it).
DigestCheck CheckFileDigest(const CZELString& path, const PackageDigest expected);
