// CContactListCtrl: the menus of accounts, groups and contacts and their commands. A menu is built
// from copies of its node's data taken under the lock; the accounts' plug-ins add their items with
// the lock left; the chosen command is called with the node's item id and finds what it needs
// again (a node gone meanwhile: nothing happens).
#include "Zel/shell/contactlist/ContactListCtrl.h"

#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/menu/PopupMenuWnd.h"

#include <utility>
#include <vector>

namespace {

enum {
    AccountOpenGroups = 1000,
    AccountCloseGroups = 1001,
    AccountCreateGroup = 1003,
    AccountSettings = 1005,
    AccountFirstFree = 1006,
    GroupOpenGroups = 2000,
    GroupCloseGroups = 2001,
    GroupCreateGroup = 2003,
    GroupRename = 2004,
    GroupDelete = 2005,
    GroupMoveUp = 2006,
    GroupMoveDown = 2007,
    ContactSendMessage = 4001,
    ContactDetails = 4004,
    ContactHistory = 4005,
    ContactCopyName = 4007,
    ContactRename = 4009,
    ContactDelete = 4010,
    ContactMoveToGroup = 4011,
    ContactFirstGroup = 4012,
};

CContactListCtrl* Control()
{
    return g_ContactListCtrl;
}

CMenuItem Item(int number, int text, int picture, MenuCallback callback, intptr_t item)
{
    return CMenuItem(MENU_ITEM_PLAIN, picture, GuiText(text), number, callback, item, false);
}

CMenuItem Separator(int number)
{
    CMenuItem separator(MENU_ITEM_SEPARATOR);
    separator.commandId = number;
    return separator;
}

// Items a plug-in added without a number get the next free ones, in menu order.
void Renumber(CPopupMenu& menu, int first)
{
    for (int i = 0; i < menu.items.GetCount(); ++i)
        if (menu.items[i].commandId == 0) menu.items[i].commandId = first++;
}

// The commands. context is the item id of the node that opened the menu; argument what the item
// carries (the same id, or the target group).

void ExpandAccountGroups(intptr_t account, bool open)
{
    CContactListCtrl* control = Control();
    if (!control) return;
    {
        CZELLock hold(control->Lock());
        CCLAccountNode* node = control->FindAccountNode(unsigned(account));
        if (!node) return;
        node->SetExpanded(open);
        for (CCLNode* group = node->firstChild; group; group = group->next) group->SetExpanded(open);
    }
    control->OnRefresh();
}

void OnAccountOpenGroups(intptr_t account, intptr_t)
{
    ExpandAccountGroups(account, true);
}

void OnAccountCloseGroups(intptr_t account, intptr_t)
{
    ExpandAccountGroups(account, false);
}

bool AccountExists(CContactListCtrl* control, unsigned account)
{
    CZELLock hold(control->Lock());
    return control->FindAccountNode(account) != nullptr;
}

void OnAccountCreateGroup(intptr_t account, intptr_t)
{
    CContactListCtrl* control = Control();
    if (!control) return;
    CZELString name;
    if (!control->Host().AskText(control->Host().MainWindow(), 0, name)) return;
    if (AccountExists(control, unsigned(account))) control->Host().AddGroup(unsigned(account), name);
}

void OnAccountSettings(intptr_t account, intptr_t)
{
    CContactListCtrl* control = Control();
    if (control && AccountExists(control, unsigned(account)))
        control->Host().ShowAccountSettings(unsigned(account), control->Host().MainWindow());
}

void ExpandGroupsOf(intptr_t group, bool open)
{
    CContactListCtrl* control = Control();
    if (!control) return;
    {
        CZELLock hold(control->Lock());
        CCLGroupNode* node = control->FindGroupItem(group);
        if (!node || !node->parent) return;
        for (CCLNode* sibling = node->parent->firstChild; sibling; sibling = sibling->next) sibling->SetExpanded(open);
    }
    control->OnRefresh();
}

void OnGroupOpenGroups(intptr_t group, intptr_t)
{
    ExpandGroupsOf(group, true);
}

void OnGroupCloseGroups(intptr_t group, intptr_t)
{
    ExpandGroupsOf(group, false);
}

// The group's id and account as its node keeps them; false when the group is gone.
bool GroupExists(CContactListCtrl* control, intptr_t item, int* group = nullptr, unsigned* account = nullptr,
                 CZELString* name = nullptr)
{
    CZELLock hold(control->Lock());
    CCLGroupNode* node = control->FindGroupItem(item);
    if (!node) return false;
    if (group) *group = node->groupId;
    if (account) *account = node->account;
    if (name) *name = node->name;
    return true;
}

void OnGroupCreateGroup(intptr_t group, intptr_t)
{
    CContactListCtrl* control = Control();
    if (!control) return;
    CZELString name;
    if (!control->Host().AskText(control->Host().MainWindow(), 0, name)) return;
    unsigned account = 0;
    if (GroupExists(control, group, nullptr, &account)) control->Host().AddGroup(account, name);
}

void OnGroupRename(intptr_t group, intptr_t)
{
    CContactListCtrl* control = Control();
    CZELString name;
    if (!control || !GroupExists(control, group, nullptr, nullptr, &name)) return;
    if (!control->Host().AskText(control->Host().MainWindow(), 0, name)) return;
    int id = 0;
    unsigned account = 0;
    if (GroupExists(control, group, &id, &account)) control->Host().RenameGroup(account, id, name);
}

void OnGroupDelete(intptr_t group, intptr_t)
{
    CContactListCtrl* control = Control();
    int id = 0;
    unsigned account = 0;
    if (control && GroupExists(control, group, &id, &account)) control->Host().DeleteGroup(account, id);
}

// Swaps the order of a group and its neighbour (up: the one before it), storing both indices.
void MoveGroup(intptr_t group, bool up)
{
    CContactListCtrl* control = Control();
    if (!control) return;
    std::vector<std::pair<int, int>> stored;
    {
        CZELLock hold(control->Lock());
        CCLGroupNode* node = control->FindGroupItem(group);
        if (!node || node->groupId == 0 || !node->parent) return;
        auto* other = static_cast<CCLGroupNode*>(up ? node->prev : node->next);
        if (!other || other->groupId == 0) return;
        other->index += up ? 1 : -1;
        node->index += up ? -1 : 1;
        CCLNode* account = node->parent;
        account->RemoveChild(node);
        account->InsertChild(node);
        stored = {{other->groupId, other->index}, {node->groupId, node->index}};
    }
    for (const auto& entry : stored) control->Host().SetGroupIndex(entry.first, entry.second);
    control->OnRefresh();
}

void OnGroupMoveUp(intptr_t group, intptr_t)
{
    MoveGroup(group, true);
}

void OnGroupMoveDown(intptr_t group, intptr_t)
{
    MoveGroup(group, false);
}

// The contact's account as its node keeps it; false when the contact is gone.
bool ContactExists(CContactListCtrl* control, int contact, unsigned* account = nullptr, CZELString* name = nullptr)
{
    CZELLock hold(control->Lock());
    CCLContactNode* node = control->FindContactNode(contact);
    if (!node) return false;
    if (account) *account = node->account;
    if (name) *name = node->name;
    return true;
}

void OnContactSendMessage(intptr_t contact, intptr_t)
{
    CContactListCtrl* control = Control();
    if (control && ContactExists(control, int(contact)) && control->Owner()) control->Owner()->OpenChat(int(contact));
}

void OnContactDetails(intptr_t contact, intptr_t)
{
    CContactListCtrl* control = Control();
    if (control && ContactExists(control, int(contact)))
        control->Host().ShowContactDetails(control->Host().MainWindow(), int(contact));
}

void OnContactHistory(intptr_t contact, intptr_t)
{
    CContactListCtrl* control = Control();
    if (control && ContactExists(control, int(contact)))
        control->Host().ShowHistory(control->Host().MainWindow(), int(contact));
}

void OnContactCopyName(intptr_t contact, intptr_t)
{
    CContactListCtrl* control = Control();
    if (control && ContactExists(control, int(contact)))
        control->Host().CopyText(control->Host().GetAccountName(int(contact)));
}

void OnContactRename(intptr_t contact, intptr_t)
{
    CContactListCtrl* control = Control();
    CZELString name;
    if (!control || !ContactExists(control, int(contact), nullptr, &name)) return;
    if (!control->Host().AskText(control->Host().MainWindow(), 1, name)) return;
    if (!ContactExists(control, int(contact))) return;
    control->Host().RenameContact(control->Host().GetItemAccount(int(contact)), int(contact), name);
}

void OnContactDelete(intptr_t contact, intptr_t)
{
    CContactListCtrl* control = Control();
    unsigned account = 0;
    if (control && ContactExists(control, int(contact), &account)) control->Host().DeleteContact(account, int(contact));
}

void OnContactMove(intptr_t contact, intptr_t group)
{
    CContactListCtrl* control = Control();
    if (control && ContactExists(control, int(contact)))
        control->Host().MoveContact(control->Host().GetItemAccount(int(contact)), int(contact), int(group));
}

}  // namespace

void CContactListCtrl::BuildNodeMenu(CLNodeKind kind, intptr_t item, CPopupMenu& menu)
{
    if (kind == CLAccount) {
        unsigned account = unsigned(item);
        if (!AccountExists(this, account)) return;
        menu.AddItem(Item(AccountOpenGroups, 29, 29, OnAccountOpenGroups, item));
        menu.AddItem(Item(AccountCloseGroups, 30, 15, OnAccountCloseGroups, item));
        menu.AddItem(Separator(1002));
        menu.AddItem(Item(AccountCreateGroup, 31, 16, OnAccountCreateGroup, item));
        menu.AddItem(Separator(1004));
        menu.AddItem(Item(AccountSettings, 32, 37, OnAccountSettings, item));
        host->FillAccountMenu(account, &menu);
        Renumber(menu, AccountFirstFree);
    } else if (kind == CLGroup) {
        unsigned account = 0;
        bool canMoveUp = false, canMoveDown = false;
        int group = 0;
        {
            CZELLock hold(lock);
            CCLGroupNode* node = FindGroupItem(item);
            if (!node) return;
            account = node->account;
            group = node->groupId;
            canMoveUp = group != 0 && node->prev;
            canMoveDown = group != 0 && node->next && static_cast<CCLGroupNode*>(node->next)->groupId != 0;
        }
        menu.AddItem(Item(GroupOpenGroups, 34, 29, OnGroupOpenGroups, item));
        menu.AddItem(Item(GroupCloseGroups, 35, 15, OnGroupCloseGroups, item));
        menu.AddItem(Separator(2002));
        menu.AddItem(Item(GroupCreateGroup, 36, 16, OnGroupCreateGroup, item));
        if (group != 0) menu.AddItem(Item(GroupRename, 37, 31, OnGroupRename, item));
        menu.AddItem(Item(GroupDelete, 38, 18, OnGroupDelete, item));
        host->FillGroupMenu(account, group, &menu);
        if (canMoveUp) menu.AddItem(Item(GroupMoveUp, 39, 21, OnGroupMoveUp, item));
        if (canMoveDown) menu.AddItem(Item(GroupMoveDown, 40, 22, OnGroupMoveDown, item));
        Renumber(menu, GroupMoveUp);
    } else if (kind == CLContact) {
        const int contact = int(item);
        unsigned account = 0;
        CZELString name;
        int currentGroup = 0;
        std::vector<std::pair<int, CZELString>> targets;
        {
            CZELLock hold(lock);
            CCLContactNode* node = FindContactNode(contact);
            if (!node) return;
            account = node->account;
            name = node->name;
            currentGroup = node->groupId;
            if (CCLAccountNode* accountNode = FindAccountNode(account))
                for (CCLNode* g = accountNode->firstChild; g; g = g->next) {
                    auto* groupNode = static_cast<CCLGroupNode*>(g);
                    if (groupNode->groupId != 0 && groupNode->groupId != currentGroup)
                        targets.push_back({groupNode->groupId, groupNode->name});
                }
        }
        menu.title = host->GetAccountName(contact) + CZELString(L" - ") + name;
        menu.AddItem(Item(ContactSendMessage, 42, 25, OnContactSendMessage, item));
        menu.AddItem(Separator(4003));
        menu.AddItem(Item(ContactDetails, 43, 34, OnContactDetails, item));
        menu.AddItem(Item(ContactHistory, 44, 35, OnContactHistory, item));
        menu.AddItem(Item(ContactCopyName, 45, 36, OnContactCopyName, item));
        menu.AddItem(Separator(4008));
        const bool inGroup = host->GetContactGroup(contact) != 0;
        if (inGroup) menu.AddItem(Item(ContactRename, 46, 30, OnContactRename, item));
        menu.AddItem(Item(ContactDelete, 47, 17, OnContactDelete, item));
        if (inGroup && !targets.empty()) {
            CPopupMenu groupsMenu;
            int number = ContactFirstGroup;
            for (const auto& target : targets)
                groupsMenu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, target.second, number++, OnContactMove,
                                             intptr_t(target.first), false));
            menu.AddItem(CMenuItem(23, GuiText(48), ContactMoveToGroup, groupsMenu));
        }
        host->FillContactMenu(account, contact, &menu);
    }
}

void CContactListCtrl::ShowNodeMenu(CLNodeKind kind, intptr_t item, HWND menuOwner, const RECT& area,
                                    const POINT& point, int alignment)
{
    CPopupMenu menu;
    BuildNodeMenu(kind, item, menu);
    if (menu.GetCount() == 0) return;
    menuShown = true;
    PopupMenuResult chosen = ShowPopupMenu(menu, area, point, alignment, menuOwner, host->FullScreenMenus());
    if (chosen.callback) chosen.callback(item, chosen.argument);
}
