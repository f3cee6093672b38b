#include "Jabber/account/AccountSettings.h"

#include "Jabber/account/AccountKinds.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"

IProtocolsManager* AccountSettings::Manager() const
{
    return bus ? static_cast<IProtocolsManager*>(bus->GetService(GUID_PROTOCOLS_MANAGER)) : nullptr;
}

CZELString AccountSettings::GetString(const wchar_t* key, bool scrambled, const CZELString& fallback) const
{
    IProtocolsManager* manager = Manager();
    CZELString value;
    if (manager && manager->GetAccountString(accountId, CZELString(key), value, scrambled ? 1 : 0)) return value;
    return fallback;
}

void AccountSettings::SetString(const wchar_t* key, bool scrambled, const CZELString& value) const
{
    if (IProtocolsManager* manager = Manager()) manager->SetAccountString(accountId, CZELString(key), value, scrambled ? 1 : 0);
}

int AccountSettings::GetInt(const wchar_t* key, int fallback) const
{
    IProtocolsManager* manager = Manager();
    int value = 0;
    if (manager && manager->GetAccountInt(accountId, CZELString(key), &value)) return value;
    return fallback;
}

void AccountSettings::SetInt(const wchar_t* key, int value) const
{
    if (IProtocolsManager* manager = Manager()) manager->SetAccountInt(accountId, CZELString(key), &value);
}

int AccountSettings::GetByte(const wchar_t* key, int fallback) const
{
    IProtocolsManager* manager = Manager();
    char value = 0;
    if (manager && manager->GetAccountByte(accountId, CZELString(key), &value)) return static_cast<unsigned char>(value);
    return fallback;
}

void AccountSettings::SetByte(const wchar_t* key, int value) const
{
    const char byte = static_cast<char>(value & 0xFF);
    if (IProtocolsManager* manager = Manager()) manager->SetAccountByte(accountId, CZELString(key), &byte);
}

int AccountSettings::DefaultPort() const
{
    return kind == KindGoogleTalk ? 5223 : 5222;
}

CZELString AccountSettings::GetAccountName() const { return GetString(L"Account name", false, CZELString()); }
void AccountSettings::SetAccountName(const CZELString& value) const { SetString(L"Account name", false, value); }
CZELString AccountSettings::GetPassword() const { return GetString(L"Account password", true, CZELString()); }
void AccountSettings::SetPassword(const CZELString& value) const { SetString(L"Account password", true, value); }

CZELString AccountSettings::GetServer() const
{
    return GetString(L"Account server", false, CZELString(KindOf(kind).presetDomain));
}

void AccountSettings::SetServer(const CZELString& value) const { SetString(L"Account server", false, value); }
int AccountSettings::GetPort() const { return GetInt(L"Account port", DefaultPort()); }
void AccountSettings::SetPort(int value) const { SetInt(L"Account port", value); }
CZELString AccountSettings::GetResource() const { return GetString(L"Account resource", false, CZELString(L"ZEL PDA")); }
void AccountSettings::SetResource(const CZELString& value) const { SetString(L"Account resource", false, value); }
int AccountSettings::GetPriority() const { return GetByte(L"Account priority", 0); }
bool AccountSettings::GetUseSsl() const { return GetByte(L"SSL", kind == KindGoogleTalk ? 1 : 0) != 0; }
void AccountSettings::SetUseSsl(bool value) const { SetByte(L"SSL", value ? 1 : 0); }
bool AccountSettings::GetCompression() const { return GetByte(L"Compression", 0) != 0; }
void AccountSettings::SetCompression(bool value) const { SetByte(L"Compression", value ? 1 : 0); }
bool AccountSettings::GetKeepAlive() const { return GetByte(L"KeepAlive", 1) != 0; }
bool AccountSettings::GetEmailNotify() const { return GetByte(L"EmailNotify", 1) != 0; }
void AccountSettings::SetEmailNotify(bool value) const { SetByte(L"EmailNotify", value ? 1 : 0); }
bool AccountSettings::GetHideEmailButton() const { return GetByte(L"HideEmailBtn", 0) != 0; }
void AccountSettings::SetHideEmailButton(bool value) const { SetByte(L"HideEmailBtn", value ? 1 : 0); }

bool AccountSettings::GetManualConnection() const
{
    const bool preset = kind == KindOwnServer || kind == KindYandex || kind == KindGoogleTalk;
    return GetByte(L"Manual connection settings", preset ? 1 : 0) != 0;
}

void AccountSettings::SetManualConnection(bool value) const { SetByte(L"Manual connection settings", value ? 1 : 0); }

CZELString AccountSettings::GetManualServer() const
{
    return GetString(L"Manual connection server", false, CZELString(KindOf(kind).presetHost));
}

void AccountSettings::SetManualServer(const CZELString& value) const { SetString(L"Manual connection server", false, value); }
int AccountSettings::GetManualPort() const { return GetInt(L"Manual connection port", DefaultPort()); }
void AccountSettings::SetManualPort(int value) const { SetInt(L"Manual connection port", value); }

CZELString AccountSettings::OwnJid() const
{
    return GetAccountName() + L"@" + GetServer();
}
