// The contact list's nodes: the root, the three status groups of the status view, the accounts,
// their groups and the contacts. Each node knows its height, paints itself and its visible children
// (contacts in a grid of N columns inside a group), answers hit tests, sorts its children and keeps
// its expand state. A node owns its children. Nodes are touched only under the control's lock.
//
// A contact's first icon list is drawn as its left column (the status picture with whatever the
// account lays over it, all in one box); each picture of the second list is a right-hand column.
#pragma once

#include "Zel/core/plugin/PopupMenu.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <map>
#include <memory>

class CCLNode;
class CContactListCtrl;
class CSkinImageSet;
class IContactListCallbacks;
class IContactListHost;

enum CLNodeKind { CLRoot, CLStatusGroup, CLGroup, CLContact, CLAccount };

// Where a contact sorts among its siblings: unread first, then online (status 2 and above), then
// by name without regard to case; equal keys keep their arrival order.
struct ContactSortKey {
    bool unread;
    bool online;
    CZELString name;

    bool operator<(const ContactSortKey& other) const
    {
        if (unread != other.unread) return unread;
        if (online != other.online) return online;
        return name.Compare(other.name) < 0;
    }
};
typedef std::multimap<ContactSortKey, CCLNode*> ContactIndex;

// What the nodes read of their control: its options, its unread marks and where pictures,
// colours and stored states go.
class CLNodeContext {
public:
    CLNodeContext() : columns(2), fontHeight(14), dontShowIcon(false), host(nullptr), owner(nullptr), images(nullptr) {}
    virtual ~CLNodeContext() {}

    // "CLColumns" as the control holds it: at least 1.
    int columns;
    // The "CLFont" height as stored (unscaled, sign dropped).
    int fontHeight;
    bool dontShowIcon;
    IContactListHost* host;
    IContactListCallbacks* owner;
    CSkinImageSet* images;

    // Whether an unread entry belongs to the group / the account; the picture of the contact's
    // oldest unread message (-1 for none).
    virtual bool GroupHasUnread(int group) const = 0;
    virtual bool AccountHasUnread(unsigned account) const = 0;
    virtual int OldestUnreadPicture(int contact) const = 0;
    // The blink clock, in milliseconds.
    virtual DWORD Tick() const = 0;
    // The menus of the nodes, by item id (the node itself may be gone by the time a command runs).
    virtual void ShowNodeMenu(CLNodeKind kind, intptr_t item, HWND owner, const RECT& area, const POINT& point,
                              int alignment) = 0;
    virtual void BuildNodeMenu(CLNodeKind kind, intptr_t item, CPopupMenu& menu) = 0;
};

class CCLNode {
public:
    explicit CCLNode(CLNodeContext* context) : context(context) {}
    virtual ~CCLNode();
    CCLNode(const CCLNode&) = delete;
    CCLNode& operator=(const CCLNode&) = delete;

    virtual int GetHeight();
    virtual int GetOwnHeight() = 0;
    // top and bottom within the tree (the root's top is 0).
    virtual void GetRect(int* top, int* bottom);
    virtual int GetChildCount();
    virtual int GetVisibleChildCount();
    virtual void InsertChild(CCLNode* node);
    virtual void InsertChildAt(int position, CCLNode* node);
    virtual bool RemoveChild(CCLNode* node);
    virtual void Paint(HDC dc, const RECT& rect, const RECT& clip, bool children);
    virtual CCLNode* HitTest(int x, int y, int width);
    virtual bool Activate();
    virtual bool OnDoubleTap(int x, int y, int width);
    virtual bool OnEnterKey();
    // Shows the node's menu and runs the chosen command; nothing for nodes without one.
    virtual void ShowMenu(HWND owner, const RECT& area, const POINT& point, int alignment);
    virtual CZELString GetKindName();
    virtual void FillMenu(CPopupMenu& menu);
    virtual CCLNode* GetLastVisible();
    // 1 or more when existing goes after the new node.
    virtual int Compare(CCLNode* existing, CCLNode* node);
    virtual void SetExpanded(bool expanded);
    virtual bool HasUnread();
    virtual int GetColumnCount();
    virtual int GetColumnIndex();

    virtual CLNodeKind Kind() const = 0;
    // The item id of the node: account, group or contact id; status group id; 0 for the root.
    virtual intptr_t ItemId() const { return 0; }

    CCLNode* parent = nullptr;
    CCLNode* next = nullptr;
    CCLNode* prev = nullptr;
    CCLNode* firstChild = nullptr;
    bool visible = true;
    bool selected = false;
    bool expanded = true;

    // The contacts among the children, in their order, so a contact is filed in logarithmic time.
    std::unique_ptr<ContactIndex> contactIndex;
    // A contact's place in its parent's index.
    ContactIndex::iterator indexEntry;
    bool indexed = false;

protected:
    // The children in a grid of N columns: heights, rectangles, hit tests and painting.
    int GridHeight(bool allChildren);
    CCLNode* GridHitTest(int x, int y, int width);
    void PaintGrid(HDC dc, int rowTop, const RECT& rect, const RECT& clip);
    void PaintSelection(HDC dc, const RECT& row);
    int HeaderHeight() const;

    CLNodeContext* context;
};

class CCLRootNode : public CCLNode {
public:
    using CCLNode::CCLNode;
    int GetOwnHeight() override { return 0; }
    bool OnDoubleTap(int, int, int) override;
    bool OnEnterKey() override;
    CLNodeKind Kind() const override { return CLRoot; }
};

class CCLStatusGroupNode : public CCLNode {
public:
    // ids: 0 "Online", 1 "Offline", 2 "Not in list"; the expand state from the settings.
    CCLStatusGroupNode(CLNodeContext* context, int id);
    int GetHeight() override { return GridHeight(true); }
    int GetOwnHeight() override { return HeaderHeight(); }
    void Paint(HDC dc, const RECT& rect, const RECT& clip, bool children) override;
    CCLNode* HitTest(int x, int y, int width) override { return GridHitTest(x, y, width); }
    bool Activate() override;
    bool OnDoubleTap(int, int, int) override { return Activate(); }
    bool OnEnterKey() override { return Activate(); }
    void SetExpanded(bool expanded) override;
    CLNodeKind Kind() const override { return CLStatusGroup; }
    intptr_t ItemId() const override { return id; }
    static const wchar_t* ExpandKey(int id);

    const int id;
};

class CCLGroupNode : public CCLNode {
public:
    CCLGroupNode(CLNodeContext* context, unsigned account, int groupId, const CZELString& name, int index);
    int GetHeight() override { return GridHeight(false); }
    int GetOwnHeight() override { return HeaderHeight(); }
    void Paint(HDC dc, const RECT& rect, const RECT& clip, bool children) override;
    CCLNode* HitTest(int x, int y, int width) override { return GridHitTest(x, y, width); }
    bool Activate() override;
    bool OnDoubleTap(int, int, int) override { return Activate(); }
    bool OnEnterKey() override { return Activate(); }
    void ShowMenu(HWND owner, const RECT& area, const POINT& point, int alignment) override;
    CZELString GetKindName() override;
    void FillMenu(CPopupMenu& menu) override;
    int Compare(CCLNode* existing, CCLNode* node) override;
    void SetExpanded(bool expanded) override;
    CLNodeKind Kind() const override { return CLGroup; }
    // The group's id; the account's group outside the groups (id 0) goes by minus its account.
    intptr_t ItemId() const override { return groupId ? intptr_t(groupId) : -intptr_t(account); }
    // Leading children online or unread, counted until one is not.
    int OnlineLead();

    const unsigned account;
    const int groupId;
    CZELString name;
    int index;
};

class CCLContactNode : public CCLNode {
public:
    // columns: the column count this contact's grid uses (its account's, or the status view's).
    CCLContactNode(CLNodeContext* context, int contact, unsigned account, int groupId, const int* columns,
                   const CZELString& name, int statusType, const CZELArray<int>& leftIcons,
                   const CZELArray<int>& rightIcons);
    int GetOwnHeight() override;
    void GetRect(int* top, int* bottom) override;
    void Paint(HDC dc, const RECT& rect, const RECT& clip, bool children) override;
    bool Activate() override { return true; }
    bool OnDoubleTap(int, int, int) override;
    bool OnEnterKey() override;
    void ShowMenu(HWND owner, const RECT& area, const POINT& point, int alignment) override;
    CZELString GetKindName() override;
    void FillMenu(CPopupMenu& menu) override;
    int Compare(CCLNode* existing, CCLNode* node) override;
    void SetExpanded(bool expanded) override { this->expanded = expanded; }
    bool HasUnread() override { return unread; }
    int GetColumnCount() override;
    CLNodeKind Kind() const override { return CLContact; }
    intptr_t ItemId() const override { return contact; }
    // Takes a copy of another node's data (the status view's twin).
    CCLContactNode* Twin(const int* columns) const;
    ContactSortKey SortKey() const { return ContactSortKey{unread, statusType >= 2, name}; }
    void SetStatus(int statusType, const CZELArray<int>& leftIcons, const CZELArray<int>& rightIcons);

    const int contact;
    const unsigned account;
    int groupId;  // kept so that painting asks no service
    const int* columns;
    CZELString name;
    int statusType;
    CZELArray<int> leftIcons;
    CZELArray<int> rightIcons;
    bool unread = false;
};

class CCLAccountNode : public CCLNode {
public:
    CCLAccountNode(CLNodeContext* context, unsigned account, const CZELString& name, int picture, int columns);
    int GetOwnHeight() override { return HeaderHeight(); }
    void Paint(HDC dc, const RECT& rect, const RECT& clip, bool children) override;
    bool Activate() override;
    bool OnDoubleTap(int, int, int) override { return Activate(); }
    bool OnEnterKey() override { return Activate(); }
    void ShowMenu(HWND owner, const RECT& area, const POINT& point, int alignment) override;
    CZELString GetKindName() override;
    void FillMenu(CPopupMenu& menu) override;
    void SetExpanded(bool expanded) override;
    CLNodeKind Kind() const override { return CLAccount; }
    intptr_t ItemId() const override { return intptr_t(account); }

    const unsigned account;
    CZELString name;
    int picture;
    CZELArray<int> reserved;  // an empty list of the account's own
    int columns;
};

// Case-insensitive name order of two contacts; the contacts' sort rule.
int CompareContacts(const CCLContactNode& existing, const CCLContactNode& node);
