// Runs the program from a private copy of its folder (the program, its libraries and a "Protos\"
// tree of test plug-ins), as a user would start it, and looks at what it leaves behind.
#include "Handheld/tests/DisplayRequirement.h"
#include "Zel/shell/tests/SettingsFileBytes.h"
#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

using namespace SettingsFileBytes;

std::wstring BinFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path, length);
    return full.substr(0, full.rfind(L'\\') + 1);
}

void CopyTree(const std::wstring& from, const std::wstring& to)
{
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((from + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + name + L"\\", to + name + L"\\");
        else
            CopyFileW((from + name).c_str(), (to + name).c_str(), FALSE);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

std::string ReadAll(const std::wstring& path)
{
    return TestSupport::TempFolder::Read(path);
}

void WriteAll(const std::wstring& path, const std::string& bytes)
{
    ASSERT_TRUE(TestSupport::WriteWholeFile(path, bytes));
}

// One section {7D874B0A-...} holding the key "Test" with the byte 7.
std::string SampleSettings()
{
    return Section("{7D874B0A-D93B-4D4D-B748-026FEB4ECCE0}", Value("Test", std::string(1, '\x07')));
}

class ZelProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::wstring bin = BinFolder();
        for (const wchar_t* file : {L"Zel.exe", L"ZELCommon.dll", L"Handheld.dll", L"libstdc++-6.dll",
                                    L"libgcc_s_seh-1.dll", L"libwinpthread-1.dll"})
            ASSERT_TRUE(CopyFileW((bin + file).c_str(), (folder + file).c_str(), FALSE)) << "missing";
        CopyTree(bin + L"PluginTrees\\" + Scenario() + L"\\Protos\\", folder + L"Protos\\");
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
    WriteAll(folder + L"settings.zel", SampleSettings());
    HANDLE process = Start(L"/quit");
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(Finish(process), 0);

    // The start-up event made the protocols manager scan: each of the three plug-ins described its
    // protocols once.
    EXPECT_EQ(ReadAll(log), "described 1\ndescribed 1\ndescribed 5\n");
    // The settings were loaded and written back whole at the end, with the connection service's
    // part (its section sorts first), through no leftover temporary file.
    EXPECT_EQ(ReadAll(folder + L"settings.zel"), ConnectionDefaults() + SampleSettings());
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*.tmp").c_str(), &entry);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

TEST_F(ZelProgram, WithNothingSetWritesOnlyTheConnectionServicesDefaults)
{
    HANDLE process = Start(L"/quit");
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(Finish(process), 0);
    EXPECT_EQ(ReadAll(folder + L"settings.zel"), ConnectionDefaults());
}

TEST_F(ZelProgram, RunsUntilItsWindowIsClosed)
{
    ZEL_REQUIRE_DISPLAY();
    HANDLE process = Start(L"");
    ASSERT_NE(process, nullptr);
    HWND window = nullptr;
    for (int i = 0; i < 300 && !window; ++i) {
        if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) break;
        window = FindWindowW(L"ZELWM_APPLICATION_CLASS", L"ZEL PDA");
        if (!window) Sleep(50);
    }
    if (!window) {
        Finish(process);
        FAIL() << "the program made no window";
    }
    // Still running a while later: it waits for its window to close.
    EXPECT_EQ(WaitForSingleObject(process, 300), WAIT_TIMEOUT);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(process), 0);
    EXPECT_EQ(ReadAll(log), "described 1\ndescribed 1\ndescribed 5\n");
}

namespace {

// The first top-level dialog of the process, or null.
HWND DialogOf(DWORD processId)
{
    struct Search {
        DWORD processId;
        HWND found;
    } search = {processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            Search* s = reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t className[16] = L"";
            GetClassNameW(window, className, 16);
            if (owner != s->processId || std::wstring(className) != L"#32770" || !IsWindowVisible(window)) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

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
        dialog = DialogOf(processId);
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
