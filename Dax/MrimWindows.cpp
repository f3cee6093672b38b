// What the account offers its windows and takes from them. The windows run on the user interface's
// thread: they read copies (View, the contact-list data, which any thread may read) and hand their
// results over as work posted to the account's queue.
#include "Dax/MrimAccount.h"

#include "Dax/DaxGuids.h"
#include "Dax/DaxPanes.h"
#include "Dax/DaxShared.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "ZELCommon/ZELTabDlg_IPan.h"

#include <new>

MrimAccount::WindowView MrimAccount::View() const
{
    WindowView view;
    CZELLock hold(viewLock);
    view.accountName = settings.accountName;
    view.passwordStored = !settings.password.IsEmpty();
    view.emailNotify = settings.emailNotify;
    view.hideEmailBtn = settings.hideEmailBtn;
    view.webSessionKey = webSessionKey;
    view.userInfoAddress = settings.userInfoAddress;
    view.status = status;
    return view;
}

std::vector<CZELString> MrimAccount::OfferedGroupNames() const
{
    std::vector<CZELString> names;
    IContactListData* data = Data();
    CZELArray<int> groups;
    if (!data || !data->GetAccountGroups(AccountId(), groups)) return names;
    for (int i = 0; i < groups.GetCount(); ++i) {
        CZELString name;
        if (data->GetPropertyString(groups[i], CZELString(L"Account name"), name) && !name.IsEmpty())
            names.push_back(name);
    }
    return names;
}

CZELString MrimAccount::ContactProperty(int contactId, const wchar_t* name) const
{
    CZELString value;
    if (IContactListData* data = Data()) data->GetPropertyString(contactId, CZELString(name), value);
    return value;
}

void MrimAccount::PostTask(std::function<void(MrimAccount&)> task)
{
    RunOnQueue([this, task]() { task(*this); });
}

void MrimAccount::ApplyAccountPane(const CZELString& accountName, bool newPassword, const CZELString& password)
{
    bool renamed = false;
    {
        CZELLock hold(viewLock);
        if (newPassword) settings.password = password;
        if (!accountName.IsEmpty() && accountName != settings.accountName) {
            settings.accountName = accountName;
            renamed = true;
        }
    }
    SaveSettings();
    if (renamed) Notify(GUID_DAX_PROTOCOL, ACC_NAME_CHANGED);
}

void MrimAccount::ApplyAdvancedPane(bool emailNotify, bool hideEmailBtn)
{
    {
        CZELLock hold(viewLock);
        settings.emailNotify = emailNotify;
        settings.hideEmailBtn = hideEmailBtn;
    }
    SaveSettings();
    SetEmailButtonHidden(hideEmailBtn);
}

void MrimAccount::SetEmailButtonHidden(bool hidden)
{
    if (status <= 1) return;
    if (hidden) Notify(GUID_DAX_PROTOCOL, ACC_ICON_REMOVE, NewValue(1));
    else PostIcon(ACC_ICON_ADD, 1, unreadMail ? 30 : 29);
}

void MrimAccount::WarnNoGroups()
{
    PostWarning(CZELString(L"Please add at least one group"));
}

void MrimAccount::AddContactFromDialog(const CZELString& groupName, const CZELString& email,
                                       const CZELString& nickname)
{
    MrimGroup* group = contactList.FindGroupByName(groupName);
    if (!group || group->clGroupId <= 0) {
        // The group went while the dialog was open: say so rather than add nothing silently.
        PostWarning(L"The group \"" + groupName + L"\" no longer exists");
        return;
    }
    RequestAddContact(group->clGroupId, email, nickname);
}

void MrimAccount::SetSearchEmail(const CZELString& email)
{
    searchQuery.email = email;
}

void MrimAccount::SetSearchFields(const Mrim::SearchFields& fields)
{
    searchQuery.fields = fields;
}

int MrimAccount::GetSettingsPages(void* pages)
{
    // The panes show what is stored, which may have been set since the account loaded.
    LoadSettings();
    const unsigned handle = unsigned(OwnQueue());
    AppendPane(pages, NewAccountPane(handle));
    AppendPane(pages, NewAdvancedPane(handle));
    return 0;
}
