#include "Wex/proto/account/AccountSettings.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"

namespace WexKeys {
const wchar_t AccountName[] = L"Account name";
const wchar_t AccountPassword[] = L"Account password";
const wchar_t ShowStandardIcon[] = L"Show standard icon";
const wchar_t ShowXStatusInStatusbar[] = L"Show x-status in statusbar";
const wchar_t ShowPrivStatusInStatusbar[] = L"Show priv status in statusbar";
const wchar_t ShowClientsIcons[] = L"Show clients icons";
const wchar_t TypingNotification[] = L"Typing notification";
const wchar_t XStatusAutoRequest[] = L"XStatusAutoRequest";
const wchar_t ServerName[] = L"Server name";
const wchar_t ServerPort[] = L"Server port";
const wchar_t MoveServers[] = L"Move servers";
const wchar_t LastServerIndex[] = L"Last server index";
const wchar_t KeepAlive[] = L"Keep alive";
const wchar_t LoadContactList[] = L"Load cl";
const wchar_t XStatus[] = L"X status";
const wchar_t AutoSwitchPrivacy[] = L"Auto-switch privacy status";

CZELString XStatusDescription(int i)
{
    return CZELString(unsigned(i), false, 0);
}

CZELString XStatusTitle(int i)
{
    return XStatusDescription(i) + L"X status name" + L"X status desc";
}
}  // namespace WexKeys

const std::vector<CZELString>& PresetLoginHosts()
{
    // Reserved example names and documentation addresses: a real host is typed per account.
    static const std::vector<CZELString> hosts = {
        CZELString(L"login.example.com"), CZELString(L"login.example.net"), CZELString(L"login.example.org"),
        CZELString(L"wex.example.com"),   CZELString(L"wex.example.net"),   CZELString(L"192.0.2.10"),
        CZELString(L"198.51.100.10"),     CZELString(L"203.0.113.10"),
    };
    return hosts;
}

IProtocolsManager* AccountValues::Manager() const
{
    return bus ? static_cast<IProtocolsManager*>(bus->GetService(GUID_PROTOCOLS_MANAGER)) : nullptr;
}

bool AccountValues::Bool(const wchar_t* key, bool fallback)
{
    bool value = fallback;
    if (IProtocolsManager* manager = Manager()) manager->GetAccountBool(accountId, CZELString(key), &value);
    return value;
}

int AccountValues::Byte(const wchar_t* key, int fallback)
{
    char value = char(fallback);
    if (IProtocolsManager* manager = Manager()) manager->GetAccountByte(accountId, CZELString(key), &value);
    return int((unsigned char)value);
}

void AccountValues::SetByte(const wchar_t* key, int value)
{
    char byte = char(value & 0xFF);
    if (IProtocolsManager* manager = Manager()) manager->SetAccountByte(accountId, CZELString(key), &byte);
}

bool AccountValues::Load(WexAccountSettings& settings)
{
    IProtocolsManager* manager = Manager();
    if (!manager) return false;
    CZELString uin;
    manager->GetAccountString(accountId, CZELString(WexKeys::AccountName), uin, 0);
    settings.Uin = uin;
    // A stored value longer than a digest does not fit, and leaves the digest zero.
    Wex::Md5Digest digest{};
    unsigned length = unsigned(digest.size());
    if (!manager->GetAccountBlob(accountId, CZELString(WexKeys::AccountPassword), digest.data(), &length))
        digest.fill(0);
    settings.PasswordDigest = digest;
    settings.ShowStandardIcon = Bool(WexKeys::ShowStandardIcon, false);
    settings.ShowXStatusInStatusbar = Bool(WexKeys::ShowXStatusInStatusbar, true);
    settings.ShowPrivStatusInStatusbar = Bool(WexKeys::ShowPrivStatusInStatusbar, true);
    settings.ShowClientsIcons = Bool(WexKeys::ShowClientsIcons, true);
    settings.SendTypingNotification = Bool(WexKeys::TypingNotification, true);
    settings.XStatusAutoRequest = Bool(WexKeys::XStatusAutoRequest, true);
    return true;
}

void AccountValues::Save(const WexAccountSettings& settings)
{
    IProtocolsManager* manager = Manager();
    if (!manager) return;
    manager->SetAccountString(accountId, CZELString(WexKeys::AccountName), settings.Uin, 0);
    const int length = int(settings.PasswordDigest.size());
    manager->SetAccountBlob(accountId, CZELString(WexKeys::AccountPassword), settings.PasswordDigest.data(), &length);
    const struct {
        const wchar_t* key;
        bool value;
    } switches[] = {
        {WexKeys::ShowStandardIcon, settings.ShowStandardIcon},
        {WexKeys::ShowXStatusInStatusbar, settings.ShowXStatusInStatusbar},
        {WexKeys::ShowPrivStatusInStatusbar, settings.ShowPrivStatusInStatusbar},
        {WexKeys::ShowClientsIcons, settings.ShowClientsIcons},
        {WexKeys::TypingNotification, settings.SendTypingNotification},
        {WexKeys::XStatusAutoRequest, settings.XStatusAutoRequest},
    };
    for (const auto& entry : switches) {
        char byte = entry.value ? 1 : 0;
        manager->SetAccountBool(accountId, CZELString(entry.key), &byte);
    }
}

bool AccountValues::LoadXStatusTexts(std::vector<XStatusText>& texts)
{
    IProtocolsManager* manager = Manager();
    if (!manager) return false;
    for (size_t i = 0; i < texts.size(); ++i) {
        manager->GetAccountString(accountId, WexKeys::XStatusTitle(int(i)), texts[i].title, 0);
        manager->GetAccountString(accountId, WexKeys::XStatusDescription(int(i)), texts[i].description, 0);
    }
    return true;
}

void AccountValues::SaveXStatusTexts(const std::vector<XStatusText>& texts)
{
    IProtocolsManager* manager = Manager();
    if (!manager) return;
    for (size_t i = 0; i < texts.size(); ++i) {
        manager->SetAccountString(accountId, WexKeys::XStatusTitle(int(i)), texts[i].title, 0);
        manager->SetAccountString(accountId, WexKeys::XStatusDescription(int(i)), texts[i].description, 0);
    }
}

CZELString AccountValues::GetServerName()
{
    CZELString name = PresetLoginHosts().empty() ? CZELString() : PresetLoginHosts().front();
    if (IProtocolsManager* manager = Manager()) manager->GetAccountString(accountId, CZELString(WexKeys::ServerName), name, 0);
    return name;
}

void AccountValues::SetServerName(const CZELString& name)
{
    if (IProtocolsManager* manager = Manager()) manager->SetAccountString(accountId, CZELString(WexKeys::ServerName), name, 0);
}

int AccountValues::GetServerPort()
{
    short port = short(DefaultServerPort);
    if (IProtocolsManager* manager = Manager()) manager->GetAccountShort(accountId, CZELString(WexKeys::ServerPort), &port);
    return int((unsigned short)port);
}

void AccountValues::SetServerPort(int port)
{
    short value = short(port);
    if (IProtocolsManager* manager = Manager()) manager->SetAccountShort(accountId, CZELString(WexKeys::ServerPort), &value);
}

void AccountValues::SetMoveServers(bool on) { SetByte(WexKeys::MoveServers, on ? 1 : 0); }
int AccountValues::GetLastServerIndex() { return Byte(WexKeys::LastServerIndex, 0); }
void AccountValues::SetLastServerIndex(int index) { SetByte(WexKeys::LastServerIndex, index); }
bool AccountValues::GetKeepAlive() { return Byte(WexKeys::KeepAlive, 1) != 0; }
void AccountValues::SetKeepAlive(bool on) { SetByte(WexKeys::KeepAlive, on ? 1 : 0); }
bool AccountValues::GetLoadContactList() { return Byte(WexKeys::LoadContactList, 1) != 0; }
void AccountValues::SetLoadContactList(bool on) { SetByte(WexKeys::LoadContactList, on ? 1 : 0); }
int AccountValues::GetXStatusIndex() { return Byte(WexKeys::XStatus, 0); }
void AccountValues::SetXStatusIndex(int index) { SetByte(WexKeys::XStatus, index); }
bool AccountValues::GetAutoSwitchPrivacy() { return Byte(WexKeys::AutoSwitchPrivacy, 0) != 0; }
void AccountValues::SetAutoSwitchPrivacy(bool on) { SetByte(WexKeys::AutoSwitchPrivacy, on ? 1 : 0); }
