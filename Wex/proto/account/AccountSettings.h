// A Wex account's stored settings: the eight values read by Load and written by Unload, and the
// per-key values the connection lifecycle and the settings page read and write while the account
// runs. They live in the protocols manager's per-account values; every getter puts its default
// first, so a missing value, or no protocols manager at all, gives the default.
#pragma once

#include "Wex/proto/SignOnCommands.h"

#include "ZELCommon/ZELString.h"

#include <vector>

namespace Services {
class CServicesManager;
}
class IProtocolsManager;

struct WexAccountSettings {
    CZELString Uin;
    Wex::Md5Digest PasswordDigest{};
    bool ShowStandardIcon = false;
    bool ShowXStatusInStatusbar = false;
    bool ShowPrivStatusInStatusbar = false;
    bool ShowClientsIcons = false;
    bool SendTypingNotification = false;
    bool XStatusAutoRequest = false;
};

// The user's own title and description of one x-status entry.
struct XStatusText {
    CZELString title;
    CZELString description;
};

namespace WexKeys {
extern const wchar_t AccountName[];
extern const wchar_t AccountPassword[];
extern const wchar_t ShowStandardIcon[];
extern const wchar_t ShowXStatusInStatusbar[];
extern const wchar_t ShowPrivStatusInStatusbar[];
extern const wchar_t ShowClientsIcons[];
extern const wchar_t TypingNotification[];
extern const wchar_t XStatusAutoRequest[];
extern const wchar_t ServerName[];
extern const wchar_t ServerPort[];
extern const wchar_t MoveServers[];
extern const wchar_t LastServerIndex[];
extern const wchar_t KeepAlive[];
extern const wchar_t LoadContactList[];
extern const wchar_t XStatus[];
extern const wchar_t AutoSwitchPrivacy[];

// The keys of x-status entry i's own title (decimal i, "X status name", "X status desc") and
// description (decimal i alone).
CZELString XStatusTitle(int i);
CZELString XStatusDescription(int i);
}  // namespace WexKeys

// The network's preset login hosts, in their fixed order; the first is the default "Server name".
const std::vector<CZELString>& PresetLoginHosts();

enum { DefaultServerPort = 5190 };

// One account's values, through the protocols manager found on the bus at each call.
class AccountValues {
public:
    AccountValues(Services::CServicesManager* bus, unsigned accountId) : bus(bus), accountId(accountId) {}

    // False (settings untouched) when the protocols manager cannot be reached.
    bool Load(WexAccountSettings& settings);
    void Save(const WexAccountSettings& settings);
    // Each entry's texts; false when the protocols manager cannot be reached.
    bool LoadXStatusTexts(std::vector<XStatusText>& texts);
    void SaveXStatusTexts(const std::vector<XStatusText>& texts);

    CZELString GetServerName();
    void SetServerName(const CZELString& name);
    int GetServerPort();
    void SetServerPort(int port);
    void SetMoveServers(bool on);
    int GetLastServerIndex();
    void SetLastServerIndex(int index);
    bool GetKeepAlive();
    void SetKeepAlive(bool on);
    bool GetLoadContactList();
    void SetLoadContactList(bool on);
    int GetXStatusIndex();
    void SetXStatusIndex(int index);
    bool GetAutoSwitchPrivacy();
    void SetAutoSwitchPrivacy(bool on);

private:
    IProtocolsManager* Manager() const;
    bool Bool(const wchar_t* key, bool fallback);
    int Byte(const wchar_t* key, int fallback);
    void SetByte(const wchar_t* key, int value);

    Services::CServicesManager* const bus;
    const unsigned accountId;
};
