// The frames of a sign-on and of the service family: what the account answers to each, from the
// servers' hellos to the end of the login, and the close frames that end a connection.
#include "Wex/proto/account/WexAccount.h"

#include "Wex/proto/ErrorTexts.h"
#include "Wex/proto/FlapSequence.h"
#include "Wex/proto/ListReplies.h"
#include "Wex/proto/LocationCommands.h"
#include "Wex/proto/ServiceCommands.h"
#include "Wex/proto/ServiceReplies.h"
#include "Wex/proto/SignOnCommands.h"
#include "Wex/proto/UserInfo.h"
#include "Wex/proto/account/BuiltInTexts.h"
#include "Wex/proto/account/PluginState.h"
#include "Wex/proto/account/StatusMapping.h"

#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/net/ConnectionManagerApi.h"
#include "ZELCommon/ZELRand.h"

namespace {

enum {
    LoginRateLimitReservation = 24,
    LoginRateLimit = 29,
};

bool IsRateLimit(unsigned short code)
{
    return code == LoginRateLimitReservation || code == LoginRateLimit;
}

// The text of an error text number; number 0 (an error the network does not define) has none.
CZELString ErrorText(int textId)
{
    return textId ? WexPlugin::Shared().Text(textId) : CZELString();
}

}  // namespace

void WexAccount::HandleFrame(const unsigned char* frame, size_t size, const Wex::FlapPacket& header)
{
    switch (header.channel) {
    case Wex::ChannelSignOn: HandleChannel1(frame, size); break;
    case Wex::ChannelSnac: DispatchSnac(frame, size); break;
    case Wex::ChannelSignOff: HandleChannel4(frame, size); break;
    default: break;  // keep-alives and anything else
    }
}

void WexAccount::DispatchSnac(const unsigned char* frame, size_t size)
{
    Wex::SnacPacket snac;
    if (!Wex::UnpackSnac(frame, size, snac)) return;
    switch (snac.family) {
    case Wex::FamilyService: HandleServiceFamily(snac.subtype, frame, size); break;
    case Wex::FamilyLocation: HandleLocationFamily(snac.subtype, frame, size); break;
    case Wex::FamilyBuddy: HandleBuddyFamily(snac.subtype, frame, size); break;
    case Wex::FamilyMessaging: HandleMessageFamily(snac.subtype, frame, size); break;
    case Wex::FamilyList: HandleListFamily(snac.subtype, frame, size); break;
    case Wex::FamilyMeta: HandleMetaFamily(snac.subtype, frame, size); break;
    case Wex::FamilyAuth: HandleAuthFamily(snac.subtype, frame, size); break;
    default: break;
    }
}

void WexAccount::HandleChannel1(const unsigned char* frame, size_t size)
{
    Wex::ServerHello hello;
    if (!hello.Unpack(frame, size)) return;
    FlapSequence = Wex::SeedFlapSequence(CZELRand::Rand());
    if (!LoginReply.host.IsEmpty()) {
        // The main server: the cookie of the login reply opens the session.
        LoginReply.host = CZELString();
        SendPacket(Wex::CookieHello(NextFlapSequence(), LoginReply.cookie));
        return;
    }
    SendPacket(Wex::LoginHello(NextFlapSequence()));
    SendPacket(Wex::AuthKeyRequest(NextFlapSequence(), 0, Settings.Uin));
}

void WexAccount::HandleChannel4(const unsigned char* frame, size_t size)
{
    Wex::CloseFrame close;
    if (!close.Unpack(frame, size)) return;
    if (const unsigned short code = close.ErrorCode()) {
        Disconnect();
        if (IsRateLimit(code)) StartReconnect();
        ReportWarning(ErrorText(close.ErrorTextId()));
    } else if (close.Reason()) {
        Disconnect();
        ReportWarning(ErrorText(close.CloseTextId()));
    }
}

void WexAccount::HandleAuthFamily(unsigned short subtype, const unsigned char* frame, size_t size)
{
    if (subtype == 0x07) {
        Wex::AuthKeyReply reply;
        if (reply.Unpack(frame, size))
            SendPacket(Wex::Md5LoginRequest(NextFlapSequence(), 0, Settings.Uin, reply.key, Settings.PasswordDigest));
        return;
    }
    if (subtype != 0x03) return;
    Wex::LoginReply reply;
    if (!reply.Unpack(frame, size)) return;
    LoginReply = reply;
    if (reply.errorCode != 0) {
        LoginReply.host = CZELString();
        ReportWarning(ErrorText(reply.ErrorTextId()));
        Disconnect();
        if (IsRateLimit(reply.errorCode)) StartReconnect();
        return;
    }
    // The login server closes its side too; its CM_DISCONNECTED takes the account to the main server.
    if (IConnectionManager* service = ConnectionService())
        if (Connection) service->Close(Connection);
}

void WexAccount::HandleServiceFamily(unsigned short subtype, const unsigned char* frame, size_t size)
{
    switch (subtype) {
    case 0x03: SendPacket(Wex::FamilyVersionsRequest(NextFlapSequence(), Wex::ClientFamilies)); break;
    case 0x18: SendPacket(Wex::RateInfoRequest(NextFlapSequence())); break;
    case 0x07: {
        Wex::RateInfoReply rates;
        // A reply that does not parse is not acknowledged; the set-up goes on.
        if (rates.Unpack(frame, size)) SendPacket(Wex::RateClassesAck(NextFlapSequence(), rates.GroupClassIds()));
        SendPacket(Wex::SelfInfoRequest(NextFlapSequence()));
        SendPacket(Wex::ListRightsRequest(NextFlapSequence()));
        RequestServerList();
        SendPacket(Wex::LocationRightsRequest(NextFlapSequence()));
        SendPacket(Wex::BuddyRightsRequest(NextFlapSequence()));
        SendPacket(Wex::IcbmParamsRequest(NextFlapSequence()));
        SendPacket(Wex::PrivacyRightsRequest(NextFlapSequence()));
        break;
    }
    case 0x0B:
        ReportWarning(WexPlugin::Shared().Text(WexTexts::ServerPause));
        Disconnect();
        StartReconnect();
        break;
    case 0x0F: HandleSelfInfo(frame, size); break;
    default: break;
    }
}

void WexAccount::HandleSelfInfo(const unsigned char* frame, size_t size)
{
    Wex::SelfInfoReply info;
    unsigned short flags = 0;
    if (!info.Unpack(frame, size) || !info.TryGetStatus(flags)) return;
    int reported = WexStatus::FlagsToStatus(flags);
    // The network knows fewer statuses than the account: what it reports stands for the one asked.
    if (reported == AccountStatus::Invisible && RequestedStatus == AccountStatus::InvisibleForAll)
        reported = AccountStatus::InvisibleForAll;
    if (reported == AccountStatus::Online && RequestedStatus >= AccountStatus::FreeForChat &&
        RequestedStatus <= AccountStatus::AtWork)
        reported = RequestedStatus;
    if (reported == AccountStatus::Away && RequestedStatus == AccountStatus::Lunch) reported = AccountStatus::Lunch;
    if (reported == CurrentStatus()) return;
    status = reported;
    if (values.GetAutoSwitchPrivacy() || reported == AccountStatus::Invisible ||
        reported == AccountStatus::InvisibleForAll) {
        const int mode = RequestedStatus == AccountStatus::InvisibleForAll ? 2
                         : RequestedStatus == AccountStatus::Invisible     ? 3
                                                                           : 4;
        SetPrivacyStatus(mode, false);
    }
    NotifyStatus(CurrentStatus());
    SignedOn = true;
}

void WexAccount::CompleteLogin()
{
    SetXStatus(XStatusIndex);
    SendPacket(Wex::SetIcbmParams(NextFlapSequence(), Wex::IcbmParams()));
    ChangeOnlineStatus(RequestedStatus);
    SendPacket(Wex::ClientReady(NextFlapSequence()));
    if (PrivacyMode == 0) PrivacyMode = 4;
    if (const Wex::ServerListItem* item = ServerList.FindPrivacySettingsItem()) {
        const Wex::Tlv* mode = item->Attributes.Find(Wex::TlvPrivacyMode);
        if (mode && mode->GetLength() >= 1) PrivacyMode = mode->GetValue()[0];
    }
    SetPrivacyStatus(PrivacyMode, true);
    SendPacket(Wex::ListActivate(NextFlapSequence()));
    SendPacket(Wex::IdleTimeReport(NextFlapSequence(), CZELRand::Rand()));
    SendPacket(Wex::OfflineMessagesRequest(NextFlapSequence(), CZELRand::Rand()));
    if (values.GetKeepAlive()) StartKeepAlive();
}
