// AccountRegistry: a plug-in's accounts by handle (the account's own queue handle), behind the three
// exports. CreateAccountFunc and DestroyAccountFunc may run on different threads, and timers or
// dialogs look accounts up from others, so the table has its own lock; an account is stopped and
// deleted with the lock left, because stopping waits for the account's queue thread, which may be
// looking an account up.
#pragma once

#include "Zel/core/plugin/ServiceEventListener.h"
#include "ZELCommon/ZELCriticalSection.h"

#include <map>

template <typename Account>
class AccountRegistry {
public:
    // Registers a new account under its queue handle: the handle, or 0 when the account has no
    // queue (it is then deleted).
    unsigned Add(Account* account)
    {
        if (!account) return 0;
        unsigned handle = unsigned(account->OwnQueue());
        if (handle == 0) {
            delete account;
            return 0;
        }
        try {
            CZELLock hold(lock);
            accounts[handle] = account;
        } catch (...) {
            Discard(account);
            return 0;
        }
        return handle;
    }

    // Stops and deletes the account of handle; nothing for an unknown handle.
    void Destroy(unsigned handle)
    {
        Account* account = nullptr;
        {
            CZELLock hold(lock);
            auto it = accounts.find(handle);
            if (it == accounts.end()) return;
            account = it->second;
            accounts.erase(it);
        }
        account->StopQueue();
        delete account;
    }

    // Runs f(Account*) on the account of handle under the registry's lock; false when unknown.
    // f must not wait for another thread.
    template <typename F>
    bool With(unsigned handle, F f)
    {
        CZELLock hold(lock);
        auto it = accounts.find(handle);
        if (it == accounts.end()) return false;
        f(it->second);
        return true;
    }

    // Runs f(Account*) on the account whose AccountId() is accountId, under the registry's lock;
    // false when there is none. For callbacks that carry the manager's account id rather than a
    // pointer, which may be stale. f must not wait for another thread.
    template <typename F>
    bool WithAccountId(unsigned accountId, F f)
    {
        CZELLock hold(lock);
        for (auto& entry : accounts) {
            if (entry.second->AccountId() != accountId) continue;
            f(entry.second);
            return true;
        }
        return false;
    }

    int Count()
    {
        CZELLock hold(lock);
        return int(accounts.size());
    }

private:
    static void Discard(Account* account)
    {
        account->StopQueue();
        delete account;
    }

    CZELCriticalSection lock;
    std::map<unsigned, Account*> accounts;
};
