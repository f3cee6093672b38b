// The bodies of the packets the plug-in sends, each built field by field from its layout. The
// packet around a body (header, sequence) is the caller's.
#pragma once

#include "Dax/proto/MrimPacket.h"

namespace Mrim {

// Message flags the plug-in writes or tests.
enum : unsigned {
    MessageText = 0x00000001,
    MessageNoReceipt = 0x00000004,
    MessageAuthorize = 0x00000008,
    MessageService = 0x00000040,
    MessageRtf = 0x00000080,
    MessageTyping = 0x00000400,
    MessageWakeUp = 0x00004000,
    MessageCartoon = 0x00008000,
    MessageUtf16 = 0x00100000,
    Message1251 = 0x00200000,
};

// 0x1038: name, password, status value and URI, empty title and description, then the client
// identification block (BuildClientId).
Bytes LoginBody(const CZELString& name, const CZELString& password, int status, const Bytes& clientId);
// 0x1022.
Bytes StatusChangeBody(int status);
// 0x1008 forms: a UTF-16 text; a typing notice; a wake-up call; an authorisation request whose
// Base64 block holds the contact's address and the reason.
Bytes TextMessageBody(const CZELString& recipient, const CZELString& text);
Bytes TypingNoticeBody(const CZELString& recipient);
Bytes WakeUpBody(const CZELString& recipient);
Bytes AuthRequestBody(const CZELString& recipient, const CZELString& reason);
// 0x1011.
Bytes MessageReceivedBody(const CZELString& sender, unsigned messageId);
// 0x1020.
Bytes AuthorizeBody(const CZELString& address);

// The authorisation block: u32 2, then two UTF-16LE LPS (a name or address, and the text).
Bytes AuthBlock(const CZELString& first, const CZELString& text);

// 0x1019, group form: flags 2 with the count of groups in the top byte, and the name.
Bytes AddGroupBody(unsigned groupCount, const CZELString& name);
// 0x1019, contact form: the target group's index, address, nickname and the Base64 authorisation
// text (an empty sender name and the message).
Bytes AddContactBody(unsigned groupIndex, const CZELString& email, const CZELString& nickname,
                     const CZELString& authMessage);
// 0x101B, group form.
Bytes ModifyGroupBody(unsigned index, unsigned flags, const CZELString& name);
// 0x101B, contact form.
Bytes ModifyContactBody(unsigned serverId, unsigned flags, unsigned group, const CZELString& email,
                        const CZELString& nickname, const CZELString& phone);

// The fields of a directory search.
struct SearchFields {
    CZELString nickname, firstName, lastName;
    int gender = 0, ageFrom = 0, ageTo = 0, countryId = 0, regionId = 0, onlineOnly = 0;
};
// 0x1029 keys.
enum : unsigned {
    KeyUser = 0, KeyDomain = 1, KeyNickname = 2, KeyFirstName = 3, KeyLastName = 4, KeyGender = 5,
    KeyAgeFrom = 7, KeyAgeTo = 8, KeyOnline = 9, KeyRegion = 11, KeyCountry = 15,
};
// 0x1029 for one address (user part and domain); empty when the address has no "@" after its
// first character.
Bytes AddressSearchBody(const CZELString& email);
// 0x1029 by fields, in key order 2, 3, 4, 5, 7, 8, 15, 11, 9, each only when given; empty when
// nothing is given. The ages are expected normalised (NormaliseAges).
Bytes FieldSearchBody(const SearchFields& fields);
// An age range with one end given gets the other: from only -> to 120; to only -> from 1.
void NormaliseAges(SearchFields& fields);

} // namespace Mrim
