// The contact list with many contacts: 10,000 in 50 groups, and 10,000 in one group, fed to the
// control's handler as the bus would; the cost per contact is printed for slices up to 20,000, so a
// cost that grows with the count shows. Then one full repaint of a 240 x 320 screen (the drawing
// into the memory bitmap timed apart from the whole paint with its copy to the window), and 1,000
// status changes that each refile a contact.
#include "Zel/shell/bench/ShellBenchmarks.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/shell/contactlist/ContactListCtrl.h"

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const unsigned kAccount = 7;

// Answers from tables; commands and dialogs do nothing.
class BenchHost : public IContactListHost {
public:
    CZELString GetAlias(int item) override { return aliases[item]; }
    CZELString GetAccountName(int item) override { return aliases[item]; }
    int GetContactGroup(int contact) override { return groups[contact]; }
    unsigned GetItemAccount(int) override { return kAccount; }
    bool GetGroupIndex(int, int*) override { return false; }
    void SetGroupIndex(int, int) override {}
    bool GetGroupOpen(int, bool*) override { return false; }
    void SetGroupOpen(int, bool) override {}
    bool GetAccountItems(unsigned, std::vector<std::pair<int, int>>&) override { return false; }
    bool GetSettingOpen(const wchar_t*, bool*) override { return false; }
    void SetSettingOpen(const wchar_t*, bool) override {}
    CZELString GetAccountDisplayName(unsigned) override { return CZELString(L"bench"); }
    int GetProtocolPicture(unsigned) override { return -1; }
    bool GetAccountOpen(unsigned, bool*) override { return false; }
    void SetAccountOpen(unsigned, bool) override {}
    bool GetLogonDate(unsigned, unsigned* time) override
    {
        *time = 0;
        return true;
    }
    unsigned Now() override { return 0; }
    bool IsAccountOnline(unsigned) override { return false; }
    bool GetContactIcons(unsigned, int, StatusInfo&) override { return false; }
    void FillAccountMenu(unsigned, CPopupMenu*) override {}
    void FillGroupMenu(unsigned, int, CPopupMenu*) override {}
    void FillContactMenu(unsigned, int, CPopupMenu*) override {}
    void AddGroup(unsigned, const CZELString&) override {}
    void RenameGroup(unsigned, int, const CZELString&) override {}
    void DeleteGroup(unsigned, int) override {}
    void RenameContact(unsigned, int, const CZELString&) override {}
    void MoveContact(unsigned, int, int) override {}
    void DeleteContact(unsigned, int) override {}
    bool AskText(HWND, int, CZELString&) override { return false; }
    void ShowAccountSettings(unsigned, HWND) override {}
    void ShowContactDetails(HWND, int) override {}
    void ShowHistory(HWND, int) override {}
    void CopyText(const CZELString&) override {}
    void ContactCameOnline(int) override {}
    void ContactWentOffline(int) override {}
    bool DontSleep() override { return false; }
    void ResetIdleTimer() override {}
    bool FullScreenMenus() override { return false; }
    HWND MainWindow() override { return nullptr; }

    std::map<int, CZELString> aliases;
    std::map<int, int> groups;
};

class BenchOwner : public IContactListCallbacks {
public:
    void PostWake() override {}
    void OpenChat(int) override {}
    void ShowChatWindow() override {}
    void UpdateTopPanel(int) override {}
};

int Contact(int n)
{
    return int(FirstContactId + unsigned(n));
}

// A name that sorts nowhere in particular.
CZELString NameOf(int n)
{
    unsigned mixed = unsigned(n) * 2654435761u;
    wchar_t text[32];
    wsprintfW(text, L"%08X contact", mixed);
    return CZELString(text);
}

void Event(CContactListCtrl& list, const ZEL_GUID& eventClass, int code, intptr_t value, CRefObject* p2 = nullptr)
{
    CRefValue p1(value);
    list.OnEvent(eventClass, code, &p1, p2);
}

void AddContact(CContactListCtrl& list, BenchHost& host, int n, int group, int status)
{
    host.aliases[Contact(n)] = NameOf(n);
    host.groups[Contact(n)] = group;
    StatusInfo info;
    info.status = status;
    info.kinds.Add(status == 0 ? 0 : 3);
    CContactAddedPayload added(group, info);
    Event(list, GUID_CONTACT_LIST_DATA, CLE_CONTACT_ADDED, Contact(n), &added);
}

void RunList(const char* title, int groupCount)
{
    Services::CServicesManager bus;
    BenchHost host;
    BenchOwner owner;
    ContactListOptions options;
    options.font.lfHeight = -14;
    lstrcpyW(options.font.lfFaceName, L"Tahoma");
    std::unique_ptr<CContactListCtrl> list(new CContactListCtrl(&owner, bus, options, &host));
    Event(*list, GUID_PROTOCOLS_MANAGER, PMEV_ACCOUNT_CREATED, kAccount);
    for (int g = 1; g <= groupCount; ++g) {
        host.aliases[g] = NameOf(100000 + g);
        Event(*list, GUID_CONTACT_LIST_DATA, CLE_GROUP_ADDED, g);
    }

    std::printf("%s\n", title);
    const int slices[] = {1000, 10000, 20000};
    int made = 0;
    for (int slice : slices) {
        int from = made;
        double start = BenchSeconds();
        for (; made < slice; ++made) AddContact(*list, host, made, 1 + made % groupCount, made % 3 == 0 ? 2 : 0);
        double took = BenchSeconds() - start;
        std::printf("  contacts %6d..%6d: %8.2f us per contact added\n", from + 1, slice,
                    took * 1e6 / (slice - from));
    }

    // One screen of the list, drawn into a memory bitmap as the window does.
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 240, 320);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT client = {0, 0, 240, 320};
    double drawing = BestOf(20, [&] {
        CZELLock hold(list->Lock());
        CCLRootNode* root = list->CurrentRoot();
        RECT area = {0, 0, 240, root->GetHeight()};
        root->Paint(memory, area, client, true);
    });
    double whole = BestOf(20, [&] { list->OnPaint(screen, client); });
    std::printf("  one screen: %8.3f ms drawing into the bitmap, %8.3f ms with the copy\n", drawing * 1e3,
                whole * 1e3);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    DestroyWindow(window);

    double start = BenchSeconds();
    for (int i = 0; i < 1000; ++i) {
        StatusInfo info;
        info.status = i % 2 ? 2 : 0;
        CStatusInfoPayload status(info);
        Event(*list, GUID_CONTACT_LIST_DATA, CLE_CONTACT_STATUS, Contact((i * 7919) % made), &status);
    }
    std::printf("  1,000 status changes: %8.2f us each\n", (BenchSeconds() - start) * 1e3);
}

}  // namespace

void RunContactListWindowBenchmark()
{
    RunList("Contact list, 50 groups:", 50);
    RunList("Contact list, one group:", 1);
}
