// Digests as the XMPP logins write them: lowercase hexadecimal, two digits per byte.
#pragma once

#include <string>

std::string LowerHex(const unsigned char* bytes, size_t length);
std::string Md5Hex(const std::string& bytes);
// 40 digits of the SHA-1 of the bytes.
std::string Sha1Hex(const std::string& bytes);
