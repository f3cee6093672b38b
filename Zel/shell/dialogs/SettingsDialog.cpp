#include "Zel/shell/dialogs/SettingsDialog.h"

#include "Zel/shell/app/GuiResources.h"
#include "ZELCommon/DialogWidthFit.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"

namespace {

// Soft-key texts.
const int kOkText = 243;
const int kCancelText = 244;

}  // namespace

CSettingsDialog::~CSettingsDialog() {}

void CSettingsDialog::OnInitDialog()
{
    CTabbedDialog::OnInitDialog();
    SettingsPageList list;
    BuildPages(list);
    for (int i = 0; i < list.pages.GetCount(); ++i) {
        ZELTabDlg::IPan* pan = list.pages[i];
        // Pages are owned as the window objects behind the interface.
        UI::CZELWMUI_SettingsPan* page = dynamic_cast<UI::CZELWMUI_SettingsPan*>(pan);
        if (!page) continue;
        // The page comes up at its template's size; its controls must fit the page area.
        if (HWND window = page->Create(hwnd)) {
            RECT designed = {};
            GetClientRect(window, &designed);
            const RECT& area = GetPageArea();
            UI::FitChildrenToWidth(window, designed.right, area.right - area.left);
        }
        AddPage(GetPageCount(), page, pan->GetTitle(), pan->GetIcons());
    }
    if (GetPageCount() == 0) {
        ::EndDialog(hwnd, IDCANCEL);
        return;
    }
    int first = list.firstPage;
    SelectPage(first >= 0 && first < GetPageCount() ? first : 0);
}

int CSettingsDialog::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    if (key == SoftKeyLeft) {
        caption = GuiText(kOkText);
        return 1;
    }
    if (key == SoftKeyRight) {
        caption = GuiText(kCancelText);
        return 1;
    }
    return 0;
}

void CSettingsDialog::OnSoftKey(TSoftKey key)
{
    if (key == SoftKeyLeft)
        EndDialog(IDOK);
    else if (key == SoftKeyRight)
        EndDialog(IDCANCEL);
}
