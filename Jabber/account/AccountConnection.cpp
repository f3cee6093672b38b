// JabberAccount: going on line and off line through the connection service, sending, receiving and
// reconnecting.
#include "Jabber/account/JabberAccount.h"

#include "Jabber/account/Timings.h"
#include "Jabber/xml/XmlSerializer.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/net/ConnectionManagerApi.h"

#include <windows.h>

#include <new>

namespace {

// The connection service hands data over in chunks of at most this.
const int ChunkBytes = 1024;

}  // namespace

IConnectionManager* JabberAccount::ConnectionService() const
{
    return services ? static_cast<IConnectionManager*>(services->GetService(GUID_CONNECTION_MANAGER)) : nullptr;
}

int JabberAccount::Connect(int requested)
{
    if (requested == AccountStatus::Offline) return -2;
    if (status == AccountStatus::Connecting) {
        reconnectStatus = targetStatus = requested;
        return 0;
    }
    if (status != AccountStatus::Offline) {
        targetStatus = requested;
        status = requested;
        Announce(targetStatus);
        ApplyStatus(requested);
        return 0;
    }

    IConnectionManager* service = ConnectionService();
    if (!service) return -3;
    DropConnection();
    ++generation;
    ResetStream();
    pending.Clear();
    ForgetDiscoQueries();
    connection = service->CreateConnection(OwnQueue());
    if (!connection) return -4;

    ConnectionSettings target = service->GetSettings();
    target.host = settings.GetManualServer();
    target.port = settings.GetManualPort();
    target.secureMode = settings.GetUseSsl() ? SECURE_SSL : SECURE_NONE;
    const int started = StartConnect(service, connection, target);
    // The connection object stays until the next attempt or Disconnect destroys it.
    if (started != 0) return started;
    service->CheckConnection(connection, 1);

    // Clears out requests nobody answers; stopped with the connection.
    iqWorker.Start(Timings().iqSweepMs, true, [this] {
        RunOnQueue([this] { pending.Expire(GetTickCount64()); });
    });
    status = AccountStatus::Connecting;
    reconnectStatus = targetStatus = requested;
    Announce(AccountStatus::Connecting);
    return 0;
}

void JabberAccount::DropConnection()
{
    if (!connection) return;
    ForgetConnection(connection);
    IConnectionManager* service = ConnectionService();
    if (service && service->IsValidConnection(connection)) {
        service->Close(connection);
        service->DestroyConnection(connection);
    }
    connection = nullptr;
}

void JabberAccount::ResetStream()
{
    // Frees both zlib streams as well.
    input.Reset();
    compressionOn = compressionAsked = compressionRefused = false;
    streamRestart = restartCompressed = false;
    legacyAuthStarted = sessionRequired = false;
    sasl.reset();
    lastFeatures.reset();
    ownFullJid.clear();
    rosterMerged = false;
}

int JabberAccount::Disconnect()
{
    targetStatus = AccountStatus::Offline;
    ++generation;
    iqWorker.Stop();
    negotiationLimit.Stop();
    DropConnection();
    ResetStream();
    pending.Clear();
    ForgetDiscoQueries();
    if (status == AccountStatus::Offline) return 0;
    status = AccountStatus::Offline;
    MarkContactsOffline();
    Notify(ProtocolGuid(), ACC_TIMER_STOP, new (std::nothrow) CCallbackPayload(KeepAliveTick, OwnQueue()));
    Announce(AccountStatus::Offline);
    return 0;
}

void JabberAccount::LoseConnection()
{
    const bool wanted = targetStatus != AccountStatus::Offline;
    Disconnect();
    if (wanted) StartReconnect();
}

void JabberAccount::StartReconnect()
{
    if (reconnectStatus < AccountStatus::Online || !settings.GetKeepAlive()) return;
    const unsigned token = ++reconnectToken;
    // The status is set on the queue's thread, and only if nothing the user chose came first.
    reconnectThread.Start(Timings().reconnectDelayMs, false, [this, token] {
        RunOnQueue([this, token] {
            if (token == reconnectToken) SetStatus(reconnectStatus);
        });
    });
}

void JabberAccount::StopReconnect()
{
    ++reconnectToken;
    reconnectThread.Stop();
}

int JabberAccount::OnConnectResult(CConnection* about, int result)
{
    if (!about || about != connection) return 0;
    if (result != 0) {
        Disconnect();
        if (result != -3) StartReconnect();
        return 0;
    }
    if (IConnectionManager* service = ConnectionService()) service->CheckConnection(connection, 1);
    const unsigned attempt = generation;
    negotiationLimit.Start(Timings().negotiationLimitMs, false, [this, attempt] {
        RunOnQueue([this, attempt] {
            if (attempt == generation && status == AccountStatus::Connecting) OnNegotiationStalled();
        });
    });
    OpenStream();
    return 0;
}

int JabberAccount::OnDisconnected(CConnection* about, int)
{
    if (!about || about != connection) return 0;
    if (targetStatus != AccountStatus::Offline) LoseConnection();
    return 0;
}

int JabberAccount::OnDataReceived(CConnection* about, int)
{
    if (!about || about != connection) return 0;
    IConnectionManager* service = ConnectionService();
    if (!service) return 0;
    const unsigned current = generation;
    // Everything queued now, each chunk parsed (and inflated) to its last event before the next is
    // read, so nothing waits inside the inflater for a later notice.
    char chunk[ChunkBytes];
    for (;;) {
        const int got = service->Receive(connection, chunk, sizeof chunk, 0);
        if (got <= 0) break;
        input.Put(chunk, size_t(got));
        if (!ProcessInput(current)) break;
    }
    return 0;
}

bool JabberAccount::ProcessInput(unsigned current)
{
    for (;;) {
        XmlEvent event = input.Next();
        switch (event.kind) {
        case XmlEvent::NeedMore: return true;
        case XmlEvent::StreamOpened: OnStreamHeader(*event.element); break;
        case XmlEvent::Stanza: DispatchTopLevel(std::move(event.element)); break;
        case XmlEvent::StreamClosed:
            // The server ended its stream: ours ends too.
            SendText("</stream:stream>");
            LoseConnection();
            return false;
        case XmlEvent::Failed: OnInputFailed(); return false;
        }
        if (current != generation) return false;
        if (streamRestart) {
            streamRestart = false;
            input.Restart(restartCompressed);
            restartCompressed = false;
            OpenStream();
            if (current != generation) return false;
        }
    }
}

void JabberAccount::OnInputFailed()
{
    std::string reason;
    if (input.IsCorrupt()) {
        reason = "undefined-condition: corrupt compressed stream\n";
    } else {
        switch (input.ParserError()) {
        case XmlStreamParser::StanzaTooLarge: reason = "policy-violation: stanza too large\n"; break;
        case XmlStreamParser::ForbiddenMarkup: reason = "restricted-xml: forbidden markup\n"; break;
        default: reason = "not-well-formed: malformed XML\n"; break;
        }
    }
    Warn(reason);
    SendText("</stream:stream>");
    LoseConnection();
}

bool JabberAccount::SendElement(const XmlElement& element)
{
    return SendText(Serialize(element));
}

bool JabberAccount::SendText(const std::string& text)
{
    if (!connection || failedSendGeneration == generation) return false;
    IConnectionManager* service = ConnectionService();
    if (!service) return false;
    std::string packed;
    const std::string* bytes = &text;
    if (compressionOn) {
        if (!compression.Compress(text.data(), text.size(), packed)) {
            FailSend();
            return false;
        }
        bytes = &packed;
    }
    if (service->Send(connection, bytes->data(), int(bytes->size()), 0) != int(bytes->size())) {
        FailSend();
        return false;
    }
    return true;
}

void JabberAccount::FailSend()
{
    // What was sent is cut short: the server's inflater (or parser) is lost for the rest of this
    // stream. The connection ends once the handler that sent has returned.
    failedSendGeneration = generation;
    const unsigned failed = generation;
    RunOnQueue([this, failed] {
        if (failed == generation) LoseConnection();
    });
}
