// Runs the program from a private copy of its folder (the program, its libraries, the default skin
// and a "Protos\" tree of test plug-ins), as a user would start it, and looks at what it leaves behind.
#include "Zel/shell/tests/ProgramFolder.h"
#include "Zel/shell/tests/SettingsFileBytes.h"
#include "Handheld/tests/DisplayRequirement.h"
#include "ZELCommon/tests/TempFolder.h"
#include "ZELCommon/tests/UiTestSupport.h"
#include "ZELCommon/tests/WindowScreenshot.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <fstream>
#include <map>
#include <thread>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace SettingsFileBytes;

std::string ReadAll(const std::wstring& path)
{
    return TestSupport::TempFolder::Read(path);
}

void WriteAll(const std::wstring& path, const std::string& bytes)
{
    ASSERT_TRUE(TestSupport::WriteWholeFile(path, bytes));
}

// The sections of a settings file by name, each with its values' bytes.
std::map<std::string, std::string> Sections(const std::string& file)
{
    std::map<std::string, std::string> sections;
    size_t at = 0;
    while (at < file.size()) {
        size_t nameLength = static_cast<unsigned char>(file[at]);
        if (at + 1 + nameLength + 4 > file.size()) break;
        std::string name = file.substr(at + 1, nameLength);
        size_t lengthAt = at + 1 + nameLength;
        size_t length = 0;
        for (int i = 3; i >= 0; --i) length = (length << 8) | static_cast<unsigned char>(file[lengthAt + size_t(i)]);
        sections[name] = file.substr(lengthAt + 4, length);
        at = lengthAt + 4 + length;
    }
    return sections;
}

const char kConnectionSection[] = "{250BA6FC-BD6B-4959-9199-9A9339ECC018}";
const char kSettingsSection[] = "{7D874B0A-D93B-4D4D-B748-026FEB4ECCE0}";
const char kGuiSection[] = "{5CA0CBC1-999A-4EA2-8B44-F8F67D7F8EBE}";
const char kContactListSection[] = "{D42F2173-F868-469C-9F2F-B283F799F1CE}";

// The windows a process shows.
std::vector<HWND> WindowsOf(DWORD process)
{
    struct Search {
        DWORD process;
        std::vector<HWND> found;
    } search{process, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            Search& search = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == search.process && IsWindowVisible(window)) search.found.push_back(window);
            return TRUE;
        },
        LPARAM(&search));
    return search.found;
}

// Counts the times a file of a folder is written in place (made, or renamed into its name).
class FileWatch {
public:
    FileWatch(const std::wstring& folder, const std::wstring& name) : name(name)
    {
        directory = CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        changed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!Watching()) return;
        watcher = std::thread([this] { Watch(); });
    }
    ~FileWatch()
    {
        if (watcher.joinable()) {
            SetEvent(stop);
            watcher.join();
        }
        if (directory != INVALID_HANDLE_VALUE) CloseHandle(directory);
        CloseHandle(stop);
        CloseHandle(changed);
    }
    bool Watching() const { return directory != INVALID_HANDLE_VALUE && stop && changed; }
    int Writes() const { return writes; }

private:
    void Watch()
    {
        alignas(DWORD) BYTE buffer[8192];
        for (;;) {
            OVERLAPPED overlapped = {};
            overlapped.hEvent = changed;
            ResetEvent(changed);
            if (!ReadDirectoryChangesW(directory, buffer, sizeof buffer, FALSE,
                                       FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE, nullptr, &overlapped,
                                       nullptr))
                return;
            HANDLE events[] = {changed, stop};
            DWORD read = 0;
            if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 ||
                !GetOverlappedResult(directory, &overlapped, &read, FALSE)) {
                CancelIo(directory);
                GetOverlappedResult(directory, &overlapped, &read, TRUE);
                return;
            }
            for (BYTE* at = buffer; read;) {
                FILE_NOTIFY_INFORMATION* change = reinterpret_cast<FILE_NOTIFY_INFORMATION*>(at);
                std::wstring file(change->FileName, change->FileNameLength / sizeof(wchar_t));
                if (_wcsicmp(file.c_str(), name.c_str()) == 0 &&
                    (change->Action == FILE_ACTION_ADDED || change->Action == FILE_ACTION_RENAMED_NEW_NAME))
                    ++writes;
                if (!change->NextEntryOffset) break;
                at += change->NextEntryOffset;
            }
        }
    }

    std::wstring name;
    HANDLE directory = INVALID_HANDLE_VALUE;
    HANDLE stop = nullptr;
    HANDLE changed = nullptr;
    std::thread watcher;
    std::atomic<int> writes{0};
};

// One section {7D874B0A-...} holding the key "Test" with the byte 7.
std::string SampleSettings()
{
    return Section("{7D874B0A-D93B-4D4D-B748-026FEB4ECCE0}", Value("Test", std::string(1, '\x07')));
}

class ZelProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ProgramFolder::LayOut(folder, Scenario())) << "a file of the program is missing";
        log = folder + L"plugins.log";
        SetEnvironmentVariableW(L"ZEL_TEST_PLUGIN_LOG", log.c_str());
    }

    void TearDown() override
    {
        SetEnvironmentVariableW(L"ZEL_TEST_PLUGIN_LOG", nullptr);
    }

    // The plug-in tree the program's folder gets.
    virtual const wchar_t* Scenario() const { return L"Order"; }

    // Starts the program; returns its process handle, or null.
    HANDLE Start(const std::wstring& arguments)
    {
        std::wstring commandLine = L"\"" + folder + L"Zel.exe\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                            &startup, &process))
            return nullptr;
        CloseHandle(process.hThread);
        return process.hProcess;
    }

    // The program's main window once it stands, or null.
    static HWND WaitForWindow(HANDLE process)
    {
        for (int i = 0; i < 300; ++i) {
            if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return nullptr;
            HWND window = FindWindowW(L"ZELWM_APPLICATION_CLASS", L"ZEL PDA");
            if (window) return window;
            Sleep(50);
        }
        return nullptr;
    }

    // Waits for the program to end; its exit code, or -1 when it did not end in time.
    static long Finish(HANDLE process)
    {
        DWORD code = DWORD(-1);
        if (WaitForSingleObject(process, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
        else TerminateProcess(process, 99);
        CloseHandle(process);
        return long(code);
    }

    // Writes the sample settings and holds the file as another program might: open, not shared.
    HANDLE HoldSampleSettings()
    {
        WriteAll(folder + L"settings.zel", SampleSettings());
        return CreateFileW((folder + L"settings.zel").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }

    TestSupport::TempFolder temp{L"ZelProgramTest"};
    const std::wstring& folder = temp.path;
    std::wstring log;
};

// The folder with the fake account plug-ins, whose accounts answer the manager at once.
class ZelProgramWithAccounts : public ZelProgram {
protected:
    const wchar_t* Scenario() const override { return L"Accounts"; }
};

const std::string kProtocolsManager = "{3BAE2E79-C55B-41B8-851D-0CB7DFF053B6}";
const std::string kContactListData = "{D42F2173-F868-469C-9F2F-B283F799F1CE}";
const std::string kFakeProtocol = "{FA4EAC01-1111-4A4A-8101-0203040506A1}";

// An account's stored list: contacts spread over groups of up to 100, the last two at the top level.
std::string StoredList(int contacts)
{
    int groups = contacts > 2 ? (contacts - 2 + 99) / 100 : 0;
    std::vector<std::string> members(static_cast<size_t>(groups));
    for (int i = 0; i < contacts; ++i) {
        std::string number = std::to_string(100000 + i);
        std::string contact = Value("Contact", Value("Account name", number) + Value("CL Alias", "Contact " + number));
        if (i < contacts - 2)
            members[size_t(i % groups)] += contact;
        else
            members.push_back(contact);  // top level, after every group
    }
    std::string items;
    for (size_t g = 0; g < members.size(); ++g)
        items += int(g) < groups ? Value("Group", Value("Group settings", Value("CL Alias", "Group " + std::to_string(g))) +
                                                  members[g])
                                 : members[g];
    return items;
}

// One line per account record: its name, its size and whether it is byte for byte the one expected.
std::vector<std::string> Compare(const std::string& stored, const std::string& expected)
{
    std::vector<std::string> lines;
    auto want = Records(expected);
    for (const auto& record : Records(stored)) {
        std::string verdict = "not expected";
        for (const auto& w : want)
            if (w.first == record.first) verdict = w.second == record.second ? "as stored" : "changed";
        lines.push_back(record.first + ": " + std::to_string(record.second.size()) + " bytes, " + verdict);
    }
    return lines;
}

}  // namespace

// Each account's stored list is loaded on the contact list's own thread after the account is
// created, while a run that is told to quit at once is already shutting down: whatever the moment,
// the list stored at the end is the whole one, never what was loaded of it so far.
TEST_F(ZelProgramWithAccounts, QuittingAtOnceKeepsEveryStoredListWhole)
{
    struct Account {
        const char* name;
        int contacts;
    } accounts[] = {{"large", 20000}, {"middle", 2000}, {"small", 7}, {"last", 3}};
    std::string accountsData, lists;
    for (const Account& account : accounts) {
        accountsData += Value(kFakeProtocol, Value("Name", account.name));
        lists += Value(kFakeProtocol + account.name, StoredList(account.contacts));
    }
    std::vector<std::string> expected = Compare(lists, lists);
    for (int run = 0; run < 5; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        WriteAll(folder + L"settings.zel", Section(kProtocolsManager, Value("Accounts data", accountsData)) +
                                               Section(kContactListData, Value("CL data", lists)));
        HANDLE process = Start(L"/quit");
        ASSERT_NE(process, nullptr);
        EXPECT_EQ(Finish(process), 0);
        EXPECT_EQ(Compare(FindValue(ReadAll(folder + L"settings.zel"), kContactListData, "CL data"), lists), expected);
    }
}

TEST_F(ZelProgram, StartsScansPluginsAndStopsKeepingItsSettings)
{
    ZEL_REQUIRE_DISPLAY();
    WriteAll(folder + L"settings.zel", SampleSettings());
    HANDLE process = Start(L"/quit");
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(Finish(process), 0);

    // The start-up event made the protocols manager scan: each of the three plug-ins described its
    // protocols once.
    EXPECT_EQ(ReadAll(log), "described 1\ndescribed 1\ndescribed 5\n");
    // The settings were loaded and written back whole at the end, with every service's part,
    // through no leftover temporary file.
    std::map<std::string, std::string> sections = Sections(ReadAll(folder + L"settings.zel"));
    EXPECT_EQ(Sections(ConnectionDefaults())[kConnectionSection], sections[kConnectionSection]);
    EXPECT_EQ(Sections(SampleSettings())[kSettingsSection], sections[kSettingsSection]);
    EXPECT_NE(sections[kGuiSection].find("SkinName"), std::string::npos);
    EXPECT_NE(sections[kGuiSection].find("GlobAutoConnect"), std::string::npos);
    EXPECT_NE(sections[kContactListSection].find("AntispamQuestion"), std::string::npos);
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*.tmp").c_str(), &entry);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

TEST_F(ZelProgram, RunsUntilItsWindowIsClosedAndWritesItsSettingsOnce)
{
    ZEL_REQUIRE_DISPLAY();
    FileWatch watch(folder, L"settings.zel");
    HANDLE process = Start(L"");
    ASSERT_NE(process, nullptr);
    HWND window = WaitForWindow(process);
    ASSERT_NE(window, nullptr);
    // Still running a while later: it waits for its window to close, having written nothing.
    EXPECT_EQ(WaitForSingleObject(process, 300), WAIT_TIMEOUT);
    EXPECT_EQ(GetFileAttributesW((folder + L"settings.zel").c_str()), INVALID_FILE_ATTRIBUTES);
    PostMessageW(window, WM_CLOSE, 0, 0);
    // Every thread stops: the process ends by itself.
    EXPECT_EQ(Finish(process), 0);
    EXPECT_EQ(ReadAll(log), "described 1\ndescribed 1\ndescribed 5\n");
    EXPECT_NE(GetFileAttributesW((folder + L"settings.zel").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(watch.Watching());
    Sleep(200);
    EXPECT_EQ(watch.Writes(), 1);
}

namespace {
HWND DialogOf(DWORD processId, const wchar_t* needle = nullptr);

// Without accounts the program opens the preferences at start: waits for them and closes them.
bool ClosePreferences(HANDLE process)
{
    HWND preferences = nullptr;
    for (int i = 0; i < 200 && !preferences; ++i) {
        preferences = DialogOf(GetProcessId(process));
        if (!preferences) Sleep(50);
    }
    if (!preferences) return false;
    PostMessageW(preferences, WM_CLOSE, 0, 0);
    for (int i = 0; i < 100 && IsWindow(preferences); ++i) Sleep(50);
    return !IsWindow(preferences);
}
}  // namespace

TEST_F(ZelProgram, ASecondInstanceBringsTheFirstToTheFrontAndEnds)
{
    ZEL_REQUIRE_DISPLAY();
    HANDLE first = Start(L"");
    ASSERT_NE(first, nullptr);
    HWND window = WaitForWindow(first);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(ClosePreferences(first));
    // Another window in front first.
    // Other test programs run beside this one and their windows come and go, so the foreground is
    // asked for until it settles rather than read once.
    auto becomesForeground = [](HWND expected, bool ask) {
        for (int i = 0; i < 100; ++i) {
            if (ask) SetForegroundWindow(expected);
            if (GetForegroundWindow() == expected) return true;
            Sleep(20);
        }
        return false;
    };
    TestSupport::WindowScope other(TestSupport::CreateHostWindow(100, 100, L"In front"));
    EXPECT_TRUE(becomesForeground(other.Get(), true));

    HANDLE second = Start(L"");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Finish(second), 1);
    EXPECT_TRUE(becomesForeground(window, false));
    EXPECT_EQ(FindWindowW(L"ZELWM_APPLICATION_CLASS", L"ZEL PDA"), window);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(first), 0);
}

TEST_F(ZelProgram, AWakeupLaunchShowsNoWindowAndEndsWithinASecond)
{
    ZEL_REQUIRE_DISPLAY();
    ULONGLONG started = GetTickCount64();
    HANDLE process = Start(L"AppRunAtTime");
    ASSERT_NE(process, nullptr);
    DWORD id = GetProcessId(process);
    bool windowShown = false;
    while (WaitForSingleObject(process, 20) == WAIT_TIMEOUT && GetTickCount64() - started < 10000)
        windowShown = windowShown || !WindowsOf(id).empty();
    ULONGLONG took = GetTickCount64() - started;
    EXPECT_FALSE(windowShown);
    EXPECT_EQ(Finish(process), 1);
    EXPECT_GE(took, 1000u);
    // The wait, and the process's own start and end under Wine, which take seconds on a busy machine:
    // what matters is that it ends by itself, long before the loop above would give up.
    EXPECT_LT(took, 6000u);

    // A running instance that resumes sets the event: the launch ends at once.
    started = GetTickCount64();
    process = Start(L"AppRunAtTime");
    ASSERT_NE(process, nullptr);
    HANDLE wakeup = nullptr;
    while (!wakeup && GetTickCount64() - started < 5000) {
        wakeup = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"ZEL-PDA-WAKEUP");
        if (!wakeup) Sleep(5);
    }
    ASSERT_NE(wakeup, nullptr);
    ULONGLONG set = GetTickCount64();
    SetEvent(wakeup);
    CloseHandle(wakeup);
    EXPECT_EQ(Finish(process), 1);
    EXPECT_LT(GetTickCount64() - set, 700u);
}

TEST_F(ZelProgram, PaintsItsWindowWithTheDefaultSkin)
{
    ZEL_REQUIRE_DISPLAY();
    HANDLE process = Start(L"");
    ASSERT_NE(process, nullptr);
    HWND window = WaitForWindow(process);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(ClosePreferences(process));
    // Away from the corner where the desktop shows its tray.
    SetWindowPos(window, HWND_TOP, 300, 200, 240, 320, SWP_SHOWWINDOW);
    TestSupport::Image image;
    bool painted = false;
    for (int i = 0; i < 100 && !painted; ++i) {
        Sleep(50);
        painted = TestSupport::CaptureWindow(window, false, &image) && image.width > 20 && image.height > 80 &&
                  image.At(10, 10) != 0xFFFFFFu;
    }
    TestSupport::SaveScreenshot(window, false, L"zel_program.png");
    ASSERT_TRUE(painted);
    // The background picture's field and its dots in the contact list's top corner.
    int field = 0, dots = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            field += image.At(x, y) == 0xEAF2FAu;
            dots += image.At(x, y) == 0xC8DCF0u;
        }
    EXPECT_GT(field, 1400);
    EXPECT_GE(dots, 16);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(process), 0);
}

namespace {

// Every text the dialog's children show, one after another.
std::wstring DialogText(HWND dialog)
{
    std::wstring text;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t piece[1024] = L"";
        GetWindowTextW(child, piece, 1024);
        text += piece;
        text += L"\n";
    }
    return text;
}

// The first top-level dialog of the process whose children show needle (any dialog when null), or
// null. A run without accounts has the preferences open as well.
HWND DialogOf(DWORD processId, const wchar_t* needle)
{
    struct Search {
        DWORD processId;
        HWND found;
        const wchar_t* needle;
    } search = {processId, nullptr, needle};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            Search* s = reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t className[16] = L"";
            GetClassNameW(window, className, 16);
            if (owner != s->processId || std::wstring(className) != L"#32770" || !IsWindowVisible(window)) return TRUE;
            if (s->needle && DialogText(window).find(s->needle) == std::wstring::npos) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}


}  // namespace

TEST_F(ZelProgram, ASettingsFileHeldAtStartIsKeptAndTheUserIsToldOverTheWindow)
{
    ZEL_REQUIRE_DISPLAY();
    HANDLE held = HoldSampleSettings();
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HANDLE process = Start(L"");
    ASSERT_NE(process, nullptr);
    DWORD processId = GetProcessId(process);
    HWND dialog = nullptr;
    for (int i = 0; i < 400 && !dialog; ++i) {
        if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) break;
        dialog = DialogOf(processId, L"could not be read");
        // The preferences, open at start without accounts, go first; but the warning may have come
        // up since the first look, and is never closed here.
        HWND other = dialog ? nullptr : DialogOf(processId);
        if (other && DialogText(other).find(L"could not be read") != std::wstring::npos)
            dialog = other;
        else if (other)
            PostMessageW(other, WM_CLOSE, 0, 0);
        if (!dialog) Sleep(50);
    }
    CloseHandle(held);  // the file could now be written at shutdown
    if (!dialog) Finish(process);
    ASSERT_NE(dialog, nullptr) << "no warning shown over the program's window";
    std::wstring text = DialogText(dialog);
    EXPECT_NE(text.find(L"could not be read"), std::wstring::npos) << std::string(text.begin(), text.end());
    EXPECT_NE(text.find(L"(error 32)"), std::wstring::npos);
    // The main window stands beneath it.
    HWND window = FindWindowW(L"ZELWM_APPLICATION_CLASS", L"ZEL PDA");
    EXPECT_NE(window, nullptr);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindow(dialog); ++i) Sleep(50);
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(process), 0);
    EXPECT_EQ(ReadAll(folder + L"settings.zel"), SampleSettings());
}

TEST_F(ZelProgram, ASettingsFileHeldThroughAQuickRunIsKept)
{
    HANDLE held = HoldSampleSettings();
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HANDLE process = Start(L"/quit");
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(Finish(process), 0);
    CloseHandle(held);
    EXPECT_EQ(ReadAll(folder + L"settings.zel"), SampleSettings());
}
