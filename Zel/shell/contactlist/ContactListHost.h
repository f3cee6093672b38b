// What the contact list asks of the rest of the program: the contact-list data's items and
// properties, the protocols manager's accounts and commands, the settings store's expand states,
// and the dialogs, alerts and bubbles its commands raise. CBusContactListHost serves them from the
// services on a bus and the program's windows; tests give their own.
//
// The manager's operations may wait for an account: the control never calls them with its lock
// held.
#pragma once

#include "Zel/core/bus/Payloads.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <utility>
#include <vector>

namespace Services {
class CServicesManager;
}
class CPopupMenu;

class IContactListHost {
public:
    virtual ~IContactListHost() {}

    // The contact-list data.
    virtual CZELString GetAlias(int item) = 0;        // "CL Alias"
    virtual CZELString GetAccountName(int item) = 0;  // "Account name"
    virtual int GetContactGroup(int contact) = 0;
    virtual unsigned GetItemAccount(int item) = 0;
    virtual bool GetGroupIndex(int group, int* out) = 0;
    virtual void SetGroupIndex(int group, int index) = 0;
    virtual bool GetGroupOpen(int group, bool* open) = 0;
    virtual void SetGroupOpen(int group, bool open) = 0;

    // The account's whole list: (group, 0) for each group, then (group or 0, contact) per contact.
    // False when the account is not in the list.
    virtual bool GetAccountItems(unsigned account, std::vector<std::pair<int, int>>& items) = 0;

    // The settings store, section GUID_GUI.
    virtual bool GetSettingOpen(const wchar_t* key, bool* open) = 0;
    virtual void SetSettingOpen(const wchar_t* key, bool open) = 0;

    // The protocols manager.
    virtual CZELString GetAccountDisplayName(unsigned account) = 0;
    virtual int GetProtocolPicture(unsigned account) = 0;
    virtual bool GetAccountOpen(unsigned account, bool* open) = 0;
    virtual void SetAccountOpen(unsigned account, bool open) = 0;
    // The account's "Logon date" as a unix time; false when it never connected.
    virtual bool GetLogonDate(unsigned account, unsigned* unixTime) = 0;
    virtual unsigned Now() = 0;
    // Both wait for the account.
    virtual bool IsAccountOnline(unsigned account) = 0;
    virtual bool GetContactIcons(unsigned account, int contact, StatusInfo& out) = 0;
    virtual void FillAccountMenu(unsigned account, CPopupMenu* menu) = 0;
    virtual void FillGroupMenu(unsigned account, int group, CPopupMenu* menu) = 0;
    virtual void FillContactMenu(unsigned account, int contact, CPopupMenu* menu) = 0;
    virtual void AddGroup(unsigned account, const CZELString& name) = 0;
    virtual void RenameGroup(unsigned account, int group, const CZELString& name) = 0;
    virtual void DeleteGroup(unsigned account, int group) = 0;
    virtual void RenameContact(unsigned account, int contact, const CZELString& name) = 0;
    virtual void MoveContact(unsigned account, int contact, int group) = 0;
    virtual void DeleteContact(unsigned account, int contact) = 0;

    // Dialogs and signals of the user interface.
    // The text input dialog (kind 0 a group name, 1 a contact name); true with the text confirmed.
    virtual bool AskText(HWND owner, int kind, CZELString& text) = 0;
    virtual void ShowAccountSettings(unsigned account, HWND owner) = 0;
    virtual void ShowContactDetails(HWND owner, int contact) = 0;
    virtual void ShowHistory(HWND owner, int contact) = 0;
    virtual void CopyText(const CZELString& text) = 0;
    virtual void ContactCameOnline(int contact) = 0;
    virtual void ContactWentOffline(int contact) = 0;
    virtual bool DontSleep() = 0;
    virtual void ResetIdleTimer() = 0;
    // The display option every popup menu of the program gets.
    virtual bool FullScreenMenus() = 0;
    virtual HWND MainWindow() = 0;
};

class CBusContactListHost : public IContactListHost {
public:
    explicit CBusContactListHost(Services::CServicesManager& bus) : bus(bus) {}

    CZELString GetAlias(int item) override;
    CZELString GetAccountName(int item) override;
    int GetContactGroup(int contact) override;
    unsigned GetItemAccount(int item) override;
    bool GetGroupIndex(int group, int* out) override;
    void SetGroupIndex(int group, int index) override;
    bool GetGroupOpen(int group, bool* open) override;
    void SetGroupOpen(int group, bool open) override;
    bool GetAccountItems(unsigned account, std::vector<std::pair<int, int>>& items) override;
    bool GetSettingOpen(const wchar_t* key, bool* open) override;
    void SetSettingOpen(const wchar_t* key, bool open) override;
    CZELString GetAccountDisplayName(unsigned account) override;
    int GetProtocolPicture(unsigned account) override;
    bool GetAccountOpen(unsigned account, bool* open) override;
    void SetAccountOpen(unsigned account, bool open) override;
    bool GetLogonDate(unsigned account, unsigned* unixTime) override;
    unsigned Now() override;
    bool IsAccountOnline(unsigned account) override;
    bool GetContactIcons(unsigned account, int contact, StatusInfo& out) override;
    void FillAccountMenu(unsigned account, CPopupMenu* menu) override;
    void FillGroupMenu(unsigned account, int group, CPopupMenu* menu) override;
    void FillContactMenu(unsigned account, int contact, CPopupMenu* menu) override;
    void AddGroup(unsigned account, const CZELString& name) override;
    void RenameGroup(unsigned account, int group, const CZELString& name) override;
    void DeleteGroup(unsigned account, int group) override;
    void RenameContact(unsigned account, int contact, const CZELString& name) override;
    void MoveContact(unsigned account, int contact, int group) override;
    void DeleteContact(unsigned account, int contact) override;
    bool AskText(HWND owner, int kind, CZELString& text) override;
    void ShowAccountSettings(unsigned account, HWND owner) override;
    void ShowContactDetails(HWND owner, int contact) override;
    void ShowHistory(HWND owner, int contact) override;
    void CopyText(const CZELString& text) override;
    void ContactCameOnline(int contact) override;
    void ContactWentOffline(int contact) override;
    bool DontSleep() override;
    void ResetIdleTimer() override;
    bool FullScreenMenus() override;
    HWND MainWindow() override;

private:
    Services::CServicesManager& bus;
};
