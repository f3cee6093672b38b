// What the settings pages make of the texts typed into them, as pure functions.
#pragma once

#include "Wex/proto/SignOnCommands.h"

#include "ZELCommon/ZELString.h"

namespace WexLogin {

// A typed login id: with an at sign, kept whole (an e-mail login); otherwise its decimal digits.
// False (out untouched) when it is empty, or has neither an at sign nor a digit.
bool NormalizeLoginId(const CZELString& typed, CZELString& out);

// The stored form of a typed password: the digest of its first 8 characters in the device's code
// page.
Wex::Md5Digest PasswordDigest(const CZELString& password);

// A typed port: decimal digits giving 1 to 65535; anything else is false.
bool ParsePort(const CZELString& text, int& port);

}  // namespace WexLogin
