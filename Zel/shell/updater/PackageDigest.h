// The SHA-256 of a downloaded package, through the system's cryptography primitives.
#pragma once

#include "ZELCommon/ZELString.h"

#include <cstddef>

typedef unsigned char PackageDigest[32];

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
