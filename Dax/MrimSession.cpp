// The session: the redirector, the login, pings, status changes, the server's session notices,
// going offline and coming back after a loss.
#include "Dax/MrimAccount.h"

#include "Dax/DaxGuids.h"
#include "Dax/DaxShared.h"
#include "Dax/proto/BuiltinTexts.h"
#include "Dax/proto/MrimCommands.h"
#include "Dax/proto/MrimReplies.h"
#include "Dax/proto/MrimStatus.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/net/ConnectionManagerApi.h"
#include "ZELCommon/NarrowBytes.h"
#include "ZELCommon/ZELEvent.h"
#include "ZELCommon/ZELSystemInfo.h"
#include "ZELCommon/ZELThread.h"
#include "ZELCommon/ZELTime.h"

#include <cstdio>
#include <new>

namespace {

// A redirector answer longer than this holds no "host:port" line.
const size_t MaxRedirectorAnswer = 512;

// How long a stopped reconnection thread may take to end before it is ended by force.
const unsigned ThreadStopWaitMs = 5000;

struct ReconnectContext {
    Services::CServicesManager* services;
    int queue;
    int status;
    unsigned delay;
    CZELEvent* stop;
};

CZELString UrlEncode(const CZELString& text)
{
    CZELString out;
    for (unsigned char c : NarrowBytes(text, 65001)) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            wchar_t one[2] = {wchar_t(c), 0};
            out += one;
        } else {
            wchar_t escaped[4];
            swprintf(escaped, 4, L"%%%02X", c);
            out += escaped;
        }
    }
    return out;
}

// "host:port" up to the line end: false when either part is missing or the port is not a port.
bool SplitHostPort(const std::string& answer, CZELString& host, unsigned& port)
{
    std::string line = answer.substr(0, answer.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= line.size() || colon + 6 < line.size()) return false;
    unsigned value = 0;
    for (size_t i = colon + 1; i < line.size(); ++i) {
        if (line[i] < '0' || line[i] > '9') return false;
        value = value * 10 + unsigned(line[i] - '0');
    }
    if (value == 0 || value > 65535) return false;
    host = CZELString(line.data(), int(colon), 0);
    port = value;
    return !host.IsEmpty();
}

} // namespace

unsigned DaxShared::DaxPingTimerCallback(intptr_t context)
{
    unsigned next = 0;
    Registry().With(unsigned(context), [&next](MrimAccount* account) { next = account->PingTick(); });
    return next;
}

int MrimAccount::SetStatus(int newStatus)
{
    StopReconnectThread();
    if (newStatus == 0) {
        if (wantedStatus != 0 || status != 0) GoOffline();
        return 0;
    }
    if (newStatus == 1) return 0;
    ConnectOrChangeStatus(newStatus);
    return 0;
}

int MrimAccount::ConnectOrChangeStatus(int newStatus)
{
    if (newStatus == 0) return -2;
    if (status == 1) {
        // Still connecting: the status is sent once the login is accepted.
        savedStatus = wantedStatus = newStatus;
        return 0;
    }
    if (status != 0) {
        savedStatus = wantedStatus = newStatus;
        status = newStatus;
        SendPacket(Mrim::CmdChangeStatus, Mrim::StatusChangeBody(newStatus));
        PostStatus(newStatus);
        return 0;
    }
    IConnectionManager* service = Connections();
    if (!service) return -3;
    LoadSettings();
    DropConnection();
    connection = service->CreateConnection(OwnQueue());
    if (!connection) return -4;
    ConnectionSettings target = service->GetSettings();
    target.host = settings.serverHost;
    target.port = int(settings.port);
    target.secureMode = SECURE_NONE;
    int result = StartConnect(service, connection, target);
    if (result != 0) {
        DropConnection();
        return result;
    }
    redirectorPhase = true;
    redirectorAnswer.clear();
    status = 1;
    savedStatus = wantedStatus = newStatus;
    PostStatus(1);
    return 0;
}

int MrimAccount::OnConnectResult(CConnection* from, int result)
{
    if (from != connection) return 0;
    if (result != 0) {
        GoOffline();
        if (result != -3) StartReconnectThread();
        return 0;
    }
    if (!redirectorPhase) SendPacket(Mrim::CmdHello, Mrim::Bytes());
    return 0;
}

int MrimAccount::OnDisconnected(CConnection* from, int)
{
    if (from != connection) return 0;
    if (redirectorPhase) {
        // The redirector closes after its line; closing before any answer is a failed connect.
        if (!redirectorAnswer.empty()) FinishRedirect();
        else LoseSession();
        return 0;
    }
    if (wantedStatus != 0) LoseSession();
    return 0;
}

void MrimAccount::OnRedirectorData(const unsigned char* bytes, size_t length)
{
    redirectorAnswer.append(reinterpret_cast<const char*>(bytes), length);
    if (redirectorAnswer.find('\n') != std::string::npos || redirectorAnswer.size() > MaxRedirectorAnswer)
        FinishRedirect();
}

void MrimAccount::FinishRedirect()
{
    CZELString host;
    unsigned port = 0;
    bool good = SplitHostPort(redirectorAnswer, host, port);
    redirectorAnswer.clear();
    DropConnection();
    if (!good) {
        LoseSession();
        return;
    }
    sessionHost = host;
    sessionPort = port;
    PostToSelf(GUID_DAX_PROTOCOL, ACC_REDIRECTED);
}

void MrimAccount::ConnectToSession()
{
    // Only the answer of the redirector this connect asked: not after going offline meanwhile.
    if (status != 1 || !redirectorPhase || connection) return;
    IConnectionManager* service = Connections();
    if (!service) {
        GoOffline();
        return;
    }
    redirectorPhase = false;
    reader.Reset();
    connection = service->CreateConnection(OwnQueue());
    if (!connection) {
        GoOffline();
        return;
    }
    ConnectionSettings target = service->GetSettings();
    target.host = sessionHost;
    target.port = int(sessionPort);
    target.secureMode = SECURE_NONE;
    if (StartConnect(service, connection, target) != 0) GoOffline();
}

void MrimAccount::DropConnection()
{
    if (!connection) return;
    ForgetConnection(connection);
    IConnectionManager* service = Connections();
    if (service && service->IsValidConnection(connection)) {
        service->Close(connection);
        service->DestroyConnection(connection);
    }
    connection = nullptr;
}

void MrimAccount::GoOffline()
{
    wantedStatus = 0;
    reader.Reset();
    redirectorAnswer.clear();
    redirectorPhase = false;
    ++generation;
    DropConnection();
    if (status == 0) return;
    status = 0;
    unreadMail = 0;  // the mailbox count is the session's: the next login's user info brings its own
    StopPingTimer();
    Notify(GUID_DAX_PROTOCOL, ACC_ICON_REMOVE, NewValue(1));
    PostStatus(0);
    contactList.SetAllContactsOffline();
}

void MrimAccount::LoseSession()
{
    GoOffline();
    StartReconnectThread();
}

void MrimAccount::SendLogin()
{
    loginStatus = wantedStatus;
    Mrim::Bytes clientId = Mrim::BuildClientId(CZELSystemInfo::ZELVersion(), CZELSystemInfo::OSName());
    SendPacket(Mrim::CmdLogin, Mrim::LoginBody(settings.accountName, settings.password, wantedStatus, clientId));
}

void MrimAccount::OnHelloAck(const Mrim::Packet& packet)
{
    // Only the answer to this connection's hello leads to a login.
    if (status != 1) return;
    unsigned interval = 0;
    if (Mrim::ReadLeadingU32(packet.body, packet.length, interval)) {
        pingInterval = interval;
        if (interval) StartPingTimer();
    }
    SendLogin();
}

void MrimAccount::OnLoginAck()
{
    if (status != 1 || wantedStatus < 2) return;
    status = wantedStatus;
    PostStatus(wantedStatus);
    // A status chosen while connecting was only recorded.
    if (wantedStatus != loginStatus) SendPacket(Mrim::CmdChangeStatus, Mrim::StatusChangeBody(wantedStatus));
}

void MrimAccount::OnLoginRejected(const Mrim::Packet& packet)
{
    CZELString reason;
    if (Mrim::ParseLoginRejected(packet.body, packet.length, reason)) PostWarning(reason);
    GoOffline();
}

void MrimAccount::OnLogout(const Mrim::Packet& packet)
{
    unsigned reason = 0;
    if (Mrim::ReadLeadingU32(packet.body, packet.length, reason) && (reason & 0x10))
        PostWarning(DaxShared::Text(Mrim::TextUsedElsewhere));
    GoOffline();
}

void MrimAccount::OnConnectionParams(const Mrim::Packet& packet)
{
    unsigned interval = 0;
    if (!Mrim::ReadLeadingU32(packet.body, packet.length, interval)) return;
    pingInterval = interval;
    if (!interval) return;
    StopPingTimer();
    StartPingTimer();
}

void MrimAccount::StartPingTimer()
{
    CZELTime due(CZELTime().GetUnixTime() + pingInterval);
    Notify(GUID_DAX_PROTOCOL, ACC_TIMER_START,
           new (std::nothrow) CTimerPayload(due, DaxShared::DaxPingTimerCallback, intptr_t(OwnQueue())));
}

void MrimAccount::StopPingTimer()
{
    Notify(GUID_DAX_PROTOCOL, ACC_TIMER_STOP,
           new (std::nothrow) CCallbackPayload(DaxShared::DaxPingTimerCallback, intptr_t(OwnQueue())));
}

void MrimAccount::OnUserInfo(const Mrim::Packet& packet)
{
    userInfo.clear();
    for (const auto& pair : Mrim::ParseUserInfo(packet.body, packet.length))
        userInfo[AddressKey(pair.first)] = pair.second;
    auto unread = userInfo.find(L"messages.unread");
    if (unread != userInfo.end() && unread->second.Uint(false) != 0) {
        if (settings.emailNotify)
            RequestWebSession(1, DaxShared::Text(Mrim::TextAccountPrefix) + settings.accountName + L"\r\n" +
                                     DaxShared::Text(Mrim::TextInMailbox) + unread->second +
                                     DaxShared::Text(Mrim::TextUnreadMessages));
        unreadMail = unread->second.Uint(false);
    }
    if (!settings.hideEmailBtn) PostIcon(ACC_ICON_ADD, 1, unreadMail ? 30 : 29);
}

void MrimAccount::OnMailboxStatus(const Mrim::Packet& packet)
{
    unsigned count = 0;
    if (!Mrim::ReadLeadingU32(packet.body, packet.length, count)) return;
    const unsigned old = unreadMail;
    unreadMail = count;
    if (settings.hideEmailBtn || (old == 0) == (count == 0)) return;
    PostIcon(ACC_ICON_SET, 1, count ? 30 : 29);
}

void MrimAccount::OnNewMail(const Mrim::Packet& packet)
{
    Mrim::NewMail mail;
    if (packet.length > 8 && settings.emailNotify && Mrim::ParseNewMail(packet.body, packet.length, mail))
        RequestWebSession(1, DaxShared::Text(Mrim::TextAccountPrefix) + settings.accountName + L"\r\n" +
                                 DaxShared::Text(Mrim::TextMailReceived) + mail.sender + L"\r\n" +
                                 DaxShared::Text(Mrim::TextSubject) + mail.subject);
    if (unreadMail == 0 && !settings.hideEmailBtn) PostIcon(ACC_ICON_SET, 1, 30);
    ++unreadMail;
}

void MrimAccount::RequestWebSession(int kind, const CZELString& text)
{
    {
        CZELLock hold(viewLock);
        webSessionKey = CZELString();
    }
    SendPacket(Mrim::CmdWebSessionRequest, Mrim::Bytes());
    pendingWebAction = kind;
    pendingWebText = text;
}

CZELString MrimAccount::WebLink(const CZELString& page) const
{
    return settings.webAuthAddress + UrlEncode(settings.accountName) + L"&agent=" + UrlEncode(webSessionKey) +
           L"&page=" + page;
}

CZELString MrimAccount::WebLinkFor(const WindowView& view, const CZELString& page) const
{
    CZELString authAddress;
    {
        CZELLock hold(viewLock);
        authAddress = settings.webAuthAddress;
    }
    return authAddress + UrlEncode(view.accountName) + L"&agent=" + UrlEncode(view.webSessionKey) + L"&page=" + page;
}

void MrimAccount::OnWebSessionKey(const Mrim::Packet& packet)
{
    Mrim::WebSessionKey key;
    if (!Mrim::ParseWebSessionKey(packet.body, packet.length, key) || key.status != 1) return;
    {
        CZELLock hold(viewLock);
        webSessionKey = key.key;
    }
    switch (pendingWebAction) {
    case 0: Notify(GUID_DAX_PROTOCOL, ACC_OWN_DETAILS_CHANGED); break;
    case 1:
        Notify(GUID_DAX_PROTOCOL, ACC_MAIL_NOTICE,
               new (std::nothrow) CStringPairPayload(WebLink(settings.mailPageAddress), pendingWebText));
        break;
    case 2: Notify(GUID_DAX_PROTOCOL, ACC_OPEN_URL, NewStringPayload(WebLink(settings.mailPageAddress))); break;
    default: break;
    }
}

void MrimAccount::StartReconnectThread()
{
    StopReconnectThread();
    if (savedStatus < 2) return;
    stopEvent = new (std::nothrow) CZELEvent();
    ReconnectContext* context = new (std::nothrow)
        ReconnectContext{services, OwnQueue(), savedStatus, DaxShared::ReconnectDelayMs.load(), stopEvent};
    if (!stopEvent || !context) {
        delete context;
        delete stopEvent;
        stopEvent = nullptr;
        return;
    }
    reconnectThread = new (std::nothrow) CZELThread(CZELString(L"DAX ") + settings.accountName + L" reconnection",
                                                    &MrimAccount::ReconnectThreadProc, context);
    if (!reconnectThread) {
        delete context;
        delete stopEvent;
        stopEvent = nullptr;
        return;
    }
    reconnectThread->Resume();
}

unsigned long MrimAccount::ReconnectThreadProc(void* argument)
{
    ReconnectContext* context = static_cast<ReconnectContext*>(argument);
    if (!context->stop->Wait(context->delay))
        context->services->SendMessage(context->queue, GUID_PROTOCOLS_MANAGER, PM_SET_STATUS,
                                       NewValue(context->status), nullptr, false);
    delete context;
    return 0;
}

void MrimAccount::StopReconnectThread()
{
    if (!reconnectThread) return;
    stopEvent->Set();
    // Signalled, the thread ends at once. Ending it by force could leave a lock it holds (the bus's,
    // while it posts) taken for good, so that is kept for a thread that hangs past a long wait.
    if (!reconnectThread->WaitTermination(ThreadStopWaitMs)) reconnectThread->Terminate(1);
    delete reconnectThread;
    delete stopEvent;
    reconnectThread = nullptr;
    stopEvent = nullptr;
}
