// The core services' start-up and shutdown order, seen through the settings file: it is written once,
// when the services go down, and holds what was set while they ran; a file the settings store leaves
// as it is stays so, byte for byte, and the user is told at start-up.
#include "Zel/shell/CoreServices.h"

#include "Zel/shell/StartupWarnings.h"
#include "Zel/shell/UserWarning.h"

#include "Zel/shell/tests/SettingsFileBytes.h"
#include "ZELCommon/tests/TempFolder.h"
#include "ZELCommon/tests/WaitUntil.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/core/skin/SkinImages.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

namespace {

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

// What this process writes to the debugger's output while it lives, read as a debug monitor reads
// it: through the shared buffer and the two events that OutputDebugString looks for.
class DebuggerOutput {
public:
    DebuggerOutput()
    {
        mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
        view = mapping ? static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) : nullptr;
        bufferReady = CreateEventW(nullptr, FALSE, TRUE, L"DBWIN_BUFFER_READY");
        dataReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
        reader = std::thread([this] {
            while (WaitForSingleObject(dataReady, INFINITE) == WAIT_OBJECT_0 && !stopping) {
                if (view && *reinterpret_cast<const DWORD*>(view) == GetCurrentProcessId()) {
                    std::lock_guard<std::mutex> hold(lock);
                    text.append(view + sizeof(DWORD), strnlen(view + sizeof(DWORD), 4096 - sizeof(DWORD)));
                }
                SetEvent(bufferReady);
            }
        });
    }
    ~DebuggerOutput()
    {
        stopping = true;
        SetEvent(dataReady);
        reader.join();
        if (view) UnmapViewOfFile(view);
        for (HANDLE handle : {mapping, bufferReady, dataReady})
            if (handle) CloseHandle(handle);
    }
    bool Ready() const { return view && bufferReady && dataReady; }
    std::string Text()
    {
        std::lock_guard<std::mutex> hold(lock);
        return text;
    }

private:
    HANDLE mapping = nullptr, bufferReady = nullptr, dataReady = nullptr;
    const char* view = nullptr;
    std::atomic<bool> stopping{false};
    std::mutex lock;
    std::string text;
    std::thread reader;
};

// The core services over a settings file that already holds a sample.
class StartupWarningsTest : public CoreServicesTest {
protected:
    void SetUp() override
    {
        CoreServicesTest::SetUp();
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

    const std::string sample = SettingsFileBytes::Section("{5CA0CBC1-999A-4EA2-8B44-F8F67D7F8EBE}",
                                                          SettingsFileBytes::Value("Kept", "yes"));
};

}  // namespace

TEST_F(StartupWarningsTest, AReadableFileNeedsNoWord)
{
    DebuggerOutput debugger;
    ASSERT_TRUE(debugger.Ready());
    EXPECT_TRUE(Run().empty());
    Sleep(200);
    EXPECT_EQ(debugger.Text().find("ZEL: "), std::string::npos) << debugger.Text();
    // Written as usual.
    EXPECT_NE(TempFolder::Read(settingsFile), sample);
}

TEST_F(StartupWarningsTest, AFileHeldByAnotherProgramIsKeptAndTheUserIsTold)
{
    HANDLE held = CreateFileW(settingsFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    DebuggerOutput debugger;
    ASSERT_TRUE(debugger.Ready());
    // Let go once the services stand: the file could be written at shutdown, and must not be.
    std::vector<std::wstring> shown = Run(held);
    // The reason goes to the debugger's output too, as one line.
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return debugger.Text().find("(error 32)") != std::string::npos; }))
        << debugger.Text();
    const std::string logged = debugger.Text();
    const size_t line = logged.find("ZEL: The settings file could not be read: ");
    ASSERT_NE(line, std::string::npos) << logged;
    EXPECT_EQ(logged.find('\n', line), logged.find("will not be saved.", line) + 18) << logged;
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
