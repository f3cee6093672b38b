// The program's services around the plug-in, as the application makes them: the bus, the skin
// images, a settings store in a temporary folder, the connection service, the contact-list data
// and the protocols manager, which loads Dax.dll from the program's protocols folder. A recorder
// takes the manager's events and another the contact list's; the fake servers stand in for the
// network.
#pragma once

#include "Dax/DaxGuids.h"
#include "Dax/tests/FakeMrimServers.h"
#include "Dax/proto/tests/MrimTestSupport.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/tests/AccountTestSupport.h"
#include "Zel/net/ConnectionManager.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace MrimTest {

// Every event of the contact-list data, with the message or value it carried.
class ContactListEvents : public QueueReceiver {
public:
    explicit ContactListEvents(Services::CServicesManager& bus);
    ~ContactListEvents() override;
    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override;

    struct Event {
        int code;
        intptr_t id;
        intptr_t value;
        MessageRecord message;
        StatusInfo status;
    };
    std::vector<Event> Events(int code);
    bool WaitFor(int code, intptr_t id = -1, unsigned milliseconds = 10000);
    void Clear();

private:
    Services::CServicesManager& bus;
    int queue = 0;
    std::mutex mutex;
    std::vector<Event> events;
};

class DaxHostTest : public ::testing::Test {
protected:
    DaxHostTest();
    ~DaxHostTest() override;

    // Starts the servers (the redirector in the mode given) and creates an account that uses them.
    unsigned CreateAccount(FakeRedirector::Mode mode = FakeRedirector::Whole);
    int Status(unsigned id);
    bool WaitStatus(unsigned id, int status, unsigned milliseconds = 10000);
    // Asks for Online and waits until the server accepted the login.
    bool GoOnline(unsigned id);
    // Lets the account's queue and the manager's work through what is queued.
    void Settle();

    std::vector<ContactListItemPair> Items(unsigned id);
    std::wstring Property(int item, const wchar_t* name);
    int ContactByEmail(unsigned id, const std::wstring& email);
    std::vector<std::wstring> Warnings();

    Services::CServicesManager bus;
    CSkinImageSet imageSet;
    CSkinImages skin;
    AccountTest::TempFolder folder;
    std::unique_ptr<CSettingsStore> store;
    std::unique_ptr<CConnectionManager> connections;
    std::unique_ptr<CContactListData> contactList;
    std::unique_ptr<CProtocolsManager> manager;
    std::unique_ptr<AccountTest::EventRecorder> recorder;
    std::unique_ptr<ContactListEvents> listEvents;
    std::unique_ptr<FakeSessionServer> server;
    std::unique_ptr<FakeRedirector> redirector;
    HMODULE plugin = nullptr;
};

// A contact list packet: groups by name, then contacts (address, nickname, group index, status).
struct ListContact {
    std::string email;
    std::wstring nickname;
    unsigned group;
    unsigned status;
    unsigned flags = 0;
    unsigned serverFlags = 0;
};
Bytes ContactListBody(const std::vector<std::wstring>& groups, const std::vector<ListContact>& contacts);

} // namespace MrimTest
