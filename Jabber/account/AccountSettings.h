// AccountSettings: one XMPP account's settings, as named values of the protocols manager's store.
// Nothing is cached: every read asks the store, so what a settings page wrote is what the next
// connection uses. A value counts when the store has it, an empty string included; otherwise, and
// when the protocols manager is not on the bus, the key's default for the account's kind applies.
// Setters do nothing without the protocols manager. Any thread may call these.
#pragma once

// windows.h maps SetPort to SetPortW; including it here gives every user of this header the same
// name for the setter.
#include <windows.h>

#include "ZELCommon/ZELString.h"

namespace Services {
class CServicesManager;
}
class IProtocolsManager;

class AccountSettings {
public:
    AccountSettings(Services::CServicesManager* bus, unsigned accountId, int kind)
        : bus(bus), accountId(accountId), kind(kind)
    {
    }

    CZELString GetAccountName() const;
    void SetAccountName(const CZELString& value) const;
    // Stored scrambled.
    CZELString GetPassword() const;
    void SetPassword(const CZELString& value) const;
    CZELString GetServer() const;
    void SetServer(const CZELString& value) const;
    int GetPort() const;
    void SetPort(int value) const;
    CZELString GetResource() const;
    void SetResource(const CZELString& value) const;
    int GetPriority() const;  // 0 to 255
    bool GetUseSsl() const;
    void SetUseSsl(bool value) const;
    bool GetCompression() const;
    void SetCompression(bool value) const;
    bool GetKeepAlive() const;
    bool GetEmailNotify() const;
    void SetEmailNotify(bool value) const;
    bool GetHideEmailButton() const;
    void SetHideEmailButton(bool value) const;
    bool GetManualConnection() const;
    void SetManualConnection(bool value) const;
    CZELString GetManualServer() const;
    void SetManualServer(const CZELString& value) const;
    int GetManualPort() const;
    void SetManualPort(int value) const;

    // "Account name" "@" "Account server".
    CZELString OwnJid() const;

private:
    IProtocolsManager* Manager() const;
    CZELString GetString(const wchar_t* key, bool scrambled, const CZELString& fallback) const;
    void SetString(const wchar_t* key, bool scrambled, const CZELString& value) const;
    int GetInt(const wchar_t* key, int fallback) const;
    void SetInt(const wchar_t* key, int value) const;
    int GetByte(const wchar_t* key, int fallback) const;
    void SetByte(const wchar_t* key, int value) const;
    int DefaultPort() const;

    Services::CServicesManager* bus;
    unsigned accountId;
    int kind;
};
