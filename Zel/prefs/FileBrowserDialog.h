// FileBrowserDialog: the program's own dialog for choosing a file to open or a name to save under,
// on the device's file system (rooted at "\"). The last chosen path, the "show all files" switch
// and the view mode are kept for the whole run and apply to the next browser of any caller.
#pragma once

#include "Zel/prefs/SkinnedDialog.h"

#include <windows.h>

#include <string>
#include <vector>

class FileBrowserDialog : public SkinnedDialog {
public:
    enum { TemplateId = 149, ModeSave = 0, ModeOpen = 1 };
    enum { MenuActivate = 1, MenuUp, MenuRefresh, MenuShowAll, MenuListView, MenuDetailsView, MenuCancel };

    FileBrowserDialog(const wchar_t* filter, int mode);

    void OnInitDialog() override;
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;
    void OnCommand(WORD notifyCode, WORD id, HWND control) override;
    void OnNotify(HWND from, UINT_PTR id, UINT code, NMHDR* header) override;

    // As the left soft key.
    void Activate();
    // A menu command, as chosen from the right soft key's menu.
    void RunMenuCommand(int command);
    const std::wstring& Folder() const { return folder; }
    void GoTo(const std::wstring& deviceFolder);

private:
    void ListFolder();
    void FillPathList();
    void SetViewMode(int mode);
    void OnRowSelected(int row);
    void SetNameEntry(bool on);
    void OpenFolderRow(int row);
    void Choose(const std::wstring& devicePath);
    int SelectedRow() const;

    std::wstring filter;
    int mode;
    std::wstring folder;
    std::wstring type;
    std::vector<std::wstring> rowNames;
    int folderRows;
    bool nameEntry;
};

// The last chosen file as a device path (empty before any), and as the real path it names.
const std::wstring& FileBrowserLastPath();
std::wstring FileBrowserLastRealPath();
// Forgets what earlier runs left: the last path, the switch and the view mode (tests).
void FileBrowserReset();
bool FileBrowserShowAll();
int FileBrowserViewMode();
// Runs a browser over owner; true with the chosen real path.
bool RunFileBrowser(HWND owner, const wchar_t* filter, int mode, std::wstring& path);
