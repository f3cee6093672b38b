// The add-contact dialog and the menu items that open it. The openers run on the user interface's
// thread: they copy what the dialog shows under the accounts' lock, run the dialog with the lock
// released, and post the roster set to the account's queue.
#include "Jabber/account/AddContactDialog.h"

#include "Jabber/JabberResources.h"
#include "Jabber/account/JabberAccount.h"
#include "Jabber/account/PluginAccounts.h"
#include "Jabber/account/PluginModule.h"
#include "Jabber/account/PluginShared.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "ZELCommon/ZELWMUI_DlgItems.h"

namespace {

enum { TextTitle = 41, TextAccountName = 42, TextContactName = 43, TextGroup = 44, TextOk = 85, TextCancel = 86 };
const int FieldLimit = 255;

const wchar_t* Chars(const CZELString& text)
{
    return text.GetBuffer() ? text.GetBuffer() : L"";
}

void SetText(HWND window, int id, int textNumber)
{
    SetDlgItemTextW(window, id, Chars(PluginShared::Instance().Text(textNumber)));
}

CZELString ItemText(HWND window, int id)
{
    return UI::GetDlgItemString(window, id, FieldLimit);
}

CZELString Property(IContactListData* list, int item, const wchar_t* name)
{
    CZELString value;
    if (list && item) list->GetPropertyString(item, CZELString(name), value);
    return value;
}

// The program's active window; never another program's (a dialog cannot be owned across them).
HWND Owner()
{
    HWND active = GetActiveWindow();
    if (active) return active;
    HWND foreground = GetForegroundWindow();
    DWORD process = 0;
    if (foreground) GetWindowThreadProcessId(foreground, &process);
    return process == GetCurrentProcessId() ? foreground : nullptr;
}

}  // namespace

AddContactDialog::AddContactDialog(Services::CServicesManager* bus, CZELString& accountName,
                                   CZELString& contactName, CZELString& group, const CZELArray<CZELString>& groups)
    : bus(bus), accountName(accountName), contactName(contactName), group(group), groups(groups)
{
}

void AddContactDialog::OnInitDialog()
{
    CZELWMUI_BigDlg::OnInitDialog();
    HWND list = GetDlgItem(IDC_JB_ADD_GROUP);
    for (int i = 0; i < groups.GetCount(); ++i) SendMessageW(list, CB_ADDSTRING, 0, LPARAM(Chars(groups[i])));
    SetDlgItemTextW(hwnd, IDC_JB_ADD_JID, Chars(accountName));
    SetDlgItemTextW(hwnd, IDC_JB_ADD_NAME, Chars(contactName));
    if (SendMessageW(list, CB_SELECTSTRING, WPARAM(-1), LPARAM(Chars(group))) == CB_ERR)
        SendMessageW(list, CB_SETCURSEL, 0, 0);
    SetWindowTextW(hwnd, Chars(PluginShared::Instance().Text(TextTitle)));
    SetText(hwnd, IDC_JB_ADD_JID_LABEL, TextAccountName);
    SetText(hwnd, IDC_JB_ADD_NAME_LABEL, TextContactName);
    SetText(hwnd, IDC_JB_ADD_GROUP_LABEL, TextGroup);
    SetFocus(GetDlgItem(IDC_JB_ADD_JID));
}

bool AddContactDialog::Confirm()
{
    accountName = ItemText(hwnd, IDC_JB_ADD_JID);
    contactName = ItemText(hwnd, IDC_JB_ADD_NAME);
    group = ItemText(hwnd, IDC_JB_ADD_GROUP);
    if (accountName.IsEmpty()) {
        SetFocus(GetDlgItem(IDC_JB_ADD_JID));
        return false;
    }
    if (group.IsEmpty()) {
        SetFocus(GetDlgItem(IDC_JB_ADD_GROUP));
        return false;
    }
    return true;
}

void AddContactDialog::OnCommand(WORD notifyCode, WORD id, HWND control)
{
    if (id == IDOK) {
        if (Confirm()) EndDialog(IDOK);
        return;
    }
    CZELWMUI_BigDlg::OnCommand(notifyCode, id, control);
}

int AddContactDialog::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    caption = PluginShared::Instance().Text(key == SoftKeyLeft ? TextOk : TextCancel);
    return 1;
}

void AddContactDialog::OnSoftKey(TSoftKey key)
{
    if (key != SoftKeyLeft) EndDialog(IDCANCEL);
    else if (Confirm()) EndDialog(IDOK);
}

bool RunAddContactDialog(Services::CServicesManager* bus, CZELString& accountName, CZELString& contactName,
                         CZELString& group, const CZELArray<CZELString>& groups)
{
    AddContactDialog dialog(bus, accountName, contactName, group, groups);
    return dialog.DoModal(IDD_JABBER_ADD_CONTACT, PluginModule(), Owner()) == IDOK;
}

void JabberAccount::OpenAddContact(unsigned accountId, int groupId, int contactId)
{
    CZELString jid, name, group;
    CZELArray<CZELString> groups;
    bool haveList = false;
    Services::CServicesManager* bus = nullptr;
    PluginAccounts().WithAccountId(accountId, [&](JabberAccount* account) {
        IContactListData* list = account->ContactList();
        if (!list) return;
        haveList = true;
        bus = account->Bus();
        jid = Property(list, contactId, L"Account name");
        name = Property(list, contactId, L"CL Alias");
        group = Property(list, groupId, L"Account name");
        CZELArray<ContactListItemPair> items;
        list->GetAccountItems(accountId, items);
        for (int i = 0; i < items.GetCount(); ++i)
            if (items[i].contactId == 0) groups.Add(Property(list, items[i].groupId, L"Account name"));
    });
    if (!haveList || !RunAddContactDialog(bus, jid, name, group, groups)) return;
    PluginAccounts().WithAccountId(accountId, [&](JabberAccount* account) {
        const std::wstring j(Chars(jid)), n(Chars(name)), g(Chars(group));
        account->RunOnQueue([account, j, n, g] { account->AddRosterContact(j, n, g); });
    });
}

void JabberAccount::AddContactPlain(intptr_t, intptr_t argument)
{
    OpenAddContact(unsigned(uint64_t(argument) & 0xFFFFFFFFu), 0, 0);
}

void JabberAccount::AddContactToGroup(intptr_t, intptr_t argument)
{
    OpenAddContact(unsigned(uint64_t(argument) & 0xFFFFFFFFu), int(uint64_t(argument) >> 32), 0);
}

void JabberAccount::AddContactFromContact(intptr_t, intptr_t argument)
{
    OpenAddContact(unsigned(uint64_t(argument) & 0xFFFFFFFFu), 0, int(uint64_t(argument) >> 32));
}

void JabberAccount::AddRosterContact(const std::wstring& jid, const std::wstring& name, const std::wstring& group)
{
    if (!Online()) return;
    ContactRecord record;
    record.jid = jid;
    record.name = name;
    record.group = group;
    record.subscription = 3;
    SendRosterSet(record);
}
