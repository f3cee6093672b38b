// The global status: one status for all accounts together, its table of names and images (filled by
// the application in its current language) and the menu that sets every account's status at once.
//
// The table is read on the user interface's thread (the global status menu) and on the manager's
// thread (announcements), while the application fills it on its own queue's thread. So nobody
// fills the table that is read: each fill goes into a fresh table, which replaces the current one
// once every subscriber has finished with the fill event; readers hold a snapshot that stays whole.
#pragma once

#include "Zel/core/bus/Payloads.h"
#include "Zel/core/plugin/PopupMenu.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELString.h"

#include <functional>
#include <memory>
#include <vector>

namespace GlobalStatus {

struct Table {
    Table() {}
    CZELString title;
    CZELArray<StatusEntry> entries;  // the application's order; grows by 10
};

// The statuses of every account in table order, asked when a rule needs them.
typedef std::function<std::vector<int>()> AskAccounts;

// The global status after an account reported status s while it was g, and whether the new one is
// announced:
//   1. s > 0 and g = 0, or s > 1 and g = 1: g = s, announced;
//   2. otherwise, s = 0 and g > 0: d = the highest account status; when (g > 1 and d <= 1) or
//      (g = 1 and d = 0), g = d, announced;
//   3. otherwise, when the connected accounts (2 and above) all agree on one status, g = that
//      status, announced (also when it did not change).
int Recompute(int s, int g, const AskAccounts& ask, bool& announce);

// The row of status in table (first match) into out; false, out untouched, when there is none.
bool FindEntry(const Table& table, int status, StatusEntry& out);

// The global status menu: the table's title, then one plain item per row except Connecting, with
// the row's images and name, command id 0, callback, the row's status as argument, checked for the
// current status; a separator after the rows of 4, 9 and 14.
void BuildMenu(const Table& table, int current, MenuCallback callback, CPopupMenu& menu);

// The current table and the fills that replace it.
class CTableStore {
public:
    CTableStore();

    // The current table; never null. It stays whole for as long as the caller holds it.
    std::shared_ptr<const Table> Current() const;

    // A fresh, empty table for one fill: p1 carries the address of its title, p2 the address of
    // its entries, as CRefValues (count 0, ready to be fired). When both have been released by
    // every delivery the filled table becomes current, unless a later fill already did.
    void NewFill(CRefValue*& p1, CRefValue*& p2);

private:
    struct Shared;
    struct Fill;
    class CFillPayload;

    std::shared_ptr<Shared> shared;
};

}  // namespace GlobalStatus
