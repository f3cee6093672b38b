// The text a message stored while its receiver was offline is shown with: the label, the time it was
// sent in the local time's own form, and the message on the next line.
#pragma once

#include "ZELCommon/ZELString.h"

#include <ctime>

namespace Wex {

// label + " (" + the local time of sent in the "%c" form + ")\r\n" + text.
CZELString OfflineMessageText(const CZELString& label, time_t sent, const CZELString& text);

// The Unix time of a date and time the server gives in universal time, seconds 0; -1 for a date
// that is not one.
time_t UniversalTimeOf(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute);

} // namespace Wex
