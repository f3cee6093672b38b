// The chat window's settings dialog driven by a script inside its own modal loop: the controls show
// the record, OK with nothing touched keeps it and tells nobody, each control stores its field and
// tells the observer only where the chat window must act, the bar's check box enables its buttons
// at once, fonts take effect when their dialog ends with a change; and in the running application
// the preferences' button and a page change reach the chat window, and the chat menu opens the pages
// and carries out its items.
#include "Zel/chat/MessageWindowSettingsDialog.h"

#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/prefs/GlobalSettings.h"
#include "Zel/prefs/PreferencesDialog.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/tests/AppTestSupport.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using TestSupport::Scripted;

namespace {

struct Recorder : MessageWindowSettingsObserver {
    std::vector<int> pages;
    void OnSettingsPageChanged(int page) override { pages.push_back(page); }
};

class ScriptedSettings : public Scripted<MessageWindowSettingsDialog> {
public:
    using Scripted<MessageWindowSettingsDialog>::Scripted;
    void OnInitDialog() override
    {
        Scripted<MessageWindowSettingsDialog>::OnInitDialog();
        StartScript();
    }
    HWND Item(int page, int id)
    {
        TabPage* tab = FindPage(page);
        return tab ? static_cast<UI::CZELWMUI_Dlg*>(tab->window)->GetDlgItem(id) : nullptr;
    }
    std::wstring Text(int page, int id)
    {
        wchar_t text[512] = L"";
        GetWindowTextW(Item(page, id), text, 512);
        return text;
    }
    bool IsChecked(int page, int id) { return SendMessageW(Item(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    int Selected(int page, int id) { return int(SendMessageW(Item(page, id), CB_GETCURSEL, 0, 0)); }
    void Ok() { EndDialog(IDOK); }
};

std::wstring Snapshot(const MessageWindowSettings& s)
{
    std::wostringstream out;
    out << s.showNames << s.showTime << s.messageFromNewLine << '|' << (s.yourName.GetBuffer() ? s.yourName.GetBuffer() : L"")
        << '|' << s.headLogFont.lfWeight << s.subheadLogFont.lfWeight << s.textLogFont.lfWeight
        << s.editLogFont.lfWeight << ' ' << s.maxLines << s.showSendButton << s.sendOnEnter << s.typingNotify << ' '
        << s.smiliesPerMessage << s.compactSmileyDialog << s.showBar << s.barSmileyButton << s.barSendButton << ' '
        << s.sendRepliesAtOnce << s.repliesInContextMenu << '|';
    for (int i = 0; i < s.replies.GetCount(); ++i) out << s.replies[i].GetBuffer() << ';';
    out << s.caretLeftRight << s.caretUpDown << s.volumeForScroll << s.leftSoftKey << s.rightSoftKey;
    return out.str();
}

void Click(HWND button)
{
    SendMessageW(button, BM_CLICK, 0, 0);
}

void SetText(HWND edit, const wchar_t* text)
{
    SetWindowTextW(edit, text);
}

void Choose(HWND combo, int index)
{
    SendMessageW(combo, CB_SETCURSEL, WPARAM(index), 0);
}

bool BoldFont(HWND, LOGFONTW& font)
{
    font.lfWeight = FW_BOLD;
    return true;
}
bool SameFont(HWND, LOGFONTW&)
{
    return true;
}

class MessageWindowSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        host = TestSupport::CreateHostWindow(240, 320);
    }
    void TearDown() override
    {
        SetPreferencesSubDialogs(nullptr);
        if (host) DestroyWindow(host);
    }
    int Run(int page, const std::vector<std::function<void(ScriptedSettings&)>>& steps)
    {
        ScriptedSettings dialog(settings, &recorder, page);
        for (const auto& step : steps) dialog.steps.push_back([&dialog, step] { step(dialog); });
        return DoModalDialog(&dialog, host);
    }

    MessageWindowSettings settings{nullptr};
    Recorder recorder;
    HWND host = nullptr;
};

}  // namespace

TEST_F(MessageWindowSettingsTest, PagesShowTheRecordAndOkUntouchedTellsNobody)
{
    const std::wstring before = Snapshot(settings);
    int current = -1;
    EXPECT_EQ(Run(3, {[&](ScriptedSettings& d) {
                  current = d.GetCurrentPageId();
                  EXPECT_EQ(d.GetPageCount(), 5);
                  EXPECT_TRUE(d.IsChecked(0, 1014));
                  EXPECT_FALSE(d.IsChecked(0, 1015));
                  EXPECT_EQ(d.Text(0, 1162), L"I");
                  EXPECT_EQ(d.Text(1, 1128), L"3");
                  EXPECT_EQ(d.Text(2, 1045), L"10");
                  EXPECT_TRUE(IsWindowEnabled(d.Item(2, 1136)));
                  EXPECT_EQ(d.Text(3, 1056), L"Hi\r\nHow are you?\r\nBye");
                  EXPECT_EQ(SendMessageW(d.Item(4, 1032), CB_GETCOUNT, 0, 0), 6);
                  EXPECT_EQ(d.Selected(4, 1032), SoftKeyMinimize);
                  EXPECT_EQ(d.Selected(4, 1033), SoftKeyMenu);
                  // One reply a line: long replies scroll sideways rather than wrap into two.
                  EXPECT_TRUE(GetWindowLongW(d.Item(3, 1056), GWL_STYLE) & ES_AUTOHSCROLL);
                  d.Ok();
              }}),
              IDOK);
    EXPECT_EQ(current, 3);
    EXPECT_EQ(Snapshot(settings), before);
    EXPECT_TRUE(recorder.pages.empty());
}

TEST_F(MessageWindowSettingsTest, EachControlStoresItsFieldAndTellsOnlyWhereTheWindowActs)
{
    struct Case {
        const char* name;
        std::function<void(ScriptedSettings&)> change;
        std::function<bool(const MessageWindowSettings&)> stored;
        std::vector<int> pages;
    } cases[] = {
        {"show time", [](ScriptedSettings& d) { Click(d.Item(0, 1015)); },
         [](const MessageWindowSettings& s) { return s.showTime == 1; }, {0}},
        {"name in another case", [](ScriptedSettings& d) { SetText(d.Item(0, 1162), L"i"); },
         [](const MessageWindowSettings& s) { return s.yourName.GetBuffer() == std::wstring(L"i"); }, {0}},
        {"max lines", [](ScriptedSettings& d) { SetText(d.Item(1, 1128), L"5"); },
         [](const MessageWindowSettings& s) { return s.maxLines == 5; }, {1}},
        {"max lines out of range", [](ScriptedSettings& d) { SetText(d.Item(1, 1128), L"9"); },
         [](const MessageWindowSettings& s) { return s.maxLines == 5; }, {1}},
        {"send on Enter", [](ScriptedSettings& d) { Click(d.Item(1, 1134)); },
         [](const MessageWindowSettings& s) { return s.sendOnEnter == 0; }, {}},
        {"typing notice", [](ScriptedSettings& d) { Click(d.Item(1, 1136)); },
         [](const MessageWindowSettings& s) { return s.typingNotify == 0; }, {}},
        {"smilies count", [](ScriptedSettings& d) { SetText(d.Item(2, 1045), L"0"); },
         [](const MessageWindowSettings& s) { return s.smiliesPerMessage == 0; }, {2}},
        {"compact smiley dialog", [](ScriptedSettings& d) { Click(d.Item(2, 1167)); },
         [](const MessageWindowSettings& s) { return s.compactSmileyDialog == 0; }, {}},
        {"bar send button", [](ScriptedSettings& d) { Click(d.Item(2, 1136)); },
         [](const MessageWindowSettings& s) { return s.barSendButton == 1; }, {2}},
        {"blank replies", [](ScriptedSettings& d) { SetText(d.Item(3, 1056), L"\r\n\r\n\r\n"); },
         [](const MessageWindowSettings& s) { return s.replies.GetCount() == 0; }, {}},
        {"replies", [](ScriptedSettings& d) { SetText(d.Item(3, 1056), L"one\r\n\r\ntwo\r\n"); },
         [](const MessageWindowSettings& s) {
             return s.replies.GetCount() == 2 && s.replies[1].GetBuffer() == std::wstring(L"two");
         },
         {}},
        {"replies at once", [](ScriptedSettings& d) { Click(d.Item(3, 1153)); },
         [](const MessageWindowSettings& s) { return s.sendRepliesAtOnce == 1; }, {}},
        {"volume keys", [](ScriptedSettings& d) { Click(d.Item(4, 1145)); },
         [](const MessageWindowSettings& s) { return s.volumeForScroll == 0; }, {}},
        {"left soft key", [](ScriptedSettings& d) { Choose(d.Item(4, 1032), SoftKeyClose); },
         [](const MessageWindowSettings& s) { return s.leftSoftKey == SoftKeyClose; }, {4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings.SetDefaults();
        recorder.pages.clear();
        EXPECT_EQ(Run(0, {[&](ScriptedSettings& d) {
                      c.change(d);
                      d.Ok();
                  }}),
                  IDOK);
        EXPECT_TRUE(c.stored(settings));
        EXPECT_EQ(recorder.pages, c.pages);
    }
}

TEST_F(MessageWindowSettingsTest, BarCheckBoxEnablesItsButtonsAtOnce)
{
    Run(2, {[&](ScriptedSettings& d) {
        Click(d.Item(2, 1134));
        for (int id = 1136; id <= 1139; ++id) EXPECT_FALSE(IsWindowEnabled(d.Item(2, id))) << id;
        Click(d.Item(2, 1134));
        EXPECT_TRUE(IsWindowEnabled(d.Item(2, 1138)));
        Click(d.Item(2, 1134));
        d.Ok();
    }});
    EXPECT_EQ(settings.showBar, 0);
    EXPECT_EQ(recorder.pages, std::vector<int>{2});

    // Loaded without the bar, its buttons start disabled.
    Run(2, {[&](ScriptedSettings& d) {
        EXPECT_FALSE(IsWindowEnabled(d.Item(2, 1136)));
        d.Ok();
    }});
}

TEST_F(MessageWindowSettingsTest, AFontTakesEffectWhenItsDialogEndsWithAChange)
{
    PreferencesSubDialogs standIns = {BoldFont, nullptr, nullptr, nullptr, nullptr};
    SetPreferencesSubDialogs(&standIns);
    Run(1, {[&](ScriptedSettings& d) {
        Click(d.Item(1, 1133));
        EXPECT_EQ(settings.editLogFont.lfWeight, FW_BOLD);
        EXPECT_TRUE(recorder.pages.empty());
        d.Ok();
    }});
    EXPECT_EQ(recorder.pages, std::vector<int>{1});

    standIns.font = SameFont;
    recorder.pages.clear();
    Run(0, {[&](ScriptedSettings& d) {
        Click(d.Item(0, 1019));
        Click(d.Item(0, 1023));
        Click(d.Item(0, 1020));
        d.Ok();
    }});
    EXPECT_TRUE(recorder.pages.empty());
}

namespace {

int RecordRun(void* context, MessageWindowSettingsDialog&, HWND)
{
    ++*static_cast<int*>(context);
    return IDCANCEL;
}

}  // namespace

TEST(MessageWindowSettingsApp, PreferencesButtonOpensItAndThePageChangesReachTheChatWindow)
{
    ZEL_REQUIRE_DISPLAY();
    AppTest::AppFolder folder(L"MessageWindowSettingsAppTest");
    AppTest::AppRun run(folder);
    ASSERT_TRUE(run.started);
    CChatDlg* chat = run.App().ChatWindow();
    ASSERT_NE(chat, nullptr);

    int runs = 0;
    SetMessageWindowSettingsRunner(RecordRun, &runs);
    GlobalSettings global;
    ASSERT_NE(PreferencesDialogs().messageWindow, nullptr);
    PreferencesDialogs().messageWindow(run.Window(), global);
    EXPECT_EQ(runs, 1);
    SetMessageWindowSettingsRunner(nullptr, nullptr);

    // The bar goes and comes back with its check box.
    ASSERT_NE(chat->Bar(), nullptr);
    chat->GetSettings()->showBar = 0;
    chat->OnSettingsPageChanged(MWSmiliesPageIndex);
    EXPECT_EQ(chat->Bar(), nullptr);
    chat->GetSettings()->showBar = 1;
    chat->OnSettingsPageChanged(MWSmiliesPageIndex);
    EXPECT_NE(chat->Bar(), nullptr);

    // New fonts are made from the changed record.
    HFONT before = chat->GetSettings()->editFont;
    chat->GetSettings()->editLogFont.lfWeight = FW_BOLD;
    chat->OnSettingsPageChanged(MWEditorPageIndex);
    EXPECT_NE(chat->GetSettings()->editFont, before);
    LOGFONTW made = {};
    GetObjectW(chat->GetSettings()->editFont, sizeof made, &made);
    EXPECT_EQ(made.lfWeight, FW_BOLD);
}

namespace {

struct MenuScript {
    std::vector<int> ids;
    std::vector<int> settingsIds;
    int pick = -1;
};
PopupMenuResult RunChatMenu(void* context, const CPopupMenu& menu, const RECT&, const POINT&, int)
{
    MenuScript* script = static_cast<MenuScript*>(context);
    script->ids.clear();
    script->settingsIds.clear();
    for (int i = 0; i < menu.GetCount(); ++i) {
        script->ids.push_back(menu.items[i].commandId);
        if (menu.items[i].subMenu && menu.items[i].text == GuiText(138))
            for (int j = 0; j < menu.items[i].subMenu->GetCount(); ++j)
                script->settingsIds.push_back(menu.items[i].subMenu->items[j].commandId);
    }
    return PopupMenuResult{nullptr, script->pick, 0};
}

}  // namespace

TEST(MessageWindowSettingsApp, ChatMenuOpensTheSettingsPagesAndCarriesOutItsItems)
{
    ZEL_REQUIRE_DISPLAY();
    AppTest::AppFolder folder(L"ChatMenuTest");
    AccountTest::FakePlugin fake(L"Accounts", L"FakeA");
    AppTest::AppRun run(folder);
    ASSERT_TRUE(run.started);
    unsigned account = run.NewAccount(L"alice");
    ASSERT_NE(account, 0u);
    int contact = run.NewContact(account, L"bob", L"Bob");
    run.App().OpenChat(contact);
    CChatDlg* chat = run.App().ChatWindow();
    ASSERT_TRUE(chat->HasTab(contact));
    ASSERT_TRUE(chat->IsVisible());

    MenuScript script;
    SetPopupMenuRunner(RunChatMenu, &script);
    int runs = 0;
    SetMessageWindowSettingsRunner(RecordRun, &runs);
    script.pick = 3;  // the settings' "Replies" page
    chat->ShowChatMenu(false);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(script.settingsIds, (std::vector<int>{0, 1, 2, 3, 4}));
    // Send and Smilies lead the window's own items; Close tab, Minimize and Close end the menu.
    auto at = [&](int id) { return std::find(script.ids.begin(), script.ids.end(), id) - script.ids.begin(); };
    EXPECT_LT(at(5), at(6));
    EXPECT_EQ(script.ids.back(), 18);
    EXPECT_EQ(script.ids[script.ids.size() - 2], 17);

    // A reply goes into the composer.
    script.pick = 19;
    chat->ShowChatMenu(true);
    wchar_t typed[64] = L"";
    GetWindowTextW(chat->FindTab(contact)->composer, typed, 64);
    EXPECT_STREQ(typed, GuiText(163).GetBuffer());

    // Minimize hides the window and keeps the tab; Close removes every tab.
    script.pick = 17;
    chat->ShowChatMenu(false);
    EXPECT_FALSE(chat->IsVisible());
    EXPECT_TRUE(chat->HasTab(contact));
    chat->DoSoftKeyAction(SoftKeyClose);
    EXPECT_FALSE(chat->HasTab(contact));
    SetPopupMenuRunner(nullptr, nullptr);
    SetMessageWindowSettingsRunner(nullptr, nullptr);
}
