// The language switch in the running program with the three protocol plug-ins and an offline account
// of each: chosen on the preferences' Interface page, the soft keys of the main and the chat window,
// the menus of the main window, the contact list and the chat window, the plug-ins' status menus and
// settings pages all turn Russian at once, at 96 and at 192 dpi, and English brings back the very same
// window, pixel for pixel. A program started with the language stored comes up in it. With the test
// plug-in beside the real ones, every account is told of each switch, and switching back and forth
// while statuses change and other threads read texts shows only whole texts.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Dax/DaxGuids.h"
#include "Zel/chat/ChatDlg.h"
#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/core/tests/plugins/FakeAccountPlugin.h"
#include "Zel/prefs/AccountSettingsDialog.h"
#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/ZelResources.h"
#include "Zel/shell/contactlist/ContactListCtrl.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/dialogs/TabStripLayout.h"
#include "Zel/shell/lang/EnglishTexts.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/tests/ProgramFolder.h"
#include "ZELCommon/tests/WindowScreenshot.h"
#include "Handheld/Device.h"
#include "Handheld/ShellUiLayout.h"
#include "Handheld/tests/SystemDensity.h"

#include <commctrl.h>

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace AppTest;
using TestSupport::Scripted;

namespace {

// Every text a place shows, in order; a place is a menu (its sub-menus flattened after their item),
// a pair of soft keys or a settings dialog.
typedef std::map<std::string, std::vector<std::wstring>> TextTable;

std::wstring W(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

void Flatten(const CPopupMenu& menu, std::vector<std::wstring>& out)
{
    for (int i = 0; i < menu.items.GetCount(); ++i) {
        const CMenuItem& item = menu.items[i];
        if (item.kind == MENU_ITEM_SEPARATOR) continue;
        out.push_back(W(item.text));
        if (item.subMenu) Flatten(*item.subMenu, out);
    }
}

struct MenuCapture {
    CPopupMenu menu;
    int shown = 0;
};

PopupMenuResult Capture(void* context, const CPopupMenu& menu, const RECT&, const POINT&, int)
{
    MenuCapture* capture = static_cast<MenuCapture*>(context);
    capture->menu = menu;
    ++capture->shown;
    return PopupMenuResult{nullptr, -1, 0};
}

std::wstring SoftKeyText(HWND bar, int command)
{
    wchar_t text[64] = L"";
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_TEXT;
    info.pszText = text;
    info.cchText = 64;
    SendMessageW(bar, TB_GETBUTTONINFOW, WPARAM(command), LPARAM(&info));
    return text;
}

bool HasCyrillic(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c >= 0x0400 && c <= 0x04FF) return true;
    return false;
}

// A text that names something or holds no word to translate stays as it is in every language.
bool NeedsTranslation(const std::wstring& english, const std::set<std::wstring>& names)
{
    if (names.count(english)) return false;
    int run = 0;
    for (wchar_t c : english) {
        run = (c >= L'a' && c <= L'z') ? run + 1 : 0;
        if (run >= 3) return true;
    }
    return false;
}

// Texts of the static controls and buttons of a window's children: the labels a page shows, not the
// values the user typed.
std::vector<std::wstring> Labels(HWND window)
{
    std::vector<std::wstring> out;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t kind[32] = L"";
        GetClassNameW(child, kind, 32);
        if (_wcsicmp(kind, L"Static") != 0 && _wcsicmp(kind, L"Button") != 0) continue;
        wchar_t text[256] = L"";
        GetWindowTextW(child, text, 256);
        if (text[0]) out.push_back(text);
    }
    return out;
}

class ScriptedAccountSettings : public Scripted<CAccountSettingsDialog> {
public:
    using Scripted<CAccountSettingsDialog>::Scripted;
    void OnInitDialog() override
    {
        Scripted<CAccountSettingsDialog>::OnInitDialog();
        StartScript();
    }
};

// The Interface page driven as the user would: the language picked in its list, then OK.
struct LanguageChoice {
    std::wstring language;
    PreferencesDialog* dialog = nullptr;
    bool picked = false;
    bool listed = false;
    // Instead of a choice: looks the dialog over, then cancels it.
    std::function<void(PreferencesDialog&)> inspect;
};
LanguageChoice* g_choice = nullptr;

void CALLBACK PickLanguage(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    LanguageChoice& choice = *g_choice;
    if (choice.inspect) {
        choice.inspect(*choice.dialog);
        choice.picked = true;
        PostMessageW(*choice.dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        return;
    }
    TabPage* page = choice.dialog->FindPage(PreferencesInterfacePage);
    HWND combo = page ? static_cast<UI::CZELWMUI_Dlg*>(page->window)->GetDlgItem(1034) : nullptr;
    HWND dialog = combo ? GetAncestor(combo, GA_ROOT) : nullptr;
    if (!dialog) return;
    LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(choice.language.c_str()));
    choice.listed = index != CB_ERR;
    if (choice.listed) {
        SendMessageW(combo, CB_SETCURSEL, WPARAM(index), 0);
        SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(1034, CBN_SELCHANGE), LPARAM(combo));
    }
    choice.picked = true;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
}

int RunPreferences(void* context, PreferencesDialog& dialog, HWND owner)
{
    LanguageChoice& choice = *static_cast<LanguageChoice*>(context);
    choice.dialog = &dialog;
    g_choice = &choice;
    SetTimer(nullptr, 0, 50, PickLanguage);
    return DoModalDialog(&dialog, owner);
}

// The width text takes in font (the system's dialog font when null).
int Extent(HFONT font, const std::wstring& text)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font ? HGDIOBJ(font) : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

// Captions that do not fit, as "caption (needed > room)".
struct Overflows {
    std::vector<std::wstring> found;
    void Check(const std::wstring& where, const std::wstring& caption, int needed, int room)
    {
        if (!caption.empty() && needed > room)
            found.push_back(where + L": " + caption + L" (" + std::to_wstring(needed) + L" > " + std::to_wstring(room) + L")");
    }
    // A page's push buttons, check boxes and radio buttons written on one line.
    void CheckButtons(const std::wstring& where, HWND page)
    {
        for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t kind[32] = L"";
            GetClassNameW(child, kind, 32);
            LONG style = GetWindowLongW(child, GWL_STYLE);
            if (_wcsicmp(kind, L"Button") != 0 || (style & BS_MULTILINE) || !IsWindowVisible(child)) continue;
            const LONG type = style & BS_TYPEMASK;
            if (type == BS_GROUPBOX || type == BS_OWNERDRAW) continue;
            wchar_t text[256] = L"";
            GetWindowTextW(child, text, 256);
            RECT client = {};
            GetClientRect(child, &client);
            const bool pushed = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
            // The box of a check or radio button, and its gap, come before the text.
            const int room = client.right - (pushed ? 4 : GetSystemMetrics(SM_CXMENUCHECK) + 4);
            Check(where, text, Extent(reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)), text), room);
        }
    }
    // The tabs of a tabbed dialog: each caption within its tab, each tab within a handheld screen.
    void CheckTabs(const std::wstring& where, CTabbedDialog& dialog, int count, int screenWidth)
    {
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
        for (int id = 0; id < count; ++id) {
            TabPage* tab = dialog.FindPage(id);
            if (!tab) continue;
            const std::wstring caption = W(tab->caption);
            const int offset = TabStrip::CaptionOffset(tab->icons.GetCount() > 0, 96);
            Check(where + L" tab", caption, Extent(font, caption), tab->width - offset);
            Check(where + L" tab width", caption, tab->width, screenWidth);
        }
    }
};

struct TestAccount {
    unsigned id = 0;
    int group = 0;
    int contact = 0;
};

// Every text of a language module, read through its one export.
std::set<std::wstring> ModuleTexts(const std::wstring& path)
{
    typedef bool (*GetString)(int, CZELString&);
    std::set<std::wstring> texts;
    HMODULE module = LoadLibraryW(path.c_str());
    GetString get = module ? reinterpret_cast<GetString>(reinterpret_cast<void*>(
                                 GetProcAddress(module, "?MUI_GetString@@YA_NHAAVCZELString@@@Z")))
                           : nullptr;
    CZELString text;
    for (int number = 0; get && get(number, text); ++number) texts.insert(W(text));
    if (module) FreeLibrary(module);
    return texts;
}

// Where the Russian module of an account's plug-in is, beside the test program.
std::wstring RussianModuleOf(unsigned account)
{
    const ZEL_GUID protocol = ProtocolsManagerService->GetAccountProtocol(account).guid;
    if (protocol == GUID_WEX_PROTOCOL) return ProgramFolder::Bin() + L"Protos\\Wex\\WEX_Russian.dll";
    if (protocol == GUID_DAX_PROTOCOL) return ProgramFolder::Bin() + L"Protos\\Dax\\DAX_Russian.dll";
    return ProgramFolder::Bin() + L"Protos\\Jabber\\Gox_Russian.dll";
}

// An account's status menu as the status panel shows it, through the program's menu runner.
std::vector<std::wstring> ShownStatusMenu(AppRun& run, unsigned account)
{
    MenuCapture capture;
    SetPopupMenuRunner(&Capture, &capture);
    run.App().ShowAccountStatusMenu(account, 0);
    SetPopupMenuRunner(nullptr, nullptr);
    EXPECT_EQ(capture.shown, 1) << "status menu of account " << account;
    std::vector<std::wstring> texts;
    Flatten(capture.menu, texts);
    return texts;
}

// The test plug-in as the run loaded it, kept loaded while the test reads the commands its accounts
// received.
class TestPlugin {
public:
    TestPlugin()
    {
        if (GetModuleHandleExW(0, L"FakePages.dll", &module))
            log = reinterpret_cast<FakeAccountLogPtr>(reinterpret_cast<void*>(GetProcAddress(module, "FakeAccountLog")));
        if (module)
            clear = reinterpret_cast<FakeAccountClearLogPtr>(
                reinterpret_cast<void*>(GetProcAddress(module, "FakeAccountClearLog")));
    }
    ~TestPlugin()
    {
        if (module) FreeLibrary(module);
    }
    TestPlugin(const TestPlugin&) = delete;
    TestPlugin& operator=(const TestPlugin&) = delete;

    bool Loaded() const { return log && clear; }
    void Clear() { clear(); }

    // The languages the plug-in was told of, in order, by account (0: every account).
    std::vector<std::wstring> Languages(unsigned account = 0) const
    {
        std::vector<FakeLogEntry> entries(size_t(log(account, nullptr, 0)));
        const size_t copied = size_t(log(account, entries.data(), int(entries.size())));
        if (copied < entries.size()) entries.resize(copied);
        std::vector<std::wstring> languages;
        for (const FakeLogEntry& entry : entries)
            if (entry.code == PM_LANGUAGE_CHANGED) languages.push_back(entry.text);
        return languages;
    }

private:
    HMODULE module = nullptr;
    FakeAccountLogPtr log = nullptr;
    FakeAccountClearLogPtr clear = nullptr;
};

class LanguageSwitch : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        // The language modules are listed from the program folder's "Langs\".
        CreateDirectoryW((folder.path + L"Langs").c_str(), nullptr);
        CopyFileW((ProgramFolder::Bin() + L"Langs\\ZEL_Russian.dll").c_str(),
                  (folder.path + L"Langs\\ZEL_Russian.dll").c_str(), FALSE);
    }
    void TearDown() override { SetPopupMenuRunner(nullptr, nullptr); }

    // A run whose protocols folder holds the real plug-ins beside the test program, or the plug-ins
    // of another protocols folder.
    std::unique_ptr<AppRun> Start(const std::wstring& protos = ProgramFolder::Bin() + L"Protos\\")
    {
        return std::unique_ptr<AppRun>(new AppRun(folder, L"Missing", WithProtocolsFolder(protos)));
    }

    // An account of every protocol.
    void AddAccounts(AppRun& run)
    {
        int count = ProtocolsManagerService->GetProtocolCount();
        for (int i = 0; i < count; ++i) {
            ProtocolDescription protocol = ProtocolsManagerService->GetProtocol(i);
            unsigned id = ProtocolsManagerService->CreateAccount(protocol.guid);
            ASSERT_NE(id, 0u) << i;
        }
        PopulateAccounts(run);
    }

    // Each account of the run with a group holding a contact.
    void PopulateAccounts(AppRun& run)
    {
        accounts.clear();
        int count = ProtocolsManagerService->GetAccountCount();
        for (int i = 0; i < count; ++i) {
            TestAccount account;
            account.id = ProtocolsManagerService->GetAccountId(unsigned(i));
            ASSERT_TRUE(PumpUntil([&] { return run.App().ContactList()->FindAccountNode(account.id) != nullptr; }));
            account.group = ContactListDataService->AddGroup(account.id);
            ContactListDataService->SetPropertyString(account.group, CZELString(L"Name"), CZELString(L"Friends"));
            account.contact = ContactListDataService->AddContact(account.id, account.group);
            ContactListDataService->SetPropertyString(account.contact, CZELString(L"Account name"),
                                                      CZELString(L"peer@test"));
            ContactListDataService->SetPropertyString(account.contact, CZELString(L"CL Alias"), CZELString(L"Peer"));
            ContactListDataService->NotifyGroupAdded(account.group);
            ContactListDataService->NotifyContactAdded(account.contact, StatusInfo());
            ASSERT_TRUE(PumpUntil([&] { return run.App().ContactList()->HasContact(account.contact); }));
            accounts.push_back(account);
        }
    }

    // Every text of the places the switch reaches, read now.
    TextTable Read(AppRun& run)
    {
        TextTable table;
        // "Paste" shows only with text on the clipboard.
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
        HWND bar = run.App().GetMenuBar();
        table["soft keys"] = {SoftKeyText(bar, IDM_SOFTKEY_LEFT), SoftKeyText(bar, IDM_SOFTKEY_RIGHT)};

        MenuCapture capture;
        SetPopupMenuRunner(&Capture, &capture);
        auto shown = [&](const std::string& place) {
            std::vector<std::wstring>& texts = table[place];
            Flatten(capture.menu, texts);
            capture = MenuCapture();
        };
        SendMessageW(run.Window(), WM_COMMAND, MAKEWPARAM(IDM_SOFTKEY_LEFT, 0), 0);
        EXPECT_EQ(capture.shown, 1);
        shown("main menu");

        CContactListCtrl& list = *run.App().ContactList();
        const RECT area = {0, 0, 240, 320};
        CPopupMenu status;
        ProtocolsManagerService->GetStatusMenu(0, 0, &status);
        Flatten(status, table["global status menu"]);
        for (size_t i = 0; i < accounts.size(); ++i) {
            const TestAccount& account = accounts[i];
            const std::string n = std::to_string(i);
            list.ShowNodeMenu(CLAccount, intptr_t(account.id), nullptr, area, POINT{0, 0}, 1);
            EXPECT_EQ(capture.shown, 1) << "account " << n;
            shown("account " + n + " menu");
            list.ShowNodeMenu(CLGroup, intptr_t(account.group), nullptr, area, POINT{0, 0}, 1);
            EXPECT_EQ(capture.shown, 1) << "group " << n;
            shown("group " + n + " menu");
            list.ShowNodeMenu(CLContact, intptr_t(account.contact), nullptr, area, POINT{0, 0}, 1);
            EXPECT_EQ(capture.shown, 1) << "contact " << n;
            shown("contact " + n + " menu");

            CPopupMenu accountStatus;
            ProtocolsManagerService->GetStatusMenu(account.id, 0, &accountStatus);
            EXPECT_GT(accountStatus.GetCount(), 0) << "status menu " << n;
            Flatten(accountStatus, table["account " + n + " status menu"]);

            // The settings pages the plug-in gives: tab captions, labels and soft keys.
            ScriptedAccountSettings settings(account.id);
            std::vector<std::wstring>& pages = table["account " + n + " settings"];
            settings.steps = {[&] {
                for (int page = 0; page < settings.GetPageCount(); ++page) {
                    TabPage* tab = settings.FindPage(page);
                    if (!tab) continue;
                    pages.push_back(W(tab->caption));
                    for (const std::wstring& label : Labels(*tab->window)) pages.push_back(label);
                }
                for (auto key : {CSettingsDialog::SoftKeyLeft, CSettingsDialog::SoftKeyRight}) {
                    CZELString caption;
                    settings.GetSoftKeyCap(key, caption);
                    pages.push_back(W(caption));
                }
                settings.EndDialog(IDCANCEL);
            }};
            DoModalDialog(&settings, run.Window());
        }

        // The chat window on the first account's contact: its soft keys, its own menu and the
        // composer's.
        CChatDlg* chat = run.App().ChatWindow();
        EXPECT_NE(chat, nullptr);
        if (chat && !accounts.empty()) {
            const int contact = accounts[0].contact;
            if (!chat->HasTab(contact)) chat->OpenTab(contact, CZELString(L"Peer"), CZELArray<int>());
            chat->ShowTab(contact);
            for (auto key : {CChatDlg::SoftKeyLeft, CChatDlg::SoftKeyRight}) {
                CZELString caption;
                EXPECT_EQ(chat->GetSoftKeyCap(key, caption), 1);
                table["chat soft keys"].push_back(W(caption));
            }
            // The canned replies are the user's own texts, kept as written.
            std::set<std::wstring> replies;
            if (MessageWindowSettings* settings = chat->GetSettings())
                for (int i = 0; i < settings->replies.GetCount(); ++i) replies.insert(W(settings->replies[i]));
            auto shownWithoutReplies = [&](const std::string& place) {
                std::vector<std::wstring> texts;
                Flatten(capture.menu, texts);
                capture = MenuCapture();
                for (const std::wstring& text : texts)
                    if (!replies.count(text)) table[place].push_back(text);
            };
            chat->ShowChatMenu(false);
            EXPECT_EQ(capture.shown, 1) << "chat menu";
            shownWithoutReplies("chat menu");
            const CChatDlg::Tab* tab = chat->FindTab(contact);
            EXPECT_TRUE(tab && tab->composer);
            if (tab && tab->composer) {
                SendMessageW(tab->composer, WM_CONTEXTMENU, WPARAM(tab->composer), MAKELPARAM(0, 0));
                EXPECT_EQ(capture.shown, 1) << "chat composer menu";
                shownWithoutReplies("chat composer menu");
            }
        }
        SetPopupMenuRunner(nullptr, nullptr);
        return table;
    }

    // Chooses language on the Interface page and lets the program follow.
    void Choose(AppRun& run, const wchar_t* language)
    {
        LanguageChoice choice;
        choice.language = language;
        SetPreferencesRunner(&RunPreferences, &choice);
        run.App().OpenPreferences(PreferencesInterfacePage);
        SetPreferencesRunner(&SkipPreferences, nullptr);
        EXPECT_TRUE(choice.picked);
        EXPECT_TRUE(choice.listed) << "\"" << std::string(language, language + wcslen(language)) << "\" in the list";
        PumpFor(300);
    }

    // Each text of russian is the translation of its English one: the same places with the same
    // number of texts, each holding Cyrillic unless it is a name.
    void ExpectTranslated(const TextTable& english, const TextTable& russian)
    {
        // "WEX# / E-mail" is the login label's own text, names only, kept in every language.
        const std::set<std::wstring> names = {L"Friends", L"Peer", L"peer@test", L"", L"WEX# / E-mail"};
        ASSERT_EQ(english.size(), russian.size());
        for (const auto& place : english) {
            SCOPED_TRACE(place.first);
            auto found = russian.find(place.first);
            ASSERT_NE(found, russian.end());
            const std::vector<std::wstring>& translated = found->second;
            ASSERT_EQ(place.second.size(), translated.size());
            for (size_t i = 0; i < translated.size(); ++i) {
                SCOPED_TRACE(testing::PrintToString(place.second[i]));
                if (NeedsTranslation(place.second[i], names)) {
                    EXPECT_TRUE(HasCyrillic(translated[i])) << testing::PrintToString(translated[i]);
                } else if (names.count(place.second[i])) {
                    EXPECT_EQ(translated[i], place.second[i]);
                }
            }
        }
    }

    // Russian chosen on the Interface page turns every place into Russian at once; English brings
    // back the same texts and the same pixels. The window is a handheld's portrait screen at dpi.
    void RoundTrip(int dpi)
    {
        // The desktop's density comes back after the run, however the test ends.
        struct Density {
            explicit Density(int dpi) { SetScreenLogPixels(dpi); }
            ~Density() { SetScreenLogPixels(0); }
        } density(dpi);
        std::unique_ptr<AppRun> run = Start();
        ASSERT_TRUE(run->started);
        AddAccounts(*run);
        ASSERT_GE(accounts.size(), 3u) << "the three plug-ins in Protos\\";
        HWND window = run->Window();
        SetWindowPos(window, HWND_TOP, 0, 0, dpi * 5 / 2, dpi * 10 / 3, SWP_SHOWWINDOW);
        PumpFor(300);
        const std::wstring size = std::to_wstring(dpi);

        const TextTable english = Read(*run);
        EXPECT_EQ(english.at("soft keys")[0], L"Menu");
        TestSupport::Image before = Screenshot(*run, (L"zel_language_before_" + size + L".png").c_str());

        Choose(*run, L"Russian");
        EXPECT_EQ(W(GuiText(16)), L"\x041c\x0435\x043d\x044e");
        const TextTable russian = Read(*run);
        ExpectTranslated(english, russian);
        TestSupport::Image during = Screenshot(*run, (L"zel_language_russian_" + size + L".png").c_str());
        EXPECT_NE(during.pixels, before.pixels);

        Choose(*run, L"English");
        const TextTable back = Read(*run);
        EXPECT_EQ(back, english);
        TestSupport::Image after = Screenshot(*run, (L"zel_language_after_" + size + L".png").c_str());
        ASSERT_EQ(after.width, before.width);
        ASSERT_EQ(after.height, before.height);
        EXPECT_TRUE(after.pixels == before.pixels);
    }

    TestSupport::Image Screenshot(AppRun& run, const wchar_t* name)
    {
        HWND window = run.Window();
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        PumpFor(300);
        TestSupport::SaveScreenshot(window, false, name);
        TestSupport::Image image;
        EXPECT_TRUE(TestSupport::CaptureWindow(window, false, &image));
        return image;
    }

    // A protocols folder in the run's folder holding the real plug-ins and the test plug-in.
    std::wstring ProtosWithTestPlugin()
    {
        const std::wstring protos = folder.path + L"Protos\\";
        ProgramFolder::CopyTree(ProgramFolder::Bin() + L"Protos\\", protos);
        ProgramFolder::CopyTree(ProgramFolder::Bin() + L"PluginTrees\\Pages\\Protos\\", protos);
        return protos;
    }

    // The real plug-ins' accounts, each with its status menu as shown now.
    struct ShownMenu {
        unsigned account;
        std::vector<std::wstring> texts;
    };
    std::vector<ShownMenu> RealStatusMenus(AppRun& run)
    {
        std::vector<ShownMenu> menus;
        for (const TestAccount& account : accounts)
            if (ProtocolsManagerService->GetAccountProtocol(account.id).guid != GUID_FAKE_A)
                menus.push_back({account.id, ShownStatusMenu(run, account.id)});
        return menus;
    }

    unsigned TestPluginAccount()
    {
        for (const TestAccount& account : accounts)
            if (ProtocolsManagerService->GetAccountProtocol(account.id).guid == GUID_FAKE_A) return account.id;
        return 0;
    }

    // Each real account's status menu shows the texts of its own plug-in's Russian module where the
    // English one has words.
    void ExpectStatusMenusFromTheirModules(AppRun& run, const std::vector<ShownMenu>& english)
    {
        std::map<std::wstring, std::set<std::wstring>> modules;
        for (const ShownMenu& menu : english) {
            const std::wstring module = RussianModuleOf(menu.account);
            SCOPED_TRACE(testing::PrintToString(module));
            std::set<std::wstring>& texts = modules[module];
            if (texts.empty()) texts = ModuleTexts(module);
            ASSERT_FALSE(texts.empty());
            const std::vector<std::wstring> russian = ShownStatusMenu(run, menu.account);
            ASSERT_EQ(russian.size(), menu.texts.size());
            ASSERT_FALSE(russian.empty());
            for (size_t i = 0; i < russian.size(); ++i) {
                if (!NeedsTranslation(menu.texts[i], {})) continue;
                EXPECT_TRUE(HasCyrillic(russian[i]) && texts.count(russian[i]))
                    << testing::PrintToString(menu.texts[i]) << " shows as " << testing::PrintToString(russian[i]);
            }
        }
    }

    AppFolder folder{L"LanguageSwitchTest"};
    std::vector<TestAccount> accounts;
};

}  // namespace

TEST_F(LanguageSwitch, RussianReachesEveryWindowAtOnceAndEnglishBringsItAllBack)
{
    RoundTrip(96);
}

TEST_F(LanguageSwitch, RussianAndBackAt192DpiGiveTheSameWindow)
{
    ZEL_AT_SYSTEM_DENSITY(192);
    RoundTrip(192);
}

TEST_F(LanguageSwitch, AProgramStartedInRussianComesUpInRussianWithEveryAccount)
{
    {
        std::unique_ptr<AppRun> run = Start();
        ASSERT_TRUE(run->started);
        AddAccounts(*run);
        ASSERT_GE(accounts.size(), 3u);
        Choose(*run, L"Russian");
        run->Close();
    }
    std::unique_ptr<AppRun> run = Start();
    ASSERT_TRUE(run->started);
    EXPECT_EQ(W(GuiText(16)), L"\x041c\x0435\x043d\x044e");
    PopulateAccounts(*run);
    ASSERT_GE(accounts.size(), 3u);
    // Read at once in Russian, then, as the reference, in English.
    const TextTable russian = Read(*run);
    Choose(*run, L"English");
    ExpectTranslated(Read(*run), russian);
}

TEST_F(LanguageSwitch, RussianSoftKeyTabAndButtonCaptionsFitTheirControlsAt96Dpi)
{
    SetScreenLogPixels(96);
    std::unique_ptr<AppRun> run = Start();
    ASSERT_TRUE(run->started);
    AddAccounts(*run);
    Choose(*run, L"Russian");
    ASSERT_EQ(W(GuiText(16)), L"\x041c\x0435\x043d\x044e");

    // A handheld's portrait screen; its bars show two keys.
    const int screen = 240;
    const RECT key = ShellLayout::SoftKeyRect(screen, ShellLayout::SoftKeyBarHeight(96), 2, 0);
    const int keyRoom = key.right - key.left - 4;
    Overflows overflows;
    HWND bar = run->App().GetMenuBar();
    auto mainKeys = [&](const std::wstring& where) {
        PumpFor(400);
        for (int command : {IDM_SOFTKEY_LEFT, IDM_SOFTKEY_RIGHT}) {
            const std::wstring caption = SoftKeyText(bar, command);
            overflows.Check(L"main window, " + where, caption, Extent(nullptr, caption), keyRoom);
        }
    };
    mainKeys(L"nothing selected");
    CContactListCtrl& list = *run->App().ContactList();
    for (const TestAccount& account : accounts) {
        list.SelectNode(list.FindAccountNode(account.id));
        mainKeys(L"account");
        list.SelectNode(list.FindGroupNode(account.group, account.id));
        mainKeys(L"group");
        list.SelectNode(list.FindContactNode(account.contact));
        mainKeys(L"contact");
    }

    // The chat window's two keys, with each action the user may give either of them.
    CChatDlg* chat = run->App().ChatWindow();
    ASSERT_NE(chat, nullptr);
    MessageWindowSettings* chatSettings = chat->GetSettings();
    ASSERT_NE(chatSettings, nullptr);
    const int chosenKey = chatSettings->leftSoftKey;
    for (int action = SoftKeySend; action <= SoftKeyClose; ++action) {
        chatSettings->leftSoftKey = action;
        CZELString caption;
        EXPECT_EQ(chat->GetSoftKeyCap(CChatDlg::SoftKeyLeft, caption), 1) << action;
        overflows.Check(L"chat window soft key", W(caption), Extent(nullptr, W(caption)), keyRoom);
    }
    chatSettings->leftSoftKey = chosenKey;

    auto dialogKeys = [&](const std::wstring& where, CSettingsDialog& dialog) {
        for (auto which : {CSettingsDialog::SoftKeyLeft, CSettingsDialog::SoftKeyRight}) {
            CZELString caption;
            dialog.GetSoftKeyCap(which, caption);
            overflows.Check(where + L" soft key", W(caption), Extent(nullptr, W(caption)), keyRoom);
        }
    };
    LanguageChoice look;
    look.inspect = [&](PreferencesDialog& dialog) {
        for (int page = 0; page < PreferencesPageCount; ++page) {
            TabPage* tab = dialog.FindPage(page);
            if (!tab) continue;
            dialog.SelectPage(page);
            overflows.CheckButtons(L"preferences page " + std::to_wstring(page), *tab->window);
            dialogKeys(L"preferences page " + std::to_wstring(page), dialog);
        }
        overflows.CheckTabs(L"preferences", dialog, PreferencesPageCount, screen);
    };
    SetPreferencesRunner(&RunPreferences, &look);
    run->App().OpenPreferences(PreferencesGeneralPage);
    SetPreferencesRunner(&SkipPreferences, nullptr);
    EXPECT_TRUE(look.picked);

    for (size_t i = 0; i < accounts.size(); ++i) {
        ScriptedAccountSettings settings(accounts[i].id);
        const std::wstring where = L"account " + std::to_wstring(i) + L" settings";
        settings.steps = {[&] {
            for (int page = 0; page < settings.GetPageCount(); ++page) {
                TabPage* tab = settings.FindPage(page);
                if (!tab) continue;
                settings.SelectPage(page);
                overflows.CheckButtons(where + L" page " + std::to_wstring(page), *tab->window);
            }
            overflows.CheckTabs(where, settings, settings.GetPageCount(), screen);
            dialogKeys(where, settings);
            settings.EndDialog(IDCANCEL);
        }};
        DoModalDialog(&settings, run->Window());
    }
    run.reset();
    SetScreenLogPixels(0);
    std::wstring all;
    for (const std::wstring& line : overflows.found) all += line + L"\n";
    EXPECT_TRUE(overflows.found.empty()) << testing::PrintToString(all);
}

TEST_F(LanguageSwitch, EveryAccountHearsTheSwitchAndEachPluginsStatusMenuShowsItsOwnModule)
{
    std::unique_ptr<AppRun> run = Start(ProtosWithTestPlugin());
    ASSERT_TRUE(run->started);
    AddAccounts(*run);
    TestPlugin plugin;
    ASSERT_TRUE(plugin.Loaded());
    const unsigned testAccount = TestPluginAccount();
    ASSERT_NE(testAccount, 0u);
    const std::vector<ShownMenu> english = RealStatusMenus(*run);
    ASSERT_GE(english.size(), 3u) << "the three plug-ins in Protos\\";
    // An account learns the language as it is made.
    EXPECT_EQ(plugin.Languages(testAccount), std::vector<std::wstring>{L"English"});

    Choose(*run, L"Russian");
    EXPECT_TRUE(PumpUntil([&] { return plugin.Languages(testAccount).size() >= 2; }));
    EXPECT_EQ(plugin.Languages(testAccount), (std::vector<std::wstring>{L"English", L"Russian"}));
    ExpectStatusMenusFromTheirModules(*run, english);

    Choose(*run, L"English");
    EXPECT_TRUE(PumpUntil([&] { return plugin.Languages(testAccount).size() >= 3; }));
    EXPECT_EQ(plugin.Languages(testAccount), (std::vector<std::wstring>{L"English", L"Russian", L"English"}));
    for (const ShownMenu& menu : english) EXPECT_EQ(ShownStatusMenu(*run, menu.account), menu.texts);
}

TEST_F(LanguageSwitch, EveryAccountOfAProgramStartedInRussianIsToldRussianFirst)
{
    const std::wstring protos = ProtosWithTestPlugin();
    std::vector<ShownMenu> english;
    {
        std::unique_ptr<AppRun> run = Start(protos);
        ASSERT_TRUE(run->started);
        AddAccounts(*run);
        english = RealStatusMenus(*run);
        ASSERT_GE(english.size(), 3u);
        Choose(*run, L"Russian");
        run->Close();
    }
    std::unique_ptr<AppRun> run = Start(protos);
    ASSERT_TRUE(run->started);
    PopulateAccounts(*run);
    TestPlugin plugin;
    ASSERT_TRUE(plugin.Loaded());
    const unsigned testAccount = TestPluginAccount();
    ASSERT_NE(testAccount, 0u);
    ASSERT_TRUE(PumpUntil([&] { return !plugin.Languages(testAccount).empty(); }));
    EXPECT_EQ(plugin.Languages(testAccount).front(), L"Russian");
    ExpectStatusMenusFromTheirModules(*run, english);
}

// The language switched back and forth while the test plug-in's account changes status, the "GUI"
// queue refills the global status table at each switch and other threads read the program's texts,
// the global status menu and the real plug-ins' status menus: nothing breaks and every text read is
// whole, in one language or the other.
TEST_F(LanguageSwitch, TwoHundredSwitchesWhileAccountsChangeStatusReadOnlyWholeTexts)
{
    std::unique_ptr<AppRun> run = Start(ProtosWithTestPlugin());
    ASSERT_TRUE(run->started);
    AddAccounts(*run);
    TestPlugin plugin;
    ASSERT_TRUE(plugin.Loaded());
    const unsigned testAccount = TestPluginAccount();
    ASSERT_NE(testAccount, 0u);

    // Both languages' texts: the program's table, the global status menu and each real status menu.
    auto globalMenu = [] {
        CPopupMenu menu;
        ProtocolsManagerService->GetStatusMenu(0, 0, &menu);
        std::vector<std::wstring> texts;
        Flatten(menu, texts);
        return texts;
    };
    auto accountMenu = [](unsigned account) {
        CPopupMenu menu;
        ProtocolsManagerService->GetStatusMenu(account, 0, &menu);
        std::vector<std::wstring> texts;
        Flatten(menu, texts);
        return texts;
    };
    std::vector<std::wstring> programTexts[2];
    std::set<std::wstring> globalTexts;
    std::map<unsigned, std::set<std::wstring>> accountTexts;
    std::vector<unsigned> realAccounts;
    for (const TestAccount& account : accounts)
        if (account.id != testAccount) realAccounts.push_back(account.id);
    ASSERT_GE(realAccounts.size(), 3u);
    auto learn = [&](int language) {
        for (int number = 0; number < EnglishTextCount; ++number) programTexts[language].push_back(W(GuiText(number)));
        for (const std::wstring& text : globalMenu()) globalTexts.insert(text);
        for (unsigned account : realAccounts)
            for (const std::wstring& text : accountMenu(account)) accountTexts[account].insert(text);
    };
    learn(0);
    Choose(*run, L"Russian");
    learn(1);
    ASSERT_NE(programTexts[0][0], programTexts[1][0]);

    std::atomic<bool> stop{false};
    std::atomic<int> torn{0}, reads{0};
    std::vector<std::thread> threads;
    // The test plug-in's account going on and off line: each change reaches the manager, which
    // announces it to the "GUI" queue with the global status's texts.
    threads.emplace_back([&] {
        for (int round = 0; !stop; ++round) {
            ProtocolsManagerService->SetStatus(testAccount, round % 2 ? AccountStatus::Online : AccountStatus::Offline);
            // Paced, so the queues keep up with the changes instead of piling them up.
            Sleep(10);
        }
    });
    threads.emplace_back([&] {
        for (int number = 0; !stop; number = (number + 7) % EnglishTextCount) {
            const std::wstring text = W(GuiText(number));
            if (text != programTexts[0][size_t(number)] && text != programTexts[1][size_t(number)]) ++torn;
            if (++reads % 64 == 0) Sleep(1);
        }
    });
    threads.emplace_back([&] {
        while (!stop) {
            for (const std::wstring& text : globalMenu())
                if (!globalTexts.count(text)) ++torn;
            ++reads;
            Sleep(1);
        }
    });
    threads.emplace_back([&] {
        for (size_t i = 0; !stop; i = (i + 1) % realAccounts.size()) {
            const std::set<std::wstring>& known = accountTexts[realAccounts[i]];
            for (const std::wstring& text : accountMenu(realAccounts[i]))
                if (!known.count(text)) ++torn;
            ++reads;
            Sleep(1);
        }
    });

    GlobalSettings& settings = run->App().Settings();
    for (int i = 0; i < 200; ++i) {
        settings.language = (i % 2) ? L"Russian" : L"English";
        run->App().Resources()->OnOptionChanged(OPT_LANGUAGE);
        run->App().ApplyOption(OPT_LANGUAGE);
        PumpFor(2);
    }
    stop = true;
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(reads, 0);

    // Every switch reached the account, and the program ends in the last language chosen.
    EXPECT_TRUE(PumpUntil([&] { return plugin.Languages(testAccount).size() >= 202; }, 120000));
    const std::vector<std::wstring> told = plugin.Languages(testAccount);
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back(), L"Russian");
    EXPECT_TRUE(PumpUntil([&] {
        const std::vector<std::wstring> texts = globalMenu();
        return !texts.empty() && HasCyrillic(texts.front());
    }));
    EXPECT_EQ(W(GuiText(0)), programTexts[1][0]);
}

// The manager tells the accounts of a switch on its own queue and waits there for every plug-in to
// fill its status rows: closing the program meanwhile must still end it.
TEST_F(LanguageSwitch, ClosingTheProgramInTheMiddleOfASwitchEndsIt)
{
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        std::unique_ptr<AppRun> run = Start();
        ASSERT_TRUE(run->started);
        if (round == 0) AddAccounts(*run);
        ASSERT_GE(ProtocolsManagerService->GetAccountCount(), 3);
        GlobalSettings& settings = run->App().Settings();
        // A few switches queued, and the close comes after none, some or all of them.
        for (int i = 0; i < 1 + round % 4; ++i) {
            settings.language = (i % 2) ? L"English" : L"Russian";
            run->App().Resources()->OnOptionChanged(OPT_LANGUAGE);
            run->App().ApplyOption(OPT_LANGUAGE);
        }
        if (round % 3 == 1) PumpFor(5);
        run->Close();
    }
}
