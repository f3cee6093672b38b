#include "Dax/MrimAccount.h"

#include "Dax/DaxGuids.h"
#include "Dax/DaxShared.h"
#include "Dax/proto/MrimCommands.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/net/ConnectionManagerApi.h"

#include <new>

MrimAccount::MrimAccount(Services::CServicesManager* services, unsigned accountId, unsigned ownerQueue)
    : ServiceEventListener(services, accountId, ownerQueue), contactList(services, accountId)
{
}

MrimAccount::~MrimAccount()
{
    // No message may run while the members go.
    StopQueue();
    StopReconnectThread();
    DropConnection();
}

CZELString MrimAccount::GetListenerName()
{
    return CZELString(L"DAX");
}

IConnectionManager* MrimAccount::Connections() const
{
    return services ? static_cast<IConnectionManager*>(services->GetService(GUID_CONNECTION_MANAGER)) : nullptr;
}

IProtocolsManager* MrimAccount::Manager() const
{
    return services ? static_cast<IProtocolsManager*>(services->GetService(GUID_PROTOCOLS_MANAGER)) : nullptr;
}

IContactListData* MrimAccount::Data() const
{
    return services ? static_cast<IContactListData*>(services->GetService(GUID_CONTACT_LIST_DATA)) : nullptr;
}

int MrimAccount::Load()
{
    if (!loaded) DaxShared::AddLoadedAccount(services);
    loaded = true;
    LoadSettings();
    return 0;
}

int MrimAccount::Unload()
{
    GoOffline();
    StopReconnectThread();
    SaveSettings();
    if (loaded) DaxShared::RemoveLoadedAccount(services);
    loaded = false;
    return 0;
}

void MrimAccount::LoadSettings()
{
    IProtocolsManager* manager = Manager();
    if (!manager) return;
    CZELLock hold(viewLock);
    manager->GetAccountString(accountId, CZELString(L"Account name"), settings.accountName, 0);
    manager->GetAccountString(accountId, CZELString(L"Account password"), settings.password, 1);
    // The redirector and the web pages are the service's own addresses, kept with the account.
    settings.serverHost = CZELString();
    manager->GetAccountString(accountId, CZELString(L"Server host"), settings.serverHost, 0);
    int port = 2042;
    manager->GetAccountInt(accountId, CZELString(L"Server port"), &port);
    settings.port = port > 0 && port < 65536 ? unsigned(port) : 2042;
    manager->GetAccountString(accountId, CZELString(L"Web auth address"), settings.webAuthAddress, 0);
    manager->GetAccountString(accountId, CZELString(L"Mail page address"), settings.mailPageAddress, 0);
    manager->GetAccountString(accountId, CZELString(L"User info address"), settings.userInfoAddress, 0);
    char value = 1;
    settings.emailNotify = manager->GetAccountByte(accountId, CZELString(L"EmailNotify"), &value) ? value != 0 : true;
    value = 0;
    settings.hideEmailBtn = manager->GetAccountByte(accountId, CZELString(L"HideEmailBtn"), &value) ? value != 0 : false;
}

void MrimAccount::SaveSettings()
{
    IProtocolsManager* manager = Manager();
    if (!manager) return;
    manager->SetAccountString(accountId, CZELString(L"Account name"), settings.accountName, 0);
    manager->SetAccountString(accountId, CZELString(L"Account password"), settings.password, 1);
    char notify = settings.emailNotify ? 1 : 0, hide = settings.hideEmailBtn ? 1 : 0;
    manager->SetAccountByte(accountId, CZELString(L"EmailNotify"), &notify);
    manager->SetAccountByte(accountId, CZELString(L"HideEmailBtn"), &hide);
}

int MrimAccount::PublishIcons()
{
    CArrayPayload* icon = new (std::nothrow) CArrayPayload();
    if (icon) icon->images.Add(DaxShared::Image(0));
    Notify(GUID_DAX_PROTOCOL, ACC_ICON_ADD, icon);
    return 0;
}

int MrimAccount::GetDisplayName(CZELString* out)
{
    if (out) *out = settings.accountName;
    return 0;
}

int MrimAccount::GetStatus()
{
    return status;
}

int MrimAccount::GetContactIcons(int contactId, StatusInfo* out)
{
    if (out) contactList.BuildContactIcons(contactId, *out);
    return 0;
}

int MrimAccount::ChangeLanguage(CZELString language)
{
    DaxShared::ChangeLanguage(language);
    return 0;
}

int MrimAccount::OnErrorText(CConnection*, const CZELString& text)
{
    PostWarning(text);
    return 0;
}

void MrimAccount::PostStatus(int shown)
{
    Notify(GUID_DAX_PROTOCOL, ACC_STATUS_CHANGED,
           new (std::nothrow) CAccountStatusPayload(DaxShared::StatusRecord(shown)));
}

void MrimAccount::PostWarning(const CZELString& text)
{
    Notify(GUID_DAX_PROTOCOL, ACC_WARNING, NewStringPayload(text));
}

void MrimAccount::PostIcon(int code, int position, int image)
{
    CZELArray<int> images;
    images.Add(DaxShared::Image(image));
    if (code == ACC_ICON_SET) Notify(GUID_DAX_PROTOCOL, code, new (std::nothrow) CIconSetPayload(position, images));
    else Notify(GUID_DAX_PROTOCOL, code, new (std::nothrow) CArrayPayload(images));
}

void MrimAccount::SendPacket(unsigned command, const Mrim::Bytes& body, unsigned sequence)
{
    if (sequence == 0) sequence = NextSequence();
    IConnectionManager* service = Connections();
    if (!service || status <= 0 || !connection || redirectorPhase) return;
    Mrim::Bytes packet = Mrim::BuildPacket(command, sequence, body);
    service->Send(connection, packet.data(), int(packet.size()), 0);
}

int MrimAccount::OnDataReceived(CConnection* from, int length)
{
    IConnectionManager* service = Connections();
    if (!service) return -1;
    if (status <= 0 || length <= 0 || from != connection) return 0;
    unsigned char chunk[1024];
    int got = service->Receive(connection, chunk, length < int(sizeof chunk) ? length : int(sizeof chunk), 0);
    if (got < 1) return -2;
    if (redirectorPhase) {
        OnRedirectorData(chunk, size_t(got));
        return 0;
    }
    reader.Feed(chunk, size_t(got));
    const unsigned current = generation;
    Mrim::Packet packet;
    for (;;) {
        Mrim::PacketReader::Result result = reader.Next(packet);
        if (result == Mrim::PacketReader::NeedMore) break;
        if (result == Mrim::PacketReader::Oversized) {
            // Not a packet this protocol sends: the stream cannot be trusted further.
            LoseSession();
            break;
        }
        Dispatch(packet);
        // A handler that ended the session dropped the reader's buffer with it.
        if (generation != current) break;
    }
    return 0;
}

void MrimAccount::Dispatch(const Mrim::Packet& packet)
{
    switch (packet.header.command) {
    case Mrim::CmdHelloAck: OnHelloAck(packet); break;
    case Mrim::CmdLoginAck: OnLoginAck(); break;
    case Mrim::CmdLoginRejected: OnLoginRejected(packet); break;
    case Mrim::CmdMessageIncoming: OnIncomingMessage(packet); break;
    case Mrim::CmdUserStatus: contactList.OnUserStatus(packet.body, packet.length); break;
    case Mrim::CmdMessageStatus: OnMessageStatus(packet); break;
    case Mrim::CmdLogout: OnLogout(packet); break;
    case Mrim::CmdConnectionParams: OnConnectionParams(packet); break;
    case Mrim::CmdUserInfo: OnUserInfo(packet); break;
    case Mrim::CmdAddContactAck:
    case Mrim::CmdModifyContactAck: OnContactAck(packet); break;
    case Mrim::CmdOfflineMessage: OnOfflineMessage(packet); break;
    case Mrim::CmdAuthorizeAck: OnAuthorizeAck(packet); break;
    case Mrim::CmdWebSessionKey: OnWebSessionKey(packet); break;
    case Mrim::CmdAnketaInfo: OnAnketa(packet); break;
    case Mrim::CmdMailboxStatus: OnMailboxStatus(packet); break;
    case Mrim::CmdContactList:
        // A list that cannot be read changes nothing: the contact list keeps what it holds.
        if (contactList.ParseContactList(packet.body, packet.length) == Mrim::ListParsed) contactList.ApplyContactList();
        break;
    case Mrim::CmdNewMail: OnNewMail(packet); break;
    default: break;
    }
}

int MrimAccount::OnOtherMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2)
{
    if (!(msgClass == GUID_DAX_PROTOCOL)) return 0;
    switch (code) {
    case ACC_REDIRECTED: ConnectToSession(); break;
    case DAX_PING_TICK:
        if (status >= 2) SendPacket(Mrim::CmdPing, Mrim::Bytes());
        break;
    case DAX_MENU_ACTION: {
        const intptr_t packed = ValueOf(p2);
        OnMenuAction(int(ValueOf(p1)), int(packed >> 32), intptr_t(int32_t(packed & 0xFFFFFFFF)));
        break;
    }
    default: break;
    }
    return 0;
}

unsigned MrimAccount::PingTick()
{
    if (status < 2) return 0;
    PostToSelf(GUID_DAX_PROTOCOL, DAX_PING_TICK);
    const unsigned seconds = pingInterval;
    // The timer takes milliseconds in 32 bits.
    return (seconds > 4000000u ? 4000000u : seconds) * 1000u;
}

void MrimAccount::PostMenuAction(int action, int value, intptr_t context)
{
    const intptr_t packed = intptr_t((uint64_t(uint32_t(value)) << 32) | uint32_t(context));
    PostToSelf(GUID_DAX_PROTOCOL, DAX_MENU_ACTION, NewValue(action), NewValue(packed));
}
