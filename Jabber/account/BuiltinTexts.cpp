#include "Jabber/account/BuiltinTexts.h"

namespace {

// UTF-8 (all plain ASCII). Texts ending in ": " or a blank are prefixes the caller completes.
const char* const Texts[BuiltinTextCount] = {
    // Status names.
    "@ Home", "@ Work", "Away", "Connection", "Depression", "Do not disturb", "Evil", "Free for chat",
    "Invisible for all", "Invisible", "Lunch", "Not available", "Occupied", "Offline", "Online",
    // Account settings pages.
    "Account", "Password", "Show password", "Save password", "Resource", "Server", "Port", "Use SSL", "Expert",
    "Manually specify connection host", "Server", "Port", "Enable stream compression", "Advanced",
    "Display email notifications", "Hide email button",
    // Menus and subscription requests.
    "Request authorization", "Grant authorization", "Revoke authorization", "Authorization request: ",
    "Authorization", "Accept", "Decline", "Ignore", "Add contact", "Add to contact list",
    // Add-contact dialog (its buttons are 85 and 86).
    "Add contact", "Account name", "Contact name", "Group",
    // vCard panes.
    "General", "Home", "Work", "Company", "Phones", "Personal", "About", "Account name", "Display name",
    "First name", "Middle name", "Last name", "Country", "City", "State", "Zip", "Street", "Email",
    "Company name", "Div/dept", "Position", "Home phone", "Home fax", "Cellular", "Work phone", "Work fax",
    "Gender", "Female", "Male", "Age", "Home page", "Birthday", "About", "Note on user",
    // New-mail notices.
    "Acc.: ", "E-mail received\r\nFrom: ", "Subject: ",
    // E-mail icon menu.
    "Mailbox", "Open Inbox",
    // Failed login.
    "Invalid account name or password",
    // Add-contact dialog buttons.
    "OK", "Cancel",
};

}  // namespace

bool GetBuiltinText(int number, CZELString& out)
{
    if (number < 0 || number >= BuiltinTextCount) return false;
    out = CZELString(Texts[number], -1, 65001);
    return true;
}
