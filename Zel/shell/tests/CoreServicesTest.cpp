// The core services' start-up and shutdown order, seen through the settings file: it is written once,
// when the services go down, and holds what was set while they ran.
#include "Zel/shell/CoreServices.h"

#include "Zel/shell/tests/SettingsFileBytes.h"
#include "ZELCommon/tests/TempFolder.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/core/skin/SkinImages.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

using TestSupport::TempFolder;

class CoreServicesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settingsFile = folder.path + L"settings.zel";
        place.bus = &bus;
        place.images = &images;
        place.settingsFile = settingsFile.c_str();
        place.protosFolder = (folder.path + L"NoProtos\\").c_str();
    }

    static std::string ReadAll(const std::wstring& path) { return TempFolder::Read(path); }

    TempFolder folder{L"CoreServicesTest"};
    Services::CServicesManager bus;
    CSkinImageSet images;
    CoreServicesPlace place;
    std::wstring settingsFile;
};

}  // namespace

TEST_F(CoreServicesTest, ServicesComeUpRegisteredAndGoDownInOrder)
{
    CreateCoreServices(place);
    ASSERT_NE(SettingsStoreService, nullptr);
    ASSERT_NE(SkinImagesService, nullptr);
    ASSERT_NE(ProtocolsManagerService, nullptr);
    EXPECT_EQ(bus.GetService(GUID_SETTINGS_STORE), SettingsStoreService);
    EXPECT_EQ(bus.GetService(GUID_SKIN_IMAGES), SkinImagesService);
    EXPECT_TRUE(bus.HasService(GUID_PROTOCOLS_MANAGER));
    bus.FireStartupEvent();
    EXPECT_EQ(ProtocolsManagerService->GetProtocolCount(), 0);

    DestroyCoreServices();
    EXPECT_EQ(SettingsStoreService, nullptr);
    EXPECT_EQ(SkinImagesService, nullptr);
    EXPECT_EQ(ProtocolsManagerService, nullptr);
    for (const ZEL_GUID* id : {&GUID_SETTINGS_STORE, &GUID_SKIN_IMAGES, &GUID_PROTOCOLS_MANAGER})
        EXPECT_FALSE(bus.HasService(*id));
}

TEST_F(CoreServicesTest, SettingsAreWrittenOnceAtShutdownAndComeBackAfterARestart)
{
    CreateCoreServices(place);
    int number = 0x01020304;
    SettingsStoreService->SetInt(GUID_GUI, L"HistMsgCountForShow", &number);
    SettingsStoreService->SetString(GUID_PROTOCOLS_MANAGER, L"Note", L"abc");
    bus.FireStartupEvent();
    // Nothing reaches the disk while the services run.
    EXPECT_EQ(GetFileAttributesW(settingsFile.c_str()), INVALID_FILE_ATTRIBUTES);
    DestroyCoreServices();

    // Sections in ascending GUID text order ({250B...} before {3BAE...} before {5CA0...}), each holding
    // its values; the connection service stores its defaults.
    using namespace SettingsFileBytes;
    std::string expected = ConnectionDefaults() +
                           Section("{3BAE2E79-C55B-41B8-851D-0CB7DFF053B6}", Value("Note", "abc")) +
                           Section("{5CA0CBC1-999A-4EA2-8B44-F8F67D7F8EBE}",
                                   Value("HistMsgCountForShow", std::string("\x04\x03\x02\x01", 4)));
    EXPECT_EQ(ReadAll(settingsFile), expected);

    CreateCoreServices(place);
    int readBack = 0;
    CZELString note;
    EXPECT_EQ(SettingsStoreService->GetInt(GUID_GUI, L"HistMsgCountForShow", &readBack), 1);
    EXPECT_EQ(readBack, 0x01020304);
    EXPECT_EQ(SettingsStoreService->GetString(GUID_PROTOCOLS_MANAGER, L"Note", note), 1);
    EXPECT_TRUE(note == L"abc");
    DestroyCoreServices();
    EXPECT_EQ(ReadAll(settingsFile), expected);
}
