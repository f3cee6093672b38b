#include "Dax/proto/MrimRequests.h"

#include "Dax/proto/MrimStatus.h"
#include "Dax/proto/WakeUpRtf.h"

#include <cstdio>

namespace Mrim {

namespace {

const unsigned char OneSpace[1] = {0x20};

CZELString Decimal(int value)
{
    wchar_t text[16];
    swprintf(text, 16, L"%d", value);
    return CZELString(text);
}

// The address split at its first "@", which must not be its first character.
bool SplitAddress(const CZELString& email, CZELString& user, CZELString& domain)
{
    int at = email.Find(0, CZELString(L"@"));
    if (at < 1) return false;
    user = email.Substring(0, at);
    domain = email.Substring(at + 1, email.GetLength() - at - 1);
    return true;
}

} // namespace

Bytes LoginBody(const CZELString& name, const CZELString& password, int status, const Bytes& clientId)
{
    CZELString uri;
    unsigned value = StatusToWire(status, uri);
    BodyWriter body;
    body.Lps(name, Encoding::Utf8).Lps(password, Encoding::Utf8);
    body.U32(value).Lps(uri, Encoding::Utf8);
    body.U32(0).U32(0);  // title and description: empty UTF-16LE
    body.Raw(clientId);
    return body.Take();
}

Bytes StatusChangeBody(int status)
{
    CZELString uri;
    unsigned value = StatusToWire(status, uri);
    BodyWriter body;
    body.U32(value).Lps(uri, Encoding::Utf8).U32(0).U32(0).U32(ClientFeatures);
    return body.Take();
}

Bytes TextMessageBody(const CZELString& recipient, const CZELString& text)
{
    BodyWriter body;
    body.U32(MessageUtf16).Lps(recipient, Encoding::Utf8).Lps(text, Encoding::Utf16LE).U32(0);
    return body.Take();
}

Bytes TypingNoticeBody(const CZELString& recipient)
{
    BodyWriter body;
    body.U32(Message1251 | MessageTyping).Lps(recipient, Encoding::Utf8).Lps(OneSpace, 1).U32(0);
    return body.Take();
}

Bytes WakeUpBody(const CZELString& recipient)
{
    BodyWriter body;
    body.U32(MessageWakeUp | MessageRtf).Lps(recipient, Encoding::Utf8).Lps(OneSpace, 1);
    body.Lps(WakeUpRtf, sizeof WakeUpRtf);
    return body.Take();
}

Bytes AuthBlock(const CZELString& first, const CZELString& text)
{
    BodyWriter block;
    block.U32(2).Lps(first, Encoding::Utf16LE).Lps(text, Encoding::Utf16LE);
    return block.Take();
}

Bytes AuthRequestBody(const CZELString& recipient, const CZELString& reason)
{
    BodyWriter body;
    body.U32(MessageNoReceipt | MessageAuthorize).Lps(recipient, Encoding::Utf8);
    body.Lps(ToBase64(AuthBlock(recipient, reason)));
    return body.Take();
}

Bytes MessageReceivedBody(const CZELString& sender, unsigned messageId)
{
    BodyWriter body;
    body.Lps(sender, Encoding::Utf8).U32(messageId);
    return body.Take();
}

Bytes AuthorizeBody(const CZELString& address)
{
    BodyWriter body;
    body.Lps(address, Encoding::Utf8);
    return body.Take();
}

Bytes AddGroupBody(unsigned groupCount, const CZELString& name)
{
    BodyWriter body;
    body.U32(0x00000002u | (groupCount << 24)).U32(0).U32(0);
    body.Lps(name, Encoding::Utf16LE).U32(0).U32(0).U32(0);
    return body.Take();
}

Bytes AddContactBody(unsigned groupIndex, const CZELString& email, const CZELString& nickname,
                     const CZELString& authMessage)
{
    BodyWriter body;
    body.U32(0).U32(groupIndex).Lps(email, Encoding::Utf8).Lps(nickname, Encoding::Utf16LE).U32(0);
    body.Lps(ToBase64(AuthBlock(CZELString(), authMessage))).U32(0);
    return body.Take();
}

Bytes ModifyGroupBody(unsigned index, unsigned flags, const CZELString& name)
{
    BodyWriter body;
    body.U32(index).U32(flags).U32(0).U32(0).Lps(name, Encoding::Utf16LE).U32(0);
    return body.Take();
}

Bytes ModifyContactBody(unsigned serverId, unsigned flags, unsigned group, const CZELString& email,
                        const CZELString& nickname, const CZELString& phone)
{
    BodyWriter body;
    body.U32(serverId).U32(flags).U32(group).Lps(email, Encoding::Utf8).Lps(nickname, Encoding::Utf16LE);
    body.Lps(phone, Encoding::Utf8);
    return body.Take();
}

Bytes AddressSearchBody(const CZELString& email)
{
    CZELString user, domain;
    if (!SplitAddress(email, user, domain)) return Bytes();
    BodyWriter body;
    body.U32(KeyUser).Lps(user, Encoding::Utf8).U32(KeyDomain).Lps(domain, Encoding::Utf8);
    return body.Take();
}

void NormaliseAges(SearchFields& fields)
{
    if (fields.ageFrom > 0 && fields.ageTo == 0) fields.ageTo = 120;
    if (fields.ageTo > 0 && fields.ageFrom == 0) fields.ageFrom = 1;
}

Bytes FieldSearchBody(const SearchFields& fields)
{
    BodyWriter body;
    if (!fields.nickname.IsEmpty()) body.U32(KeyNickname).Lps(fields.nickname, Encoding::Utf16LE);
    if (!fields.firstName.IsEmpty()) body.U32(KeyFirstName).Lps(fields.firstName, Encoding::Utf16LE);
    if (!fields.lastName.IsEmpty()) body.U32(KeyLastName).Lps(fields.lastName, Encoding::Utf16LE);
    if (fields.gender != 0) body.U32(KeyGender).Lps(Decimal(fields.gender), Encoding::Utf16LE);
    if (fields.ageFrom > 0 && fields.ageTo > 0) {
        body.U32(KeyAgeFrom).Lps(Decimal(fields.ageFrom), Encoding::Utf8);
        body.U32(KeyAgeTo).Lps(Decimal(fields.ageTo), Encoding::Utf8);
    }
    if (fields.countryId != 0) body.U32(KeyCountry).Lps(Decimal(fields.countryId), Encoding::Utf8);
    if (fields.regionId != 0) body.U32(KeyRegion).Lps(Decimal(fields.regionId), Encoding::Utf8);
    if (fields.onlineOnly > 0) body.U32(KeyOnline).Lps(Decimal(fields.onlineOnly), Encoding::Utf16LE);
    return body.Take();
}

} // namespace Mrim
