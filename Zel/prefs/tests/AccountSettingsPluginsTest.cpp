// The account settings dialog over the real protocol plug-ins beside the test program: for an account
// of each, every page the plug-in hands over is hosted, a text typed into each page's first text
// field is stored through the page when OK ends the dialog, and the next opening loads it back.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Zel/prefs/AccountSettingsDialog.h"
#include "Zel/prefs/tests/DialogScript.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/tests/ProgramFolder.h"

#include <string>
#include <vector>

using namespace AppTest;
using TestSupport::Scripted;

namespace {

class ScriptedSettings : public Scripted<CAccountSettingsDialog> {
public:
    using Scripted<CAccountSettingsDialog>::Scripted;
    void OnInitDialog() override
    {
        Scripted<CAccountSettingsDialog>::OnInitDialog();
        StartScript();
    }
};

// The first text field of a page the user can type any text into.
HWND FirstTextField(HWND page)
{
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t kind[16] = L"";
        GetClassNameW(child, kind, 16);
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (_wcsicmp(kind, L"Edit") == 0 && IsWindowEnabled(child) && !(style & (ES_READONLY | ES_NUMBER | ES_PASSWORD)))
            return child;
    }
    return nullptr;
}

// A drop-down list of the page with entries and none chosen (the Dax account's mail domain), else null.
HWND UnchosenList(HWND page)
{
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t kind[16] = L"";
        GetClassNameW(child, kind, 16);
        if (_wcsicmp(kind, L"ComboBox") == 0 && IsWindowEnabled(child) && SendMessageW(child, CB_GETCOUNT, 0, 0) > 0 &&
            SendMessageW(child, CB_GETCURSEL, 0, 0) < 0)
            return child;
    }
    return nullptr;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, 256);
    return text;
}

struct Typed {
    int page;
    int control;
    std::wstring text;
};

}  // namespace

TEST(AccountSettingsPlugins, EachPluginsPagesStoreOnOkAndLoadBack)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder{L"AccountSettingsPlugins"};
    AppRun run(folder, L"Missing", WithProtocolsFolder());
    ASSERT_TRUE(run.started);
    const int protocols = ProtocolsManagerService->GetProtocolCount();
    ASSERT_GE(protocols, 3) << "the three plug-ins in Protos\\";
    for (int i = 0; i < protocols; ++i) {
        const ProtocolDescription protocol = ProtocolsManagerService->GetProtocol(i);
        SCOPED_TRACE(std::wstring(protocol.displayName.GetBuffer() ? protocol.displayName.GetBuffer() : L""));
        const unsigned account = ProtocolsManagerService->CreateAccount(protocol.guid);
        ASSERT_NE(account, 0u);

        std::vector<Typed> typed;
        ScriptedSettings settings(account);
        settings.steps = {[&] {
            EXPECT_GT(settings.GetPageCount(), 0);
            for (int page = 0; page < settings.GetPageCount(); ++page) {
                TabPage* tab = settings.FindPage(page);
                ASSERT_NE(tab, nullptr);
                EXPECT_FALSE(tab->caption.IsEmpty()) << page;
                settings.SelectPage(page);
                HWND field = FirstTextField(*tab->window);
                if (!field) continue;
                // A name whose domain is chosen from a list is typed without one.
                std::wstring text = L"peer" + std::to_wstring(page);
                if (HWND list = UnchosenList(*tab->window)) {
                    SendMessageW(list, CB_SETCURSEL, 0, 0);
                    SendMessageW(*tab->window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE), LPARAM(list));
                } else {
                    text += L"@example.net";
                }
                PrefsTest::Type(field, text);
                typed.push_back({page, GetDlgCtrlID(field), text});
            }
            PrefsTest::LeftSoftKey(settings);
        }};
        EXPECT_EQ(DoModalDialog(&settings, run.Window()), IDOK);
        EXPECT_FALSE(typed.empty());

        ScriptedSettings again(account);
        again.steps = {[&] {
            for (const Typed& field : typed) {
                TabPage* tab = again.FindPage(field.page);
                ASSERT_NE(tab, nullptr);
                EXPECT_EQ(WindowText(GetDlgItem(*tab->window, field.control)), field.text)
                    << "page " << field.page << ", control " << field.control;
            }
            PrefsTest::RightSoftKey(again);
        }};
        EXPECT_EQ(DoModalDialog(&again, run.Window()), IDCANCEL);
    }
}
