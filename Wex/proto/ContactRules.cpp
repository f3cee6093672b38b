#include "Wex/proto/ContactRules.h"

namespace Wex {

bool IsVisibleTo(const ServerList& list, const ServerListItem* item, int privacyMode)
{
    if (!item) return false;
    const bool inList = item->GroupId != 0;
    PrivacyMembership membership;
    if (inList) membership = list.GetPrivacyMembership(item->Name);
    switch (privacyMode) {
    case 2: return false;
    case 3: return inList && membership.visible;
    case 4: return inList && !membership.invisible;
    case 5: return inList;
    default: return true;
    }
}

bool TypingNoticeDue(const ServerListItem& item, unsigned now, bool stopped)
{
    return stopped || item.LastTypingSent + 3 < now;
}

} // namespace Wex
