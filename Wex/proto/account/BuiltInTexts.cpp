#include "Wex/proto/account/BuiltInTexts.h"

#include "Wex/proto/ErrorTexts.h"

namespace WexTexts {

namespace {

struct Text {
    int id;
    const wchar_t* text;
};

// Every number but the error texts 125-158, in order.
const Text kTexts[] = {
    {0, L"Update contact list"},
    {1, L"@ Home"},
    {2, L"@ Work"},
    {3, L"Away"},
    {4, L"Connection"},
    {5, L"Depression"},
    {6, L"Do not disturb"},
    {7, L"Evil"},
    {8, L"Free for chat"},
    {9, L"Invisible for all"},
    {10, L"Invisible"},
    {11, L"Lunch"},
    {12, L"Not available"},
    {13, L"Occupied"},
    {14, L"Offline"},
    {15, L"Online"},
    {16, L"Privacy status"},
    {17, L"Visible for all"},
    {18, L"Visible only for visible list"},
    {19, L"Visible for all except invisible list"},
    {20, L"Visible only for contact list"},
    {21, L"Invisible for all"},
    {22, L"Add to visible list"},
    {23, L"Remove from vis. list"},
    {24, L"Add to invis. list"},
    {25, L"Remove from invis. list"},
    {26, L"Add to ignore list"},
    {27, L"Remove from ignore list"},
    {28, L"Status picture"},
    {29, L"Name"},
    {30, L"Description"},
    {31, L"Request x-status"},
    {32, L"Request authorization"},
    {33, L"Authorization request"},
    {34, L"Enter request reason"},
    {35, L"Please authorize my request."},
    {36, L"Accepted your authorization"},
    {37, L"Declined your authorization"},
    {38, L"Authorization request: "},
    {39, L"Authorization"},
    {40, L"Accept"},
    {41, L"Decline"},
    {42, L"Ignore"},
    {43, L"Add contact"},
    {44, L"Add to contact list"},
    {45, L"Add contact"},
    {46, L"Account name"},
    {47, L"Contact name"},
    {48, L"Group"},
    {49, L"Offline message"},
    {50, L"Account"},
    {51, L"Password"},
    {52, L"Show password"},
    {53, L"Save password"},
    {54, L"Connection"},
    {55, L"Host"},
    {56, L"Port"},
    {57, L"Move servers"},
    {58, L"Keep connection alive"},
    {59, L"Automatically update contact list"},
    {60, L"Auto-switch privacy status"},
    {61, L"Additional"},
    {62, L"Show standard icon for all contacts"},
    {63, L"Show x-status in status bar"},
    {64, L"Show privacy status in status bar"},
    {65, L"Show clients icons"},
    {66, L"Request typing notification"},
    {67, L"Autorequest x-status"},
    {68, L"General"},
    {69, L"Home"},
    {70, L"Work"},
    {71, L"Company"},
    {72, L"Phones"},
    {73, L"Personal"},
    {74, L"Originally from"},
    {75, L"Interests"},
    {76, L"About"},
    {77, L"Account name"},
    {78, L"Display name"},
    {79, L"First name"},
    {80, L"Last name"},
    {81, L"Email"},
    {82, L"Country"},
    {83, L"City"},
    {84, L"State"},
    {85, L"Zip"},
    {86, L"Street"},
    {87, L"Company name"},
    {88, L"Div/dept"},
    {89, L"Occupation"},
    {90, L"Position"},
    {91, L"Web site"},
    {92, L"Home phone"},
    {93, L"Home fax"},
    {94, L"Cellular"},
    {95, L"Work phone"},
    {96, L"Work fax"},
    {97, L"Gender"},
    {98, L"Age"},
    {99, L"Marital status"},
    {100, L"Home page"},
    {101, L"Birthday"},
    {102, L"Languages"},
    {103, L"About"},
    {104, L"Note on user"},
    {105, L"By WEX#"},
    {106, L"By Email"},
    {107, L"Global 1"},
    {108, L"Global 2"},
    {109, L"Search by WEX#:"},
    {110, L"Search by Email:"},
    {111, L"Global search:"},
    {112, L"Nickname"},
    {113, L"Language"},
    {114, L"Keywords"},
    {115, L"Online only"},
    {116, L"Socket connect error"},
    {117, L"Please enter account data"},
    {118, L"Server pause"},
    {119, L"Item not found"},
    {120, L"Item already exist"},
    {121, L"Error adding item"},
    {122, L"Can't add item (limit of this type of items exceeded)"},
    {123, L"Trying to add WEX contact to AIM list"},
    {124, L"Contact is authorization required"},
    {159, L"Check status"},
    {160, L"OK"},
    {161, L"Cancel"},
    {162, L"Your details can be saved only while you are online"},
};

}  // namespace

const wchar_t* English(int id)
{
    if (id >= 125 && id <= 158) return Wex::ErrorText(id);
    for (const Text& text : kTexts)
        if (text.id == id) return text.text;
    return L"";
}

bool BuiltInText(int id, CZELString& out)
{
    if (id < 0 || id >= Count) return false;
    out = CZELString(English(id));
    return true;
}

}  // namespace WexTexts
