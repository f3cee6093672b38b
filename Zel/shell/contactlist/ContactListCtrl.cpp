// CContactListCtrl: life, options, selection, scrolling and the unread marks. The event handlers,
// the window procedure and the menus have files of their own.
#include "Zel/shell/contactlist/ContactListCtrl.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/app/GuiResources.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <cstdlib>

CContactListCtrl* g_ContactListCtrl = nullptr;

namespace {

const wchar_t kClassName[] = L"Contact List Wnd Class";

DWORD SystemTick()
{
    return GetTickCount();
}

int AtLeastOne(int n)
{
    return n < 1 ? 1 : n;
}

}  // namespace

CContactListCtrl::CContactListCtrl(IContactListCallbacks* owner, Services::CServicesManager& bus,
                                   const ContactListOptions& options, IContactListHost* givenHost)
    : owner(owner),
      bus(bus),
      ownHost(givenHost ? nullptr : new CBusContactListHost(bus)),
      host(givenHost ? givenHost : ownHost.get()),
      window(nullptr),
      serviceHandle(0),
      repaint(true),
      queue(0),
      mode(options.mode == 0 ? 0 : 1),
      onlyOnline(options.onlyOnline),
      selected(nullptr),
      fontDescription(options.font),
      font(nullptr),
      blinkPhase(true),
      blinkTimer(0),
      selectionTimer(0),
      statusColumns(AtLeastOne(options.columns)),
      penDown(false),
      menuShown(false),
      penX(0),
      penY(0),
      lastPenY(0),
      columnIndex(0),
      clock(SystemTick),
      selectionChanged(false),
      refreshPending(false)
{
    CLNodeContext::host = host;
    CLNodeContext::owner = owner;
    CLNodeContext::images = GuiImages();
    CLNodeContext::columns = statusColumns;
    CLNodeContext::dontShowIcon = options.dontShowIcon;
    SetFont(options.font);
    g_ContactListCtrl = this;

    // The trees stand before the first event can arrive.
    statusRoot.reset(new CCLRootNode(this));
    accountRoot.reset(new CCLRootNode(this));
    for (int id = 0; id < 3; ++id) {
        auto* group = new CCLStatusGroupNode(this, id);
        group->visible = id == 0 || (id == 1 && !onlyOnline);
        statusRoot->InsertChild(group);
    }
    // An empty Offline group shows only once it holds someone.
    FindStatusGroup(1)->visible = false;
    if (mode == 0) SelectLocked(FindStatusGroup(0));

    serviceHandle = bus.RegisterService(GUID_CONTACT_LIST_CONTROL, this);
    queue = bus.CreateQueue(this, CZELString(L"CLCtrl"));
    if (queue) {
        auto subscribe = [&](const ZEL_GUID& eventClass, int code) {
            int id = bus.Subscribe(eventClass, code, queue);
            if (id) subscriptions.push_back(id);
        };
        subscribe(ZEL_GUID_NULL, Services::SMEV_STARTUP);
        for (int code : {PMEV_ACCOUNT_CREATED, PMEV_ACCOUNT_REMOVING, PMEV_ACCOUNT_MOVED, PMEV_ACCOUNT_RENAMED,
                         PMEV_MESSAGE_SENT})
            subscribe(GUID_PROTOCOLS_MANAGER, code);
        for (int code = CLE_UPDATE_BEGIN; code <= CLE_MESSAGE_ACK; ++code) subscribe(GUID_CONTACT_LIST_DATA, code);
    }
}

CContactListCtrl::~CContactListCtrl()
{
    // The queue's handler takes the lock and touches the trees: it stops first.
    if (queue) bus.DestroyQueue(queue);
    queue = 0;
    if (serviceHandle) bus.UnregisterService(serviceHandle);
    if (window && IsWindow(window)) {
        KillTimer(window, BlinkTimer);
        KillTimer(window, SelectionTimer);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
    window = nullptr;
    if (font) DeleteObject(font);
    if (g_ContactListCtrl == this) g_ContactListCtrl = nullptr;
}

int CContactListCtrl::SubscriptionCount() const
{
    return int(subscriptions.size());
}

bool CContactListCtrl::Create(HINSTANCE instance, HWND parent, DWORD style, const RECT& rect)
{
    WNDCLASSW existing = {};
    if (!GetClassInfoW(instance, kClassName, &existing)) {
        WNDCLASSW windowClass = {};
        windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        windowClass.lpfnWndProc = ContactListWndProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kClassName;
        if (!RegisterClassW(&windowClass)) return false;
    }
    g_ContactListCtrl = this;
    window = CreateWindowExW(0, kClassName, L"CL", style | WS_CHILD | WS_VSCROLL, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, instance, this);
    if (!window) return false;
    blinkTimer = SetTimer(window, BlinkTimer, BlinkMs, nullptr);
    UpdateScrollBar();
    return true;
}

void CContactListCtrl::MoveAndResize(int x, int y, int width, int height)
{
    if (window) MoveWindow(window, x, y, width, height, FALSE);
}

void CContactListCtrl::Redraw(int)
{
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void CContactListCtrl::OnOptionChanged(int code, const GlobalSettings& settings)
{
    switch (code) {
    case OPT_CL_MODE: SetMode(settings.clMode); break;
    case OPT_CL_ONLY_ONLINE: SetOnlyOnline(settings.clOnlyOnline); break;
    case OPT_CL_COLUMNS: SetColumns(settings.clColumns); break;
    case OPT_CL_FONT: SetFont(settings.clFont); break;
    case OPT_LANGUAGE: RenameLooseGroups(); break;
    default: break;
    }
}

void CContactListCtrl::RenameLooseGroups()
{
    // The status view's groups read their names as they paint; each account's group for the
    // contacts outside the groups keeps the name it was made with.
    const CZELString notInList = GuiText(182);
    {
        CZELLock hold(lock);
        for (CCLNode* account = accountRoot->firstChild; account; account = account->next)
            for (CCLNode* child = account->firstChild; child; child = child->next)
                if (child->Kind() == CLGroup && static_cast<CCLGroupNode*>(child)->groupId == 0)
                    static_cast<CCLGroupNode*>(child)->name = notInList;
    }
    Repaint();
}

void CContactListCtrl::SetMode(int newMode)
{
    {
        CZELLock hold(lock);
        mode = newMode == 0 ? 0 : 1;
        SelectLocked(CurrentRoot()->firstChild);
    }
    Repaint();
}

void CContactListCtrl::SetOnlyOnline(bool on)
{
    {
        CZELLock hold(lock);
        onlyOnline = on;
        ApplyOnlyOnline();
        if (on) SelectLocked(CurrentRoot()->firstChild);
        else if (selected && !IsInTree(selected)) SelectLocked(CurrentRoot()->firstChild);
    }
    Repaint();
}

void CContactListCtrl::SetColumns(int count)
{
    {
        CZELLock hold(lock);
        columns = statusColumns = AtLeastOne(count);
        for (CCLNode* node = accountRoot->firstChild; node; node = node->next)
            static_cast<CCLAccountNode*>(node)->columns = columns;
    }
    Repaint();
}

void CContactListCtrl::SetFont(const LOGFONTW& description)
{
    LOGFONTW scaled = description;
    int height = std::abs(int(description.lfHeight));
    int scaledHeight = (height * g_HIDPI_LogPixelsY + 48) / 96;
    scaled.lfHeight = description.lfHeight < 0 ? -scaledHeight : scaledHeight;
    HFONT made = CreateFontIndirectW(&scaled);
    {
        CZELLock hold(lock);
        fontDescription = description;
        fontHeight = height;
        if (font) DeleteObject(font);
        font = made;
    }
    if (window) {
        UpdateScrollBar();
        InvalidateRect(window, nullptr, FALSE);
    }
}

bool CContactListCtrl::IsInTree(CCLNode* node)
{
    CCLNode* top = node;
    while (top && top->parent) top = top->parent;
    return top == CurrentRoot();
}

void CContactListCtrl::SelectLocked(CCLNode* node)
{
    if (node == selected) return;
    if (selected) selected->selected = false;
    selected = node;
    if (selected) selected->selected = true;
    selectionChanged = true;
}

void CContactListCtrl::SelectNode(CCLNode* node)
{
    bool changed;
    {
        CZELLock hold(lock);
        SelectLocked(node);
        changed = selectionChanged;
        selectionChanged = false;
    }
    if (!window) return;
    SCROLLINFO info = {sizeof info, SIF_POS};
    GetScrollInfo(window, SB_VERT, &info);
    RECT client = {};
    GetClientRect(window, &client);
    int position = info.nPos;
    {
        CZELLock hold(lock);
        if (selected) ScrollIntoView(selected, &position, client.bottom);
    }
    if (position != info.nPos) SetScrollPos(window, SB_VERT, position, TRUE);
    if (changed) {
        KillTimer(window, SelectionTimer);
        selectionTimer = SetTimer(window, SelectionTimer, SelectionMs, nullptr);
    }
}

void CContactListCtrl::ScrollIntoView(CCLNode* node, int* position, int clientHeight)
{
    int top = 0, bottom = 0;
    node->GetRect(&top, &bottom);
    bottom = top + node->GetOwnHeight();
    if (bottom > *position + clientHeight) *position = bottom - clientHeight;
    if (top < *position) *position = top;
}

void CContactListCtrl::UpdateScrollBar()
{
    if (!window) return;
    RECT client = {};
    GetClientRect(window, &client);
    SCROLLINFO info = {sizeof info, SIF_ALL};
    GetScrollInfo(window, SB_VERT, &info);
    int height;
    int position = info.nPos;
    bool changed;
    {
        CZELLock hold(lock);
        height = CurrentRoot()->GetHeight();
        if (selected && IsInTree(selected)) ScrollIntoView(selected, &position, client.bottom);
        changed = selectionChanged;
        selectionChanged = false;
    }
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = height > 0 ? height - 1 : 0;
    info.nPage = UINT(client.bottom > 0 ? client.bottom : 0);
    info.nPos = position;
    SetScrollInfo(window, SB_VERT, &info, TRUE);
    if (changed) {
        KillTimer(window, SelectionTimer);
        selectionTimer = SetTimer(window, SelectionTimer, SelectionMs, nullptr);
    }
}

// Lookups, lock held.

CCLStatusGroupNode* CContactListCtrl::FindStatusGroup(int id)
{
    for (CCLNode* node = statusRoot->firstChild; node; node = node->next)
        if (static_cast<CCLStatusGroupNode*>(node)->id == id) return static_cast<CCLStatusGroupNode*>(node);
    return nullptr;
}

CCLAccountNode* CContactListCtrl::FindAccountNode(unsigned account)
{
    for (CCLNode* node = accountRoot->firstChild; node; node = node->next)
        if (static_cast<CCLAccountNode*>(node)->account == account) return static_cast<CCLAccountNode*>(node);
    return nullptr;
}

CCLGroupNode* CContactListCtrl::FindGroupNode(int group, unsigned account)
{
    if (group != 0) {
        auto found = groups.find(group);
        return found == groups.end() ? nullptr : found->second;
    }
    CCLAccountNode* accountNode = FindAccountNode(account);
    if (!accountNode) return nullptr;
    for (CCLNode* node = accountNode->firstChild; node; node = node->next)
        if (static_cast<CCLGroupNode*>(node)->groupId == 0) return static_cast<CCLGroupNode*>(node);
    return nullptr;
}

CCLContactNode* CContactListCtrl::FindContactNode(int contact)
{
    auto found = contacts.find(contact);
    return found == contacts.end() ? nullptr : found->second.first;
}

CCLContactNode* CContactListCtrl::FindStatusContactNode(int contact)
{
    auto found = contacts.find(contact);
    return found == contacts.end() ? nullptr : found->second.second;
}

CCLGroupNode* CContactListCtrl::FindGroupItem(intptr_t item)
{
    return item < 0 ? FindGroupNode(0, unsigned(-item)) : FindGroupNode(int(item), 0);
}

void CContactListCtrl::SelectByTap(CCLNode* node)
{
    CZELLock hold(lock);
    SelectNode(node);
    if (node) columnIndex = node->GetColumnIndex();
}

CCLNode* CContactListCtrl::NodeOf(CLNodeKind kind, intptr_t item)
{
    switch (kind) {
    case CLAccount: return FindAccountNode(unsigned(item));
    case CLGroup: return FindGroupItem(item);
    case CLContact: return FindContactNode(int(item));
    case CLStatusGroup: return FindStatusGroup(int(item));
    default: return nullptr;
    }
}

// What the nodes ask.

bool CContactListCtrl::GroupHasUnread(int group) const
{
    for (const auto& entry : unread)
        if (entry.second.group == group) return true;
    return false;
}

bool CContactListCtrl::AccountHasUnread(unsigned account) const
{
    for (const auto& entry : unread)
        if (entry.second.account == account) return true;
    return false;
}

int CContactListCtrl::OldestUnreadPicture(int contact) const
{
    auto found = unread.find(contact);
    if (found == unread.end() || found->second.messages.empty()) return -1;
    return found->second.messages.front().second;
}

DWORD CContactListCtrl::Tick() const
{
    return clock();
}

// What the application asks.

bool CContactListCtrl::HasContact(int contact)
{
    CZELLock hold(lock);
    return FindContactNode(contact) != nullptr;
}

int CContactListCtrl::UnreadCount(int contact)
{
    CZELLock hold(lock);
    auto found = unread.find(contact);
    return found == unread.end() ? 0 : int(found->second.messages.size());
}

CZELString CContactListCtrl::GetSoftKeyText()
{
    CZELLock hold(lock);
    return selected ? selected->GetKindName() : CZELString();
}

void CContactListCtrl::ShowSelectedItemMenu(HWND menuOwner, const RECT& rect, const POINT& anchor, int alignment)
{
    CLNodeKind kind;
    intptr_t item;
    {
        CZELLock hold(lock);
        if (!selected) return;
        kind = selected->Kind();
        item = selected->ItemId();
    }
    ShowNodeMenu(kind, item, menuOwner, rect, anchor, alignment);
}

// Unread marks.

void CContactListCtrl::RefileStatusNode(CCLContactNode* node, int group)
{
    int target = group == 0 ? 2 : node->unread || node->statusType >= 2 ? 0 : 1;
    if (node->parent) node->parent->RemoveChild(node);
    FindStatusGroup(target)->InsertChild(node);
    RefreshStatusGroups();
}

void CContactListCtrl::RefreshStatusGroups()
{
    CCLStatusGroupNode* offline = FindStatusGroup(1);
    CCLStatusGroupNode* notInList = FindStatusGroup(2);
    offline->visible = !onlyOnline && offline->firstChild;
    notInList->visible = notInList->firstChild != nullptr;
    if (mode == 0 && selected && IsInTree(selected) && !IsShown(selected)) SelectLocked(FindStatusGroup(0));
}

bool CContactListCtrl::IsShown(CCLNode* node)
{
    for (CCLNode* at = node; at; at = at->parent)
        if (!at->visible) return false;
    return true;
}

void CContactListCtrl::Refile(int contact, int group)
{
    CCLContactNode* node = FindContactNode(contact);
    CCLContactNode* twin = FindStatusContactNode(contact);
    if (!node || !twin) return;
    node->visible = !(onlyOnline && group != 0 && node->statusType < 2);
    CCLNode* parent = node->parent;
    if (parent) {
        parent->RemoveChild(node);
        parent->InsertChild(node);
        RefreshGroupVisibility(static_cast<CCLGroupNode*>(parent));
    }
    RefileStatusNode(twin, group);
}

void CContactListCtrl::AddUnread(int contact, int messageNumber, int picture)
{
    {
        CZELLock hold(lock);
        CCLContactNode* node = FindContactNode(contact);
        CCLContactNode* twin = FindStatusContactNode(contact);
        if (!node || !twin) return;
        const int group = node->groupId;
        node->unread = twin->unread = true;
        node->visible = twin->visible = true;
        if (CCLNode* parent = node->parent) {
            parent->RemoveChild(node);
            parent->InsertChild(node);
            parent->visible = true;
        }
        RefileStatusNode(twin, group);
        auto found = unread.find(contact);
        if (found == unread.end())
            found = unread.insert({contact, UnreadEntry{contact, group, node->account, {}}}).first;
        found->second.messages.push_back({messageNumber, picture});
    }
    Repaint();
}

int CContactListCtrl::ClearUnread(int contact)
{
    int count = 0;
    {
        CZELLock hold(lock);
        CCLContactNode* node = FindContactNode(contact);
        CCLContactNode* twin = FindStatusContactNode(contact);
        auto found = unread.find(contact);
        int group = node ? node->groupId : 0;
        if (found != unread.end()) {
            group = found->second.group;
            count = int(found->second.messages.size());
            unread.erase(found);
        }
        if (!node || !twin) return -1;
        node->unread = twin->unread = false;
        Refile(contact, group);
    }
    Repaint();
    return count;
}

int CContactListCtrl::TakeUnreadMessage(int messageNumber)
{
    int contact = 0;
    {
        CZELLock hold(lock);
        for (auto entry = unread.begin(); entry != unread.end() && !contact; ++entry) {
            auto& messages = entry->second.messages;
            for (auto pair = messages.begin(); pair != messages.end(); ++pair) {
                if (pair->first != messageNumber) continue;
                contact = entry->first;
                messages.erase(pair);
                if (messages.empty()) {
                    // The last one went: so do the entry and the mark, and the contact is refiled.
                    int group = entry->second.group;
                    unread.erase(entry);
                    CCLContactNode* node = FindContactNode(contact);
                    CCLContactNode* twin = FindStatusContactNode(contact);
                    if (node && twin) {
                        node->unread = twin->unread = false;
                        Refile(contact, group);
                    }
                }
                break;
            }
        }
    }
    if (contact) Repaint();
    return contact;
}
