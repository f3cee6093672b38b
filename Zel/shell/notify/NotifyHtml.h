// The bodies of the notification bubbles, as the small HTML the shell's bubble reads. Every text
// that comes from the network or the contact list (messages, aliases, account and protocol
// names, mail notices, picture paths) is escaped before any tag goes in, so a peer's text can
// never add markup of its own.
#pragma once

#include "ZELCommon/ZELString.h"

class CSmileyPack;

namespace NotifyHtml {

// "&", "<", ">" and '"' as entities.
CZELString Escape(const CZELString& text);
// The text escaped, every "\r\n" a "<br>"; an empty text stays empty.
CZELString TextToHtml(const CZELString& text);
// Most smiley pictures a message's body shows; further codes stay text.
const int kBodySmileyLimit = 5;
// A message's body: as TextToHtml, with the codes of a loaded pack's smilies (taken in pack order,
// never inside a line break) as picture tags of the smilies' files, at most kBodySmileyLimit.
CZELString MessageToHtml(const CZELString& text, const CSmileyPack& pack);
// With the program's pack in use.
CZELString MessageToHtml(const CZELString& text);
// A contact's sign-on or sign-off body: the alias in brackets, the status text in blue (online)
// or red (offline), then the protocol's name and the account's, each line centred.
CZELString StatusHtml(const CZELString& alias, bool online, const CZELString& statusText,
                      const CZELString& protocolName, const CZELString& accountName);

}  // namespace NotifyHtml
