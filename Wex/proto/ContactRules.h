// Two rules about one contact of the server-side list: whether the account answers the contact
// (an acknowledgement, its x-status) under the privacy status, and whether a typing notice to the
// contact goes out now.
#pragma once

#include "Wex/proto/ServerList.h"

namespace Wex {

// Whether the account shows itself to item under privacy mode: never without an item or in mode 2;
// mode 3 only to a buddy in a group on the visible list, mode 4 to one in a group not on the
// invisible list, mode 5 to one in a group; any other mode to everyone.
bool IsVisibleTo(const ServerList& list, const ServerListItem* item, int privacyMode);

// Whether a typing notice to item goes out at now (Unix seconds): a stop always does; a begin only
// when the last begin went out more than three seconds before, so at most one in any four seconds.
bool TypingNoticeDue(const ServerListItem& item, unsigned now, bool stopped);

} // namespace Wex
