// Works the program's own modal dialogs from a test by window messages, as a user would: a thread
// timer runs one step per tick, so a step that opens a dialog (a click on "Alerts...", a soft key
// that opens the file browser) returns only when that dialog ends, and the steps after it run
// inside the new dialog's own modal loop. A step that finds nothing to work yet returns false and
// is tried again on the next tick. Popup menus are answered from the captured menu model, by the
// text of the item to choose. A script that stalls ends every open dialog and fails the test.
#pragma once

#include "Zel/shell/menu/PopupMenuWnd.h"
#include "ZELCommon/ZELCommonResources.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace PrefsTest {

// The visible, enabled (so not under a modal dialog) top-level dialog of this thread that holds
// the control id (any such dialog for -1); null when there is none.
inline HWND ActiveDialogWith(int id)
{
    struct Search {
        int id;
        HWND found;
    } search = {id, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM context) {
            Search& s = *reinterpret_cast<Search*>(context);
            wchar_t name[16] = L"";
            GetClassNameW(window, name, 16);
            if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(window) && IsWindowEnabled(window) &&
                (s.id == -1 || GetDlgItem(window, s.id))) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        LPARAM(&search));
    return search.found;
}

inline void Click(HWND button)
{
    SendMessageW(button, BM_CLICK, 0, 0);
}

inline void Type(HWND edit, const std::wstring& text)
{
    SendMessageW(edit, WM_SETTEXT, 0, LPARAM(L""));
    for (wchar_t c : text) SendMessageW(edit, WM_CHAR, WPARAM(c), 0);
}

inline void LeftSoftKey(HWND dialog)
{
    SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_LEFT, 0);
}

inline void RightSoftKey(HWND dialog)
{
    SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_RIGHT, 0);
}

// Selects and focuses a list-view row, the list holding the keyboard focus as a tap leaves it.
inline void SelectListRow(HWND list, int row)
{
    SetFocus(list);
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&state));
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, WPARAM(row), LPARAM(&state));
}

inline std::wstring ListRowText(HWND list, int row, int column = 0)
{
    wchar_t text[MAX_PATH] = L"";
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(row), LPARAM(&item));
    return text;
}

class DialogScript {
public:
    typedef std::function<bool()> Step;  // false: not ready, tried again on the next tick

    DialogScript()
    {
        current = this;
        SetPopupMenuRunner(&AnswerMenu, this);
    }
    ~DialogScript()
    {
        Stop();
        SetPopupMenuRunner(nullptr, nullptr);
        current = nullptr;
    }
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    // A step, and a step that waits for the dialog holding id and then works it.
    void Then(const Step& step) { steps.push_back(step); }
    void In(int id, const std::function<void(HWND)>& work)
    {
        steps.push_back([id, work] {
            HWND dialog = ActiveDialogWith(id);
            if (!dialog) return false;
            work(dialog);
            return true;
        });
    }
    // The next popup menu is answered with the item showing text ("" closes it unchosen).
    void Choose(const std::wstring& text) { menuAnswers.push_back(text); }

    // Starts ticking; call before running the first dialog.
    void Start(DWORD limitMs = 20000)
    {
        deadline = GetTickCount64() + limitMs;
        if (!timer) timer = SetTimer(nullptr, 0, 15, &Tick);
    }
    void Stop()
    {
        if (timer) KillTimer(nullptr, timer);
        timer = 0;
    }
    bool Finished() const { return steps.empty(); }
    bool Stalled() const { return stalled; }
    // The menus shown, each as its items' texts.
    std::vector<std::vector<std::wstring>> menus;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        DialogScript* script = current;
        if (!script) return;
        if (script->stalled || GetTickCount64() > script->deadline) {
            if (!script->stalled)
                ADD_FAILURE() << "the dialog script stalled after " << script->done << " steps, with "
                              << script->steps.size() << " waiting";
            script->stalled = true;
            script->steps.clear();
            // Ends the dialog on top; the next tick ends the one below it.
            if (HWND top = ActiveDialogWith(-1)) EndDialog(top, IDCANCEL);
            return;
        }
        if (script->steps.empty()) return;
        Step step = script->steps.front();
        script->steps.pop_front();
        if (step())
            ++script->done;
        else
            script->steps.push_front(step);
    }

    static PopupMenuResult AnswerMenu(void* context, const CPopupMenu& menu, const RECT&, const POINT&, int)
    {
        DialogScript& script = *static_cast<DialogScript*>(context);
        std::vector<std::wstring> texts;
        for (int i = 0; i < menu.GetCount(); ++i)
            texts.push_back(menu.items[i].text.GetBuffer() ? menu.items[i].text.GetBuffer() : L"");
        script.menus.push_back(texts);
        PopupMenuResult none = {nullptr, -1, 0};
        if (script.menuAnswers.empty()) {
            ADD_FAILURE() << "a menu was shown that the script does not answer";
            return none;
        }
        const std::wstring wanted = script.menuAnswers.front();
        script.menuAnswers.pop_front();
        for (int i = 0; i < menu.GetCount(); ++i)
            if (texts[size_t(i)] == wanted && menu.items[i].kind == MENU_ITEM_PLAIN)
                return PopupMenuResult{menu.items[i].callback, menu.items[i].commandId, menu.items[i].argument};
        if (!wanted.empty()) ADD_FAILURE() << "no menu item \"" << std::string(wanted.begin(), wanted.end()) << "\"";
        return none;
    }

    static inline DialogScript* current = nullptr;
    std::deque<Step> steps;
    std::deque<std::wstring> menuAnswers;
    UINT_PTR timer = 0;
    ULONGLONG deadline = 0;
    bool stalled = false;
    int done = 0;  // steps that have returned
};

}  // namespace PrefsTest
