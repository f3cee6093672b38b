// CContactListCtrl: the scrolling contact list in the middle of the main window. It is a service on
// the bus (GUID_CONTACT_LIST_CONTROL) with its own queue "CLCtrl", which follows the protocols
// manager's account events and the contact-list data's item events, and keeps its own picture of
// the list as two trees of nodes: the status view (Online, Offline, Not in list) and the account
// view (accounts, their groups, their contacts). Every contact has one node in each.
//
// Threads: OnEvent runs on the queue "CLCtrl"; painting, input, timers, menus and the unread marks
// run on the user-interface thread. One lock guards both trees, the selection and the unread map.
// No operation that may wait for the protocols manager or an account is made while it is held, and
// no node pointer is kept across a menu or a dialog: commands carry item ids and find their nodes
// again under the lock (a node gone meanwhile: nothing happens).
#pragma once

#include "Zel/core/bus/RefObject.h"
#include "Zel/shell/contactlist/CLNode.h"
#include "Zel/shell/contactlist/ContactListHost.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELGuid.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <vector>

namespace Services {
class CServicesManager;
}
class GlobalSettings;

inline const ZEL_GUID GUID_CONTACT_LIST_CONTROL = {
    0x8D546AA4, 0x2A1A, 0x4390, {0x9B, 0x5C, 0x6C, 0x5F, 0xF9, 0x42, 0x8D, 0x95}};

// What the contact list asks of the application, in slot order.
class IContactListCallbacks {
public:
    // Any thread: the selection or the soft-key text changed.
    virtual void PostWake() = 0;
    virtual void OpenChat(int contact) = 0;
    virtual void ShowChatWindow() = 0;
    virtual void UpdateTopPanel(int value) = 0;

protected:
    ~IContactListCallbacks() {}
};

// The options the list takes from the global settings.
struct ContactListOptions {
    int mode = 1;  // 0 status view, 1 account view
    bool onlyOnline = false;
    int columns = 2;
    bool dontShowIcon = false;
    LOGFONTW font = {};
};

class CContactListCtrl : public QueueReceiver, private CLNodeContext {
public:
    enum { BlinkTimer = 1, SelectionTimer = 2, BlinkMs = 500, SelectionMs = 250 };
    // Posted to the window: a contact came online / went offline (wParam the contact); the trees
    // changed and the scroll range is to follow.
    enum { WM_CONTACT_ONLINE = 1128, WM_CONTACT_OFFLINE = 1129, WM_LIST_REFRESH = 1130 };
    // Seconds after an account's logon during which contacts coming online raise no alert.
    enum { LogonQuietSeconds = 120 };

    struct UnreadEntry {
        int contact;
        int group;
        unsigned account;
        std::vector<std::pair<int, int>> messages;  // (message number, picture)
    };

    // Registers the service, creates the queue and its subscriptions, takes the options and builds
    // both roots; no window yet. host null: the services on bus and the program's windows.
    CContactListCtrl(IContactListCallbacks* owner, Services::CServicesManager& bus, const ContactListOptions& options,
                     IContactListHost* host = nullptr);
    ~CContactListCtrl() override;
    CContactListCtrl(const CContactListCtrl&) = delete;
    CContactListCtrl& operator=(const CContactListCtrl&) = delete;

    // The child window "CL" of class "Contact List Wnd Class"; false when the class cannot be had.
    bool Create(HINSTANCE instance, HWND parent, DWORD style, const RECT& rect);
    operator HWND() const { return window; }
    HWND Window() const { return window; }
    void MoveAndResize(int x, int y, int width, int height);
    void Redraw(int mode);

    // The queue's handler.
    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override;
    int OnEvent(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2);
    // Option codes 4 (mode), 5 (only online), 6 (columns), 8 (font) with the settings' values, and
    // 20 (language): the texts the list keeps are taken again.
    void OnOptionChanged(int code, const GlobalSettings& settings);

    void SetMode(int mode);
    void SetOnlyOnline(bool on);
    // Below 1 counts as 1.
    void SetColumns(int columns);
    void SetFont(const LOGFONTW& font);
    void SelectNode(CCLNode* node);
    void UpdateScrollBar();

    // Unread marks (user-interface thread).
    void AddUnread(int contact, int messageNumber, int picture);
    int ClearUnread(int contact);
    int TakeUnreadMessage(int messageNumber);

    // What the application reads and asks.
    bool HasContact(int contact);
    void MarkNewMessage(int contact, int messageNumber, int image) { AddUnread(contact, messageNumber, image); }
    void RemoveNewMessage(int contact) { ClearUnread(contact); }
    int UnreadCount(int contact);
    CZELString GetSoftKeyText();
    void ShowSelectedItemMenu(HWND owner, const RECT& rect, const POINT& anchor, int alignment);

    // The window's handlers (ContactListWnd.cpp); public so that tests drive them without input.
    void OnPaint(HDC dc, const RECT& client);
    void OnKeyDown(int key);
    void OnChar(wchar_t character);
    void OnTimer(UINT_PTR id);
    void OnPenDown(int x, int y);
    // Selects the node at the point, as a tap does; false when there is none.
    bool SelectAt(int x, int y);
    // The window is going (with its parent, say): nothing is drawn or timed any more.
    void OnWindowDestroyed();
    void OnPenMove(int y);
    void OnPenUp(int x);
    void OnDoubleClick(int x, int y);
    void OnContextMenu(const POINT& point);
    void OnVScroll(int request, int thumb);
    // The trees changed: the scroll range follows and the list is drawn again.
    void OnRefresh();
    void MoveLeft();
    void MoveRight();
    void MoveUp();
    void MoveDown();

    // The node menus' commands (ContactListMenus.cpp), by item id.
    void ShowNodeMenu(CLNodeKind kind, intptr_t item, HWND owner, const RECT& area, const POINT& point,
                      int alignment) override;
    void BuildNodeMenu(CLNodeKind kind, intptr_t item, CPopupMenu& menu) override;

    // For tests and the nodes: the state under the lock.
    CZELCriticalSection& Lock() { return lock; }
    CCLRootNode* CurrentRoot() { return mode == 0 ? statusRoot.get() : accountRoot.get(); }
    CCLRootNode* StatusRoot() { return statusRoot.get(); }
    CCLRootNode* AccountRoot() { return accountRoot.get(); }
    CCLNode* Selected() { return selected; }
    int Mode() const { return mode; }
    int Columns() const { return columns; }
    int ColumnIndex() const { return columnIndex; }
    bool Repainting() const { return repaint; }
    bool BlinkPhase() const { return blinkPhase; }
    const std::map<int, UnreadEntry>& Unread() const { return unread; }
    CCLStatusGroupNode* FindStatusGroup(int id);
    CCLAccountNode* FindAccountNode(unsigned account);
    CCLGroupNode* FindGroupNode(int group, unsigned account);
    CCLContactNode* FindContactNode(int contact);
    CCLContactNode* FindStatusContactNode(int contact);
    // A group node by its item id (ItemId: minus the account for the group outside the groups).
    CCLGroupNode* FindGroupItem(intptr_t item);
    // Selects as a tap does: the column a vertical move aims at becomes the node's.
    void SelectByTap(CCLNode* node);
    IContactListHost& Host() { return *host; }
    IContactListCallbacks* Owner() { return owner; }
    // A stand-in clock for the blinking.
    void SetClock(DWORD (*clock)()) { this->clock = clock; }
    // Subscriptions made (17 when the bus has every event).
    int SubscriptionCount() const;

private:
    // CLNodeContext.
    bool GroupHasUnread(int group) const override;
    bool AccountHasUnread(unsigned account) const override;
    int OldestUnreadPicture(int contact) const override;
    DWORD Tick() const override;

    // Event handlers (ContactListEvents.cpp); each changes the trees under the lock and says
    // whether to repaint.
    bool OnAccountCreated(unsigned account);
    bool OnAccountRemoving(unsigned account);
    bool OnAccountMoved(unsigned account, int index);
    bool OnAccountRenamed(unsigned account);
    bool OnGroupAdded(int group);
    bool OnGroupRemoved(int group);
    bool OnGroupChanged(int group);
    bool OnContactAdded(int contact, CRefObject* payload);
    bool OnContactRemoved(int contact);
    bool OnContactStatus(int contact, CRefObject* payload);
    bool OnContactChanged(int contact);
    void Repaint();
    void Invalidate();
    void RenameLooseGroups();
    void SignalContact(UINT message, int contact);

    // A group as the services tell it (read with the lock left).
    struct GroupData {
        int id = 0;
        CZELString name;
        bool openStored = false;
        bool open = true;
        bool indexStored = false;
        int index = 0;
    };
    GroupData ReadGroup(int group);
    // Reads the accounts' whole lists again and rebuilds their groups and contacts.
    void Resync(const std::vector<unsigned>& accounts);

    // Tree helpers, lock held. The inserts give null / false when the item is there already or its
    // parent is not.
    CCLGroupNode* InsertGroupLocked(CCLAccountNode* account, GroupData& data);
    bool InsertContactLocked(int contact, unsigned account, int group, const CZELString& alias,
                             const StatusInfo& info);
    // Every group and contact of the account goes, from both views.
    void ClearAccountLocked(CCLAccountNode* account);
    void Unlink(CCLContactNode* node, CCLNode* fallback);
    void MoveSelectionBeforeRemoval(CCLNode* node);
    void RefreshGroupVisibility(CCLGroupNode* group);
    void RefileStatusNode(CCLContactNode* node, int group);
    // Offline shows while it holds someone and the filter is off, Not in list while it holds someone.
    void RefreshStatusGroups();
    // The node and every ancestor are visible.
    bool IsShown(CCLNode* node);
    void Refile(int contact, int group);
    void ApplyOnlyOnline();
    bool IsInTree(CCLNode* node);
    CCLNode* NodeOf(CLNodeKind kind, intptr_t item);
    void ScrollIntoView(CCLNode* node, int* position, int clientHeight);
    void SelectLocked(CCLNode* node);

    IContactListCallbacks* owner;
    Services::CServicesManager& bus;
    std::unique_ptr<IContactListHost> ownHost;
    IContactListHost* host;
    std::atomic<HWND> window;  // read on the queue thread too
    int serviceHandle;
    std::atomic<bool> repaint;  // off during a batch
    int queue;
    std::vector<int> subscriptions;
    mutable CZELCriticalSection lock;
    int mode;
    bool onlyOnline;
    std::unique_ptr<CCLRootNode> statusRoot;
    std::unique_ptr<CCLRootNode> accountRoot;
    CCLNode* selected;
    LOGFONTW fontDescription;
    HFONT font;
    std::map<int, UnreadEntry> unread;
    bool blinkPhase;
    UINT_PTR blinkTimer;
    UINT_PTR selectionTimer;
    int statusColumns;  // the status view's contacts use it
    // The nodes of each item, both views: contact -> (account view, status view); group -> node.
    std::map<int, std::pair<CCLContactNode*, CCLContactNode*>> contacts;
    std::map<int, CCLGroupNode*> groups;
    // Pen state.
    bool penDown;
    bool menuShown;
    int penX, penY, lastPenY;
    int columnIndex;
    DWORD (*clock)();
    bool selectionChanged;
    std::atomic<bool> refreshPending;
};

// The one control of the program, set when its window is made.
extern CContactListCtrl* g_ContactListCtrl;

LRESULT CALLBACK ContactListWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
