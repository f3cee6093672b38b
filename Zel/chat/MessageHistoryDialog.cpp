#include "Zel/chat/MessageHistoryDialog.h"

#include "Zel/chat/KeyboardScrollHook.h"
#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/shell/app/Application.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/menu/PopupMenuWnd.h"

#include <commdlg.h>

namespace {

const int kFindBar[] = {MessageHistoryDialog::IdFindLabel, MessageHistoryDialog::IdFindText,
                        MessageHistoryDialog::IdFindGo, MessageHistoryDialog::IdWholeWord,
                        MessageHistoryDialog::IdWholeWordLabel, MessageHistoryDialog::IdMatchCase,
                        MessageHistoryDialog::IdMatchCaseLabel};

}  // namespace

MessageHistoryDialog::MessageHistoryDialog(int contact, IChatLogHost* chatHost, IHistoryDialogServices* services,
                                           const HistoryPlace& place)
    : contact(contact), chatHost(chatHost), services(services), place(place), log(nullptr), findBarShown(false),
      tookScrollKeys(false), previousScrollTarget(nullptr)
{
}

MessageHistoryDialog::~MessageHistoryDialog()
{
    // The keys go back to whoever had them, none included: a hook left aimed at this dialog would
    // outlive it.
    if (tookScrollKeys) KeyboardScrollHook::SetTarget(previousScrollTarget);
    delete log;
}

void MessageHistoryDialog::OnInitDialog()
{
    UI::CZELWMUI_BigDlg::OnInitDialog();
    SetWindowTextW(hwnd, GuiText(44).GetBuffer() ? GuiText(44).GetBuffer() : L"History");
    HINSTANCE instance = GetModuleHandleW(nullptr);
    struct Control {
        int id;
        const wchar_t* cls;
        DWORD style;
        RECT units;
        CZELString text;
    } controls[] = {
        {IdFindLabel, L"STATIC", SS_LEFT, {2, 0, 156, 8}, GuiText(212)},
        // Long search texts scroll sideways instead of wrapping.
        {IdFindText, L"EDIT", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, {4, 9, 141, 21}, CZELString()},
        {IdFindGo, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, {141, 9, 155, 21}, CZELString(L"->")},
        {IdWholeWord, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, {4, 22, 14, 32}, CZELString()},
        {IdWholeWordLabel, L"STATIC", SS_LEFT, {16, 22, 72, 30}, GuiText(213)},
        {IdMatchCase, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, {74, 22, 84, 32}, CZELString()},
        {IdMatchCaseLabel, L"STATIC", SS_LEFT, {86, 22, 156, 30}, GuiText(214)},
    };
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    for (Control& c : controls) {
        RECT r = c.units;
        MapDialogRect(hwnd, &r);
        HWND control = CreateWindowExW(0, c.cls, c.text.GetBuffer() ? c.text.GetBuffer() : L"", WS_CHILD | c.style,
                                       r.left, r.top, r.right - r.left, r.bottom - r.top, hwnd,
                                       reinterpret_cast<HMENU>(INT_PTR(c.id)), instance, nullptr);
        if (font) SendMessageW(control, WM_SETFONT, WPARAM(font), FALSE);
    }
    SetSoftKeys();
    RECT client = ClientAboveBar();
    log = CChatLogView::Create(hwnd, client, this);
    MessageWindowSettings* settings = chatHost ? chatHost->GetSettings() : nullptr;
    if (settings && settings->volumeForScroll) {
        previousScrollTarget = KeyboardScrollHook::SetTarget(hwnd);
        tookScrollKeys = true;
    }
    OnScreenSizeChanged();
    Reload();
}

void MessageHistoryDialog::Reload()
{
    if (!log) return;
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    log->ClearAll();
    CZELArray<ChatLogEntry> entries;
    CHistoryFile(place).LoadAll(contact, entries);
    log->AddEntries(entries, true);
    SetCursor(previous);
}

LRESULT MessageHistoryDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_VSCROLL && log) SendMessageW(*log, WM_VSCROLL, wParam, lParam);
    return UI::CZELWMUI_BigDlg::OnMessage(message, wParam, lParam);
}

void MessageHistoryDialog::OnScreenSizeChanged()
{
    if (!log) return;
    RECT client = ClientAboveBar();
    if (findBarShown) {
        RECT box;
        GetWindowRect(GetDlgItem(IdMatchCase), &box);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&box), 2);
        client.top = box.bottom + UI::HIDPI_ScaleY(1);
    }
    MoveWindow(*log, client.left, client.top, client.right - client.left, client.bottom - client.top, TRUE);
}

void MessageHistoryDialog::ToggleFindBar()
{
    findBarShown = !findBarShown;
    for (int id : kFindBar) ShowWindow(GetDlgItem(id), findBarShown ? SW_SHOW : SW_HIDE);
    OnScreenSizeChanged();
    SetSoftKeys();
}

int MessageHistoryDialog::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    caption = GuiText(key == SoftKeyLeft ? (findBarShown ? 216 : 215) : 246);
    return 1;
}

void MessageHistoryDialog::OnSoftKey(TSoftKey key)
{
    if (key == SoftKeyLeft) ToggleFindBar();
    else ShowMenu();
}

void MessageHistoryDialog::FindNext()
{
    HWND edit = GetDlgItem(IdFindText);
    int length = GetWindowTextLengthW(edit);
    if (!log || length <= 0) return;
    std::wstring text(size_t(length) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(edit, &text[0], length + 1)));
    FindOptions options = {IsDlgButtonChecked(hwnd, IdWholeWord) == BST_CHECKED,
                           IsDlgButtonChecked(hwnd, IdMatchCase) == BST_CHECKED};
    if (!log->Find(text.c_str(), options) && services) services->ShowInfo(GuiText(221));
}

void MessageHistoryDialog::OnCommand(WORD notifyCode, WORD id, HWND control)
{
    if (id == IdFindGo && notifyCode == BN_CLICKED) FindNext();
    UI::CZELWMUI_BigDlg::OnCommand(notifyCode, id, control);
}

bool MessageHistoryDialog::SaveAs(const std::wstring& path)
{
    std::wstring text;
    if (log) log->GetAllText(text, false);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string bytes = "\xEF\xBB\xBF";
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &utf8[0], size, nullptr, nullptr);
    bytes += utf8;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

void MessageHistoryDialog::ShowMenu()
{
    CPopupMenu menu;
    CZELString total = GuiText(217) + CZELString(unsigned(log ? log->GetParagraphCount() : 0), false, 0);
    menu.AddItem(CMenuItem(MENU_ITEM_INFO, 35, total, MenuTotal, nullptr, 0, false));
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 61, GuiText(218), MenuRefresh, nullptr, 0, false));
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 63, GuiText(219), MenuDelete, nullptr, 0, false));
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 62, GuiText(220), MenuSaveAs, nullptr, 0, false));
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 67, GuiText(248), MenuClose, nullptr, 0, false));
    RECT area;
    GetWindowRect(hwnd, &area);
    POINT corner = {area.right, area.bottom};
    PopupMenuResult chosen = ShowPopupMenu(menu, area, corner, MenuAlignAboveRight, hwnd, false);
    if (chosen.callback) return;
    std::wstring path;
    switch (chosen.commandId) {
    case MenuRefresh: Reload(); break;
    case MenuDelete:
        if (log) log->ClearAll();
        CHistoryFile(place).Delete(contact);
        break;
    case MenuSaveAs:
        if (services && services->ChooseSaveFile(hwnd, L"*.txt;", path)) SaveAs(path);
        break;
    case MenuClose: EndDialog(2); break;
    }
}

void RunChatSubDialog(IChatLogHost* chatHost, HWND parent, int contact, IHistoryDialogServices* services)
{
    MessageHistoryDialog dialog(contact, chatHost, services);
    DoModalDialog(&dialog, parent);
}

namespace {

class ProgramServices : public IHistoryDialogServices {
public:
    void ShowInfo(const CZELString& text) override
    {
        HWND main = TheApplication ? TheApplication->GetMainWindow() : nullptr;
        if (main) SendMessageW(main, CApplicationBase::WM_APP_SHOW_TEXT, reinterpret_cast<WPARAM>(&text), 0);
    }
    bool ChooseSaveFile(HWND owner, const wchar_t*, std::wstring& path) override
    {
        wchar_t name[MAX_PATH] = L"history.txt";
        OPENFILENAMEW choice = {};
        choice.lStructSize = sizeof choice;
        choice.hwndOwner = owner;
        choice.lpstrFilter = L"Text\0*.txt\0";
        choice.lpstrFile = name;
        choice.nMaxFile = MAX_PATH;
        choice.lpstrDefExt = L"txt";
        choice.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
        if (!GetSaveFileNameW(&choice)) return false;
        path = name;
        return true;
    }
};

}  // namespace

IHistoryDialogServices* ProgramHistoryServices()
{
    static ProgramServices services;
    return &services;
}

void ShowMessageHistory(HWND parent, int contact)
{
    CChatDlg* chat = TheApplication ? TheApplication->ChatWindow() : nullptr;
    if (!chat || !chat->GetSettings()) return;
    RunChatSubDialog(chat->LogHost(), parent, contact, ProgramHistoryServices());
}
