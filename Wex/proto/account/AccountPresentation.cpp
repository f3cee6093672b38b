// What the account shows and keeps: its settings, the shared status table and texts, its icons in
// the program's top panel, and the menus it fills.
#include "Wex/proto/account/WexAccount.h"

#include "Wex/proto/account/AccountDialogs.h"
#include "Wex/proto/account/BuiltInTexts.h"
#include "Wex/proto/account/PictureNames.h"
#include "Wex/proto/account/PluginState.h"
#include "Wex/proto/account/StatusMapping.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/plugin/PopupMenu.h"
#include "ZELCommon/ZELPath.h"

#include <new>

namespace {

// The program's menu item ids the account filters.
enum {
    AccountMenuConnect = 1002,
    AccountMenuDisconnect = 1003,
    AccountMenuAddHere = 1004,
    GroupMenuFirstKept = 2000,
    GroupMenuSecondKept = 2001,
    GroupMenuOnlineOrTop = 2002,
    GroupMenuOnline = 2003,
    GroupMenuOnlineInGroup = 2004,
    GroupMenuAddHere = 2005,
};

// The statuses of the status menu, in order; separators go before 10, 2 and 0.
const int kStatusMenuOrder[] = {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 2, 3, 4, 0};
const int kSeparatorsAt[] = {13, 10, 5};
// The privacy menu's modes, in order.
const int kPrivacyMenuOrder[] = {1, 3, 4, 5, 2};

SharedTables& Shared()
{
    return WexPlugin::Shared();
}

// A menu argument that names an account and a group (0 for none) at once: the owner of an account,
// group or main menu calls back with a context of its own, not the account's.
intptr_t AccountAndGroup(unsigned accountId, int groupId)
{
    return intptr_t((uint64_t(unsigned(groupId)) << 32) | accountId);
}

void WithAccount(unsigned accountId, void (*action)(WexAccount*, intptr_t), intptr_t value)
{
    WexPlugin::Accounts().WithAccountId(accountId, [&](WexAccount* account) { action(account, value); });
}

void StatusItemChosen(intptr_t accountId, intptr_t status)
{
    WithAccount(unsigned(accountId), [](WexAccount* a, intptr_t s) { a->PostRequest(WexAccount::RequestMenuStatus, s); },
                status);
}

void PrivacyItemChosen(intptr_t accountId, intptr_t mode)
{
    WithAccount(unsigned(accountId), [](WexAccount* a, intptr_t m) { a->PostRequest(WexAccount::RequestPrivacy, m); },
                mode);
}

void XStatusItemChosen(intptr_t accountId, intptr_t index)
{
    if (index == 0) {
        WithAccount(unsigned(accountId), [](WexAccount* a, intptr_t) { a->PostRequest(WexAccount::RequestXStatus, 0); }, 0);
        return;
    }
    WexDialogs::XStatusFromMenu(unsigned(accountId), int(index));
}

void AddContactChosen(intptr_t, intptr_t argument)
{
    const unsigned accountId = unsigned(uint64_t(argument) & 0xFFFFFFFFu);
    const int groupId = int(unsigned(uint64_t(argument) >> 32));
    WexDialogs::AddContactValues start;
    if (groupId) {
        Services::CServicesManager* bus = nullptr;
        WexPlugin::Accounts().WithAccountId(accountId, [&](WexAccount* a) { bus = a->Bus(); });
        start.group = WexDialogs::ItemProperty(bus, groupId, L"Account name");
    }
    WexDialogs::AddContactFromMenu(accountId, start);
}

CMenuItem AddContactItem(unsigned accountId, int groupId)
{
    return CMenuItem(MENU_ITEM_PLAIN, Shared().Image(WexPictures::AddContact), Shared().Text(WexTexts::AddContact), 0,
                     &AddContactChosen, AccountAndGroup(accountId, groupId), false);
}

}  // namespace

int WexAccount::Load()
{
    if (!loaded) Shared().Acquire(services, CZELPath::GetProtoDir(L"WEX"));
    loaded = true;
    values.Load(Settings);
    LoadCachedServerList();
    if (Settings.ShowClientsIcons) Shared().LoadClientRules(services, CZELPath::GetProtoDir(L"WEX"));
    XStatusIndex = values.GetXStatusIndex();
    std::vector<XStatusText> texts(XStatusCount);
    if (values.LoadXStatusTexts(texts)) {
        CZELLock hold(xStatusLock);
        XStatusTexts.swap(texts);
    }
    return 0;
}

int WexAccount::Unload()
{
    Disconnect();
    StopReconnect();
    std::vector<XStatusText> texts;
    {
        CZELLock hold(xStatusLock);
        texts = XStatusTexts;
    }
    values.SaveXStatusTexts(texts);
    values.SetXStatusIndex(XStatusIndex & 0xFF);
    values.Save(Settings);
    SaveListCache();
    if (loaded) Shared().Release(services);
    loaded = false;
    return 0;
}

int WexAccount::ChangeLanguage(CZELString language)
{
    Shared().ChangeLanguage(language);
    return 0;
}

bool WexAccount::StatusRow(int status, StatusEntry& out)
{
    return Shared().StatusRow(status, out);
}

void WexAccount::NotifyStatus(int status)
{
    StatusEntry row;
    row.status = status;
    StatusRow(status, row);
    Notify(GUID_WEX_PROTOCOL, ACC_STATUS_CHANGED, new (std::nothrow) CAccountStatusPayload(row));
}

int WexAccount::XStatusImage()
{
    return Shared().Image(XStatusIndex > 0 ? WexPictures::XStatusFirst + XStatusIndex : WexPictures::XStatusNone);
}

int WexAccount::PrivacyImage(int mode)
{
    return Shared().Image(WexStatus::PrivacyImageEntry(mode));
}

int WexAccount::PublishIcons()
{
    for (int index = 2; index >= 0; --index) Notify(GUID_WEX_PROTOCOL, ACC_ICON_REMOVE, NewValue(index));
    StatusEntry row;
    StatusRow(CurrentStatus(), row);
    Notify(GUID_WEX_PROTOCOL, ACC_ICON_ADD, new (std::nothrow) CArrayPayload(row.images));
    if (Settings.ShowXStatusInStatusbar)
        Notify(GUID_WEX_PROTOCOL, ACC_ICON_ADD, new (std::nothrow) CArrayPayload(CZELArray<int>(1, XStatusImage())));
    if (Settings.ShowPrivStatusInStatusbar)
        Notify(GUID_WEX_PROTOCOL, ACC_ICON_ADD,
               new (std::nothrow) CArrayPayload(CZELArray<int>(1, PrivacyImage(PrivacyMode))));
    return 0;
}

int WexAccount::GetStatusMenu(intptr_t iconIndex, CPopupMenu* menu)
{
    if (!menu) return 0;
    if (iconIndex == 0) BuildStatusMenu(*menu);
    intptr_t next = 1;
    if (Settings.ShowXStatusInStatusbar) {
        if (iconIndex == 1) FillXStatusMenu(*menu);
        next = 2;
    }
    if (Settings.ShowPrivStatusInStatusbar && iconIndex == next) FillPrivacyMenu(*menu);
    return 0;
}

void WexAccount::BuildStatusMenu(CPopupMenu& out)
{
    out.title = GetListenerName() + L" " + Settings.Uin;
    for (int status : kStatusMenuOrder) {
        StatusEntry row;
        StatusRow(status, row);
        out.AddItem(CMenuItem(MENU_ITEM_PLAIN, row.images, row.name, status, &StatusItemChosen, status,
                              status == RequestedStatus));
    }
    for (int position : kSeparatorsAt) out.InsertItem(position, CMenuItem(MENU_ITEM_SEPARATOR));
    if (!Settings.ShowXStatusInStatusbar) {
        CPopupMenu xStatus;
        FillXStatusMenu(xStatus);
        out.AddItem(CMenuItem(XStatusImage(), Shared().Text(WexTexts::StatusPicture), 0, xStatus));
    }
    if (!Settings.ShowPrivStatusInStatusbar) {
        CPopupMenu privacy;
        FillPrivacyMenu(privacy);
        out.AddItem(CMenuItem(PrivacyMode == 0 ? -1 : PrivacyImage(PrivacyMode), Shared().Text(WexTexts::PrivacyStatus),
                              0, privacy));
    }
}

void WexAccount::FillXStatusMenu(CPopupMenu& out)
{
    for (int index = 0; index <= XStatusCount; ++index)
        out.AddItem(CMenuItem(MENU_ITEM_PLAIN, Shared().Image(WexPictures::XStatusFirst + index), CZELString(), index,
                              &XStatusItemChosen, index, index == XStatusIndex));
}

void WexAccount::FillPrivacyMenu(CPopupMenu& out)
{
    for (int mode : kPrivacyMenuOrder) {
        const bool current = mode == PrivacyMode || (mode == 4 && PrivacyMode == 0);
        out.AddItem(CMenuItem(MENU_ITEM_PLAIN, PrivacyImage(mode), Shared().Text(WexStatus::PrivacyTextId(mode)), mode,
                              &PrivacyItemChosen, mode, current));
    }
}

int WexAccount::FillAccountMenu(CPopupMenu* menu)
{
    if (!menu) return 0;
    if (CurrentStatus() > AccountStatus::Connecting) {
        if (menu->FindItem(AccountMenuAddHere) >= 0) menu->AddItem(AddContactItem(AccountId(), 0));
        return 0;
    }
    for (int index = menu->GetCount() - 1; index >= 0; --index) {
        const int id = menu->items[index].commandId;
        if (id == AccountMenuConnect || id == AccountMenuDisconnect) menu->RemoveItem(index);
    }
    return 0;
}

int WexAccount::FillGroupMenu(int groupId, CPopupMenu* menu)
{
    if (!menu) return 0;
    const bool online = CurrentStatus() > AccountStatus::Connecting;
    bool addHere = false;
    for (int index = menu->GetCount() - 1; index >= 0; --index) {
        bool keep = false;
        switch (menu->items[index].commandId) {
        case GroupMenuFirstKept:
        case GroupMenuSecondKept: keep = true; break;
        case GroupMenuOnlineOrTop: keep = online || groupId == 0; break;
        case GroupMenuAddHere:
            keep = online || groupId == 0;
            addHere = keep;
            break;
        case GroupMenuOnline: keep = online; break;
        case GroupMenuOnlineInGroup: keep = online && groupId != 0; break;
        default: break;
        }
        if (!keep) menu->RemoveItem(index);
    }
    if (addHere && groupId != 0) {
        menu->AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
        menu->AddItem(AddContactItem(AccountId(), groupId));
    }
    return 0;
}

int WexAccount::FillMainMenu(CPopupMenu* menu)
{
    if (!menu || CurrentStatus() <= AccountStatus::Connecting) return 0;
    menu->AddItem(CMenuItem(MENU_ITEM_PLAIN, Shared().Image(WexPictures::Protocol), Settings.Uin, 0, &AddContactChosen,
                            AccountAndGroup(AccountId(), 0), false));
    return 0;
}

void WexAccount::OnMenuStatus(int status)
{
    // Offline from the menu ends whatever the account is doing.
    if (status == AccountStatus::Offline && CurrentStatus() != AccountStatus::Offline) {
        StopReconnect();
        Disconnect();
        return;
    }
    SetStatus(status);
}

void WexAccount::StoreLogin(const CZELString& uin, const Wex::Md5Digest& digest)
{
    const CZELString old = Settings.Uin;
    Settings.Uin = uin;
    Settings.PasswordDigest = digest;
    // Letter case aside (the string's own comparison): only a new id gives a new caption.
    if (old != uin) NotifyAccountNameChanged();
}

void WexAccount::StoreOptions(const WexAccountSettings& options)
{
    const WexAccountSettings old = Settings;
    Settings.ShowStandardIcon = options.ShowStandardIcon;
    Settings.ShowXStatusInStatusbar = options.ShowXStatusInStatusbar;
    Settings.ShowPrivStatusInStatusbar = options.ShowPrivStatusInStatusbar;
    Settings.ShowClientsIcons = options.ShowClientsIcons;
    Settings.SendTypingNotification = options.SendTypingNotification;
    Settings.XStatusAutoRequest = options.XStatusAutoRequest;
    if (old.ShowStandardIcon != options.ShowStandardIcon) RefreshOnlineContacts(true);
    if (old.ShowXStatusInStatusbar != options.ShowXStatusInStatusbar ||
        old.ShowPrivStatusInStatusbar != options.ShowPrivStatusInStatusbar)
        PublishIcons();
    if (old.ShowClientsIcons != options.ShowClientsIcons) RefreshOnlineContacts(false);
    if (old.SendTypingNotification != options.SendTypingNotification) SetXStatus(XStatusIndex);
}
