// CContactListCtrl: the queue "CLCtrl"'s handler. What a handler needs of the services is read
// before it takes the lock; the trees change under it; the repaint goes to the window afterwards.
#include "Zel/shell/contactlist/ContactListCtrl.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/shell/app/GuiResources.h"

int CContactListCtrl::HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2)
{
    try {
        return OnEvent(msgClass, code, p1, p2);
    } catch (...) {
        return 0;
    }
}

int CContactListCtrl::OnEvent(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2)
{
    bool changed = false;
    if (msgClass == GUID_PROTOCOLS_MANAGER) {
        unsigned account = unsigned(ValueOf(p1));
        switch (code) {
        case PMEV_ACCOUNT_CREATED: changed = OnAccountCreated(account); break;
        case PMEV_ACCOUNT_REMOVING: changed = OnAccountRemoving(account); break;
        case PMEV_ACCOUNT_MOVED: changed = OnAccountMoved(account, int(ValueOf(p2))); break;
        case PMEV_ACCOUNT_RENAMED:
            if (OnAccountRenamed(account) && mode == 1) Invalidate();
            break;
        default: break;
        }
    } else if (msgClass == GUID_CONTACT_LIST_DATA) {
        int item = int(ValueOf(p1));
        switch (code) {
        case CLE_UPDATE_BEGIN: repaint = false; break;
        case CLE_UPDATE_END: {
            // Additions in a batch go unannounced: the whole list is read again.
            std::vector<unsigned> accounts;
            {
                CZELLock hold(lock);
                for (CCLNode* node = accountRoot->firstChild; node; node = node->next)
                    accounts.push_back(static_cast<CCLAccountNode*>(node)->account);
            }
            Resync(accounts);
            repaint = true;
            changed = true;
            break;
        }
        case CLE_GROUP_ADDED: changed = OnGroupAdded(item); break;
        case CLE_GROUP_REMOVED: changed = OnGroupRemoved(item); break;
        case CLE_GROUP_CHANGED:
            if (OnGroupChanged(item) && mode == 1) Invalidate();
            break;
        case CLE_CONTACT_ADDED: changed = OnContactAdded(item, p2); break;
        case CLE_CONTACT_REMOVED: changed = OnContactRemoved(item); break;
        case CLE_CONTACT_STATUS: changed = OnContactStatus(item, p2); break;
        case CLE_CONTACT_CHANGED:
            if (OnContactChanged(item)) Invalidate();
            break;
        default: break;
        }
    }
    if (changed) Repaint();
    return 0;
}

void CContactListCtrl::Repaint()
{
    if (!repaint || !window) return;
    // Scrolling belongs to the window's thread: the refresh is handed over, once for many events.
    if (!refreshPending.exchange(true)) PostMessageW(window, WM_LIST_REFRESH, 0, 0);
}

void CContactListCtrl::Invalidate()
{
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void CContactListCtrl::MoveSelectionBeforeRemoval(CCLNode* node)
{
    for (CCLNode* at = selected; at; at = at->parent) {
        if (at != node) continue;
        CCLNode* to = node->prev;
        while (to && !to->visible) to = to->prev;
        if (!to) to = node->parent && node->parent->parent ? node->parent : nullptr;
        if (!to && node->parent) {
            to = node->parent->firstChild == node ? node->next : node->parent->firstChild;
        }
        SelectLocked(to);
        return;
    }
}

void CContactListCtrl::RefreshGroupVisibility(CCLGroupNode* group)
{
    if (!group) return;
    if (group->groupId == 0) {
        group->visible = group->firstChild != nullptr;
    } else {
        auto* first = static_cast<CCLContactNode*>(group->firstChild);
        group->visible = !onlyOnline || (first && (first->statusType >= 2 || first->unread));
    }
    if (!group->visible && selected && selected->parent && (selected == group || selected->parent == group))
        SelectLocked(group->parent);
}

void CContactListCtrl::ApplyOnlyOnline()
{
    for (CCLNode* a = accountRoot->firstChild; a; a = a->next)
        for (CCLNode* g = a->firstChild; g; g = g->next) {
            auto* group = static_cast<CCLGroupNode*>(g);
            if (group->groupId != 0)
                for (CCLNode* c = group->firstChild; c; c = c->next) {
                    auto* contact = static_cast<CCLContactNode*>(c);
                    // Off: everyone shows again, also those a status event hid.
                    if (!onlyOnline) contact->visible = true;
                    else if (contact->statusType == 0 && !contact->unread) contact->visible = false;
                }
            RefreshGroupVisibility(group);
        }
    RefreshStatusGroups();
}

bool CContactListCtrl::OnAccountCreated(unsigned account)
{
    if (!account) return false;
    // Asking the account for its name may wait for it: before the lock.
    CZELString name = host->GetAccountDisplayName(account);
    int picture = host->GetProtocolPicture(account);
    bool open = true;
    bool stored = host->GetAccountOpen(account, &open);
    CZELString notInList = GuiText(182);
    {
        CZELLock hold(lock);
        if (FindAccountNode(account)) return false;
        auto* node = new CCLAccountNode(this, account, name, picture, columns);
        if (stored) node->expanded = open;
        accountRoot->InsertChild(node);
        auto* loose = new CCLGroupNode(this, account, 0, notInList, 0);
        loose->visible = false;
        node->InsertChild(loose);
        if (mode == 1 && !selected) SelectLocked(accountRoot->firstChild);
    }
    // Its list may have been loaded before it came here.
    Resync(std::vector<unsigned>{account});
    return true;
}

bool CContactListCtrl::OnAccountRemoving(unsigned account)
{
    CZELLock hold(lock);
    CCLAccountNode* node = FindAccountNode(account);
    if (!node) return false;
    bool selectionInside = false;
    for (CCLNode* at = selected; at; at = at->parent) selectionInside = selectionInside || at == node;
    // Its contacts' twins in the status view go with it.
    for (auto entry = contacts.begin(); entry != contacts.end();) {
        if (entry->second.first->account != account) {
            ++entry;
            continue;
        }
        CCLContactNode* twin = entry->second.second;
        for (CCLNode* at = selected; at; at = at->parent)
            if (at == twin) selectionInside = true;
        if (twin->parent) twin->parent->RemoveChild(twin);
        if (selected == twin) selected = nullptr;
        delete twin;
        unread.erase(entry->first);
        entry = contacts.erase(entry);
    }
    for (auto entry = groups.begin(); entry != groups.end();)
        entry = entry->second->account == account ? groups.erase(entry) : std::next(entry);
    if (selectionInside) {
        if (selected) selected->selected = false;
        selected = nullptr;
    }
    accountRoot->RemoveChild(node);
    delete node;
    RefreshStatusGroups();
    if (mode == 1) SelectLocked(accountRoot->firstChild);
    else if (!selected) SelectLocked(statusRoot->firstChild);
    return true;
}

bool CContactListCtrl::OnAccountMoved(unsigned account, int index)
{
    CZELLock hold(lock);
    CCLAccountNode* node = FindAccountNode(account);
    if (!node) return false;
    accountRoot->RemoveChild(node);
    accountRoot->InsertChildAt(index, node);
    return true;
}

bool CContactListCtrl::OnAccountRenamed(unsigned account)
{
    CZELString name = host->GetAccountDisplayName(account);
    CZELLock hold(lock);
    CCLAccountNode* node = FindAccountNode(account);
    if (!node) return false;
    node->name = name;
    return true;
}

CContactListCtrl::GroupData CContactListCtrl::ReadGroup(int group)
{
    GroupData data;
    data.id = group;
    data.name = host->GetAlias(group);
    data.openStored = host->GetGroupOpen(group, &data.open);
    data.indexStored = host->GetGroupIndex(group, &data.index);
    return data;
}

CCLGroupNode* CContactListCtrl::InsertGroupLocked(CCLAccountNode* accountNode, GroupData& data)
{
    if (!accountNode || groups.count(data.id)) return nullptr;
    if (!data.indexStored) {
        // After the account's last real group.
        data.index = 0;
        for (CCLNode* g = accountNode->firstChild; g; g = g->next)
            if (static_cast<CCLGroupNode*>(g)->groupId != 0) data.index = static_cast<CCLGroupNode*>(g)->index + 1;
    }
    auto* node = new CCLGroupNode(this, accountNode->account, data.id, data.name, data.index);
    node->visible = !onlyOnline;
    if (data.openStored) node->expanded = data.open;
    accountNode->InsertChild(node);
    groups[data.id] = node;
    return node;
}

bool CContactListCtrl::OnGroupAdded(int group)
{
    unsigned account = host->GetItemAccount(group);
    GroupData data = ReadGroup(group);
    {
        CZELLock hold(lock);
        if (!InsertGroupLocked(FindAccountNode(account), data)) return false;
    }
    if (!data.indexStored) host->SetGroupIndex(group, data.index);
    return true;
}

bool CContactListCtrl::OnGroupRemoved(int group)
{
    CZELLock hold(lock);
    auto found = groups.find(group);
    if (found == groups.end()) return false;
    CCLGroupNode* node = found->second;
    MoveSelectionBeforeRemoval(node);
    // Contacts still in it lose their twins too.
    for (CCLNode* child = node->firstChild; child; child = child->next) {
        int contact = static_cast<CCLContactNode*>(child)->contact;
        auto entry = contacts.find(contact);
        if (entry == contacts.end()) continue;
        CCLContactNode* twin = entry->second.second;
        if (selected == twin) SelectLocked(FindStatusGroup(0));
        if (twin->parent) twin->parent->RemoveChild(twin);
        delete twin;
        unread.erase(contact);
        contacts.erase(entry);
    }
    node->parent->RemoveChild(node);
    groups.erase(found);
    delete node;
    RefreshStatusGroups();
    return true;
}

bool CContactListCtrl::OnGroupChanged(int group)
{
    CZELString name = host->GetAlias(group);
    CZELLock hold(lock);
    auto found = groups.find(group);
    if (found == groups.end()) return false;
    found->second->name = name;
    return true;
}

bool CContactListCtrl::OnContactAdded(int contact, CRefObject* payload)
{
    auto* added = dynamic_cast<CContactAddedPayload*>(payload);
    if (!added) return false;
    CZELString alias = host->GetAlias(contact);
    unsigned account = host->GetItemAccount(contact);
    CZELLock hold(lock);
    bool inserted = InsertContactLocked(contact, account, added->groupId, alias, added->info);
    if (inserted) RefreshStatusGroups();
    return inserted;
}

bool CContactListCtrl::InsertContactLocked(int contact, unsigned account, int group, const CZELString& alias,
                                           const StatusInfo& info)
{
    CCLAccountNode* accountNode = FindAccountNode(account);
    CCLGroupNode* groupNode = FindGroupNode(group, account);
    if (!accountNode || !groupNode || groupNode->account != account || contacts.count(contact)) return false;
    auto* node = new CCLContactNode(this, contact, account, group, &accountNode->columns, alias, info.status,
                                    info.kinds, info.images);
    node->unread = unread.count(contact) != 0;
    if (onlyOnline && group != 0 && info.status == 0 && !node->unread) node->visible = false;
    else groupNode->visible = true;
    groupNode->InsertChild(node);
    CCLContactNode* twin = node->Twin(&statusColumns);
    twin->visible = true;
    FindStatusGroup(group == 0 ? 2 : info.status < 2 && !node->unread ? 1 : 0)->InsertChild(twin);
    contacts[contact] = {node, twin};
    return true;
}

void CContactListCtrl::ClearAccountLocked(CCLAccountNode* accountNode)
{
    const unsigned account = accountNode->account;
    auto forget = [this](CCLNode* node) {
        for (CCLNode* at = selected; at; at = at->parent)
            if (at == node) {
                selected->selected = false;
                selected = nullptr;
                return;
            }
    };
    for (auto entry = contacts.begin(); entry != contacts.end();) {
        if (entry->second.first->account != account) {
            ++entry;
            continue;
        }
        for (CCLContactNode* node : {entry->second.first, entry->second.second}) {
            forget(node);
            if (node->parent) node->parent->RemoveChild(node);
            delete node;
        }
        entry = contacts.erase(entry);
    }
    for (auto entry = groups.begin(); entry != groups.end();) {
        if (entry->second->account != account) {
            ++entry;
            continue;
        }
        forget(entry->second);
        accountNode->RemoveChild(entry->second);
        delete entry->second;
        entry = groups.erase(entry);
    }
}

void CContactListCtrl::Resync(const std::vector<unsigned>& accounts)
{
    struct ContactData {
        int id;
        int group;
        CZELString alias;
        StatusInfo info;
    };
    for (unsigned account : accounts) {
        // Everything that asks the services or the account first, with the lock left.
        std::vector<std::pair<int, int>> items;
        if (!host->GetAccountItems(account, items)) continue;
        const bool online = host->IsAccountOnline(account);
        std::vector<GroupData> groupData;
        std::vector<ContactData> contactData;
        for (const auto& item : items) {
            if (item.second == 0) {
                if (item.first) groupData.push_back(ReadGroup(item.first));
                continue;
            }
            ContactData data = {item.second, item.first, host->GetAlias(item.second), StatusInfo()};
            if (online) host->GetContactIcons(account, item.second, data.info);
            contactData.push_back(data);
        }
        {
            CZELLock hold(lock);
            CCLAccountNode* accountNode = FindAccountNode(account);
            if (!accountNode) continue;
            const bool hadSelection = selected != nullptr;
            const CLNodeKind kind = selected ? selected->Kind() : CLRoot;
            const intptr_t item = selected ? selected->ItemId() : 0;
            const bool inStatusView = selected && selected->parent && selected->parent->parent == statusRoot.get();
            ClearAccountLocked(accountNode);
            // Indices given here are not written back: reading a stored list for display leaves it
            // as it was (the next run gives the same ones, in the same order).
            for (GroupData& data : groupData) InsertGroupLocked(accountNode, data);
            for (const ContactData& data : contactData)
                InsertContactLocked(data.id, account, data.group, data.alias, data.info);
            for (CCLNode* g = accountNode->firstChild; g; g = g->next)
                RefreshGroupVisibility(static_cast<CCLGroupNode*>(g));
            // Marks of contacts that are gone go with them.
            for (auto entry = unread.begin(); entry != unread.end();)
                entry = entry->second.account == account && !contacts.count(entry->first) ? unread.erase(entry)
                                                                                          : std::next(entry);
            RefreshStatusGroups();
            if (hadSelection && !selected) {
                CCLNode* again = kind == CLContact && inStatusView ? FindStatusContactNode(int(item)) : NodeOf(kind, item);
                if (!again) again = mode == 1 ? static_cast<CCLNode*>(accountNode) : FindStatusGroup(0);
                SelectLocked(again);
            }
        }
    }
}

bool CContactListCtrl::OnContactRemoved(int contact)
{
    CZELLock hold(lock);
    auto found = contacts.find(contact);
    if (found == contacts.end()) return false;
    CCLContactNode* node = found->second.first;
    CCLContactNode* twin = found->second.second;
    bool shown = IsInTree(mode == 1 ? static_cast<CCLNode*>(node) : twin);
    MoveSelectionBeforeRemoval(node);
    MoveSelectionBeforeRemoval(twin);
    auto* group = static_cast<CCLGroupNode*>(node->parent);
    if (group) group->RemoveChild(node);
    if (twin->parent) twin->parent->RemoveChild(twin);
    contacts.erase(found);
    unread.erase(contact);
    delete node;
    delete twin;
    RefreshGroupVisibility(group);
    RefreshStatusGroups();
    if (selected) columnIndex = selected->GetColumnIndex();
    return shown;
}

bool CContactListCtrl::OnContactStatus(int contact, CRefObject* payload)
{
    auto* status = dynamic_cast<CStatusInfoPayload*>(payload);
    if (!status) return false;
    const StatusInfo& info = status->info;
    // The account's logon time, for the online alert: read before the lock.
    unsigned account = host->GetItemAccount(contact);
    unsigned logon = 0;
    bool loggedOn = host->GetLogonDate(account, &logon);
    unsigned now = host->Now();
    bool cameOnline = false, wentOffline = false;
    {
        CZELLock hold(lock);
        auto found = contacts.find(contact);
        if (found == contacts.end()) return false;
        CCLContactNode* node = found->second.first;
        CCLContactNode* twin = found->second.second;
        auto* group = static_cast<CCLGroupNode*>(node->parent);
        node->SetStatus(info.status, info.kinds, info.images);
        twin->SetStatus(info.status, info.kinds, info.images);
        // The account view: refiled in its group.
        if (group) {
            group->RemoveChild(node);
            group->InsertChild(node);
            if (info.status >= 2 || node->unread) {
                node->visible = group->visible = true;
            } else if (onlyOnline && group->groupId != 0) {
                node->visible = false;
                if (selected == node) {
                    CCLNode* to = node->prev;
                    while (to && !to->visible) to = to->prev;
                    SelectLocked(to ? to : group);
                }
                RefreshGroupVisibility(group);
                if (!group->visible && selected == group) SelectLocked(group->parent);
            }
        }
        // The status view.
        auto* from = static_cast<CCLStatusGroupNode*>(twin->parent);
        const int fromId = from ? from->id : 1;
        if (from) from->RemoveChild(twin);
        CCLStatusGroupNode* online = FindStatusGroup(0);
        if (info.status >= 2 || twin->unread) {
            online->InsertChild(twin);
            // Contacts seen as the account logs on raise no alert (no logon date: long ago).
            if (!loggedOn) logon = 0;
            cameOnline = fromId != 0 && now >= logon && now - logon > unsigned(LogonQuietSeconds);
        } else {
            // A contact outside the groups goes back to Not in list, the others to Offline.
            CCLStatusGroupNode* target = FindStatusGroup(twin->groupId == 0 ? 2 : 1);
            target->InsertChild(twin);
            if (!IsShown(target) && selected == twin) {
                CCLNode* to = twin->prev;
                SelectLocked(to ? to : online);
            }
            wentOffline = fromId == 0;
        }
        RefreshStatusGroups();
        if (selected) columnIndex = selected->GetColumnIndex();
    }
    if (cameOnline) SignalContact(WM_CONTACT_ONLINE, contact);
    if (wentOffline) SignalContact(WM_CONTACT_OFFLINE, contact);
    return true;
}

void CContactListCtrl::SignalContact(UINT message, int contact)
{
    // Alerts and bubbles belong to the window's thread.
    if (window) {
        PostMessageW(window, message, WPARAM(contact), 0);
        return;
    }
    if (message == WM_CONTACT_ONLINE) host->ContactCameOnline(contact);
    else host->ContactWentOffline(contact);
}

bool CContactListCtrl::OnContactChanged(int contact)
{
    CZELString alias = host->GetAlias(contact);
    CZELLock hold(lock);
    auto found = contacts.find(contact);
    if (found == contacts.end()) return false;
    for (CCLContactNode* node : {found->second.first, found->second.second}) {
        node->name = alias;
        // The name is the last sort key: refiled in place.
        if (CCLNode* parent = node->parent) {
            parent->RemoveChild(node);
            parent->InsertChild(node);
        }
    }
    return true;
}
