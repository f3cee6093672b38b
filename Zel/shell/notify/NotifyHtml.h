// The bodies of the notification bubbles, as the small HTML the shell's bubble reads. Every text
// that comes from the network or the contact list (messages, aliases, account and protocol
// names, mail notices, picture paths) is escaped before any tag goes in, so a peer's text can
// never add markup of its own.
#pragma once

#include "ZELCommon/ZELString.h"

namespace NotifyHtml {

// "&", "<", ">" and '"' as entities.
CZELString Escape(const CZELString& text);
// The text escaped, every "\r\n" a "<br>"; an empty text stays empty.
CZELString TextToHtml(const CZELString& text);
// A message's body: as TextToHtml (smiley pictures have no place in it yet).
CZELString MessageToHtml(const CZELString& text);
// A contact's sign-on or sign-off body: the alias in brackets, the status text in blue (online)
// or red (offline), then the protocol's name and the account's, each line centred.
CZELString StatusHtml(const CZELString& alias, bool online, const CZELString& statusText,
                      const CZELString& protocolName, const CZELString& accountName);

}  // namespace NotifyHtml
