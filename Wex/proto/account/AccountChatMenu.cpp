// The chat window's menu for a contact: the answers to its pending authorisation request and the
// request for its x-status. The items' callbacks run on the user interface's thread: they find the
// account by its id and hand the work to its queue.
#include "Wex/proto/account/WexAccount.h"

#include "Wex/proto/XStatusTable.h"
#include "Wex/proto/account/BuiltInTexts.h"
#include "Wex/proto/account/PictureNames.h"
#include "Wex/proto/account/PluginState.h"

#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/plugin/PopupMenu.h"

namespace {

enum {
    AcceptText = 40,
    DeclineText = 41,
    IgnoreText = 42,
    XStatusRequestPicture = 20,
};

// A menu argument naming the account and the contact at once.
intptr_t AccountAndContact(unsigned accountId, int contactId)
{
    return intptr_t((uint64_t(unsigned(contactId)) << 32) | accountId);
}

template <typename Work> void OnAccountQueue(intptr_t argument, Work work)
{
    const int contact = int(unsigned(uint64_t(argument) >> 32));
    WexPlugin::Accounts().WithAccountId(unsigned(uint64_t(argument) & 0xFFFFFFFFu), [&](WexAccount* account) {
        account->RunOnQueue([account, contact, work] { work(account, contact); });
    });
}

template <WexAccount::AuthAnswer Answer> void AuthorizationChosen(intptr_t, intptr_t argument)
{
    OnAccountQueue(argument, [](WexAccount* account, int contact) { account->AnswerAuthorization(contact, Answer); });
}

void XStatusRequestChosen(intptr_t, intptr_t argument)
{
    const int contact = int(unsigned(uint64_t(argument) >> 32));
    WexPlugin::Accounts().WithAccountId(unsigned(uint64_t(argument) & 0xFFFFFFFFu), [&](WexAccount* account) {
        account->PostRequest(WexAccount::RequestContactXStatus, contact);
    });
}

CMenuItem Item(int picture, int text, MenuCallback callback, intptr_t argument)
{
    SharedTables& shared = WexPlugin::Shared();
    return CMenuItem(MENU_ITEM_PLAIN, picture < 0 ? -1 : shared.Image(picture), shared.Text(text), 0, callback,
                     argument, false);
}

}  // namespace

bool WexAccount::XStatusRequestItem(int contactId, CMenuItem& out)
{
    const Wex::ServerListItem* item = ServerList.FindItemByContact(contactId);
    if (!item || item->Status < AccountStatus::Online || Wex::FindXStatus(item->UserInfo) == 0) return false;
    out = Item(XStatusRequestPicture, WexTexts::RequestXStatus, &XStatusRequestChosen,
               AccountAndContact(AccountId(), contactId));
    return true;
}

int WexAccount::FillChatMenu(int contactId, CPopupMenu* menu)
{
    if (!menu || CurrentStatus() <= AccountStatus::Connecting || !ContactList()) return 0;
    const Wex::ServerListItem* item = ServerList.FindItemByContact(contactId);
    if (!item) return 0;
    const intptr_t argument = AccountAndContact(AccountId(), contactId);
    if (item->AuthRequestPending) {
        CPopupMenu answers;
        answers.AddItem(Item(WexPictures::AuthAccept, AcceptText, &AuthorizationChosen<AuthGrant>, argument));
        answers.AddItem(Item(WexPictures::AuthDecline, DeclineText, &AuthorizationChosen<AuthDeny>, argument));
        answers.AddItem(Item(-1, IgnoreText, &AuthorizationChosen<AuthIgnore>, argument));
        menu->InsertItem(0, CMenuItem(WexPlugin::Shared().Image(WexPictures::AuthRequest),
                                      WexPlugin::Shared().Text(WexTexts::Authorization), 0, answers));
    }
    CMenuItem request;
    if (XStatusRequestItem(contactId, request)) menu->AddItem(request);
    return 0;
}
