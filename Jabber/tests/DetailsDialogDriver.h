// Working the program's details dialogs with the plug-in's panes from a test: the panes found by a
// control each has alone, the soft keys pressed, the fields read and typed, and a stand-in for the
// main window that reloads the open dialog when the account's details came.
#pragma once

#include "Jabber/tests/ExtrasTestSupport.h"
#include "Jabber/tests/JabberTestHost.h"
#include "Zel/core/tests/ModalDialogDriver.h"

#include "Jabber/JabberResources.h"
#include "Jabber/account/VCardFields.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/dialogs/DetailsDialogs.h"
#include "ZELCommon/ZELCommonResources.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

namespace VCardDialogTest {

using DialogTest::Type;
using PluginTree::Wide;
using namespace VCardKeys;

inline std::wstring Text(HWND window, int id)
{
    wchar_t text[1100] = L"";
    GetDlgItemTextW(window, id, text, 1100);
    return text;
}

// The page of a details dialog that holds the control id (each page has one of its own).
inline HWND Page(HWND dialog, int id)
{
    struct Search {
        int id;
        HWND found;
    } search = {id, nullptr};
    EnumChildWindows(
        dialog,
        [](HWND window, LPARAM context) {
            Search* s = reinterpret_cast<Search*>(context);
            wchar_t name[16] = L"";
            GetClassNameW(window, name, 16);
            if (wcscmp(name, L"#32770") == 0 && GetDlgItem(window, s->id)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        LPARAM(&search));
    return search.found;
}

// Each page by a control only it has.
struct DetailsPages {
    explicit DetailsPages(HWND dialog)
        : general(Page(dialog, IDC_JB_VC_JID_LABEL)), home(Page(dialog, IDC_JB_VC_HOME_EMAIL)),
          work(Page(dialog, IDC_JB_VC_WORK_EMAIL)), company(Page(dialog, IDC_JB_VC_COMPANY)),
          phones(Page(dialog, IDC_JB_VC_HOME_PHONE)), personal(Page(dialog, IDC_JB_VC_BIRTHDAY)),
          about(Page(dialog, IDC_JB_VC_ABOUT))
    {
    }
    bool All() const { return general && home && work && company && phones && personal && about; }
    HWND general, home, work, company, phones, personal, about;
};

inline void Update(HWND dialog)
{
    SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_LEFT, 0);
}

inline void Close(HWND dialog)
{
    PostMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_RIGHT, 0);
}

// Picks the gender entry that reads text (the empty one included).
inline void PickGender(HWND personal, const wchar_t* text)
{
    HWND list = GetDlgItem(personal, IDC_JB_VC_GENDER);
    const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t entry[64] = L"";
        SendMessageW(list, CB_GETLBTEXT, WPARAM(i), LPARAM(entry));
        if (wcscmp(entry, text) == 0) {
            SendMessageW(list, CB_SETCURSEL, WPARAM(i), 0);
            return;
        }
    }
    ADD_FAILURE() << "no gender entry reads \"" << PluginTree::Narrow(CZELString(text)) << "\"";
}

inline std::wstring PickedGender(HWND personal)
{
    HWND list = GetDlgItem(personal, IDC_JB_VC_GENDER);
    const LRESULT at = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (at == CB_ERR) return L"(none)";
    wchar_t text[64] = L"";
    SendMessageW(list, CB_GETLBTEXT, WPARAM(at), LPARAM(text));
    return text;
}

// The birthday picker's date as "year-month-day", "no date" when it holds none.
inline std::string PickedDate(HWND personal)
{
    SYSTEMTIME date = {};
    if (SendMessageW(GetDlgItem(personal, IDC_JB_VC_BIRTHDAY), DTM_GETSYSTEMTIME, 0, LPARAM(&date)) != GDT_VALID)
        return "no date";
    return std::to_string(date.wYear) + "-" + std::to_string(date.wMonth) + "-" + std::to_string(date.wDay);
}

inline void PickDate(HWND personal, int year, int month, int day)
{
    SYSTEMTIME date = {};
    date.wYear = WORD(year);
    date.wMonth = WORD(month);
    date.wDay = WORD(day);
    SendMessageW(GetDlgItem(personal, IDC_JB_VC_BIRTHDAY), DTM_SETSYSTEMTIME, year ? GDT_VALID : GDT_NONE,
                 LPARAM(&date));
}

// Stands in for the main window, which reloads the open details dialog when the account says its
// details came; on the dialogs' thread.
class ReloadWindow {
public:
    ReloadWindow()
    {
        WNDCLASSW type = {};
        type.lpfnWndProc = &Procedure;
        type.hInstance = GetModuleHandleW(nullptr);
        type.lpszClassName = L"VCardDialogTestReload";
        RegisterClassW(&type);
        window = CreateWindowExW(0, type.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, type.hInstance, nullptr);
    }
    ~ReloadWindow() { DestroyWindow(window); }
    void Own(unsigned account) { SendMessageW(window, WM_APP, 0, LPARAM(account)); }
    void Contact(int contact) { SendMessageW(window, WM_APP + 1, 0, LPARAM(contact)); }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_APP) RefreshOwnDetailsDialog(unsigned(lParam));
        else if (message == WM_APP + 1) RefreshContactDetailsDialog(int(lParam));
        else return DefWindowProcW(window, message, wParam, lParam);
        return 0;
    }
    HWND window = nullptr;
};

// The details dialogs reach the core through the program's service pointers.
class ProgramServices {
public:
    explicit ProgramServices(JabberTest::Host& host)
    {
        ProtocolsManagerService = host.manager.get();
        ContactListDataService = host.contactList.get();
    }
    ~ProgramServices()
    {
        ProtocolsManagerService = nullptr;
        ContactListDataService = nullptr;
    }
};

inline std::wstring Stored(JabberTest::Host& host, unsigned account, const wchar_t* key)
{
    CZELString value;
    if (!host.manager->GetAccountString(account, CZELString(key), value, 0)) return L"(absent)";
    return Wide(value);
}

inline std::string StoredDate(JabberTest::Host& host, unsigned account)
{
    short year = 0;
    char month = 0, day = 0;
    if (!host.manager->GetAccountShort(account, CZELString(BirthYear), &year) ||
        !host.manager->GetAccountByte(account, CZELString(BirthMonth), &month) ||
        !host.manager->GetAccountByte(account, CZELString(BirthDay), &day))
        return "(absent)";
    return std::to_string(year) + "-" + std::to_string(int(month)) + "-" + std::to_string(int(day));
}

inline void StoreDate(JabberTest::Host& host, unsigned account, int year, int month, int day)
{
    const short y = short(year);
    const char m = char(month), d = char(day);
    host.manager->SetAccountShort(account, CZELString(BirthYear), &y);
    host.manager->SetAccountByte(account, CZELString(BirthMonth), &m);
    host.manager->SetAccountByte(account, CZELString(BirthDay), &d);
}

// The number in the id of a request the account sent ("zel_N").
inline std::string IdOf(const std::string& stanza)
{
    const size_t at = stanza.find("id='");
    if (at == std::string::npos) return std::string();
    const size_t end = stanza.find('\'', at + 4);
    return stanza.substr(at + 4, end - at - 4);
}

// Text as UTF-8, as servers and peers print it.
inline std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

using Memory = JabberTest::VCardMemory;

}  // namespace VCardDialogTest
