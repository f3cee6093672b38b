// JabberAccount: construction, the protocols manager's commands, the plug-in's shared tables and the
// notices to the owner.
#include "Jabber/account/JabberAccount.h"

#include "Jabber/account/AccountKinds.h"
#include "Jabber/account/PluginAccounts.h"
#include "Jabber/account/PluginShared.h"
#include "Jabber/account/Timings.h"
#include "Jabber/xml/XmlText.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"

#include <new>

namespace {

std::atomic<int> Live{0};

}  // namespace

JabberAccount::JabberAccount(int kind, Services::CServicesManager* services, unsigned accountId, unsigned ownerQueue)
    : ServiceEventListener(services, accountId, ownerQueue),
      kind(kind),
      settings(services, accountId, kind),
      pending(Timings().iqExpiryMs)
{
    ++Live;
}

JabberAccount::~JabberAccount()
{
    // No message runs from here on; the threads only post, and their posts now go nowhere.
    StopQueue();
    reconnectThread.Stop();
    iqWorker.Stop();
    negotiationLimit.Stop();
    DropConnection();
    --Live;
}

int JabberAccount::LiveAccounts()
{
    return Live;
}

const ZEL_GUID& JabberAccount::ProtocolGuid() const
{
    return *KindOf(kind).protocol;
}

int JabberAccount::FirstStatusImage() const
{
    return KindOf(kind).firstStatusImage;
}

CZELString JabberAccount::GetListenerName()
{
    return CZELString(KindOf(kind).listenerName);
}

int JabberAccount::Load()
{
    if (!loaded) PluginShared::Instance().Load(services, kind);
    loaded = true;
    RegisterRequestHandlers();
    caps.RegisterOwnCaps();
    return 0;
}

int JabberAccount::Unload()
{
    Disconnect();
    StopReconnect();
    contacts.Clear();
    streamId.clear();
    if (loaded) PluginShared::Instance().Unload(services);
    loaded = false;
    return 0;
}

int JabberAccount::ContactIdByJid(const std::wstring& jid) const
{
    if (jid.empty()) return 0;
    const ContactRecord* contact = contacts.Find(0, jid);
    return contact ? contact->contactId : 0;
}

int JabberAccount::GetDisplayName(CZELString* out)
{
    if (out) *out = settings.OwnJid();
    return 0;
}

int JabberAccount::SetStatus(int requested)
{
    StopReconnect();
    if (requested == AccountStatus::Offline) {
        if (targetStatus != AccountStatus::Offline) Disconnect();
    } else if (requested != AccountStatus::Connecting) {
        Connect(requested);
    }
    return 0;
}

int JabberAccount::GetStatus()
{
    return status == AccountStatus::Connecting ? int(AccountStatus::Connecting) : targetStatus;
}

int JabberAccount::GetStatusInfo(int requested, StatusEntry* out)
{
    if (out) PluginShared::Instance().StatusEntryOf(kind, requested, *out);
    return 0;
}

int JabberAccount::AddGroup(CZELString name)
{
    CreateGroup(name);
    return 0;
}

int JabberAccount::CreateGroup(const CZELString& name)
{
    IContactListData* list =
        services ? static_cast<IContactListData*>(services->GetService(GUID_CONTACT_LIST_DATA)) : nullptr;
    const int group = list ? list->AddGroup(accountId) : 0;
    if (!group) return 0;
    list->SetPropertyString(group, CZELString(L"Account name"), name);
    list->SetPropertyString(group, CZELString(L"CL Alias"), name);
    list->NotifyGroupAdded(group);
    return group;
}

int JabberAccount::ChangeLanguage(CZELString language)
{
    PluginShared::Instance().ChangeLanguage(kind, language);
    return 0;
}

int JabberAccount::OnErrorText(CConnection*, const CZELString& text)
{
    Warn(text);
    return 0;
}

void JabberAccount::Announce(int newStatus)
{
    StatusEntry entry;
    PluginShared::Instance().StatusEntryOf(kind, newStatus, entry);
    Notify(ProtocolGuid(), ACC_STATUS_CHANGED, new (std::nothrow) CAccountStatusPayload(entry));
}

void JabberAccount::Warn(const CZELString& text)
{
    Notify(ProtocolGuid(), ACC_WARNING, NewStringPayload(text));
}

void JabberAccount::Warn(const std::string& utf8)
{
    Warn(CZELString(WideFromUtf8(utf8).c_str()));
}

unsigned JabberAccount::KeepAliveTick(intptr_t context)
{
    unsigned next = 0;
    PluginAccounts().With(unsigned(context), [&next](JabberAccount* account) { next = account->KeepAliveFromTimer(); });
    return next;
}

unsigned JabberAccount::KeepAliveFromTimer()
{
    if (!AccountStatus::IsConnected(status)) return 0;
    // The blank goes through the deflater, which belongs to the queue's thread.
    RunOnQueue([this] {
        if (AccountStatus::IsConnected(status)) SendText(" ");
    });
    return Timings().keepAliveMs;
}
