#include "Dax/tests/DaxHost.h"

#include "Zel/core/tests/PluginTreeSupport.h"

namespace MrimTest {

ContactListEvents::ContactListEvents(Services::CServicesManager& bus) : bus(bus)
{
    queue = bus.CreateQueue(this, CZELString(L"Contact list events"));
    for (int code = 1; code <= CLE_EVENT_COUNT; ++code) bus.Subscribe(GUID_CONTACT_LIST_DATA, code, queue);
}

ContactListEvents::~ContactListEvents()
{
    if (queue) bus.DestroyQueue(queue);
}

int ContactListEvents::HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2)
{
    if (!(msgClass == GUID_CONTACT_LIST_DATA)) return 0;
    Event event{code, ValueOf(p1, -1), ValueOf(p2, -1), MessageRecord(), StatusInfo()};
    if (CMessagePayload* message = dynamic_cast<CMessagePayload*>(p2)) event.message = message->message;
    if (CStatusInfoPayload* status = dynamic_cast<CStatusInfoPayload*>(p2)) event.status = status->info;
    std::lock_guard<std::mutex> hold(mutex);
    events.push_back(event);
    return 0;
}

std::vector<ContactListEvents::Event> ContactListEvents::Events(int code)
{
    std::lock_guard<std::mutex> hold(mutex);
    std::vector<Event> out;
    for (const Event& event : events)
        if (event.code == code) out.push_back(event);
    return out;
}

bool ContactListEvents::WaitFor(int code, intptr_t id, unsigned milliseconds)
{
    return BusTest::WaitUntil(
        [&]() {
            for (const Event& event : Events(code))
                if (id == -1 || event.id == id) return true;
            return false;
        },
        milliseconds);
}

void ContactListEvents::Clear()
{
    std::lock_guard<std::mutex> hold(mutex);
    events.clear();
}

DaxHostTest::DaxHostTest()
    : skin(bus, imageSet), folder(L"dax"), store(new CSettingsStore(&bus, folder.File(L"settings.zel")))
{
    skin.SetLanguageName(L"English");
    CreateDirectoryW((folder.path + L"History").c_str(), nullptr);
    connections.reset(new CConnectionManager(bus));
    contactList.reset(new CContactListData(bus));
    manager.reset(new CProtocolsManager(bus, skin, CZELString((PluginTree::ProgramFolder() + L"Protos\\").c_str()),
                                        CZELString((folder.path + L"History\\").c_str())));
    recorder.reset(new AccountTest::EventRecorder(bus, *manager));
    listEvents.reset(new ContactListEvents(bus));
    bus.FireStartupEvent();
    plugin = LoadLibraryW((PluginTree::ProgramFolder() + L"Protos\\Dax\\Dax.dll").c_str());
    typedef void (*SetDelay)(unsigned);
    SetDelay setDelay = plugin ? reinterpret_cast<SetDelay>(reinterpret_cast<void*>(GetProcAddress(plugin, "DaxSetReconnectDelay")))
                               : nullptr;
    if (setDelay) setDelay(300);
}

DaxHostTest::~DaxHostTest()
{
    recorder.reset();
    manager.reset();
    listEvents.reset();
    redirector.reset();
    server.reset();
    contactList.reset();
    connections.reset();
    if (plugin) FreeLibrary(plugin);
}

unsigned DaxHostTest::CreateAccount(FakeRedirector::Mode mode)
{
    if (!server) server.reset(new FakeSessionServer());
    if (!redirector) redirector.reset(new FakeRedirector(server->Port(), mode));
    unsigned id = manager->CreateAccount(GUID_DAX_PROTOCOL);
    if (!id) return 0;
    manager->SetAccountString(id, CZELString(L"Account name"), CZELString(L"me@example.org"), 0);
    manager->SetAccountString(id, CZELString(L"Account password"), CZELString(L"secret"), 1);
    manager->SetAccountString(id, CZELString(L"Server host"), CZELString(L"127.0.0.1"), 0);
    int port = redirector->Port();
    manager->SetAccountInt(id, CZELString(L"Server port"), &port);
    manager->SetAccountString(id, CZELString(L"Web auth address"), CZELString(L"http://auth.test/cgi-bin/auth?Login="), 0);
    manager->SetAccountString(id, CZELString(L"Mail page address"), CZELString(L"http://mail.test/inbox"), 0);
    // The contact list registers the account when it hears of it, on its own queue.
    CZELArray<ContactListItemPair> items;
    if (!BusTest::WaitUntil([&]() { return contactList->GetAccountItems(id, items); }, 10000)) return 0;
    return id;
}

int DaxHostTest::Status(unsigned id)
{
    int status = -1;
    manager->GetStatus(id, &status);
    return status;
}

bool DaxHostTest::WaitStatus(unsigned id, int status, unsigned milliseconds)
{
    return BusTest::WaitUntil([&]() { return Status(id) == status; }, milliseconds);
}

bool DaxHostTest::GoOnline(unsigned id)
{
    manager->SetStatus(id, AccountStatus::Online);
    return WaitStatus(id, AccountStatus::Online);
}

void DaxHostTest::Settle()
{
    for (int round = 0; round < 2; ++round) BusTest::Flush(bus, manager->GetQueueHandle());
    recorder->Flush();
}

std::vector<ContactListItemPair> DaxHostTest::Items(unsigned id)
{
    CZELArray<ContactListItemPair> items;
    contactList->GetAccountItems(id, items);
    std::vector<ContactListItemPair> out;
    for (int i = 0; i < items.GetCount(); ++i) out.push_back(items[i]);
    return out;
}

std::wstring DaxHostTest::Property(int item, const wchar_t* name)
{
    CZELString value;
    contactList->GetPropertyString(item, CZELString(name), value);
    return Text(value);
}

int DaxHostTest::ContactByEmail(unsigned id, const std::wstring& email)
{
    for (const ContactListItemPair& pair : Items(id))
        if (pair.contactId && Property(pair.contactId, L"Account name") == email) return pair.contactId;
    return 0;
}

std::vector<std::wstring> DaxHostTest::Warnings()
{
    std::vector<std::wstring> texts;
    for (const AccountTest::Event& event : recorder->Events(PMEV_SHOW_TEXT)) texts.push_back(event.text);
    return texts;
}

Bytes ContactListBody(const std::vector<std::wstring>& groups, const std::vector<ListContact>& contacts)
{
    Wire wire;
    wire.U32(0).U32(unsigned(groups.size())).Lps("us").Lps("uussuussssus");
    for (const std::wstring& name : groups) wire.U32(0x00000202).Lps16(name);
    for (const ListContact& c : contacts)
        wire.U32(c.flags | 0x200).U32(c.group).Lps(c.email).Lps16(c.nickname).U32(c.serverFlags).U32(c.status).Lps("")
            .Lps(c.status == 4 ? "status_chat" : "").Lps("").Lps("").U32(0x3FF).Lps("client=\"test\"");
    return wire;
}

} // namespace MrimTest
