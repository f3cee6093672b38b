// The text of an incoming message (04/07), decoded from its message TLVs by the message channel:
//
//   1  TLV 0x0002: fragments (u8 id, u8 version, u16 length, data); the second holds u16 character
//      set, u16 sub-set and the text, in code page 1251 (sets 0 and 3) or UTF-16 big-endian. A text
//      from a sender whose name does not begin with a digit, or one wrapped in <HTML><BODY ...> and
//      </BODY></HTML>, is HTML: the wrapper, the tags and four entities are turned into plain text.
//   2  the rendezvous data (Rendezvous.h): a plain text in code page 1251, or UTF-8 when its
//      capability text says so; or an x-status notification, whose title and description are shown.
//   4  TLV 0x0005: u16 LE length at byte 6, the text in code page 1251 at byte 8.
//
// Every length is checked against the TLV that holds it: a text that would run past it is empty.
#pragma once

#include "Wex/proto/Tlv.h"

#include "ZELCommon/ZELString.h"

namespace Wex {

CZELString DecodeMessageText(unsigned short channel, const TlvChain& messageTlvs, const CZELString& sender);

// The HTML treatment of a channel-1 text: the <HTML><BODY ...> opening and </BODY></HTML> closing
// removed where present, every tag removed (br and hr become CR LF), and &quot; &amp; &gt; &lt;
// replaced, each once, in one pass from left to right.
CZELString HtmlToText(const CZELString& text);

} // namespace Wex
