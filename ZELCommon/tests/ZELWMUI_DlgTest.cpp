#include "ZELCommon/ZELCommonMain.h"
#include "ZELCommon/ZELCommonResources.h"
#include "ZELCommon/ZELTabDlg_IPan.h"
#include "ZELCommon/ZELWMUI_Dlg.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"
#include "ZELCommon/ZELWMUI_TabPan.h"

#include "SlotOf.h"
#include "UiTestResources.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace UI;
using TestSupport::Scripted;
using TestSupport::SlotOf;

namespace {

TEST(DlgSlots, DialogAndPageOperationsKeepTheirOrder)
{
    long long textColour = SlotOf(&CZELWMUI_WndBase::GetTextColor);
    EXPECT_EQ(textColour + 1, SlotOf(&CZELWMUI_Dlg::OnInitDialog));
    EXPECT_EQ(textColour + 2, SlotOf(&CZELWMUI_TabPan::DoDataExchange));
    // The page interface has its three operations and nothing before them.
    EXPECT_EQ(0, SlotOf(&ZELTabDlg::IPan::GetTitle));
    EXPECT_EQ(1, SlotOf(&ZELTabDlg::IPan::GetIcons));
    EXPECT_EQ(2, SlotOf(&ZELTabDlg::IPan::GetResource));
}

// The library's resources are language-neutral: found whatever the thread's language.
TEST(DlgResources, LibraryResourcesAreFoundInEveryLocale)
{
    HINSTANCE library = GetZELCommonModule();
    ASSERT_NE(nullptr, library);
    const WORD neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
    EXPECT_NE(nullptr, FindResourceExW(library, (LPCWSTR)RT_MENU, MAKEINTRESOURCEW(IDM_ZELCOMMON_SOFTKEYS), neutral));
    EXPECT_NE(nullptr, FindResourceExW(library, (LPCWSTR)RT_DIALOG, MAKEINTRESOURCEW(IDD_ZELCOMMON_EMPTY_PAGE), neutral));

    LANGID previousUi = GetThreadUILanguage();
    LCID previousLocale = GetThreadLocale();
    const LANGID languages[] = {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT),
                                MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)};
    for (LANGID language : languages) {
        SCOPED_TRACE(language);
        SetThreadUILanguage(language);
        SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
        EXPECT_NE(nullptr, LoadDialogTemplate(library, IDD_ZELCOMMON_EMPTY_PAGE));
        HMENU menu = LoadMenuW(library, MAKEINTRESOURCEW(IDM_ZELCOMMON_SOFTKEYS));
        ASSERT_NE(nullptr, menu);
        EXPECT_EQ(2, GetMenuItemCount(menu));
        EXPECT_EQ((UINT)ID_ZELCOMMON_SOFTKEY_LEFT, GetMenuItemID(menu, 0));
        EXPECT_EQ((UINT)ID_ZELCOMMON_SOFTKEY_RIGHT, GetMenuItemID(menu, 1));
        wchar_t text[8] = L"";
        GetMenuStringW(menu, 0, text, 8, MF_BYPOSITION);
        EXPECT_STREQ(L"L", text);
        GetMenuStringW(menu, 1, text, 8, MF_BYPOSITION);
        EXPECT_STREQ(L"R", text);
        DestroyMenu(menu);
    }
    SetThreadUILanguage(previousUi);
    SetThreadLocale(previousLocale);
}

TEST(DlgResources, EmptyPageTemplateIsAChildOfTheGivenSize)
{
    const DLGTEMPLATE* page = LoadDialogTemplate(GetZELCommonModule(), IDD_ZELCOMMON_EMPTY_PAGE);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ((DWORD)(WS_CHILD | DS_SETFONT | DS_FIXEDSYS), page->style);
    EXPECT_EQ(0, page->cdit);
    EXPECT_EQ(92, page->cx);
    EXPECT_EQ(95, page->cy);
    EXPECT_EQ(nullptr, LoadDialogTemplate(GetZELCommonModule(), 4242));
}

// A form with one edit field: DoDataExchange(0) puts `name` in the field, (1) reads it back into
// `saved` unless told to refuse.
class FormDlg : public Scripted<CZELWMUI_Dlg> {
public:
    std::vector<std::string> calls;
    std::wstring name = L"initial";
    std::wstring saved;
    int accept = 1;
    int lastEndAnswer = -100;
    HBRUSH labelBrush = nullptr;

    void OnInitDialog() override
    {
        calls.push_back("OnInitDialog");
        StartScript();
    }
    int DoDataExchange(int save) override
    {
        calls.push_back(save ? "Save" : "Load");
        if (!save) {
            SetDlgItemTextW(hwnd, IDC_TEST_EDIT, name.c_str());
            return 1;
        }
        if (!accept) return 0;
        wchar_t text[64] = L"";
        GetDlgItemTextW(hwnd, IDC_TEST_EDIT, text, 64);
        saved = text;
        return 1;
    }
    void OnCommand(WORD, WORD id, HWND) override
    {
        if (id == IDOK || id == IDCANCEL) lastEndAnswer = EndDialog(id);
    }
    int OnGetDlgCode() override { return DLGC_WANTALLKEYS; }
    HBRUSH OnCtlColor(HDC, HWND) override { return labelBrush; }

    std::wstring FieldText() const
    {
        wchar_t text[64] = L"";
        GetDlgItemTextW(hwnd, IDC_TEST_EDIT, text, 64);
        return text;
    }
    void Click(int id) { SendMessageW(GetDlgItem(id), BM_CLICK, 0, 0); }
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        host = TestSupport::CreateHostWindow(320, 240);
        ASSERT_NE(nullptr, host);
    }
    void TearDown() override
    {
        if (host) DestroyWindow(host);
    }
    HWND host = nullptr;
};

TEST_F(DialogTest, ModalOkLoadsThenSavesTheField)
{
    FormDlg form;
    std::wstring shown;
    form.steps = {
        [&] { shown = form.FieldText(); },
        [&] { SetDlgItemTextW(form, IDC_TEST_EDIT, L"Alice"); },
        [&] { form.Click(IDOK); },
    };
    EXPECT_EQ(IDOK, form.DoModal(IDD_TEST_FORM, TestSupport::TestModule(), host));
    EXPECT_EQ(L"initial", shown);
    EXPECT_EQ(L"Alice", form.saved);
    EXPECT_EQ((std::vector<std::string>{"OnInitDialog", "Load", "Save"}), form.calls);
    EXPECT_EQ(nullptr, (HWND)form);
}

TEST_F(DialogTest, RefusedDataExchangeKeepsTheDialogOpen)
{
    FormDlg form;
    form.accept = 0;
    bool openAfterRefusal = false;
    int refusalAnswer = -100;
    form.steps = {
        [&] { form.Click(IDOK); },
        [&] {
            refusalAnswer = form.lastEndAnswer;
            // (A modal dialog is shown only once its queue runs dry, so look for the window.)
            openAfterRefusal = IsWindow(form) != 0;
            form.accept = 1;
            form.Click(IDOK);
        },
    };
    EXPECT_EQ(IDOK, form.DoModal(IDD_TEST_FORM, TestSupport::TestModule(), host));
    EXPECT_EQ(0, refusalAnswer);
    EXPECT_TRUE(openAfterRefusal);
    EXPECT_EQ((std::vector<std::string>{"OnInitDialog", "Load", "Save", "Save"}), form.calls);
    EXPECT_EQ(L"initial", form.saved);
}

TEST_F(DialogTest, CancelAndCloseEndWithoutDataExchange)
{
    struct Case {
        const char* name;
        std::function<void(FormDlg&)> action;
    } cases[] = {
        {"cancel button", [](FormDlg& form) { form.Click(IDCANCEL); }},
        {"WM_CLOSE", [](FormDlg& form) { SendMessageW(form, WM_CLOSE, 0, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FormDlg form;
        form.steps = {[&] { SetDlgItemTextW(form, IDC_TEST_EDIT, L"typed"); }, [&] { c.action(form); }};
        EXPECT_EQ(IDCANCEL, form.DoModal(IDD_TEST_FORM, TestSupport::TestModule(), host));
        EXPECT_EQ((std::vector<std::string>{"OnInitDialog", "Load"}), form.calls);
        EXPECT_TRUE(form.saved.empty());
    }
}

TEST_F(DialogTest, MissingTemplateRunsNothing)
{
    FormDlg form;
    EXPECT_EQ(-1, form.DoModal(4242, TestSupport::TestModule(), host));
    EXPECT_EQ(nullptr, form.Create(4242, TestSupport::TestModule(), host));
    EXPECT_TRUE(form.calls.empty());
}

// Messages the dispatch leaves alone reach the dialog manager; handled ones answer as handled.
TEST_F(DialogTest, DialogManagerKeepsItsDefaultProcessing)
{
    FormDlg form;
    HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
    form.labelBrush = brush;
    LRESULT defaultId = 0, dialogCode = 0, labelColour = 0;
    form.steps = {
        [&] {
            defaultId = SendMessageW(form, DM_GETDEFID, 0, 0);
            dialogCode = SendMessageW(form, WM_GETDLGCODE, 0, 0);
            HDC dc = GetDC(form);
            labelColour = SendMessageW(form, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)form.GetDlgItem(IDC_TEST_LABEL));
            ReleaseDC(form, dc);
            // Enter in the field goes through the dialog manager to the default button.
            SetFocus(form.GetDlgItem(IDC_TEST_EDIT));
            PostMessageW(form.GetDlgItem(IDC_TEST_EDIT), WM_KEYDOWN, VK_RETURN, 0);
        },
    };
    EXPECT_EQ(IDOK, form.DoModal(IDD_TEST_FORM, TestSupport::TestModule(), host));
    EXPECT_EQ(MAKELONG(IDOK, DC_HASDEFID), defaultId);
    EXPECT_EQ(DLGC_WANTALLKEYS, dialogCode);
    EXPECT_EQ((LRESULT)brush, labelColour);
    EXPECT_EQ(L"initial", form.saved);
    DeleteObject(brush);
}

TEST_F(DialogTest, ModelessDialogGatesOkTheSameWay)
{
    FormDlg form;
    HWND dialog = form.Create(IDD_TEST_FORM, TestSupport::TestModule(), host);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(dialog, (HWND)form);
    EXPECT_EQ((std::vector<std::string>{"OnInitDialog", "Load"}), form.calls);
    EXPECT_EQ(L"initial", form.FieldText());
    ShowWindow(dialog, SW_SHOWNOACTIVATE);

    form.accept = 0;
    EXPECT_EQ(0, form.EndDialog(IDOK));
    EXPECT_TRUE(IsWindowVisible(dialog));
    form.accept = 1;
    SetDlgItemTextW(dialog, IDC_TEST_EDIT, L"Bob");
    EXPECT_NE(0, form.EndDialog(IDOK));
    EXPECT_EQ(L"Bob", form.saved);
    // Ending a modeless dialog hides it; its owner destroys it.
    EXPECT_FALSE(IsWindowVisible(dialog));
    DestroyWindow(dialog);
    EXPECT_EQ(nullptr, (HWND)form);
    EXPECT_EQ(0, GetWindowLongPtrW(dialog, DWLP_USER));
}

TEST_F(DialogTest, EmptyTabPageIsAChildOfItsParent)
{
    class Page : public CZELWMUI_TabPan {
    public:
        int loads = 0;
        int DoDataExchange(int save) override
        {
            if (!save) ++loads;
            return 1;
        }
    } page;
    // Whatever the thread's language.
    LANGID previousUi = GetThreadUILanguage();
    SetThreadUILanguage(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    HWND window = page.CreateEmpty(host);
    SetThreadUILanguage(previousUi);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(host, GetParent(window));
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD);
    EXPECT_EQ(1, page.loads);
    RECT expected = {0, 0, 92, 95};
    MapDialogRect(window, &expected);
    RECT actual = {};
    GetWindowRect(window, &actual);
    EXPECT_EQ(expected.right, actual.right - actual.left);
    EXPECT_EQ(expected.bottom, actual.bottom - actual.top);
    // The host drives the page's data exchange.
    CZELWMUI_TabPan& asPage = page;
    EXPECT_EQ(1, asPage.DoDataExchange(0));
    EXPECT_EQ(2, page.loads);
}

class NamePage : public CZELWMUI_SettingsPan {
public:
    std::wstring value = L"page value";
    CZELString GetTitle() override { return CZELString(L"Account"); }
    CZELArray<int> GetIcons() override { return CZELArray<int>(1, 17); }
    ZELTabDlg::PanResource GetResource() override { return {TestSupport::TestModule(), IDD_TEST_PAGE}; }
    int DoDataExchange(int save) override
    {
        if (!save) SetDlgItemTextW(hwnd, IDC_TEST_EDIT, value.c_str());
        return 1;
    }
};

TEST_F(DialogTest, SettingsPageIsMadeFromItsOwnTemplate)
{
    NamePage* page = new NamePage();
    ZELTabDlg::IPan* pan = page;
    EXPECT_TRUE(pan->GetTitle() == L"Account");
    CZELArray<int> icons = pan->GetIcons();
    ASSERT_EQ(1, icons.GetCount());
    EXPECT_EQ(17, icons[0]);
    // Hosts hold pages by their interface and reach the page behind it.
    CZELWMUI_SettingsPan* behind = dynamic_cast<CZELWMUI_SettingsPan*>(pan);
    ASSERT_EQ(page, behind);

    HWND window = behind->Create(host);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(host, GetParent(window));
    wchar_t text[32] = L"";
    GetDlgItemTextW(window, IDC_TEST_EDIT, text, 32);
    EXPECT_STREQ(L"page value", text);
    GetDlgItemTextW(window, IDC_TEST_LABEL, text, 32);
    EXPECT_STREQ(L"Page", text);
    // Deleting the page destroys its window.
    delete behind;
    EXPECT_FALSE(IsWindow(window));
}

}  // namespace
