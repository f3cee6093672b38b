// Where a vCard's named values live: the own ones in the account's values of the protocols manager,
// a contact's as its properties in the contact list. Both stores may be used from any thread.
#pragma once

#include "Jabber/account/VCardFields.h"
#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/contactlist/ContactListData.h"

// The account's own values in the protocols manager.
class AccountValues : public VCardValues {
public:
    AccountValues(IProtocolsManager& manager, unsigned account) : manager(manager), account(account) {}
    bool GetString(const wchar_t* key, CZELString& out) override
    {
        return manager.GetAccountString(account, CZELString(key), out, 0);
    }
    void SetString(const wchar_t* key, const CZELString& value) override
    {
        manager.SetAccountString(account, CZELString(key), value, 0);
    }
    bool GetNumber(const wchar_t* key, int bits, int& out) override
    {
        if (bits == 16) {
            short value = 0;
            if (!manager.GetAccountShort(account, CZELString(key), &value)) return false;
            out = static_cast<unsigned short>(value);
            return true;
        }
        char value = 0;
        if (!manager.GetAccountByte(account, CZELString(key), &value)) return false;
        out = static_cast<unsigned char>(value);
        return true;
    }
    void SetNumber(const wchar_t* key, int bits, int value) override
    {
        if (bits == 16) {
            const short v = short(value);
            manager.SetAccountShort(account, CZELString(key), &v);
        } else {
            const char v = char(value);
            manager.SetAccountByte(account, CZELString(key), &v);
        }
    }

private:
    IProtocolsManager& manager;
    unsigned account;
};

// A contact's properties in the contact list.
class ContactValues : public VCardValues {
public:
    ContactValues(IContactListData& list, int contact) : list(list), contact(contact) {}
    bool GetString(const wchar_t* key, CZELString& out) override { return list.GetPropertyString(contact, CZELString(key), out); }
    void SetString(const wchar_t* key, const CZELString& value) override
    {
        list.SetPropertyString(contact, CZELString(key), value);
    }
    bool GetNumber(const wchar_t* key, int bits, int& out) override
    {
        if (bits == 16) {
            short value = 0;
            if (!list.GetPropertyShort(contact, CZELString(key), &value)) return false;
            out = static_cast<unsigned short>(value);
            return true;
        }
        char value = 0;
        if (!list.GetPropertyByte(contact, CZELString(key), &value)) return false;
        out = static_cast<unsigned char>(value);
        return true;
    }
    void SetNumber(const wchar_t* key, int bits, int value) override
    {
        if (bits == 16) {
            const short v = short(value);
            list.SetPropertyShort(contact, CZELString(key), &v);
        } else {
            const char v = char(value);
            list.SetPropertyByte(contact, CZELString(key), &v);
        }
    }

private:
    IContactListData& list;
    int contact;
};
