#include "Zel/core/accounts/GlobalStatus.h"

#include "Zel/core/accounts/AccountCodes.h"

#include <new>

namespace GlobalStatus {

int Recompute(int s, int g, const AskAccounts& ask, bool& announce)
{
    announce = false;
    if ((s > 0 && g == 0) || (s > 1 && g == 1)) {
        announce = true;
        return s;
    }
    std::vector<int> statuses = ask();
    if (s == 0 && g > 0) {
        int highest = 0;
        for (int status : statuses)
            if (status > highest) highest = status;
        if ((g > 1 && highest <= 1) || (g == 1 && highest == 0)) {
            announce = true;
            return highest;
        }
        return g;
    }
    int agreed = -1;
    for (int status : statuses) {
        if (!AccountStatus::IsConnected(status)) continue;
        if (agreed != -1 && status != agreed) return g;
        agreed = status;
    }
    if (agreed == -1) return g;
    announce = true;
    return agreed;
}

bool FindEntry(const Table& table, int status, StatusEntry& out)
{
    for (int i = 0; i < table.entries.GetCount(); ++i) {
        if (table.entries[i].status == status) {
            out = table.entries[i];
            return true;
        }
    }
    return false;
}

void BuildMenu(const Table& table, int current, MenuCallback callback, CPopupMenu& menu)
{
    menu.title = table.title;
    for (int i = 0; i < table.entries.GetCount(); ++i) {
        const StatusEntry& entry = table.entries[i];
        if (entry.status == AccountStatus::Connecting) continue;
        menu.AddItem(
            CMenuItem(MENU_ITEM_PLAIN, entry.images, entry.name, 0, callback, entry.status, entry.status == current));
        if (entry.status == AccountStatus::InvisibleForAll || entry.status == AccountStatus::AtWork ||
            entry.status == AccountStatus::DoNotDisturb)
            menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    }
}

struct CTableStore::Shared {
    Shared() : current(std::make_shared<Table>()), committed(0), issued(0) {}

    mutable CZELCriticalSection lock;  // guards the three below
    std::shared_ptr<const Table> current;
    unsigned committed;  // the generation of current
    unsigned issued;     // the generation of the newest fill
};

// One fill: the fresh table, installed when the last payload that points into it goes.
struct CTableStore::Fill {
    Fill(const std::shared_ptr<Shared>& shared, unsigned generation)
        : shared(shared), table(std::make_shared<Table>()), generation(generation), abandoned(false)
    {
    }

    ~Fill()
    {
        if (abandoned) return;
        shared->lock.Enter();
        if (int(generation - shared->committed) > 0) {
            shared->current = table;
            shared->committed = generation;
        }
        shared->lock.Leave();
    }

    std::shared_ptr<Shared> shared;
    std::shared_ptr<Table> table;
    unsigned generation;
    bool abandoned;  // never handed out: installing it would blank the current table
};

class CTableStore::CFillPayload : public CRefValue {
public:
    CFillPayload(intptr_t value, const std::shared_ptr<Fill>& fill) : CRefValue(value), fill(fill) {}

private:
    std::shared_ptr<Fill> fill;
};

CTableStore::CTableStore() : shared(std::make_shared<Shared>()) {}

std::shared_ptr<const Table> CTableStore::Current() const
{
    shared->lock.Enter();
    std::shared_ptr<const Table> table = shared->current;
    shared->lock.Leave();
    return table;
}

void CTableStore::NewFill(CRefValue*& p1, CRefValue*& p2)
{
    p1 = p2 = nullptr;
    std::shared_ptr<Fill> fill;
    try {
        shared->lock.Enter();
        unsigned generation = ++shared->issued;
        shared->lock.Leave();
        fill = std::make_shared<Fill>(shared, generation);
        Table& table = *fill->table;
        p1 = new CFillPayload(reinterpret_cast<intptr_t>(&table.title), fill);
        p2 = new CFillPayload(reinterpret_cast<intptr_t>(&table.entries), fill);
    } catch (const std::bad_alloc&) {
        // Without both payloads nobody can fill the table; the current one stays.
        if (fill) fill->abandoned = true;
        delete p1;
        p1 = nullptr;
    }
}

}  // namespace GlobalStatus
