#include "Dax/DaxDomains.h"

namespace DaxDomains {

namespace {

// Reserved example names stand in for the service's own domains.
const wchar_t* const kDomains[Count] = {L"@example.com", L"@example.net", L"@example.org", L"@list.example",
                                         L"@inbox.example"};

}  // namespace

CZELString Domain(int index)
{
    return index >= 0 && index < Count ? CZELString(kDomains[index]) : CZELString();
}

void Split(const CZELString& accountName, CZELString& user, int& domain)
{
    user = CZELString();
    domain = -1;
    const int at = accountName.Find(0, CZELString(L"@"));
    if (at < 0) return;
    user = accountName.Substring(0, at);
    CZELString rest = accountName.Substring(at, accountName.GetLength() - at);
    rest.ToLower();
    for (int i = 0; i < Count; ++i)
        if (rest == kDomains[i]) domain = i;
}

Verdict Compose(const CZELString& user, int domain, CZELString& accountName)
{
    const bool hasDomain = domain >= 0 && domain < Count;
    if (user.IsEmpty() && !hasDomain) return Verdict::KeepStored;
    if (user.IsEmpty() || user.Find(0, CZELString(L"@")) >= 0) return Verdict::FixUser;
    if (!hasDomain) return Verdict::FixDomain;
    accountName = user + kDomains[domain];
    return Verdict::Name;
}

}  // namespace DaxDomains
