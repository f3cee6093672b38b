// The file browser: its texts and paths as tables, the listing of a temporary tree that stands in
// for the device's root, and the dialog driven by messages from a script in its modal loop.
#include "Zel/prefs/FileBrowserDialog.h"

#include "Handheld/FileSystemRoot.h"
#include "Zel/prefs/FileBrowserModel.h"
#include "Zel/prefs/PreferencesPage.h"
#include "ZELCommon/tests/TempFolder.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using TestSupport::Scripted;

namespace {

void MakeFile(const std::wstring& path, size_t size, bool hidden = false)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string bytes(size, 'x');
    DWORD written = 0;
    if (size) WriteFile(file, bytes.data(), DWORD(size), &written, nullptr);
    CloseHandle(file);
    if (hidden) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
}

std::vector<std::wstring> Names(const std::vector<FileBrowser::Entry>& entries)
{
    std::vector<std::wstring> names;
    for (const auto& entry : entries) names.push_back(entry.name);
    return names;
}

class RootScope {
public:
    explicit RootScope(const std::wstring& folder) { SetDeviceRootFolder(folder.c_str()); }
    ~RootScope() { SetDeviceRootFolder(nullptr); }
};

class ScriptedBrowser : public Scripted<FileBrowserDialog> {
public:
    using Scripted<FileBrowserDialog>::Scripted;
    void OnInitDialog() override
    {
        Scripted<FileBrowserDialog>::OnInitDialog();
        StartScript();
    }
    HWND Item(int id) const { return GetDlgItem(id); }
    std::vector<std::wstring> RowTexts()
    {
        std::vector<std::wstring> rows;
        HWND list = Item(1022);
        for (int i = 0; i < int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); ++i) {
            wchar_t text[MAX_PATH] = L"";
            LVITEMW item = {};
            item.pszText = text;
            item.cchTextMax = MAX_PATH;
            SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(i), LPARAM(&item));
            rows.push_back(text);
        }
        return rows;
    }
    std::wstring Cell(int row, int column)
    {
        wchar_t text[MAX_PATH] = L"";
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        SendMessageW(Item(1022), LVM_GETITEMTEXTW, WPARAM(row), LPARAM(&item));
        return text;
    }
    void SelectRow(int row)
    {
        LVITEMW state = {};
        state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(Item(1022), LVM_SETITEMSTATE, WPARAM(row), LPARAM(&state));
    }
    std::vector<std::wstring> PathTexts()
    {
        std::vector<std::wstring> texts;
        HWND paths = Item(1032);
        for (int i = 0; i < int(SendMessageW(paths, CB_GETCOUNT, 0, 0)); ++i) {
            wchar_t text[MAX_PATH] = L"";
            SendMessageW(paths, CB_GETLBTEXT, WPARAM(i), LPARAM(text));
            texts.push_back(text);
        }
        return texts;
    }
};

}  // namespace

TEST(FileBrowserModel, TextsAndPaths)
{
    EXPECT_EQ(FileBrowser::SizeText(1024), L"1024");
    EXPECT_EQ(FileBrowser::SizeText(1025), L"1.00K");
    EXPECT_EQ(FileBrowser::SizeText(1048577), L"1.00M");
    EXPECT_EQ(FileBrowser::SizeText(0), L"0");

    std::vector<FileBrowser::Entry> entries = {{L"b", 0, {}}, {L"A", 0, {}}, {L"a", 0, {}}};
    FileBrowser::SortByName(entries);
    EXPECT_EQ(Names(entries), (std::vector<std::wstring>{L"A", L"a", L"b"}));

    EXPECT_EQ(FileBrowser::PathEntries(L"\\"), std::vector<std::wstring>{L"\\"});
    EXPECT_EQ(FileBrowser::PathEntries(L"\\My Documents\\Sounds\\"),
              (std::vector<std::wstring>{L"\\", L"  My Documents", L"    Sounds"}));
    EXPECT_EQ(FileBrowser::CutAt(L"\\A\\B\\C\\", 0), L"\\");
    EXPECT_EQ(FileBrowser::CutAt(L"\\A\\B\\C\\", 2), L"\\A\\B\\");
    EXPECT_EQ(FileBrowser::Parent(L"\\A\\B\\"), L"\\A\\");
    EXPECT_EQ(FileBrowser::Parent(L"\\"), L"\\");
    EXPECT_EQ(FileBrowser::Types(L"*.wav;*.ini;"), (std::vector<std::wstring>{L"*.wav", L"*.ini"}));
    EXPECT_TRUE(FileBrowser::Types(L"").empty());

    const struct {
        const wchar_t* name;
        const wchar_t* type;
        const wchar_t* path;  // null: refused
    } saves[] = {{L"notes", L"*.txt", L"\\D\\notes.txt"},     {L"notes.txt", L"*.txt", L"\\D\\notes.txt"},
                 {L"NOTES.TXT", L"*.txt", L"\\D\\NOTES.TXT.txt"}, {L"", L"*.txt", nullptr},
                 {L"log", L"", L"\\D\\log"}};
    for (const auto& save : saves) {
        std::wstring path;
        const bool made = FileBrowser::SavePath(L"\\D\\", save.name, save.type, path);
        EXPECT_EQ(made, save.path != nullptr) << save.name;
        if (save.path) {
            EXPECT_EQ(path, save.path);
        }
    }
    // Nothing past MAX_PATH: a long name or folder does nothing.
    std::wstring out = L"unchanged";
    EXPECT_FALSE(FileBrowser::SavePath(L"\\D\\", std::wstring(MAX_PATH, L'n'), L"*.txt", out));
    EXPECT_FALSE(FileBrowser::Child(L"\\D\\", std::wstring(MAX_PATH, L'f'), out));
    EXPECT_EQ(out, L"unchanged");
}

TEST(FileBrowserModel, ListsATreeUnderTheDeviceRoot)
{
    TestSupport::TempFolder tree{L"FileBrowserTree"};
    RootScope root(tree.path);
    CreateDirectoryW((tree.path + L"Zeta").c_str(), nullptr);
    CreateDirectoryW((tree.path + L"alpha").c_str(), nullptr);
    CreateDirectoryW((tree.path + L"secret").c_str(), nullptr);
    SetFileAttributesW((tree.path + L"secret").c_str(), FILE_ATTRIBUTE_HIDDEN);
    MakeFile(tree.path + L"b.txt", 1024);
    MakeFile(tree.path + L"C.txt", 1025);
    MakeFile(tree.path + L"x.wav", 10);
    MakeFile(tree.path + L"h.txt", 1, true);
    EXPECT_EQ(FileBrowser::RealPath(L"\\alpha\\"), tree.path + L"alpha\\");
    EXPECT_EQ(FileBrowser::DevicePath(tree.path + L"alpha\\x"), L"\\alpha\\x");

    std::vector<FileBrowser::Entry> folders, files;
    ASSERT_TRUE(FileBrowser::List(L"\\", L"*.txt", false, folders, files));
    EXPECT_EQ(Names(folders), (std::vector<std::wstring>{L"Zeta", L"alpha"}));
    EXPECT_EQ(Names(files), (std::vector<std::wstring>{L"C.txt", L"b.txt"}));
    ASSERT_TRUE(FileBrowser::List(L"\\", L"", true, folders, files));
    EXPECT_EQ(Names(folders), (std::vector<std::wstring>{L"Zeta", L"alpha", L"secret"}));
    EXPECT_EQ(Names(files), (std::vector<std::wstring>{L"C.txt", L"b.txt", L"h.txt", L"x.wav"}));
    EXPECT_FALSE(FileBrowser::List(L"\\gone\\", L"", false, folders, files));
}

TEST(FileBrowserDialogTest, OpensSavesAndRemembersTheFolder)
{
    ZEL_REQUIRE_DISPLAY();
    TestSupport::TempFolder tree{L"FileBrowserDialog"};
    RootScope root(tree.path);
    FileBrowserReset();
    CreateDirectoryW((tree.path + L"Sounds").c_str(), nullptr);
    MakeFile(tree.path + L"Sounds\\ring.wav", 1048577);
    MakeFile(tree.path + L"Sounds\\hidden.wav", 5, true);
    MakeFile(tree.path + L"top.wav", 3);
    HWND host = TestSupport::CreateHostWindow(240, 320);
    TestSupport::WindowScope scope(host);

    {
        ScriptedBrowser dialog(L"*.wav;", FileBrowserDialog::ModeOpen);
        dialog.steps = {[&] {
            EXPECT_EQ(dialog.RowTexts(), (std::vector<std::wstring>{L"Sounds", L"top.wav"}));
            EXPECT_EQ(dialog.PathTexts(), std::vector<std::wstring>{L"\\"});
            EXPECT_FALSE(IsWindowEnabled(dialog.Item(1019)));
            dialog.Activate();  // the first row, a folder, opens
            EXPECT_EQ(dialog.Folder(), L"\\Sounds\\");
            EXPECT_EQ(dialog.PathTexts(), (std::vector<std::wstring>{L"\\", L"  Sounds"}));
            EXPECT_TRUE(IsWindowEnabled(dialog.Item(1019)));
            EXPECT_EQ(dialog.RowTexts(), std::vector<std::wstring>{L"ring.wav"});
            dialog.RunMenuCommand(FileBrowserDialog::MenuShowAll);
            EXPECT_EQ(dialog.RowTexts(), (std::vector<std::wstring>{L"hidden.wav", L"ring.wav"}));
            dialog.RunMenuCommand(FileBrowserDialog::MenuShowAll);
            dialog.RunMenuCommand(FileBrowserDialog::MenuDetailsView);
            EXPECT_EQ(GetWindowLongW(dialog.Item(1022), GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
            EXPECT_EQ(dialog.Cell(0, 1), L"1.00M");
            SendMessageW(dialog.Item(1019), BM_CLICK, 0, 0);
            EXPECT_EQ(dialog.Folder(), L"\\");
            dialog.SelectRow(0);
            dialog.Activate();
            dialog.SelectRow(0);
            dialog.Activate();
        }};
        EXPECT_EQ(dialog.DoModal(FileBrowserDialog::TemplateId, PreferencesModule(), host), IDOK);
        EXPECT_EQ(FileBrowserLastPath(), L"\\Sounds\\ring.wav");
        EXPECT_EQ(FileBrowserLastRealPath(), tree.path + L"Sounds\\ring.wav");
        EXPECT_EQ(FileBrowserViewMode(), 1);
    }
    {
        // The next run opens in the last chosen file's folder; a save name gets the type's ending.
        ScriptedBrowser dialog(L"*.txt;", FileBrowserDialog::ModeSave);
        dialog.steps = {[&] {
            EXPECT_EQ(dialog.Folder(), L"\\Sounds\\");
            wchar_t typed[32] = L"";
            GetWindowTextW(dialog.Item(1056), typed, 32);
            EXPECT_STREQ(typed, L"*.txt");
            SetWindowTextW(dialog.Item(1056), L"NOTES.TXT");
            dialog.Activate();
        }};
        EXPECT_EQ(dialog.DoModal(FileBrowserDialog::TemplateId, PreferencesModule(), host), IDOK);
        EXPECT_EQ(FileBrowserLastPath(), L"\\Sounds\\NOTES.TXT.txt");
    }
    FileBrowserReset();
}
