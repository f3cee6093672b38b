// What the user is told at start-up about a settings file the program leaves as it is, and that the
// file is then left byte for byte through a whole run of the core services.
#include "Zel/shell/StartupWarnings.h"

#include "Zel/shell/CoreServices.h"
#include "Zel/shell/UserWarning.h"
#include "Zel/shell/tests/SettingsFileBytes.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

using TestSupport::TempFolder;

std::wstring Wide(const CZELString& text)
{
    return text.IsEmpty() ? std::wstring() : std::wstring(text.GetBuffer(), size_t(text.GetLength()));
}

// Collects what would have been shown, for as long as it lives.
class ShownWarnings {
public:
    ShownWarnings() { SetUserWarningInterceptor(&ShownWarnings::Take, this); }
    ~ShownWarnings() { SetUserWarningInterceptor(nullptr, nullptr); }

    std::vector<std::wstring> texts;

private:
    static void Take(const wchar_t* text, void* context) { static_cast<ShownWarnings*>(context)->texts.push_back(text); }
};

class StartupWarningsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settingsFile = folder.path + L"settings.zel";
        place.bus = &bus;
        place.images = &images;
        place.settingsFile = settingsFile.c_str();
        place.protosFolder = (folder.path + L"NoProtos\\").c_str();
        ASSERT_TRUE(TestSupport::WriteWholeFile(settingsFile, sample));
    }

    // Runs the core services from start to shutdown, changing a setting, and returns what the
    // user was shown once they stood.
    std::vector<std::wstring> Run(HANDLE letGoAfterStart = INVALID_HANDLE_VALUE)
    {
        ShownWarnings shown;
        CreateCoreServices(place);
        if (letGoAfterStart != INVALID_HANDLE_VALUE) CloseHandle(letGoAfterStart);
        bus.FireStartupEvent();
        ShowStartupWarnings(nullptr);
        int number = 5;
        if (SettingsStoreService) SettingsStoreService->SetInt(GUID_GUI, L"Changed", &number);
        DestroyCoreServices();
        return shown.texts;
    }

    TempFolder folder{L"StartupWarningsTest"};
    Services::CServicesManager bus;
    CSkinImageSet images;
    CoreServicesPlace place;
    std::wstring settingsFile;
    const std::string sample = SettingsFileBytes::Section("{5CA0CBC1-999A-4EA2-8B44-F8F67D7F8EBE}",
                                                          SettingsFileBytes::Value("Kept", "yes"));
};

}  // namespace

TEST_F(StartupWarningsTest, AReadableFileNeedsNoWord)
{
    EXPECT_TRUE(Run().empty());
    // Written as usual.
    EXPECT_NE(TempFolder::Read(settingsFile), sample);
}

TEST_F(StartupWarningsTest, AFileHeldByAnotherProgramIsKeptAndTheUserIsTold)
{
    HANDLE held = CreateFileW(settingsFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    // Let go once the services stand: the file could be written at shutdown, and must not be.
    std::vector<std::wstring> shown = Run(held);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find(L"could not be read"), std::wstring::npos) << std::string(shown[0].begin(), shown[0].end());
    EXPECT_NE(shown[0].find(settingsFile), std::wstring::npos);
    EXPECT_NE(shown[0].find(L"(error 32)"), std::wstring::npos);
    EXPECT_EQ(TempFolder::Read(settingsFile), sample);
}

TEST_F(StartupWarningsTest, AReadOnlyFileIsKeptAndTheUserIsTold)
{
    ASSERT_TRUE(SetFileAttributesW(settingsFile.c_str(), FILE_ATTRIBUTE_READONLY));
    std::vector<std::wstring> shown = Run();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find(L"is read-only"), std::wstring::npos) << std::string(shown[0].begin(), shown[0].end());
    EXPECT_EQ(TempFolder::Read(settingsFile), sample);
    EXPECT_TRUE(GetFileAttributesW(settingsFile.c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(settingsFile.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(SettingsFileWarning, SaysWhatHappenedAndWhy)
{
    struct Case {
        const char* name;
        unsigned long error;
        const wchar_t* says;  // null: nothing to say
    } cases[] = {
        {"read", 0, nullptr},
        {"held by another program", ERROR_SHARING_VIOLATION, L"could not be read"},
        {"read-only", ERROR_FILE_READ_ONLY, L"is read-only"},
        {"no access", ERROR_ACCESS_DENIED, L"(error 5)"},
        {"an error without a text of its own", 0x2000FFFF, L"(error 536936447)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring text = Wide(SettingsFileWarning(CZELString(L"C:\\Zel\\settings.zel"), c.error));
        if (!c.says) {
            EXPECT_TRUE(text.empty());
            continue;
        }
        EXPECT_NE(text.find(c.says), std::wstring::npos) << std::string(text.begin(), text.end());
        EXPECT_NE(text.find(L"C:\\Zel\\settings.zel"), std::wstring::npos);
        EXPECT_NE(text.find(L"will not be saved"), std::wstring::npos);
    }
}
