// The messaging commands of family 0x04 a client sends: plain (channel 1) and rendezvous (channel 2)
// messages, the x-status query, the acknowledgement of a received message, the answer to an
// x-status query, and typing notices (with the reader of the ones that arrive). Each builder
// returns the whole frame, sized from its own values, or no bytes when a value does not fit its
// length field (PacketWriter).
//
// The first eight body bytes of each are the message cookie, two u32 words in the order given: a
// message's sender draws them, an answer repeats those of the message it answers.
#pragma once

#include "Wex/proto/Flap.h"
#include "Wex/proto/Reply.h"

#include "ZELCommon/ZELString.h"

namespace Wex {

struct MessageCookie {
    unsigned first = 0;
    unsigned second = 0;
};

// 04/06 channel 1: TLV 0x0002 with the capabilities fragment and the text fragment, then the empty
// TLVs 0x0003 (acknowledge) and 0x0006 (store while offline). With unicode the text is UTF-16
// high byte first (character set 2), every U+2029 sent as U+000A; otherwise code page 1251
// (character set 0).
Bytes SendPlainMessage(unsigned short sequence, unsigned requestId, const MessageCookie& cookie, const CZELString& uin,
                       const CZELString& text, bool unicode);

// 04/06 channel 2 through the server: TLV 0x0005 with the relay capability and TLV 0x2711 holding a
// plain text, in UTF-8 (marked by the UTF-8 capability text) or code page 1251, with a terminating
// zero.
Bytes SendRendezvousMessage(unsigned short sequence, unsigned requestId, const MessageCookie& cookie,
                            const CZELString& uin, const CZELString& text, bool utf8);

// 04/06 channel 2: the query for a contact's x-status, numbered query (1-35), asked by ownUin.
Bytes SendXStatusQuery(unsigned short sequence, unsigned requestId, const MessageCookie& cookie, const CZELString& uin,
                       int query, const CZELString& ownUin);

// 04/0B: the acknowledgement of a received message, with the rendezvous message sequence (0 when
// the message was not a query).
Bytes RendezvousMessageAck(unsigned short sequence, unsigned requestId, const MessageCookie& cookie,
                           const CZELString& uin, unsigned short messageSequence);

// 04/0B: the answer to contactUin's x-status query with the own x-status index, title and
// description. The title and description are escaped for the XML they travel in.
Bytes XStatusResponse(unsigned short sequence, unsigned requestId, const MessageCookie& cookie, const CZELString& ownUin,
                      const CZELString& contactUin, int index, const CZELString& title,
                      const CZELString& description, unsigned short messageSequence);

// The response text of XStatusResponse (UTF-16; sent as UTF-8).
CZELString XStatusResponseText(const CZELString& ownUin, int index, const CZELString& title,
                               const CZELString& description);
// text with &, <, >, " and ' written as the XML entities.
CZELString EscapeXml(const CZELString& text);
// The reverse: those five entities replaced, each once, in one pass from left to right; anything
// else, a lone & included, stays as it is.
CZELString UnescapeXml(const CZELString& text);
// A title or description as an x-status answer carries it, escaped for the markup inside the
// notification and again for the notification: the text itself.
CZELString XStatusNoticeText(const CZELString& carried);

// Typing states as the program holds them; on the wire each is 2 minus the state.
enum TypingState { TypingBegun = 0, TypingPaused = 1, TypingFinished = 2 };

// 04/14: zero cookie, channel 1, the UIN as a str8 in UTF-8, the wire state.
Bytes TypingNotification(unsigned short sequence, unsigned requestId, const CZELString& uin, TypingState state);

// An incoming 04/14: 8 cookie bytes and the u16 channel skipped, the UIN as a str8 (UTF-8,
// normalised), the u16 wire state. A wire value other than 0, 1 or 2 leaves known false and state
// as it was. See Reply.h for the pattern.
struct TypingNotice : Reply {
    CZELString uin;
    unsigned short wireState = 0;
    bool known = false;
    TypingState state = TypingFinished;

    int Unpack(const unsigned char* frame, size_t size);
};

} // namespace Wex
