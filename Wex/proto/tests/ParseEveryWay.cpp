// The one entry point through which hostile bytes reach every parser of the codec.
#include "WexTestSupport.h"

#include "Wex/proto/CapabilityTable.h"
#include "Wex/proto/FlapFramer.h"
#include "Wex/proto/IncomingMessage.h"
#include "Wex/proto/ListReplies.h"
#include "Wex/proto/MessageCommands.h"
#include "Wex/proto/MessageText.h"
#include "Wex/proto/MetaReplies.h"
#include "Wex/proto/ServiceReplies.h"
#include "Wex/proto/SignOnReplies.h"
#include "Wex/proto/UserInfo.h"
#include "Wex/proto/XStatusReply.h"
#include "Wex/proto/XStatusTable.h"

namespace WexTest {

namespace {

// Keeps results alive so that the reads are not optimised away.
volatile size_t sink;

void ParseFrame(const unsigned char* frame, size_t size)
{
    using namespace Wex;
    size_t seen = 0;
    SnacPacket snac;
    seen += size_t(UnpackSnac(frame, size, snac));
    TlvChain chain;
    seen += chain.Parse(frame, size);

    ServerHello hello;
    seen += size_t(hello.Unpack(frame, size));
    CloseFrame close;
    seen += size_t(close.Unpack(frame, size)) + close.ErrorCode() + close.Reason() + size_t(close.CloseTextId());
    AuthKeyReply key;
    seen += size_t(key.Unpack(frame, size)) + key.key.size();
    LoginReply login;
    seen += size_t(login.Unpack(frame, size)) + size_t(login.port) + size_t(login.ErrorTextId());

    ServerFamiliesReply families;
    seen += size_t(families.Unpack(frame, size));
    FamilyVersionsReply versions;
    seen += size_t(versions.Unpack(frame, size));
    RateInfoReply rates;
    seen += size_t(rates.Unpack(frame, size)) + rates.GroupClassIds().size();

    unsigned short status = 0;
    SelfInfoReply self;
    seen += size_t(self.Unpack(frame, size)) + self.TryGetStatus(status);
    UserOnlineInfo user;
    seen += size_t(user.Unpack(frame, size)) + user.GetStatus() + user.TryGetStatus(status);
    // What a contact's icons read of the user information.
    static const CapabilityTable capabilities;
    seen += size_t(FindXStatus(user.items)) + ParseCapabilities(capabilities, user.items).size() +
            size_t(DetectClient(capabilities, user.items));

    IncomingMessage message;
    seen += size_t(message.Unpack(frame, size));
    seen += message.IsXStatusQuery() + size_t(message.GetText().GetLength()) + message.GetTime() + message.HasTlv6();
    for (unsigned short channel : {1, 2, 4})
        seen += size_t(DecodeMessageText(channel, message.messageTlvs, message.sender).GetLength());
    TypingNotice typing;
    seen += size_t(typing.Unpack(frame, size)) + size_t(typing.uin.GetLength());
    XStatusReply xstatus;
    seen += size_t(xstatus.Unpack(frame, size)) + size_t(xstatus.title.GetLength());

    ListRoster roster;
    seen += size_t(roster.Unpack(frame, size)) + roster.items.size();
    ListAck ack;
    seen += size_t(ack.Unpack(frame, size));
    AuthRequestNotice request;
    seen += size_t(request.Unpack(frame, size));
    AuthReplyNotice reply;
    seen += size_t(reply.Unpack(frame, size));

    MetaInfoReply info;
    seen += size_t(info.Unpack(frame, size));
    MetaBasicInfoReply basic;
    seen += size_t(basic.Unpack(frame, size)) + size_t(basic.homeZip.GetLength());
    MetaWorkInfoReply work;
    seen += size_t(work.Unpack(frame, size)) + size_t(work.zip.GetLength());
    MetaMoreInfoReply more;
    seen += size_t(more.Unpack(frame, size));
    MetaAboutReply about;
    seen += size_t(about.Unpack(frame, size)) + size_t(about.about.GetLength());
    MetaInterestsReply interests;
    seen += size_t(interests.Unpack(frame, size)) + size_t(interests.Entries());
    OfflineMessage offline;
    seen += size_t(offline.Unpack(frame, size)) + size_t(offline.text.GetLength());
    SearchReply search;
    seen += size_t(search.Unpack(frame, size)) + size_t(search.record.nick.GetLength());
    sink = seen;
}

} // namespace

void ParseEveryWay(const unsigned char* bytes, size_t size)
{
    ParseFrame(bytes, size);
    Wex::FlapFramer framer;
    while (size > 0) {
        size_t used = framer.Feed(bytes, size);
        bytes += used;
        size -= used;
        if (framer.IsBroken()) break;
        if (framer.HasFrame()) ParseFrame(framer.Frame(), framer.FrameSize());
    }
}

} // namespace WexTest
