// The global settings record over the real settings store and contact-list data: a first run's
// defaults (the anti-spam texts reaching the contact list's section), a round trip through
// "settings.zel", values of the wrong size replaced from the packs, and the pack lists.
#include "Zel/prefs/GlobalSettings.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/AntiSpam.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::wstring Wide(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

std::vector<std::wstring> Names(const CZELArray<CZELString>& list)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < list.GetCount(); ++i) names.push_back(Wide(list[i]));
    return names;
}

class GlobalSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const wchar_t* name : {L"Skins", L"Alerts", L"Smilies", L"Langs", L"Protos"}) folder.Folder(name);
    }
    void TearDown() override { Stop(); }

    void Start()
    {
        place.bus = &bus;
        place.images = &images;
        place.settingsFile = (root + L"settings.zel").c_str();
        place.protosFolder = (root + L"Protos\\").c_str();
        CreateCoreServices(place);
        running = true;
    }
    // Destroying the services writes "settings.zel".
    void Stop()
    {
        if (running) DestroyCoreServices();
        running = false;
    }
    GlobalSettings Loaded()
    {
        GlobalSettings settings;
        settings.SetPlace(&bus, root.c_str());
        settings.Load();
        return settings;
    }
    CSettingsStore& Store() { return *SettingsStoreService; }

    void Write(const std::wstring& name, const std::string& bytes) { folder.Write(name, bytes); }
    void WriteSkin(const wchar_t* name, COLORREF first)
    {
        std::vector<COLORREF> colours(ColorScheme::Defaults, ColorScheme::Defaults + ColorScheme::Count);
        colours[0] = first;
        CreateDirectoryW((root + L"Skins\\" + name).c_str(), nullptr);
        ColorScheme::Save((root + L"Skins\\" + name + L"\\_colors.ini").c_str(), colours.data());
    }

    TestSupport::TempFolder folder{L"GlobalSettingsTest"};
    const std::wstring& root = folder.path;
    Services::CServicesManager bus;
    CSkinImageSet images;
    CoreServicesPlace place;
    bool running = false;
};

}  // namespace

TEST_F(GlobalSettingsTest, FirstRunGivesEveryDefaultAndStoresTheAntispamTexts)
{
    Start();
    GlobalSettings settings = Loaded();
    EXPECT_TRUE(settings.autoConnect && settings.trayIcon && settings.wideMenu);
    EXPECT_FALSE(settings.fullScreen || settings.clOnlyOnline || settings.clDontShowIcon);
    EXPECT_EQ(settings.clMode, 1);
    EXPECT_EQ(settings.clColumns, 2);
    EXPECT_EQ(settings.clFont.lfHeight, 14);
    EXPECT_EQ(settings.clFont.lfWeight, 400);
    EXPECT_EQ(settings.clFont.lfCharSet, 1);
    EXPECT_STREQ(settings.clFont.lfFaceName, L"Tahoma");
    EXPECT_FALSE(settings.turnOffEvents || settings.notifySignOn || settings.notifySignOff || settings.dontBlink);
    EXPECT_TRUE(settings.showMessages && settings.dontShowIfActive && settings.useBlinking);
    EXPECT_FALSE(settings.dontShowIfOccupied || settings.wakeUp);
    EXPECT_TRUE(settings.alertSoundOn && settings.alertVibraOn && settings.alertSoftMode);
    EXPECT_FALSE(settings.alertAdvancedSound);
    EXPECT_EQ(settings.alertVolume, 10);
    EXPECT_TRUE(settings.useSmile && settings.scaleSmile);
    EXPECT_EQ(Wide(settings.language), L"English");
    EXPECT_TRUE(settings.histSaveHistory && settings.histSaveNotInList && settings.histShowInChat);
    EXPECT_EQ(settings.histMessagesToShow, 4);
    EXPECT_FALSE(settings.dontSleep);
    EXPECT_EQ(settings.blinkLed, 255);
    EXPECT_EQ(settings.vibraLed, 255);
    // No packs at all: the preferred names, the built-in colours and alert entries.
    EXPECT_EQ(Wide(settings.skinName), L"ZEL PDA skin");
    EXPECT_EQ(Wide(settings.alertPackName), L"ZEL PDA alerts");
    EXPECT_EQ(Wide(settings.smilePack), L"ZEL PDA smilies");
    EXPECT_EQ(memcmp(settings.colors, ColorScheme::Defaults, sizeof settings.colors), 0);
    ASSERT_EQ(settings.alerts.GetCount(), 5);
    EXPECT_EQ(settings.alerts[0].vibra, 0xFu);
    EXPECT_EQ(settings.alerts[4].vibra, 0x3u);

    EXPECT_TRUE(settings.antispamEnable);
    EXPECT_EQ(Wide(settings.antispamQuestion), DefaultAntispamQuestion);
    EXPECT_EQ(Wide(settings.antispamAnswer), L"Amber");
    EXPECT_EQ(Wide(settings.antispamConfirm), DefaultAntispamConfirm);
    for (const wchar_t* key : {L"AntispamQuestion", L"AntispamAnswer", L"AntispamConfirm"}) {
        CZELString stored;
        EXPECT_TRUE(Store().GetString(GUID_CONTACT_LIST_DATA, key, stored));
        EXPECT_FALSE(stored.IsEmpty());
    }
}

TEST_F(GlobalSettingsTest, EveryValueComesBackAfterARestart)
{
    WriteSkin(L"Blue", 0x112233);
    Write(L"Smilies\\Faces\\_define.ini", ":)");
    Start();
    GlobalSettings settings = Loaded();
    settings.autoConnect = false;
    settings.fullScreen = true;
    settings.clMode = 0;
    settings.clColumns = 4;
    wcscpy(settings.clFont.lfFaceName, L"Courier");
    settings.clFont.lfHeight = 20;
    settings.wakeUp = true;
    settings.alertVolume = 3;
    settings.alertPackName = L"Gone";
    settings.alerts[2].sound = L"C:\\x\\online.wav";
    settings.alerts[2].soundOn = true;
    settings.alerts[2].vibra = 0x80000001u;
    settings.skinName = L"Blue";
    settings.colors[0] = 0x0000000A;
    settings.colors[5] = 0x00ABCDEF;
    settings.smilePack = L"Faces";
    settings.language = L"Russian";
    settings.histShowInChat = false;
    settings.histMessagesToShow = 17;
    settings.dontSleep = true;
    settings.blinkLed = 0;
    settings.vibraLed = 3;
    settings.Save();
    Stop();

    Start();
    GlobalSettings loaded = Loaded();
    EXPECT_FALSE(loaded.autoConnect);
    EXPECT_TRUE(loaded.fullScreen);
    EXPECT_EQ(loaded.clMode, 0);
    EXPECT_EQ(loaded.clColumns, 4);
    EXPECT_STREQ(loaded.clFont.lfFaceName, L"Courier");
    EXPECT_EQ(loaded.clFont.lfHeight, 20);
    EXPECT_TRUE(loaded.wakeUp);
    EXPECT_EQ(loaded.alertVolume, 3);
    // The stored pack name stays although its folder is missing; its entries come from "Alerts".
    EXPECT_EQ(Wide(loaded.alertPackName), L"Gone");
    ASSERT_EQ(loaded.alerts.GetCount(), 5);
    EXPECT_EQ(Wide(loaded.alerts[2].sound), L"C:\\x\\online.wav");
    EXPECT_TRUE(loaded.alerts[2].soundOn);
    EXPECT_EQ(loaded.alerts[2].vibra, 0x80000001u);
    EXPECT_EQ(Wide(loaded.skinName), L"Blue");
    EXPECT_EQ(loaded.colors[5], COLORREF(0x00ABCDEF));
    EXPECT_EQ(loaded.colors[0], COLORREF(0x0000000A));  // the stored colours, not the skin's file
    EXPECT_EQ(Wide(loaded.smilePack), L"Faces");
    EXPECT_EQ(Wide(loaded.language), L"Russian");
    EXPECT_FALSE(loaded.histShowInChat);
    EXPECT_EQ(loaded.histMessagesToShow, 17);
    EXPECT_TRUE(loaded.dontSleep);
    EXPECT_EQ(loaded.blinkLed, 0);
    EXPECT_EQ(loaded.vibraLed, 3);
    // The anti-spam copy in the GUI section is written but never read back.
    CZELString copy;
    EXPECT_TRUE(Store().GetString(GUID_GUI, L"AntispamAnswer", copy));
}

TEST_F(GlobalSettingsTest, WrongSizedColoursAndAlertsComeFromTheirPacks)
{
    WriteSkin(L"ZEL PDA skin", 0x445566);
    Write(L"Alerts\\Beeps\\_alerts.ini", "[ZELAlerts]\r\nin=a.wav 1\r\nout=b.wav 0\r\non=c.wav 01\r\ninfo=d.wav 0\r\nmail=e.wav 11");
    Start();
    std::vector<unsigned char> shortColours(128, 0x7F);
    int length = int(shortColours.size());
    Store().SetBlob(GUID_GUI, L"Colors", shortColours.data(), &length);
    Store().SetString(GUID_GUI, L"AlertPackName", L"Beeps");
    GlobalSettings four;
    four.SetPlace(&bus, root.c_str());
    four.Load();
    four.alerts.RemoveAt(4);
    four.Save();  // "Alerts" now holds four entries
    std::vector<unsigned char> longColours(136, 0x7F);
    length = int(longColours.size());
    Store().SetBlob(GUID_GUI, L"Colors", longColours.data(), &length);

    GlobalSettings settings = Loaded();
    EXPECT_EQ(settings.colors[0], COLORREF(0x445566));
    ASSERT_EQ(settings.alerts.GetCount(), 5);
    EXPECT_EQ(Wide(settings.alerts[0].sound), root + L"Alerts\\Beeps\\a.wav");
    EXPECT_EQ(settings.alerts[2].vibra, 0x2u);
    EXPECT_EQ(settings.alerts[4].vibra, 0x3u);

    // A blob that lacks a value in one entry counts as unreadable too.
    std::string broken(1, '\0');
    broken += std::string("\x05\x00\x00\x00", 4) + std::string(5, 'x');
    length = int(broken.size());
    Store().SetBlob(GUID_GUI, L"Alerts", broken.data(), &length);
    EXPECT_EQ(Wide(Loaded().alerts[0].sound), root + L"Alerts\\Beeps\\a.wav");
}

TEST_F(GlobalSettingsTest, AStoredSkinWithoutItsColourFileGivesWayToTheDefaultSkin)
{
    CreateDirectoryW((root + L"Skins\\Broken").c_str(), nullptr);
    WriteSkin(L"Another", 0x010101);
    Start();
    Store().SetString(GUID_GUI, L"SkinName", L"Broken");
    Store().SetString(GUID_GUI, L"SmilePack", L"Missing");
    // Without "ZEL PDA skin": the first skin listed.
    EXPECT_EQ(Wide(Loaded().skinName), L"Another");
    WriteSkin(L"ZEL PDA skin", 0x020202);
    GlobalSettings settings = Loaded();
    EXPECT_EQ(Wide(settings.skinName), L"ZEL PDA skin");
    EXPECT_EQ(settings.colors[0], COLORREF(0x020202));
    EXPECT_EQ(Wide(settings.smilePack), L"ZEL PDA smilies");
}

TEST_F(GlobalSettingsTest, WithoutServicesEverythingIsDefaultAndNothingIsSaved)
{
    WriteSkin(L"Only", 0x030303);
    GlobalSettings settings = Loaded();
    EXPECT_TRUE(settings.autoConnect);
    EXPECT_EQ(Wide(settings.skinName), L"Only");
    EXPECT_EQ(settings.colors[0], COLORREF(0x030303));
    EXPECT_EQ(settings.alerts.GetCount(), 5);
    EXPECT_FALSE(settings.antispamEnable);
    EXPECT_TRUE(settings.antispamQuestion.IsEmpty());
    settings.Save();
}

TEST_F(GlobalSettingsTest, PackLists)
{
    for (const wchar_t* name : {L"Zulu", L"Alpha", L"bravo"}) CreateDirectoryW((root + L"Skins\\" + name).c_str(), nullptr);
    Write(L"Alerts\\Loud\\_alerts.ini", "x");
    CreateDirectoryW((root + L"Alerts\\Empty").c_str(), nullptr);
    Write(L"Smilies\\Faces\\_define.ini", "x");
    Write(L"Smilies\\Faces\\x.gif", "x");
    CreateDirectoryW((root + L"Smilies\\NoDefine").c_str(), nullptr);
    for (const wchar_t* name : {L"ZEL_Russian.dll", L"ZEL_Belarusian.dll", L"Other.dll", L"ZEL_.dll", L"ZEL_x.txt"})
        Write(std::wstring(L"Langs\\") + name, "x");

    CZELArray<CZELString> list;
    ListSkins(list, root.c_str());
    EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"Alpha", L"Zulu", L"bravo"}));
    ListAlertPacks(list, root.c_str());
    EXPECT_EQ(Names(list), std::vector<std::wstring>{L"Loud"});
    ListSmileyPacks(list, root.c_str());
    EXPECT_EQ(Names(list), std::vector<std::wstring>{L"Faces"});
    ListLanguages(list, root.c_str());
    EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"English", L"Belarusian", L"Russian"}));
    EXPECT_TRUE(AlertPackExists(L"Loud", root.c_str()));
    EXPECT_FALSE(AlertPackExists(L"Empty", root.c_str()));
    EXPECT_FALSE(SkinExists(L"Alpha", root.c_str()));
    EXPECT_TRUE(SmileyPackExists(L"Faces", root.c_str()));
    EXPECT_FALSE(SmileyPackExists(CZELString(), root.c_str()));
}

TEST_F(GlobalSettingsTest, ColumnsBelowOneCountAsOne)
{
    Start();
    for (char stored : {0, 3}) {
        SCOPED_TRACE(int(stored));
        Store().SetByte(GUID_GUI, L"CLColumns", &stored);
        EXPECT_EQ(Loaded().clColumns, stored < 1 ? 1 : int(stored));
    }
}
