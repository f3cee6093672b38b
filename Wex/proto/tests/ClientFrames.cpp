// The client's side of one whole sign-on: every command of the codec, in the order a client sends
// them.
#include "WexTestSupport.h"

#include "Wex/proto/ListCommands.h"
#include "Wex/proto/LocationCommands.h"
#include "Wex/proto/ServiceCommands.h"
#include "Wex/proto/SignOnCommands.h"

#include "ZELCommon/ZELString.h"

namespace WexTest {

SignOnFrames ClientSignOn()
{
    using namespace Wex;
    CZELString uin(L"100200300"), contact(L"200300400");
    Md5Digest password{};
    for (size_t i = 0; i < password.size(); ++i) password[i] = (unsigned char)i;

    SignOnFrames frames;

    unsigned short s = 0x0100;
    frames.login = {
        LoginHello(++s),
        AuthKeyRequest(++s, 0, uin),
        Md5LoginRequest(++s, 0, uin, Wire().Text(SignOnAuthKey), password),
    };

    ListItem item;
    item.name = contact;
    item.groupId = 1;
    item.itemId = 0x10;
    item.attributes.Add(Tlv(0x0131, (unsigned short)3, reinterpret_cast<const unsigned char*>("Bob")));
    s = 0x0200;
    frames.main = {
        CookieHello(++s, SignOnCookie()),
        FamilyVersionsRequest(++s, ClientFamilies),
        RateInfoRequest(++s),
        RateClassesAck(++s, {1, 2, 3, 4, 5}),
        SelfInfoRequest(++s),
        ListRightsRequest(++s),
        ListRequest(++s),
        LocationRightsRequest(++s),
        BuddyRightsRequest(++s),
        IcbmParamsRequest(++s),
        PrivacyRightsRequest(++s),
        SetLocationInfo(++s),
        SetIcbmParams(++s, IcbmParams()),
        SetStatusRequest(++s, 0x1234, 0x1000, 0x0000),
        ClientReady(++s),
        ListActivate(++s),
        IdleTimeReport(++s, 0x2345),
        OfflineMessagesRequest(++s, 0x3456),
        SetLocationInfo(++s, true, {caXtraz}),
        UserInfoQuery(++s, contact),
        ListEditBegin(++s, 0x11),
        ListAddItem(++s, 0x12, item),
        ListUpdateItem(++s, 0x13, item),
        ListDeleteItem(++s, 0x14, item),
        ListEditEnd(++s, 0x15),
        AuthRequest(++s, 0x16, contact, CZELString(L"Please authorize my request.")),
        AuthReply(++s, 0x17, contact, true),
        KeepAliveFrame(++s),
    };
    return frames;
}

} // namespace WexTest
