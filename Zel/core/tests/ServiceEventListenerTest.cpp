// The account base: every manager command and connection notice reaches its operation with its
// arguments, through a real queue; notices of any Connect but the current one are dropped.
#include "Zel/core/plugin/ServiceEventListener.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/core/plugin/AccountRegistry.h"
#include "Zel/core/plugin/PopupMenu.h"
#include "Zel/net/ConnectionManagerApi.h"
#include "ZELCommon/tests/SlotOf.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using TestSupport::SlotOf;

namespace {

struct Call {
    std::string name;
    intptr_t a;
    intptr_t b;
    std::wstring text;
};

class RecordingListener : public ServiceEventListener {
public:
    using ServiceEventListener::ServiceEventListener;
    ~RecordingListener() override { StopQueue(); }

    std::vector<Call> calls;

    int Load() override { return Record("Load"); }
    int PublishIcons() override { return Record("PublishIcons"); }
    int Unload() override { return Record("Unload"); }
    int GetDisplayName(CZELString* out) override { return Record("GetDisplayName", intptr_t(out)); }
    int SetStatus(int status) override { return Record("SetStatus", status); }
    int GetStatus() override { return Record("GetStatus") + 7; }
    int GetStatusInfo(int status, StatusEntry* out) override { return Record("GetStatusInfo", status, intptr_t(out)); }
    int GetStatusMenu(intptr_t icon, CPopupMenu* menu) override { return Record("GetStatusMenu", icon, intptr_t(menu)); }
    int GetContactIcons(int contact, StatusInfo* out) override { return Record("GetContactIcons", contact, intptr_t(out)); }
    int GetSettingsPages(void* pages) override { return Record("GetSettingsPages", intptr_t(pages)); }
    int FillAccountMenu(CPopupMenu* menu) override { return Record("FillAccountMenu", intptr_t(menu)); }
    int FillGroupMenu(int group, CPopupMenu* menu) override { return Record("FillGroupMenu", group, intptr_t(menu)); }
    int FillContactMenu(int contact, CPopupMenu* menu) override { return Record("FillContactMenu", contact, intptr_t(menu)); }
    int FillChatMenu(int contact, CPopupMenu* menu) override { return Record("FillChatMenu", contact, intptr_t(menu)); }
    int FillMainMenu(CPopupMenu* menu) override { return Record("FillMainMenu", intptr_t(menu)); }
    int AddGroup(CZELString name) override { return Record("AddGroup", 0, 0, name); }
    int RenameGroup(int group, CZELString name) override { return Record("RenameGroup", group, 0, name); }
    int DeleteGroup(int group) override { return Record("DeleteGroup", group); }
    int RenameContact(int contact, CZELString name) override { return Record("RenameContact", contact, 0, name); }
    int MoveContact(int contact, int group) override { return Record("MoveContact", contact, group); }
    int DeleteContact(int contact) override { return Record("DeleteContact", contact); }
    int RequestAuthorization(int contact) override { return Record("RequestAuthorization", contact); }
    int SendInstantMessage(MessageRecord* message) override
    {
        int result = Record("SendInstantMessage", message->contactId, 0, message->text);
        delete message;
        return result;
    }
    int GetOwnDetailsPages(void* pages) override { return Record("GetOwnDetailsPages", intptr_t(pages)); }
    int GetContactDetailsPages(int contact, void* pages) override
    {
        return Record("GetContactDetailsPages", contact, intptr_t(pages));
    }
    int ChangeLanguage(CZELString language) override { return Record("ChangeLanguage", 0, 0, language); }
    int GetSearchPages(void* pages) override { return Record("GetSearchPages", intptr_t(pages)); }
    int Search(intptr_t request) override { return Record("Search", request); }
    int FillSearchResultMenu(void* item, CPopupMenu* menu) override
    {
        return Record("FillSearchResultMenu", intptr_t(item), intptr_t(menu));
    }
    int OnContactAdded(int contact) override { return Record("OnContactAdded", contact); }
    int SetTyping(int contact, bool typing) override { return Record("SetTyping", contact, typing); }
    int AnswerFileOffer(intptr_t transfer, bool accept) override { return Record("AnswerFileOffer", transfer, accept); }
    int OnConnectResult(CConnection* c, int result) override { return Record("OnConnectResult", intptr_t(c), result); }
    int OnDataReceived(CConnection* c, int length) override { return Record("OnDataReceived", intptr_t(c), length); }
    int OnDataSent(CConnection* c, int error) override { return Record("OnDataSent", intptr_t(c), error); }
    int OnDisconnected(CConnection* c, int reason) override { return Record("OnDisconnected", intptr_t(c), reason); }
    int OnStatusText(CConnection* c, const CZELString& text) override { return Record("OnStatusText", intptr_t(c), 0, text); }
    int OnErrorText(CConnection* c, const CZELString& text) override { return Record("OnErrorText", intptr_t(c), 0, text); }
    int OnOtherMessage(const ZEL_GUID&, int code, CRefObject*, CRefObject*) override { return Record("OnOtherMessage", code); }

    // Connects through a stand-in service, so the listener records the Connect's serial.
    int Connect(IConnectionManager* service, CConnection* connection)
    {
        return StartConnect(service, connection, ConnectionSettings());
    }
    void Forget(CConnection* connection) { ForgetConnection(connection); }

private:
    int Record(const char* name, intptr_t a = 0, intptr_t b = 0, const CZELString& text = CZELString())
    {
        calls.push_back({name, a, b, text.GetBuffer() ? std::wstring(text.GetBuffer()) : std::wstring()});
        return 0;
    }
};

// Connects nothing; hands out serials as the real service does.
class SerialOnlyService : public IConnectionManager {
public:
    uint64_t next = 100;
    CConnection* CreateConnection(int) override { return nullptr; }
    bool IsValidConnection(CConnection*) override { return true; }
    int DestroyConnection(CConnection*) override { return 0; }
    int Connect(CConnection*, const ConnectionSettings&) override
    {
        ++next;
        return 0;
    }
    int Send(CConnection*, const void*, int length, int) override { return length; }
    int Receive(CConnection*, void*, int, int) override { return 0; }
    void Close(CConnection*) override {}
    int CheckConnection(CConnection*, int) override { return 0; }
    uint64_t NextConnectSerial(CConnection*) override { return next; }
    int ReservedSlot9(CConnection*, int) override { return 0; }
    ConnectionSettings GetSettings() override { return ConnectionSettings(); }
    void SetSettings(const ConnectionSettings&) override {}
    int GetBytesSent() override { return 0; }
    int GetBytesReceived() override { return 0; }
};

class ListenerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        listener = new RecordingListener(&bus, 0x10000001u, 0);
        ASSERT_GT(listener->OwnQueue(), 0);
    }
    void TearDown() override { delete listener; }

    // Synchronous, so the call has run when this returns.
    int Send(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2)
    {
        return bus.SendMessage(listener->OwnQueue(), msgClass, code, p1, p2, true);
    }
    int Command(int code, CRefObject* p1 = nullptr, CRefObject* p2 = nullptr)
    {
        return Send(GUID_PROTOCOLS_MANAGER, code, p1, p2);
    }
    int Notice(int code, CConnection* connection, uint64_t serial, CRefObject* p2)
    {
        return Send(GUID_CONNECTION_MANAGER, code, new CConnectionRef(connection, serial), p2);
    }

    Services::CServicesManager bus;
    RecordingListener* listener = nullptr;
};

CRefValue* V(intptr_t value)
{
    return new CRefValue(value);
}

CConnection* const kConnection = reinterpret_cast<CConnection*>(intptr_t(0x5000));

}  // namespace

// The bus calls slot 0; the operations follow the destructor (two slots under this ABI) in order.
TEST(ServiceEventListenerSlots, OperationsKeepTheirOrder)
{
    EXPECT_EQ(SlotOf(&ServiceEventListener::HandleMessage), 0);
    const int first = SlotOf(&ServiceEventListener::GetListenerName);
    EXPECT_EQ(first, 3);
    const int slots[] = {
        SlotOf(&ServiceEventListener::GetListenerName),      SlotOf(&ServiceEventListener::Load),
        SlotOf(&ServiceEventListener::PublishIcons),         SlotOf(&ServiceEventListener::Unload),
        SlotOf(&ServiceEventListener::GetDisplayName),       SlotOf(&ServiceEventListener::SetStatus),
        SlotOf(&ServiceEventListener::GetStatus),            SlotOf(&ServiceEventListener::GetStatusInfo),
        SlotOf(&ServiceEventListener::GetStatusMenu),        SlotOf(&ServiceEventListener::GetContactIcons),
        SlotOf(&ServiceEventListener::GetSettingsPages),     SlotOf(&ServiceEventListener::FillAccountMenu),
        SlotOf(&ServiceEventListener::FillGroupMenu),        SlotOf(&ServiceEventListener::FillContactMenu),
        SlotOf(&ServiceEventListener::FillChatMenu),         SlotOf(&ServiceEventListener::FillMainMenu),
        SlotOf(&ServiceEventListener::AddGroup),             SlotOf(&ServiceEventListener::RenameGroup),
        SlotOf(&ServiceEventListener::DeleteGroup),          SlotOf(&ServiceEventListener::RenameContact),
        SlotOf(&ServiceEventListener::MoveContact),          SlotOf(&ServiceEventListener::DeleteContact),
        SlotOf(&ServiceEventListener::RequestAuthorization), SlotOf(&ServiceEventListener::SendInstantMessage),
        SlotOf(&ServiceEventListener::GetOwnDetailsPages),   SlotOf(&ServiceEventListener::GetContactDetailsPages),
        SlotOf(&ServiceEventListener::ChangeLanguage),       SlotOf(&ServiceEventListener::GetSearchPages),
        SlotOf(&ServiceEventListener::Search),               SlotOf(&ServiceEventListener::FillSearchResultMenu),
        SlotOf(&ServiceEventListener::OnContactAdded),       SlotOf(&ServiceEventListener::SetTyping),
        SlotOf(&ServiceEventListener::AnswerFileOffer),      SlotOf(&ServiceEventListener::OnConnectResult),
        SlotOf(&ServiceEventListener::OnDataReceived),       SlotOf(&ServiceEventListener::OnDataSent),
        SlotOf(&ServiceEventListener::OnDisconnected),       SlotOf(&ServiceEventListener::OnStatusText),
        SlotOf(&ServiceEventListener::OnErrorText),          SlotOf(&ServiceEventListener::OnOtherMessage),
    };
    ASSERT_EQ(sizeof slots / sizeof slots[0], 40u);
    for (int i = 0; i < 40; ++i) EXPECT_EQ(slots[i], first + i) << "operation " << i;
}

TEST_F(ListenerTest, EveryCommandReachesItsOperation)
{
    struct Case {
        int code;
        intptr_t p1;
        intptr_t p2;
        const char* operation;
        intptr_t a;
        intptr_t b;
    } cases[] = {
        {PM_LOAD, 0, 0, "Load", 0, 0},
        {PM_ACCOUNT_ADDED, 0, 0, "PublishIcons", 0, 0},
        {PM_UNLOAD, 0, 0, "Unload", 0, 0},
        {PM_GET_NAME, 0x1234, 0, "GetDisplayName", 0x1234, 0},
        {PM_SET_STATUS, 11, 0, "SetStatus", 11, 0},
        {PM_GET_STATUS_INFO, 13, 0x2000, "GetStatusInfo", 13, 0x2000},
        // The menu comes in p1, the icon index in p2; the operation takes the index first.
        {PM_GET_STATUS_MENU, 0x3000, 1, "GetStatusMenu", 1, 0x3000},
        {PM_GET_CONTACT_ICONS, 0x80000005, 0x4000, "GetContactIcons", int(0x80000005), 0x4000},
        {PM_GET_SETTINGS_PAGES, 0x5000, 0, "GetSettingsPages", 0x5000, 0},
        {PM_FILL_ACCOUNT_MENU, 9, 0x6000, "FillAccountMenu", 0x6000, 0},
        {PM_FILL_GROUP_MENU, 3, 0x6000, "FillGroupMenu", 3, 0x6000},
        {PM_FILL_CONTACT_MENU, 4, 0x6000, "FillContactMenu", 4, 0x6000},
        {PM_FILL_CHAT_MENU, 5, 0x6000, "FillChatMenu", 5, 0x6000},
        {PM_FILL_MAIN_MENU, 9, 0x6000, "FillMainMenu", 0x6000, 0},
        {PM_DELETE_GROUP, 3, 0, "DeleteGroup", 3, 0},
        {PM_MOVE_CONTACT, 4, 3, "MoveContact", 4, 3},
        {PM_DELETE_CONTACT, 4, 0, "DeleteContact", 4, 0},
        {PM_REQUEST_AUTH, 4, 0, "RequestAuthorization", 4, 0},
        {PM_GET_OWN_DETAILS_PAGES, 0x5000, 0, "GetOwnDetailsPages", 0x5000, 0},
        {PM_GET_CONTACT_DETAILS_PAGES, 4, 0x5000, "GetContactDetailsPages", 4, 0x5000},
        {PM_SEARCH, 0x7000, 0, "Search", 0x7000, 0},
        {PM_GET_SEARCH_PAGES, 0, 0x5000, "GetSearchPages", 0x5000, 0},
        {PM_FILL_SEARCH_RESULT_MENU, 0x8000, 0x6000, "FillSearchResultMenu", 0x8000, 0x6000},
        {PM_CONTACT_ADDED, 4, 0, "OnContactAdded", 4, 0},
        // Only the low byte of the flag counts.
        {PM_SET_TYPING, 4, 0x100, "SetTyping", 4, 0},
        {PM_SET_TYPING, 4, 1, "SetTyping", 4, 1},
        {PM_FILE_OPENED, 0x9000, 0x201, "AnswerFileOffer", 0x9000, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        listener->calls.clear();
        Command(c.code, V(c.p1), V(c.p2));
        ASSERT_EQ(listener->calls.size(), 1u);
        EXPECT_EQ(listener->calls[0].name, c.operation);
        EXPECT_EQ(listener->calls[0].a, c.a);
        EXPECT_EQ(listener->calls[0].b, c.b);
    }
}

TEST_F(ListenerTest, TextsAndMessagesArriveAsCopies)
{
    Command(PM_ADD_GROUP, new CStringPayload(L"Friends"));
    Command(PM_RENAME_GROUP, V(3), new CStringPayload(L"Family"));
    Command(PM_RENAME_CONTACT, V(4), new CStringPayload(L"Ann"));
    Command(PM_LANGUAGE_CHANGED, new CStringPayload(L"Russian"));
    MessageRecord message;
    message.contactId = 4;
    message.text = L"hello";
    Command(PM_SEND_MESSAGE, CMessagePayload::Create(message));
    ASSERT_EQ(listener->calls.size(), 5u);
    EXPECT_EQ(listener->calls[0].text, L"Friends");
    EXPECT_EQ(listener->calls[1].text, L"Family");
    EXPECT_EQ(listener->calls[1].a, 3);
    EXPECT_EQ(listener->calls[2].text, L"Ann");
    EXPECT_EQ(listener->calls[3].text, L"Russian");
    EXPECT_EQ(listener->calls[4].name, "SendInstantMessage");
    EXPECT_EQ(listener->calls[4].a, 4);
    EXPECT_EQ(listener->calls[4].text, L"hello");
}

TEST_F(ListenerTest, UnusedAndUnknownCodesCallNothing)
{
    for (int code : {57, 68, 48, 83, 200}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(Command(code, V(1), V(2)), 0);
    }
    EXPECT_TRUE(listener->calls.empty());
    // A result goes back to the synchronous sender.
    EXPECT_EQ(Command(PM_GET_STATUS), 7);
    const ZEL_GUID other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    Send(other, 5, nullptr, nullptr);
    ASSERT_EQ(listener->calls.size(), 2u);
    EXPECT_EQ(listener->calls[1].name, "OnOtherMessage");
    EXPECT_EQ(listener->calls[1].a, 5);
}

TEST_F(ListenerTest, OnlyTheCurrentConnectsNoticesArrive)
{
    SerialOnlyService service;
    // No Connect yet: nothing about the connection is current.
    Notice(CM_CONNECT_RESULT, kConnection, 100, V(0));
    EXPECT_TRUE(listener->calls.empty());

    ASSERT_EQ(listener->Connect(&service, kConnection), 0);  // takes serial 100
    ASSERT_EQ(listener->Connect(&service, kConnection), 0);  // reconnects: 101
    Notice(CM_DISCONNECTED, kConnection, 100, V(0));          // the earlier Connect's
    Notice(CM_CONNECT_RESULT, kConnection, 101, V(0));
    Notice(CM_DATA_RECEIVED, kConnection, 101, V(17));
    Notice(CM_DATA_SENT, kConnection, 101, V(0));
    Notice(CM_STATUS_TEXT, kConnection, 101, new CStringPayload(L"Connecting"));
    Notice(CM_ERROR_TEXT, kConnection, 101, new CStringPayload(L"Refused"));
    Notice(CM_DISCONNECTED, kConnection, 101, V(10054));
    // Another connection at another address with the same serial is not ours.
    Notice(CM_DISCONNECTED, reinterpret_cast<CConnection*>(intptr_t(0x6000)), 101, V(0));
    // A plain value in p1 carries no serial.
    Send(GUID_CONNECTION_MANAGER, CM_DISCONNECTED, V(intptr_t(kConnection)), V(0));

    std::vector<std::string> names;
    for (const Call& call : listener->calls) names.push_back(call.name);
    EXPECT_EQ(names, (std::vector<std::string>{"OnConnectResult", "OnDataReceived", "OnDataSent", "OnStatusText",
                                                "OnErrorText", "OnDisconnected"}));
    EXPECT_EQ(listener->calls[1].b, 17);
    EXPECT_EQ(listener->calls[3].text, L"Connecting");
    EXPECT_EQ(listener->calls[5].b, 10054);

    listener->Forget(kConnection);
    listener->calls.clear();
    Notice(CM_DISCONNECTED, kConnection, 101, V(0));
    EXPECT_TRUE(listener->calls.empty());
}

TEST_F(ListenerTest, NotificationsGoToTheOwnerWithTheAccountId)
{
    struct Owner : QueueReceiver {
        std::atomic<int> code{0};
        std::atomic<intptr_t> account{0};
        int HandleMessage(const ZEL_GUID&, int c, CRefObject* p1, CRefObject*) override
        {
            if (c == 0) return 0;  // the flush
            account = ValueOf(p1);
            code = c;
            return 0;
        }
    } owner;
    const int ownerQueue = bus.CreateQueue(&owner, L"owner");
    struct Notifier : RecordingListener {
        using RecordingListener::RecordingListener;
        bool Warn() { return Notify(GUID_WEX_PROTOCOL, ACC_WARNING, new CStringPayload(L"x")); }
    } notifier(&bus, 0x10000002u, unsigned(ownerQueue));
    EXPECT_TRUE(notifier.Warn());
    // A synchronous flush: the post above has run when it returns.
    bus.SendMessage(ownerQueue, ZEL_GUID_NULL, 0, nullptr, nullptr, true);
    EXPECT_EQ(owner.code, ACC_WARNING);
    EXPECT_EQ(owner.account, 0x10000002);
    bus.DestroyQueue(ownerQueue);
}

// Work handed over from other threads runs on the queue's thread, in order with the messages;
// work a stopped queue drops is destroyed without running.
TEST_F(ListenerTest, WorkFromOtherThreadsRunsOnTheQueueInOrder)
{
    DWORD queueThread = 0;
    std::vector<int> order;  // touched on the queue's thread only
    listener->RunOnQueue([&] { queueThread = GetCurrentThreadId(); });
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t)
        posters.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i)
                EXPECT_TRUE(listener->RunOnQueue([&order, &queueThread, t, i] {
                    EXPECT_EQ(GetCurrentThreadId(), queueThread);
                    order.push_back(t * 1000 + i);
                }));
        });
    for (std::thread& poster : posters) poster.join();
    Command(PM_LOAD);  // synchronous: everything posted before it has run
    ASSERT_EQ(order.size(), 200u);
    for (int t = 0; t < 4; ++t) {
        int last = -1;
        for (int value : order)
            if (value / 1000 == t) {
                EXPECT_GT(value % 1000, last);
                last = value % 1000;
            }
    }
    EXPECT_NE(queueThread, GetCurrentThreadId());
    // The account ignores the work's message class otherwise.
    ASSERT_EQ(listener->calls.size(), 1u);
    EXPECT_EQ(listener->calls[0].name, "Load");

    struct Tracked {
        explicit Tracked(std::atomic<int>* destroyed) : destroyed(destroyed) {}
        ~Tracked() { ++*destroyed; }
        std::atomic<int>* destroyed;
    };
    std::atomic<int> destroyed{0};
    std::atomic<int> ran{0};
    listener->StopQueue();
    auto tracked = std::make_shared<Tracked>(&destroyed);
    EXPECT_FALSE(listener->RunOnQueue([tracked, &ran] { ++ran; }));
    tracked.reset();
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(destroyed, 1);
}

// The registry stops an account's queue before deleting it, so a message being handled finishes
// against a whole object, and an unknown handle is ignored.
TEST(AccountRegistry, StopsTheQueueBeforeDeleting)
{
    Services::CServicesManager bus;
    AccountRegistry<RecordingListener> registry;
    unsigned handle = registry.Add(new RecordingListener(&bus, 0x10000001u, 0));
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(registry.Count(), 1);
    bool found = registry.With(handle, [](RecordingListener* account) { EXPECT_GT(account->OwnQueue(), 0); });
    EXPECT_TRUE(found);
    for (int i = 0; i < 100; ++i) bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, PM_SET_STATUS, V(2), nullptr, false);
    registry.Destroy(handle);
    registry.Destroy(handle);
    registry.Destroy(12345);
    EXPECT_EQ(registry.Count(), 0);
    EXPECT_FALSE(registry.With(handle, [](RecordingListener*) {}));
    // The queue is gone with the account.
    EXPECT_LT(bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, PM_LOAD, nullptr, nullptr, true), 0);
}

// Callbacks that carry the manager's account id find the account by it, and nothing once it is gone.
TEST(AccountRegistry, FindsAnAccountByItsId)
{
    Services::CServicesManager bus;
    AccountRegistry<RecordingListener> registry;
    unsigned first = registry.Add(new RecordingListener(&bus, 0x10000001u, 0));
    unsigned second = registry.Add(new RecordingListener(&bus, 0x10000002u, 0));
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    int queue = 0;
    EXPECT_TRUE(registry.WithAccountId(0x10000002u, [&](RecordingListener* account) { queue = account->OwnQueue(); }));
    EXPECT_EQ(unsigned(queue), second);
    EXPECT_FALSE(registry.WithAccountId(0x10000003u, [](RecordingListener*) { ADD_FAILURE(); }));
    registry.Destroy(second);
    EXPECT_FALSE(registry.WithAccountId(0x10000002u, [](RecordingListener*) { ADD_FAILURE(); }));
    registry.Destroy(first);
}
