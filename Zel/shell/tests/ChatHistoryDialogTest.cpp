// The message history dialog over a real history file: the total, find (whole word, case, wrap; a
// miss is told), "Save as..." as UTF-8 after a byte-order mark, "Delete" removing the file, and the
// volume keys taken over and handed back.
#include "Zel/chat/KeyboardScrollHook.h"
#include "Zel/chat/MessageHistoryDialog.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/notify/Notifier.h"
#include "Zel/shell/tests/AppTestSupport.h"
#include "ZELCommon/tests/TempFolder.h"

#include <ctime>

using namespace AppTest;

namespace {

struct RecordingServices : IHistoryDialogServices {
    std::vector<std::wstring> infos;
    std::wstring savePath;
    void ShowInfo(const CZELString& text) override { infos.push_back(text.GetBuffer()); }
    bool ChooseSaveFile(HWND, const wchar_t*, std::wstring& path) override
    {
        path = savePath;
        return !savePath.empty();
    }
};

struct MenuScript {
    int pick = -1;
    std::wstring first;
};
PopupMenuResult RunMenu(void* context, const CPopupMenu& menu, const RECT&, const POINT&, int)
{
    MenuScript* script = static_cast<MenuScript*>(context);
    script->first = menu.items[0].text.GetBuffer();
    return PopupMenuResult{nullptr, script->pick, 0};
}

}  // namespace

TEST(ChatHistoryDialog, FindSaveDeleteOverARealHistoryFile)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder(L"ChatHistoryDialogTest");
    AccountTest::FakePlugin fake(L"Accounts", L"FakeA");
    AppRun run(folder);
    ASSERT_TRUE(run.started);
    unsigned account = run.NewAccount(L"alice");
    ASSERT_NE(account, 0u);
    int contact = run.NewContact(account, L"bob", L"Bob");
    for (const wchar_t* text : {L"alpha beta", L"Gamma ray", L"betas and gamma"})
        run.History().Append(contact, 1, 0, 0, unsigned(time(nullptr)), text);
    std::wstring historyPath = run.History().GetPath(contact).GetBuffer();
    ASSERT_TRUE(TestSupport::FileExists(historyPath));

    CChatDlg* chat = run.App().ChatWindow();
    EXPECT_EQ(KeyboardScrollHook::GetTarget(), chat->GetWindow());
    RecordingServices services;
    HistoryPlace place;
    place.folder = CZELString((folder.path + L"History\\").c_str());
    place.bus = &run.bus;
    auto* dialog = new MessageHistoryDialog(contact, chat->LogHost(), &services, place);
    HWND window = CreateModelessDialog(dialog, run.Window());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(KeyboardScrollHook::GetTarget(), window);
    ASSERT_EQ(dialog->Log()->GetParagraphCount(), 3);
    // The log ends where the soft-key bar, which stands inside the dialog, begins.
    ASSERT_NE(dialog->Menu(), nullptr);
    const int barTop = TestSupport::RectIn(dialog->Menu(), window).top;
    EXPECT_EQ(TestSupport::RectIn(*dialog->Log(), window).bottom, barTop);

    MenuScript script;
    SetPopupMenuRunner(RunMenu, &script);
    dialog->ShowMenu();
    EXPECT_EQ(script.first, std::wstring(GuiText(217).GetBuffer()) + L"3");

    // The find bar: whole word skips "betas", case tells "Gamma" from "gamma", the search wraps.
    dialog->ToggleFindBar();
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(window, MessageHistoryDialog::IdFindText), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(TestSupport::RectIn(*dialog->Log(), window).bottom, barTop);
    SetDlgItemTextW(window, MessageHistoryDialog::IdFindText, L"beta");
    CheckDlgButton(window, MessageHistoryDialog::IdWholeWord, BST_CHECKED);
    dialog->Log()->MoveCaret(CARET_DOC_START, false);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(MessageHistoryDialog::IdFindGo, BN_CLICKED),
                 LPARAM(GetDlgItem(window, MessageHistoryDialog::IdFindGo)));
    ASSERT_TRUE(dialog->Log()->State()->HasSelection());
    EXPECT_EQ(dialog->Log()->State()->selStart.paragraph, 0);
    dialog->FindNext();  // the only whole "beta" again, after wrapping
    EXPECT_EQ(dialog->Log()->State()->selStart.paragraph, 0);
    SetDlgItemTextW(window, MessageHistoryDialog::IdFindText, L"gamma");
    CheckDlgButton(window, MessageHistoryDialog::IdMatchCase, BST_CHECKED);
    dialog->FindNext();
    EXPECT_EQ(dialog->Log()->State()->selStart.paragraph, 2);
    EXPECT_TRUE(services.infos.empty());
    SetDlgItemTextW(window, MessageHistoryDialog::IdFindText, L"zeta");
    dialog->FindNext();
    EXPECT_EQ(services.infos, (std::vector<std::wstring>{GuiText(221).GetBuffer()}));

    // Save as: the byte-order mark, then the log's text in UTF-8.
    TestSupport::TempFolder temp(L"ZelHistorySave");
    services.savePath = std::wstring(temp.Path().GetBuffer()) + L"\\saved.txt";
    script.pick = MessageHistoryDialog::MenuSaveAs;
    dialog->ShowMenu();
    std::string bytes;
    ASSERT_TRUE(TestSupport::ReadWholeFile(services.savePath, bytes));
    std::wstring all;
    ASSERT_TRUE(dialog->Log()->GetAllText(all, false));
    char* utf8 = CZELString::Convert(all.c_str(), int(all.size()), 65001);
    EXPECT_EQ(bytes, std::string("\xEF\xBB\xBF") + utf8);
    delete[] utf8;
    EXPECT_NE(bytes.find("Gamma ray"), std::string::npos);

    // Delete empties the log and removes the file; Refresh then shows nothing.
    script.pick = MessageHistoryDialog::MenuDelete;
    dialog->ShowMenu();
    EXPECT_EQ(dialog->Log()->GetParagraphCount(), 0);
    EXPECT_FALSE(TestSupport::FileExists(historyPath));
    script.pick = MessageHistoryDialog::MenuRefresh;
    dialog->ShowMenu();
    EXPECT_EQ(dialog->Log()->GetParagraphCount(), 0);
    SetPopupMenuRunner(nullptr, nullptr);

    // Closing hands the volume keys back to the chat window.
    DestroyWindow(window);
    delete dialog;
    EXPECT_EQ(KeyboardScrollHook::GetTarget(), chat->GetWindow());

    // Opened while nothing had the keys, it hands back none: the hook goes with it.
    const HWND chatTarget = KeyboardScrollHook::SetTarget(nullptr);
    EXPECT_FALSE(KeyboardScrollHook::IsInstalled());
    dialog = new MessageHistoryDialog(contact, chat->LogHost(), &services, place);
    window = CreateModelessDialog(dialog, run.Window());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(KeyboardScrollHook::GetTarget(), window);
    EXPECT_TRUE(KeyboardScrollHook::IsInstalled());
    DestroyWindow(window);
    delete dialog;
    EXPECT_EQ(KeyboardScrollHook::GetTarget(), nullptr);
    EXPECT_FALSE(KeyboardScrollHook::IsInstalled());
    KeyboardScrollHook::SetTarget(chatTarget);

    // The program's services tell a miss through the notifier.
    int before = run.App().Resources()->Notifier().Entries().GetCount();
    ProgramHistoryServices()->ShowInfo(GuiText(221));
    EXPECT_EQ(run.App().Resources()->Notifier().Entries().GetCount(), before + 1);
}
