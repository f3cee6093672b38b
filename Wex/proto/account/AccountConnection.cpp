// The account's connection: status requests, connecting and disconnecting, and the receive loop
// that cuts the bytes the connection service hands over into frames.
#include "Wex/proto/account/WexAccount.h"

#include "Wex/proto/FlapSequence.h"
#include "Wex/proto/ServiceCommands.h"
#include "Wex/proto/account/StatusMapping.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/net/ConnectionManagerApi.h"
#include "ZELCommon/ZELRand.h"

#include <vector>

namespace {

enum { StatusChangeFlags = 0x1000 };

}  // namespace

IConnectionManager* WexAccount::ConnectionService()
{
    return services ? static_cast<IConnectionManager*>(services->GetService(GUID_CONNECTION_MANAGER)) : nullptr;
}

int WexAccount::SetStatus(int status)
{
    StopReconnect();
    if (status == AccountStatus::Offline) {
        if (RequestedStatus != AccountStatus::Offline) Disconnect();
    } else if (status != AccountStatus::Connecting) {
        Connect(status);
    }
    return 0;
}

int WexAccount::Connect(int status)
{
    if (status == AccountStatus::Offline) return -2;
    if (CurrentStatus() != AccountStatus::Offline) {
        ChangeOnlineStatus(status);
        return 0;
    }
    framer.Reset();
    SignedOn = false;
    LoginReply.host = CZELString();
    IConnectionManager* service = ConnectionService();
    if (!service) return -3;
    DropConnection();
    const int result = OpenConnection(values.GetServerName(), values.GetServerPort());
    if (result != 0) return result;
    this->status = AccountStatus::Connecting;
    RestoreStatus = RequestedStatus = status;
    NotifyStatus(AccountStatus::Connecting);
    return 0;
}

int WexAccount::OpenConnection(const CZELString& host, int port)
{
    IConnectionManager* service = ConnectionService();
    if (!service) return -3;
    Connection = service->CreateConnection(OwnQueue());
    if (!Connection) return -4;
    ConnectionSettings settings = service->GetSettings();
    settings.host = host;
    settings.port = port;
    const int result = StartConnect(service, Connection, settings);
    // A connection that never started reports nothing: it goes at once.
    if (result != 0) DropConnection();
    return result;
}

void WexAccount::DropConnection()
{
    framer.Reset();
    if (!Connection) return;
    ForgetConnection(Connection);
    if (IConnectionManager* service = ConnectionService()) {
        if (service->IsValidConnection(Connection)) {
            service->Close(Connection);
            service->DestroyConnection(Connection);
        }
    }
    Connection = nullptr;
}

void WexAccount::ChangeOnlineStatus(int status)
{
    RestoreStatus = RequestedStatus = status;
    const int current = CurrentStatus();
    if (status == current) return;
    const bool wasExtended = WexStatus::IsExtendedStatus(current);
    const bool isExtended = WexStatus::IsExtendedStatus(status);
    SendPacket(Wex::SetStatusRequest(NextFlapSequence(), CZELRand::Rand(), StatusChangeFlags,
                                     WexStatus::StatusToFlags(WexStatus::NetworkStatus(status))));
    // The extended statuses travel as capabilities: re-announce them whenever one is entered or left.
    if (wasExtended || isExtended) SetXStatus(XStatusIndex);
}

int WexAccount::Disconnect()
{
    RequestedStatus = AccountStatus::Offline;
    DropConnection();
    if (CurrentStatus() == AccountStatus::Offline) return 0;
    status = AccountStatus::Offline;
    StopKeepAlive();
    NotifyStatus(AccountStatus::Offline);
    return 0;
}

int WexAccount::OnConnectResult(CConnection*, int result)
{
    if (result == 0) return 0;  // the sign-on starts with the server's hello
    Disconnect();
    if (result != -3) StartReconnect();
    return 0;
}

int WexAccount::OnDisconnected(CConnection*, int)
{
    if (!LoginReply.host.IsEmpty()) {
        // The login server has let the account go: on to the server it named, with the cookie.
        DropConnection();
        if (OpenConnection(LoginReply.host, LoginReply.port) != 0) Disconnect();
        return 0;
    }
    if (RequestedStatus != AccountStatus::Offline) {
        Disconnect();
        StartReconnect();
    }
    return 0;
}

int WexAccount::OnDataReceived(CConnection*, int length)
{
    IConnectionManager* service = ConnectionService();
    if (!service) return -1;
    if (CurrentStatus() == AccountStatus::Offline || length <= 0 || !Connection) return 0;
    std::vector<unsigned char> chunk(static_cast<size_t>(length));
    const int received = service->Receive(Connection, chunk.data(), length, 0);
    if (received < 1) return -2;
    CConnection* const current = Connection;
    size_t offset = 0;
    while (offset < size_t(received)) {
        const size_t used = framer.Feed(chunk.data() + offset, size_t(received) - offset);
        offset += used;
        if (framer.IsBroken()) {
            Disconnect();
            break;
        }
        if (framer.HasFrame()) {
            HandleFrame(framer.Frame(), framer.FrameSize(), framer.Header());
            // A handler that ended or replaced the connection leaves the rest unread.
            if (Connection != current) break;
        } else if (used == 0) {
            break;
        }
    }
    return 0;
}

void WexAccount::SendPacket(const Wex::Bytes& frame)
{
    IConnectionManager* service = ConnectionService();
    if (!service || !Connection || frame.empty()) return;
    service->Send(Connection, frame.data(), int(frame.size()), 0);
}

unsigned short WexAccount::NextFlapSequence()
{
    FlapSequence = Wex::NextFlapSequence(FlapSequence);
    return FlapSequence;
}
