// The account name of a Dax account is a user part and one of the service's five mail domains.
#pragma once

#include "ZELCommon/ZELString.h"

namespace DaxDomains {

enum : int { Count = 5 };

// Domain i (0 to 4), with its leading "@".
CZELString Domain(int index);

// Splits a stored account name at its first "@": the user part and the index of the domain the
// rest names (any letter case), -1 when it names none. A name without "@" gives an empty user
// part and no domain.
void Split(const CZELString& accountName, CZELString& user, int& domain);

// What the account pane's two fields make of the name.
enum class Verdict { Name, KeepStored, FixUser, FixDomain };
// A user part without "@" and a chosen domain make a name; both left empty keep the stored one;
// anything else names the field to fix.
Verdict Compose(const CZELString& user, int domain, CZELString& accountName);

}  // namespace DaxDomains
