// Incoming messages through the whole road: the contact-list data's queue, the event to the queue
// "GUI", the message to the main window, the history file, the pending list and the notification.
// 10,000 messages for one contact without a chat tab; the cost per message is printed for the first
// 100, for each further slice, and for the last 100, so a cost that grows with the count shows.
#include "Zel/shell/bench/ShellBenchmarks.h"

#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/history/HistoryFile.h"
#include "Zel/core/tests/plugins/FakeAccountPlugin.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/app/Application.h"
#include "Zel/shell/tests/ProgramFolder.h"
#include "ZELCommon/tests/RemoveTree.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const int kMessages = 10000;
const int kAppends = 2000;

BOOL QuietTray(DWORD, NOTIFYICONDATAW*)
{
    return TRUE;
}

void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

template <typename Check> bool PumpUntil(Check check, double seconds)
{
    double end = BenchSeconds() + seconds;
    while (!check()) {
        if (BenchSeconds() > end) return false;
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    return true;
}

}  // namespace

void RunMessageBenchmark()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring root = std::wstring(temp) + L"ZelMessageBench" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    TestSupport::RemoveTree(root);
    CreateDirectoryW(root.c_str(), nullptr);
    std::vector<double> reached(kMessages + 1, 0);
    double appendSeconds = 0;
    bool done = false;
    {
        Services::CServicesManager bus;
        AppStartRecord start = {GetModuleHandleW(nullptr), L"ZELWM_APPLICATION_CLASS", L"ZEL PDA", SW_SHOW};
        AppPlace place;
        place.bus = &bus;
        place.settingsFile = (root + L"settings.zel").c_str();
        place.protosFolder = (ProgramFolder::Bin() + L"PluginTrees\\Accounts\\Protos\\").c_str();
        place.historyFolder = (root + L"History\\").c_str();
        place.appFolder = root.c_str();
        std::unique_ptr<CApplication> application(new CApplication(&start, place));
        application->SetTrayNotify(QuietTray);
        if (!InitInstance(*application, L"") || !application->CompleteStart()) {
            std::printf("Incoming messages: no main window (is there a display?)\n");
            TestSupport::RemoveTree(root);
            return;
        }
        unsigned account = ProtocolsManagerService->CreateAccount(GUID_FAKE_A);
        ProtocolsManagerService->SetAccountString(account, L"Name", L"bench", 0);
        CZELArray<int> groups;
        PumpUntil([&] { return account && ContactListDataService->GetAccountGroups(account, groups); }, 10);
        int group = ContactListDataService->AddGroup(account);
        int contact = ContactListDataService->AddContact(account, group);
        ContactListDataService->SetPropertyString(contact, L"Account name", L"100200300");
        ContactListDataService->SetPropertyString(contact, L"CL Alias", L"Bench");

        for (int i = 0; i < kMessages; ++i) {
            MessageRecord message;
            message.contactId = contact;
            message.messageNumber = i + 1;
            message.kind = -1;
            wchar_t text[64];
            swprintf(text, 64, L"message number %d, a line of ordinary length", i + 1);
            message.text = text;
            ContactListDataService->PostIncomingMessage(contact, message);
        }
        // Nothing is handled before this thread takes the window's messages: the clock starts here.
        double begin = BenchSeconds();
        int seen = 0;
        done = PumpUntil(
            [&] {
                int count = application->PendingMessages().GetCount();
                for (; seen < count && seen < kMessages; ++seen) reached[size_t(seen) + 1] = BenchSeconds() - begin;
                return count >= kMessages;
            },
            600);
        // The floor: the same history file appends made directly, for a second contact.
        int second = ContactListDataService->AddContact(account, group);
        ContactListDataService->SetPropertyString(second, L"Account name", L"400500600");
        HistoryPlace history;
        history.folder = place.historyFolder;
        history.bus = &bus;
        CHistoryFile file(history);
        double appendStart = BenchSeconds();
        for (int i = 0; i < kAppends; ++i)
            file.Append(second, 1, 0, 0, 1600000000u + unsigned(i), L"message number 1, a line of ordinary length");
        appendSeconds = BenchSeconds() - appendStart;
        SendMessageW(application->GetMainWindow(), WM_CLOSE, 0, 0);
        application.reset();
        Pump();
    }
    TestSupport::RemoveTree(root);

    std::printf("\nIncoming messages into history files (%d for one contact, each through the queue GUI):\n", kMessages);
    if (!done) {
        std::printf("  not all messages arrived\n");
        return;
    }
    auto perMessage = [&](int from, int to) { return (reached[size_t(to)] - reached[size_t(from)]) * 1e6 / (to - from); };
    std::printf("  %-22s %8.1f us a message\n", "messages 1-100", perMessage(0, 100));
    for (int slice = 0; slice < kMessages; slice += 2000)
        std::printf("  messages %5d-%-6d %8.1f us a message\n", slice + 1, slice + 2000, perMessage(slice, slice + 2000));
    std::printf("  %-22s %8.1f us a message\n", "messages 9901-10000", perMessage(kMessages - 100, kMessages));
    std::printf("  %-22s %8.1f us a message (%.0f messages/s)\n", "all", perMessage(0, kMessages),
                kMessages / reached[kMessages]);
    std::printf("  %-22s %8.1f us an append\n", "the file append alone", appendSeconds * 1e6 / kAppends);
}
