// The contact list apart from the program: a host that answers from tables and records the
// commands, an owner that records its calls, and a fixture that feeds the control's handler the
// bus events directly, on the test's thread.
#pragma once

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/core/plugin/PopupMenu.h"
#include "Zel/shell/contactlist/ContactListCtrl.h"
#include "Zel/shell/contactlist/ContactListHost.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ContactListTesting {

inline std::wstring W(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

class FakeHost : public IContactListHost {
public:
    CZELString GetAlias(int item) override { return CZELString(aliases[item].c_str()); }
    CZELString GetAccountName(int item) override { return CZELString(accountNames[item].c_str()); }
    int GetContactGroup(int contact) override { return contactGroups[contact]; }
    unsigned GetItemAccount(int item) override { return itemAccounts[item]; }
    bool GetGroupIndex(int group, int* out) override
    {
        auto found = groupIndex.find(group);
        if (found == groupIndex.end()) return false;
        *out = found->second;
        return true;
    }
    void SetGroupIndex(int group, int index) override
    {
        groupIndex[group] = index;
        Log(L"SetGroupIndex " + std::to_wstring(group) + L" " + std::to_wstring(index));
    }
    bool GetGroupOpen(int group, bool* open) override { return Find(groupOpen, group, open); }
    void SetGroupOpen(int group, bool open) override { groupOpen[group] = open; }
    bool GetAccountItems(unsigned account, std::vector<std::pair<int, int>>& out) override
    {
        auto found = items.find(account);
        if (found == items.end()) return false;
        out = found->second;
        return true;
    }
    bool IsAccountOnline(unsigned account) override { return online[account]; }
    bool GetContactIcons(unsigned, int contact, StatusInfo& out) override
    {
        Log(L"Icons " + std::to_wstring(contact));
        out = StatusInfo();
        out.status = statuses[contact];
        out.kinds.Add(out.status);
        return true;
    }
    bool GetSettingOpen(const wchar_t* key, bool* open) override { return Find(settingOpen, std::wstring(key), open); }
    void SetSettingOpen(const wchar_t* key, bool open) override { settingOpen[key] = open; }
    CZELString GetAccountDisplayName(unsigned account) override { return CZELString(displayNames[account].c_str()); }
    int GetProtocolPicture(unsigned) override { return 40; }
    bool GetAccountOpen(unsigned account, bool* open) override { return Find(accountOpen, account, open); }
    void SetAccountOpen(unsigned account, bool open) override { accountOpen[account] = open; }
    bool GetLogonDate(unsigned account, unsigned* unixTime) override
    {
        auto found = logon.find(account);
        if (found == logon.end()) return false;
        *unixTime = found->second;
        return true;
    }
    unsigned Now() override { return now; }
    void FillAccountMenu(unsigned account, CPopupMenu* menu) override
    {
        Log(L"FillAccountMenu " + std::to_wstring(account));
        if (fillAccount) fillAccount(menu);
    }
    void FillGroupMenu(unsigned account, int group, CPopupMenu* menu) override
    {
        Log(L"FillGroupMenu " + std::to_wstring(account) + L" " + std::to_wstring(group));
        if (fillGroup) fillGroup(menu);
    }
    void FillContactMenu(unsigned account, int contact, CPopupMenu*) override
    {
        Log(L"FillContactMenu " + std::to_wstring(account) + L" " + std::to_wstring(contact));
    }
    void AddGroup(unsigned account, const CZELString& name) override
    {
        Log(L"AddGroup " + std::to_wstring(account) + L" " + W(name));
    }
    void RenameGroup(unsigned account, int group, const CZELString& name) override
    {
        Log(L"RenameGroup " + std::to_wstring(account) + L" " + std::to_wstring(group) + L" " + W(name));
    }
    void DeleteGroup(unsigned account, int group) override
    {
        Log(L"DeleteGroup " + std::to_wstring(account) + L" " + std::to_wstring(group));
    }
    void RenameContact(unsigned account, int contact, const CZELString& name) override
    {
        Log(L"RenameContact " + std::to_wstring(account) + L" " + std::to_wstring(contact) + L" " + W(name));
    }
    void MoveContact(unsigned account, int contact, int group) override
    {
        Log(L"MoveContact " + std::to_wstring(account) + L" " + std::to_wstring(contact) + L" " +
            std::to_wstring(group));
    }
    void DeleteContact(unsigned account, int contact) override
    {
        Log(L"DeleteContact " + std::to_wstring(account) + L" " + std::to_wstring(contact));
    }
    bool AskText(HWND, int kind, CZELString& text) override
    {
        Log(L"AskText " + std::to_wstring(kind) + L" " + W(text));
        if (beforeAnswer) beforeAnswer();
        if (!answer) return false;
        text = CZELString(answerText.c_str());
        return true;
    }
    void ShowAccountSettings(unsigned account, HWND) override { Log(L"AccountSettings " + std::to_wstring(account)); }
    void ShowContactDetails(HWND, int contact) override { Log(L"ContactDetails " + std::to_wstring(contact)); }
    void ShowHistory(HWND, int contact) override { Log(L"History " + std::to_wstring(contact)); }
    void CopyText(const CZELString& text) override { Log(L"Copy " + W(text)); }
    void ContactCameOnline(int contact) override { Log(L"Online " + std::to_wstring(contact)); }
    void ContactWentOffline(int contact) override { Log(L"Offline " + std::to_wstring(contact)); }
    bool DontSleep() override { return dontSleep; }
    void ResetIdleTimer() override { Log(L"IdleReset"); }
    bool FullScreenMenus() override { return false; }
    HWND MainWindow() override { return mainWindow; }

    void Log(const std::wstring& line) { log.push_back(line); }
    int Count(const std::wstring& prefix) const
    {
        int count = 0;
        for (const std::wstring& line : log) count += line.compare(0, prefix.size(), prefix) == 0;
        return count;
    }

    std::map<int, std::wstring> aliases, accountNames;
    std::map<int, int> contactGroups;
    std::map<int, unsigned> itemAccounts;
    std::map<int, int> groupIndex;
    std::map<int, bool> groupOpen;
    std::map<std::wstring, bool> settingOpen;
    std::map<unsigned, std::wstring> displayNames;
    std::map<unsigned, bool> accountOpen;
    std::map<unsigned, unsigned> logon;
    std::map<unsigned, std::vector<std::pair<int, int>>> items;
    std::map<unsigned, bool> online;
    std::map<int, int> statuses;
    unsigned now = 1000000;
    bool answer = true;
    std::wstring answerText = L"typed";
    std::function<void()> beforeAnswer;
    std::function<void(CPopupMenu*)> fillAccount, fillGroup;
    bool dontSleep = false;
    HWND mainWindow = nullptr;
    std::vector<std::wstring> log;

private:
    template <typename Key> static bool Find(const std::map<Key, bool>& table, const Key& key, bool* open)
    {
        auto found = table.find(key);
        if (found == table.end()) return false;
        *open = found->second;
        return true;
    }
};

class FakeOwner : public IContactListCallbacks {
public:
    void PostWake() override { ++wakes; }
    void OpenChat(int contact) override { chats.push_back(contact); }
    void ShowChatWindow() override { ++chatWindowShown; }
    void UpdateTopPanel(int value) override { panelValues.push_back(value); }

    int wakes = 0;
    std::vector<int> chats;
    int chatWindowShown = 0;
    std::vector<int> panelValues;
};

// Item ids as the contact-list data hands them out.
inline int ContactId(int n)
{
    return int(FirstContactId + unsigned(n));
}

class ContactListFixture : public ::testing::Test {
protected:
    void Make(const ContactListOptions& options = ContactListOptions())
    {
        control.reset(new CContactListCtrl(&owner, bus, options, &host));
    }
    void SetUp() override { Make(); }
    void TearDown() override { control.reset(); }

    CContactListCtrl& List() { return *control; }

    void Manager(int code, intptr_t p1, CRefObject* p2 = nullptr)
    {
        CRefValue value(p1);
        control->OnEvent(GUID_PROTOCOLS_MANAGER, code, &value, p2);
    }
    void Data(int code, intptr_t p1, CRefObject* p2 = nullptr)
    {
        CRefValue value(p1);
        control->OnEvent(GUID_CONTACT_LIST_DATA, code, &value, p2);
    }

    void AddAccount(unsigned account, const wchar_t* name)
    {
        host.displayNames[account] = name;
        Manager(PMEV_ACCOUNT_CREATED, intptr_t(account));
    }
    // index -1: none stored.
    void AddGroup(int group, unsigned account, const wchar_t* name, int index = -1)
    {
        host.itemAccounts[group] = account;
        host.aliases[group] = name;
        if (index >= 0) host.groupIndex[group] = index;
        Data(CLE_GROUP_ADDED, group);
    }
    void AddContact(int contact, unsigned account, int group, const wchar_t* alias, int status)
    {
        host.itemAccounts[contact] = account;
        host.contactGroups[contact] = group;
        host.aliases[contact] = alias;
        host.accountNames[contact] = std::wstring(L"id-") + alias;
        StatusInfo info;
        info.status = status;
        info.kinds.Add(status);
        CContactAddedPayload added(group, info);
        Data(CLE_CONTACT_ADDED, contact, &added);
    }
    void SetStatus(int contact, int status)
    {
        StatusInfo info;
        info.status = status;
        info.kinds.Add(status);
        CStatusInfoPayload payload(info);
        Data(CLE_CONTACT_STATUS, contact, &payload);
    }

    // The names of a node's children in order, "-" before hidden ones.
    std::vector<std::wstring> Children(CCLNode* node)
    {
        std::vector<std::wstring> names;
        for (CCLNode* child = node ? node->firstChild : nullptr; child; child = child->next) {
            std::wstring name;
            if (child->Kind() == CLContact) name = W(static_cast<CCLContactNode*>(child)->name);
            else if (child->Kind() == CLGroup) name = W(static_cast<CCLGroupNode*>(child)->name);
            else if (child->Kind() == CLAccount) name = W(static_cast<CCLAccountNode*>(child)->name);
            else name = std::to_wstring(child->ItemId());
            names.push_back((child->visible ? L"" : L"-") + name);
        }
        return names;
    }

    Services::CServicesManager bus;
    FakeHost host;
    FakeOwner owner;
    std::unique_ptr<CContactListCtrl> control;
};

}  // namespace ContactListTesting
