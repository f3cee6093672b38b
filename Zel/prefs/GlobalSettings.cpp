#include "Zel/prefs/GlobalSettings.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/AntiSpam.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/shell/helpers/FileHelpers.h"
#include "Zel/shell/helpers/ResourcePaths.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/ZELPath.h"

#include <cstddef>
#include <cstring>
#include <cwchar>

namespace {

const wchar_t kDefaultAlertPack[] = L"ZEL PDA alerts";
const wchar_t kDefaultSkin[] = L"ZEL PDA skin";
const wchar_t kDefaultSmileyPack[] = L"ZEL PDA smilies";
const wchar_t kDefaultLanguage[] = L"English";

// The one-byte settings, with their defaults, in table order.
struct BoolKey {
    const wchar_t* key;
    bool GlobalSettings::*field;
    bool byDefault;
};
const BoolKey kBoolKeys[] = {
    {L"GlobAutoConnect", &GlobalSettings::autoConnect, true},
    {L"GlobTrayIcon", &GlobalSettings::trayIcon, true},
    {L"GlobFullScreen", &GlobalSettings::fullScreen, false},
    {L"GlobWideMenu", &GlobalSettings::wideMenu, true},
    {L"CLOnlyOnline", &GlobalSettings::clOnlyOnline, false},
    {L"CLDontShowIcon", &GlobalSettings::clDontShowIcon, false},
    {L"Turn off", &GlobalSettings::turnOffEvents, false},
    {L"Sign on", &GlobalSettings::notifySignOn, false},
    {L"Sign off", &GlobalSettings::notifySignOff, false},
    {L"Dont blinking", &GlobalSettings::dontBlink, false},
    {L"Show msg", &GlobalSettings::showMessages, true},
    {L"Dont show if occupied", &GlobalSettings::dontShowIfOccupied, false},
    {L"Dont show if active", &GlobalSettings::dontShowIfActive, true},
    {L"Wake up", &GlobalSettings::wakeUp, false},
    {L"Use blinking", &GlobalSettings::useBlinking, true},
    {L"AlertSoundOn", &GlobalSettings::alertSoundOn, true},
    {L"AlertAdvancedSound", &GlobalSettings::alertAdvancedSound, false},
    {L"AlertVibraOn", &GlobalSettings::alertVibraOn, true},
    {L"AlertSoftMode", &GlobalSettings::alertSoftMode, true},
    {L"UseSmile", &GlobalSettings::useSmile, true},
    {L"ScaleSmile", &GlobalSettings::scaleSmile, true},
    {L"HistSaveHist", &GlobalSettings::histSaveHistory, true},
    {L"HistSaveNotInList", &GlobalSettings::histSaveNotInList, true},
    {L"HistShowInMW", &GlobalSettings::histShowInChat, true},
    {L"GlobDontSleep", &GlobalSettings::dontSleep, false},
};

// Settings held as numbers: one-byte values taken unchanged, and 32-bit integers.
struct NumberKey {
    const wchar_t* key;
    int GlobalSettings::*field;
    int byDefault;
};
const NumberKey kByteKeys[] = {
    {L"CLMode", &GlobalSettings::clMode, 1},
    {L"CLColumns", &GlobalSettings::clColumns, 2},
};

const NumberKey kIntKeys[] = {
    {L"AlertVol", &GlobalSettings::alertVolume, 10},
    {L"HistMsgCountForShow", &GlobalSettings::histMessagesToShow, 4},
};

const wchar_t kFont[] = L"CLFont";
const wchar_t kAlertPackName[] = L"AlertPackName";
const wchar_t kAlerts[] = L"Alerts";
const wchar_t kSkinName[] = L"SkinName";
const wchar_t kColors[] = L"Colors";
const wchar_t kSmilePack[] = L"SmilePack";
const wchar_t kLang[] = L"Lang";
const wchar_t kBlinkLed[] = L"HardBlinkLed";
const wchar_t kVibraLed[] = L"HardVibraLed";
const wchar_t kAntispamEnable[] = L"AntispamEnable";
const wchar_t kAntispamQuestion[] = L"AntispamQuestion";
const wchar_t kAntispamAnswer[] = L"AntispamAnswer";
const wchar_t kAntispamConfirm[] = L"AntispamConfirm";

// The preferred pack when it exists, else the first listed, else the preferred all the same.
template <typename Exists, typename List>
CZELString ChoosePack(const wchar_t* preferred, const CZELString& root, Exists exists, List list)
{
    CZELString name(preferred);
    if (exists(name, root)) return name;
    CZELArray<CZELString> names;
    list(names, root);
    return names.GetCount() ? names[0] : name;
}

CZELString Folder(const CZELString& root, const wchar_t* folderName)
{
    return (root.IsEmpty() ? CZELPath::AppDir() : root) + folderName;
}

// The sub-folders of a pack folder that hold a given file.
void ListPacksHolding(const CZELString& root, const wchar_t* folderName, const wchar_t* file, CZELArray<CZELString>& out)
{
    CZELArray<CZELString> all;
    ListSubdirectories(Folder(root, folderName), all);
    out = CZELArray<CZELString>();
    for (int i = 0; i < all.GetCount(); ++i)
        if (FileExists((Folder(root, folderName) + all[i] + GetPathSeparator() + file).GetBuffer())) out.Add(all[i]);
}

bool PackHolds(const CZELString& root, const wchar_t* folderName, const CZELString& name, const wchar_t* file)
{
    if (name.IsEmpty()) return false;
    return FileExists((Folder(root, folderName) + name + GetPathSeparator() + file).GetBuffer());
}

}  // namespace

GlobalSettings::GlobalSettings()
    : autoConnect(false), trayIcon(false), fullScreen(false), wideMenu(false), clMode(0), clOnlyOnline(false),
      clColumns(0), clDontShowIcon(false), clFont(), turnOffEvents(false), notifySignOn(false), notifySignOff(false),
      dontBlink(false), showMessages(false), dontShowIfOccupied(false), dontShowIfActive(false), wakeUp(false),
      useBlinking(false), alertSoundOn(false), alertAdvancedSound(false), alertVolume(0), alertVibraOn(false),
      alertSoftMode(false), colors(), useSmile(false), scaleSmile(false), histSaveHistory(false),
      histSaveNotInList(false), histShowInChat(false), histMessagesToShow(0), antispamEnable(false), dontSleep(false),
      blinkLed(0), vibraLed(0), bus(nullptr)
{
}

void GlobalSettings::SetPlace(Services::CServicesManager* placeBus, const CZELString& folder)
{
    bus = placeBus;
    appFolder = folder;
}

Services::CServicesManager& GlobalSettings::Bus() const
{
    return bus ? *bus : TheBus();
}

CZELString GlobalSettings::Root() const
{
    return appFolder;
}

LOGFONTW GlobalSettings::DefaultFont()
{
    LOGFONTW font = {};
    font.lfHeight = 14;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    wcscpy(font.lfFaceName, L"Tahoma");
    return font;
}

void GlobalSettings::LoadAntispam()
{
    CContactListData* list = static_cast<CContactListData*>(Bus().GetService(GUID_CONTACT_LIST_DATA));
    if (!list) return;
    antispamEnable = list->GetAntispamEnable();
    // The defaults reach the contact-list data's section on the first run.
    ApplyAntispamDefaults(*list);
    antispamQuestion = list->GetAntispamQuestion();
    antispamAnswer = list->GetAntispamAnswer();
    antispamConfirm = list->GetAntispamConfirm();
}

void GlobalSettings::ApplyDefaults()
{
    for (const BoolKey& key : kBoolKeys) this->*key.field = key.byDefault;
    for (const NumberKey& key : kByteKeys) this->*key.field = key.byDefault;
    for (const NumberKey& key : kIntKeys) this->*key.field = key.byDefault;
    clFont = DefaultFont();
    blinkLed = vibraLed = 255;
    language = kDefaultLanguage;
    alertPackName = ChoosePack(kDefaultAlertPack, Root(), AlertPackExists, ListAlertPacks);
    skinName = ChoosePack(kDefaultSkin, Root(), SkinExists, ListSkins);
    smilePack = ChoosePack(kDefaultSmileyPack, Root(), SmileyPackExists, ListSmileyPacks);
}

void GlobalSettings::Load()
{
    LoadAntispam();
    ApplyDefaults();
    CSettingsStore* store = static_cast<CSettingsStore*>(Bus().GetService(GUID_SETTINGS_STORE));
    bool alertsStored = false;
    bool colorsStored = false;
    if (store) {
        const ZEL_GUID& section = GUID_GUI;
        for (const BoolKey& key : kBoolKeys) {
            char value = key.byDefault ? 1 : 0;
            store->GetByte(section, CZELString(key.key), &value);
            this->*key.field = value != 0;
        }
        for (const NumberKey& key : kByteKeys) {
            char value = char(key.byDefault);
            store->GetByte(section, CZELString(key.key), &value);
            this->*key.field = static_cast<unsigned char>(value);
        }
        for (const NumberKey& key : kIntKeys) store->GetInt(section, CZELString(key.key), &(this->*key.field));
        // A grid of contacts has at least one column, whatever the file says.
        if (clColumns < 1) clColumns = 1;

        LOGFONTW font = {};
        unsigned fontLength = sizeof font;
        if (store->GetBlob(section, CZELString(kFont), &font, &fontLength) && fontLength == sizeof font) {
            font.lfFaceName[LF_FACESIZE - 1] = 0;
            clFont = font;
        }
        // A stored alert pack is kept even when its folder is gone: its entries come from "Alerts".
        store->GetString(section, CZELString(kAlertPackName), alertPackName);
        AlertEntryArray stored;
        alertsStored = AlertListSetting::Load(*store, section, CZELString(kAlerts), stored) &&
                       stored.GetCount() == AlertEventCount;
        if (alertsStored) alerts = stored;

        CZELString storedSkin;
        if (store->GetString(section, CZELString(kSkinName), storedSkin) && SkinExists(storedSkin, Root()))
            skinName = storedSkin;
        COLORREF storedColors[ColorCount];
        unsigned colorsLength = sizeof storedColors;
        int colorsSize = 0;
        colorsStored = store->GetValueSize(section, CZELString(kColors), &colorsSize) &&
                       colorsSize == int(sizeof storedColors) &&
                       store->GetBlob(section, CZELString(kColors), storedColors, &colorsLength);
        if (colorsStored) memcpy(colors, storedColors, sizeof colors);

        CZELString storedPack;
        if (store->GetString(section, CZELString(kSmilePack), storedPack) && SmileyPackExists(storedPack, Root()))
            smilePack = storedPack;
        store->GetString(section, CZELString(kLang), language);
        char led = char(255);
        store->GetByte(section, CZELString(kBlinkLed), &led);
        blinkLed = static_cast<unsigned char>(led);
        led = char(255);
        store->GetByte(section, CZELString(kVibraLed), &led);
        vibraLed = static_cast<unsigned char>(led);
    }
    if (!alertsStored) AlertPack::LoadPack(alertPackName, alerts, Root());
    if (!colorsStored) ColorScheme::LoadPack(skinName, colors, Root());
}

void GlobalSettings::Save()
{
    CSettingsStore* store = static_cast<CSettingsStore*>(Bus().GetService(GUID_SETTINGS_STORE));
    if (!store) return;
    const ZEL_GUID& section = GUID_GUI;
    auto setByte = [&](const wchar_t* key, int value) {
        char byte = char(value);
        store->SetByte(section, CZELString(key), &byte);
    };
    for (const BoolKey& key : kBoolKeys) setByte(key.key, this->*key.field ? 1 : 0);
    for (const NumberKey& key : kByteKeys) setByte(key.key, this->*key.field);
    for (const NumberKey& key : kIntKeys) store->SetInt(section, CZELString(key.key), &(this->*key.field));
    int length = sizeof clFont;
    store->SetBlob(section, CZELString(kFont), &clFont, &length);
    store->SetString(section, CZELString(kAlertPackName), alertPackName);
    AlertListSetting::Save(*store, section, CZELString(kAlerts), alerts);
    store->SetString(section, CZELString(kSkinName), skinName);
    length = sizeof colors;
    store->SetBlob(section, CZELString(kColors), colors, &length);
    store->SetString(section, CZELString(kSmilePack), smilePack);
    store->SetString(section, CZELString(kLang), language);
    setByte(kBlinkLed, blinkLed);
    setByte(kVibraLed, vibraLed);
    // A copy for the record; the contact-list data's own section is the one that counts.
    setByte(kAntispamEnable, antispamEnable ? 1 : 0);
    store->SetString(section, CZELString(kAntispamQuestion), antispamQuestion);
    store->SetString(section, CZELString(kAntispamAnswer), antispamAnswer);
    store->SetString(section, CZELString(kAntispamConfirm), antispamConfirm);
}

void ListAlertPacks(CZELArray<CZELString>& out, const CZELString& root)
{
    ListPacksHolding(root, GetAlertsFolderName(), GetAlertsFileName(), out);
}

void ListSkins(CZELArray<CZELString>& out, const CZELString& root)
{
    ListSubdirectories(Folder(root, GetSkinsFolderName()), out);
}

void ListSmileyPacks(CZELArray<CZELString>& out, const CZELString& root)
{
    ListPacksHolding(root, GetSmiliesFolderName(), GetSmileyDefineFileName(), out);
}

void ListLanguages(CZELArray<CZELString>& out, const CZELString& root)
{
    out = CZELArray<CZELString>();
    out.Add(CZELString(kDefaultLanguage));
    CZELArray<CZELString> modules;
    ListFiles(Folder(root, GetLangsFolderName()), CZELString(L"*.dll"), modules);
    CZELString prefix(GetLangModulePrefix());
    const int suffix = 4;  // ".dll"
    for (int i = 0; i < modules.GetCount(); ++i) {
        const CZELString& file = modules[i];
        if (file.GetLength() <= prefix.GetLength() + suffix ||
            _wcsnicmp(file.GetBuffer(), prefix.GetBuffer(), size_t(prefix.GetLength())) != 0)
            continue;
        out.Add(file.Substring(prefix.GetLength(), file.GetLength() - prefix.GetLength() - suffix));
    }
}

bool AlertPackExists(const CZELString& name, const CZELString& root)
{
    return PackHolds(root, GetAlertsFolderName(), name, GetAlertsFileName());
}

bool SkinExists(const CZELString& name, const CZELString& root)
{
    return PackHolds(root, GetSkinsFolderName(), name, GetColorsFileName());
}

bool SmileyPackExists(const CZELString& name, const CZELString& root)
{
    return PackHolds(root, GetSmiliesFolderName(), name, GetSmileyDefineFileName());
}
