#include "Wex/proto/ErrorTexts.h"

namespace Wex {

namespace {

const int kFirstErrorText = 125;

// Strings 125 to 158, in order.
const wchar_t* const kErrorTexts[] = {
    L"Invalid UIN or password",
    L"Service temporarily unavailable",
    L"Unknown error",
    L"Incorrect UIN or password, re-enter",
    L"Mismatch UIN or password, re-enter",
    L"Internal client error (bad input to authorizer)",
    L"Invalid account",
    L"Deleted account",
    L"Expired account",
    L"No access to database",
    L"No access to resolver",
    L"Invalid database fields",
    L"Bad database status",
    L"Bad resolver status",
    L"Internal error",
    L"Service temporarily offline",
    L"Suspended account",
    L"DB send error",
    L"DB link error",
    L"Reservation map error",
    L"Reservation link error",
    L"The users num connected from this IP has reached the maximum",
    L"The users num connected from this IP has reached the maximum (reservation)",
    L"Rate limit exceeded (reservation). Please try to reconnect in a few minutes",
    L"User too heavily warned",
    L"Reservation timeout",
    L"You are using an older version of ZEL. Upgrade required",
    L"You are using an older version of ZEL. Upgrade recommended",
    L"Rate limit exceeded. Please try to reconnect in a few minutes",
    L"Can't register on the WEX network. Reconnect in a few minutes",
    L"Invalid SecurID",
    L"Account suspended because of your age (age < 13)",
    L"Your account used on another computer",
    L"Server error",
};

} // namespace

int LoginErrorTextId(unsigned short code)
{
    if (code >= 1 && code <= 30) return kFirstErrorText + code - 1;
    if (code == 32) return 155;
    if (code == 34) return 156;
    return 0;
}

int CloseReasonTextId(unsigned short reason)
{
    return reason == 1 ? TextAccountUsedElsewhere : TextServerError;
}

const wchar_t* ErrorText(int textId)
{
    int index = textId - kFirstErrorText;
    if (index < 0 || index >= int(sizeof kErrorTexts / sizeof kErrorTexts[0])) return L"";
    return kErrorTexts[index];
}

} // namespace Wex
