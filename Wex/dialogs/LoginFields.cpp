#include "Wex/dialogs/LoginFields.h"

#include "ZELCommon/MD5.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace WexLogin {

bool NormalizeLoginId(const CZELString& typed, CZELString& out)
{
    const wchar_t* text = typed.GetBuffer();
    const int length = typed.GetLength();
    if (!text || length == 0) return false;
    std::wstring digits;
    for (int i = 0; i < length; ++i) {
        if (text[i] == L'@') {
            out = typed;
            return true;
        }
        if (text[i] >= L'0' && text[i] <= L'9') digits += text[i];
    }
    if (digits.empty()) return false;
    out = CZELString(digits.c_str());
    return true;
}

Wex::Md5Digest PasswordDigest(const CZELString& password)
{
    Wex::Md5Digest digest{};
    const int length = password.GetLength() < 8 ? password.GetLength() : 8;
    char* narrow = length > 0 ? CZELString::Convert(password.GetBuffer(), length, CP_ACP) : nullptr;
    CMD5::Hash(narrow ? narrow : "", narrow ? unsigned(strlen(narrow)) : 0u, digest.data());
    free(narrow);
    return digest;
}

bool ParsePort(const CZELString& text, int& port)
{
    const wchar_t* digits = text.GetBuffer();
    const int length = text.GetLength();
    // Six digits already pass the largest port; more only risk overflow.
    if (!digits || length == 0 || length > 6) return false;
    int value = 0;
    for (int i = 0; i < length; ++i) {
        if (digits[i] < L'0' || digits[i] > L'9') return false;
        value = value * 10 + (digits[i] - L'0');
    }
    if (value < 1 || value > 65535) return false;
    port = value;
    return true;
}

}  // namespace WexLogin
