#include "Zel/shell/contactlist/ContactListHost.h"

#include "Zel/chat/MessageHistoryDialog.h"
#include "Zel/prefs/AccountSettingsDialog.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/shell/alerts/AlertPlayer.h"
#include "Zel/shell/app/Application.h"
#include "Zel/shell/contactlist/TextInputDlg.h"
#include "Zel/shell/helpers/ClipboardHelpers.h"
#include "Zel/shell/menu/MainMenu.h"
#include "Zel/shell/notify/Notifier.h"
#include "Handheld/Power.h"
#include "ZELCommon/ZELTime.h"

namespace {

const wchar_t kAlias[] = L"CL Alias";
const wchar_t kAccountName[] = L"Account name";
const wchar_t kGroupIndex[] = L"CLCtrl group index";
const wchar_t kGroupOpen[] = L"CLCtrl group open";
const wchar_t kAccountOpen[] = L"CLCtrl account open";

IContactListData* Data(Services::CServicesManager& bus)
{
    return static_cast<IContactListData*>(bus.GetService(GUID_CONTACT_LIST_DATA));
}

IProtocolsManager* Manager(Services::CServicesManager& bus)
{
    return static_cast<IProtocolsManager*>(bus.GetService(GUID_PROTOCOLS_MANAGER));
}

CSettingsStore* Store(Services::CServicesManager& bus)
{
    return static_cast<CSettingsStore*>(bus.GetService(GUID_SETTINGS_STORE));
}

}  // namespace

CZELString CBusContactListHost::GetAlias(int item)
{
    CZELString out;
    if (IContactListData* data = Data(bus)) data->GetPropertyString(item, CZELString(kAlias), out);
    return out;
}

CZELString CBusContactListHost::GetAccountName(int item)
{
    CZELString out;
    if (IContactListData* data = Data(bus)) data->GetPropertyString(item, CZELString(kAccountName), out);
    return out;
}

int CBusContactListHost::GetContactGroup(int contact)
{
    IContactListData* data = Data(bus);
    return data ? data->GetContactGroup(contact) : 0;
}

unsigned CBusContactListHost::GetItemAccount(int item)
{
    IContactListData* data = Data(bus);
    return data ? data->GetItemAccount(item) : 0;
}

bool CBusContactListHost::GetGroupIndex(int group, int* out)
{
    IContactListData* data = Data(bus);
    return data && data->GetPropertyInt(group, CZELString(kGroupIndex), out);
}

void CBusContactListHost::SetGroupIndex(int group, int index)
{
    if (IContactListData* data = Data(bus)) data->SetPropertyInt(group, CZELString(kGroupIndex), &index);
}

bool CBusContactListHost::GetGroupOpen(int group, bool* open)
{
    IContactListData* data = Data(bus);
    char value = 0;
    if (!data || !data->GetPropertyByte(group, CZELString(kGroupOpen), &value)) return false;
    *open = value != 0;
    return true;
}

void CBusContactListHost::SetGroupOpen(int group, bool open)
{
    char value = open ? 1 : 0;
    if (IContactListData* data = Data(bus)) data->SetPropertyByte(group, CZELString(kGroupOpen), &value);
}

bool CBusContactListHost::GetAccountItems(unsigned account, std::vector<std::pair<int, int>>& items)
{
    IContactListData* data = Data(bus);
    CZELArray<ContactListItemPair> pairs;
    if (!data || !data->GetAccountItems(account, pairs)) return false;
    for (int i = 0; i < pairs.GetCount(); ++i) items.push_back({pairs[i].groupId, pairs[i].contactId});
    return true;
}

bool CBusContactListHost::GetSettingOpen(const wchar_t* key, bool* open)
{
    CSettingsStore* store = Store(bus);
    char value = 0;
    int size = 0;
    if (!store || !store->GetValueSize(GUID_GUI, CZELString(key), &size) || size < 1) return false;
    if (!store->GetByte(GUID_GUI, CZELString(key), &value)) return false;
    *open = value != 0;
    return true;
}

void CBusContactListHost::SetSettingOpen(const wchar_t* key, bool open)
{
    char value = open ? 1 : 0;
    if (CSettingsStore* store = Store(bus)) store->SetByte(GUID_GUI, CZELString(key), &value);
}

CZELString CBusContactListHost::GetAccountDisplayName(unsigned account)
{
    CZELString out;
    if (IProtocolsManager* manager = Manager(bus)) manager->GetAccountName(out, account, false);
    return out;
}

int CBusContactListHost::GetProtocolPicture(unsigned account)
{
    IProtocolsManager* manager = Manager(bus);
    return manager ? manager->GetAccountProtocol(account).imageIndex : -1;
}

bool CBusContactListHost::GetAccountOpen(unsigned account, bool* open)
{
    IProtocolsManager* manager = Manager(bus);
    char value = 0;
    if (!manager || !manager->GetAccountByte(account, CZELString(kAccountOpen), &value)) return false;
    *open = value != 0;
    return true;
}

void CBusContactListHost::SetAccountOpen(unsigned account, bool open)
{
    char value = open ? 1 : 0;
    if (IProtocolsManager* manager = Manager(bus)) manager->SetAccountByte(account, CZELString(kAccountOpen), &value);
}

bool CBusContactListHost::GetLogonDate(unsigned account, unsigned* unixTime)
{
    IProtocolsManager* manager = Manager(bus);
    CZELTime time;
    if (!manager || manager->GetLogonDate(account, &time) != 0) return false;
    *unixTime = time.GetUnixTime();
    return true;
}

unsigned CBusContactListHost::Now()
{
    return CZELTime().GetUnixTime();
}

bool CBusContactListHost::IsAccountOnline(unsigned account)
{
    IProtocolsManager* manager = Manager(bus);
    int status = 0;
    return manager && manager->GetStatus(account, &status) == 0 && status >= 2;
}

bool CBusContactListHost::GetContactIcons(unsigned account, int contact, StatusInfo& out)
{
    IProtocolsManager* manager = Manager(bus);
    return manager && manager->GetContactIcons(account, contact, &out);
}

void CBusContactListHost::FillAccountMenu(unsigned account, CPopupMenu* menu)
{
    if (IProtocolsManager* manager = Manager(bus)) manager->FillAccountMenu(account, menu);
}

void CBusContactListHost::FillGroupMenu(unsigned account, int group, CPopupMenu* menu)
{
    if (IProtocolsManager* manager = Manager(bus)) manager->FillGroupMenu(account, group, menu);
}

void CBusContactListHost::FillContactMenu(unsigned account, int contact, CPopupMenu* menu)
{
    if (IProtocolsManager* manager = Manager(bus)) manager->FillContactMenu(account, contact, menu);
}

void CBusContactListHost::AddGroup(unsigned account, const CZELString& name)
{
    if (IProtocolsManager* manager = Manager(bus)) manager->AddGroup(account, name);
}

void CBusContactListHost::RenameGroup(unsigned account, int group, const CZELString& name)
{
    if (IProtocolsManager* manager = Manager(bus)) manager->RenameGroup(account, group, name);
}

void CBusContactListHost::DeleteGroup(unsigned account, int group)
{
    if (IProtocolsManager* manager = Manager(bus)) manager->DeleteGroup(account, group);
}

void CBusContactListHost::RenameContact(unsigned account, int contact, const CZELString& name)
{
    if (IProtocolsManager* manager = Manager(bus)) manager->RenameContact(account, contact, name);
}

void CBusContactListHost::MoveContact(unsigned account, int contact, int group)
{
    if (IProtocolsManager* manager = Manager(bus)) manager->MoveContact(account, contact, group);
}

void CBusContactListHost::DeleteContact(unsigned account, int contact)
{
    if (IProtocolsManager* manager = Manager(bus)) manager->DeleteContact(account, contact);
}

bool CBusContactListHost::AskText(HWND owner, int kind, CZELString& text)
{
    CTextInputDlg dialog(text, kind);
    if (dialog.DoModal(owner) != 1) return false;
    text = dialog.GetText();
    return true;
}

void CBusContactListHost::ShowAccountSettings(unsigned account, HWND owner)
{
    ShowAccountSettingsDialog(account, owner);
}

void CBusContactListHost::ShowContactDetails(HWND owner, int contact)
{
    ShowContactDetailsDialog(owner, contact);
}

void CBusContactListHost::ShowHistory(HWND owner, int contact)
{
    ShowMessageHistory(owner, contact);
}

void CBusContactListHost::CopyText(const CZELString& text)
{
    CopyTextToClipboard(text.GetBuffer() ? text.GetBuffer() : L"");
}

void CBusContactListHost::ContactCameOnline(int contact)
{
    if (!TheApplication || !TheApplication->Resources()) return;
    PlayEventAlert(TheApplication->Resources()->Alerts(), AE_CONTACT_ONLINE);
    TheApplication->Resources()->Notifier().ShowContactOnline(contact);
}

void CBusContactListHost::ContactWentOffline(int contact)
{
    if (TheApplication && TheApplication->Resources()) TheApplication->Resources()->Notifier().ShowContactOffline(contact);
}

bool CBusContactListHost::DontSleep()
{
    return TheApplication && TheApplication->Settings().dontSleep;
}

void CBusContactListHost::ResetIdleTimer()
{
    SystemIdleTimerReset();
}

bool CBusContactListHost::FullScreenMenus()
{
    return TheApplication && TheApplication->Settings().fullScreen;
}

HWND CBusContactListHost::MainWindow()
{
    return TheApplication ? TheApplication->GetMainWindow() : nullptr;
}
