// JabberAccount: the program's menus as the account adjusts them. The fill operations run on the
// account's queue (the manager calls them there and waits); the items they add run later on the
// user interface's thread, so their actions only post to the queue or open a dialog there. Each
// item's argument carries the account id beside its value: the item may outlive the account.
#include "Jabber/account/JabberAccount.h"

#include "Jabber/account/AddContactDialog.h"
#include "Jabber/account/PluginAccounts.h"
#include "Jabber/account/PluginShared.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "ZELCommon/ZELBrowserLauncher.h"

namespace {

enum {
    TextRequestAuth = 31, TextGrantAuth = 32, TextRevokeAuth = 33, TextAuthorization = 35, TextAccept = 36,
    TextDecline = 37, TextIgnore = 38, TextAddContact = 39, TextAddToList = 40, TextMailbox = 82, TextOpenInbox = 83,
};
enum { ImageRequest = 40, ImageGrant = 41, ImageRevoke = 42, ImageAddContact = 43, ImageInbox = 18 };

CMenuItem Item(int textNumber, int image, MenuCallback callback, intptr_t argument)
{
    PluginShared& shared = PluginShared::Instance();
    return CMenuItem(MENU_ITEM_PLAIN, image < 0 ? -1 : shared.Image(image), shared.Text(textNumber), 0, callback,
                     argument, false);
}

bool Kept(const int* ids, int count, int id)
{
    for (int i = 0; i < count; ++i)
        if (ids[i] == id) return true;
    return false;
}

}  // namespace

intptr_t JabberAccount::MenuArgument(int value) const
{
    return intptr_t((uint64_t(uint32_t(value)) << 32) | accountId);
}

int JabberAccount::FillAccountMenu(CPopupMenu* menu)
{
    if (!menu) return 0;
    if (Online()) {
        if (menu->FindItem(1004) >= 0)
            menu->AddItem(Item(TextAddContact, ImageAddContact, &AddContactPlain, MenuArgument(0)));
        return 0;
    }
    for (int i = menu->GetCount() - 1; i >= 0; --i) {
        const int id = menu->items[i].commandId;
        if (id == 1002 || id == 1003) menu->RemoveItem(i);
    }
    return 0;
}

int JabberAccount::FillGroupMenu(int groupId, CPopupMenu* menu)
{
    if (!menu) return 0;
    const bool online = Online();
    bool kept2005 = false;
    for (int i = menu->GetCount() - 1; i >= 0; --i) {
        const int id = menu->items[i].commandId;
        bool keep = id == 2000 || id == 2001;
        if (id == 2002 || id == 2005) keep = online || groupId == 0;
        if (id == 2003) keep = online;
        if (id == 2004) keep = online && groupId != 0;
        if (!keep) menu->RemoveItem(i);
        else if (id == 2005) kept2005 = true;
    }
    if (kept2005 && groupId != 0) {
        menu->AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
        menu->AddItem(Item(TextAddContact, ImageAddContact, &AddContactToGroup, MenuArgument(groupId)));
    }
    return 0;
}

int JabberAccount::FillContactMenu(int contactId, CPopupMenu* menu)
{
    if (!menu) return 0;
    const bool online = Online();
    IContactListData* list = ContactList();
    const bool inGroup = !list || list->GetContactGroup(contactId) != 0;
    static const int Always[] = {4001, 4003, 4004, 4005, 4007};
    for (int i = menu->GetCount() - 1; i >= 0; --i) {
        const int id = menu->items[i].commandId;
        bool keep = Kept(Always, 5, id);
        if (id == 4008 || id == 4010) keep = online || !inGroup;
        if (id == 4009 || id == 4011) keep = online && inGroup;
        if (!keep) {
            menu->RemoveItem(i);
            continue;
        }
        if (id == 4010 && online && !inGroup)
            menu->InsertItem(i, Item(TextAddToList, ImageAddContact, &AddContactFromContact, MenuArgument(contactId)));
    }
    if (!list || !online) return 0;
    char subscription = 0;
    if (!list->GetPropertyByte(contactId, CZELString(L"Subscription"), &subscription)) subscription = 0;
    menu->AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    if (subscription == 0 || subscription == 2)
        menu->AddItem(Item(TextRequestAuth, ImageRequest, ContactActionCallback(ActionRequestAuth),
                           ContactActionArgument(contactId)));
    if (subscription == 0 || subscription == 1)
        menu->AddItem(Item(TextGrantAuth, ImageGrant, ContactActionCallback(ActionGrantAuth),
                           ContactActionArgument(contactId)));
    else
        menu->AddItem(Item(TextRevokeAuth, ImageRevoke, ContactActionCallback(ActionRevokeAuth),
                           ContactActionArgument(contactId)));
    return 0;
}

int JabberAccount::FillChatMenu(int contactId, CPopupMenu* menu)
{
    if (!menu || !Online() || !ContactList()) return 0;
    const std::wstring jid = ContactJid(contactId);
    const ContactRecord* record = jid.empty() ? nullptr : contacts.Find(0, jid);
    if (!record || !record->authPending) return 0;
    CPopupMenu answers;
    answers.AddItem(Item(TextAccept, ImageGrant, ContactActionCallback(ActionAcceptAuth), ContactActionArgument(contactId)));
    answers.AddItem(Item(TextDecline, ImageRevoke, ContactActionCallback(ActionDeclineAuth),
                         ContactActionArgument(contactId)));
    answers.AddItem(Item(TextIgnore, -1, ContactActionCallback(ActionIgnoreAuth), ContactActionArgument(contactId)));
    PluginShared& shared = PluginShared::Instance();
    menu->InsertItem(0, CMenuItem(shared.Image(ImageRequest), shared.Text(TextAuthorization), 0, answers));
    return 0;
}

int JabberAccount::FillMainMenu(CPopupMenu* menu)
{
    if (!menu || !Online()) return 0;
    menu->AddItem(CMenuItem(MENU_ITEM_PLAIN, PluginShared::Instance().Image(FirstStatusImage() + 2), settings.OwnJid(),
                            0, &AddContactPlain, MenuArgument(0), false));
    return 0;
}

void JabberAccount::FillMailMenu(CPopupMenu* menu)
{
    if (!menu) return;
    menu->title = PluginShared::Instance().Text(TextMailbox);
    menu->AddItem(Item(TextOpenInbox, ImageInbox, &OpenWebMail, MenuArgument(0)));
}

void JabberAccount::OpenWebMail(intptr_t, intptr_t argument)
{
    // The link is built from the settings the queue's thread owns, and opened there too.
    PluginAccounts().WithAccountId(unsigned(uint64_t(argument) & 0xFFFFFFFFu), [](JabberAccount* account) {
        account->RunOnQueue([account] { CZELBrowserLauncher::Launch(account->BuildWebMailLink()); });
    });
}
