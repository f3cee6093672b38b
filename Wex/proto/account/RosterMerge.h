// The roster merged into the contact list: what the account's copy of the server-side list holds
// becomes the account's groups and contacts of the contact-list service, matched by "Account name"
// with what the list already has. Apart from the account so that it can be measured against the
// service alone.
#pragma once

#include "Wex/proto/ServerList.h"

#include "Zel/core/bus/Payloads.h"

#include <functional>

class IContactListData;

namespace WexRoster {

typedef std::function<StatusInfo(int contactId)> IconsOf;

// A group of the contact list for a group item: its id, 0 when none could be added.
int CreateGroupContact(IContactListData& data, unsigned account, const CZELString& name);
// A contact in group (0: the top level) with its names, announced with its icons.
int CreateListContact(IContactListData& data, unsigned account, int group, const CZELString& uin,
                      const CZELString& alias, const IconsOf& icons);

// Every group item is matched or added first, then every contact placed in its group (whatever the
// roster's order), aliases and privacy flags brought up to date; local contacts the server lacks go,
// except top-level ones, which stay linked to their UIN by a local-only item; groups the server
// lacks go. One batch of the service.
void Merge(Wex::ServerList& list, IContactListData& data, unsigned account, const IconsOf& icons);

}  // namespace WexRoster
