// The connection service's own operations: the live set, the chunk queue, the counters and the
// traffic event, and its settings in the settings store.

#include "Zel/net/tests/NetTestSupport.h"

#include "Zel/core/settings/SettingsStore.h"
#include "Zel/net/ChunkQueue.h"
#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace NetTest;

namespace {

class Service : public ConnectionFixture {};

// A queue that counts the traffic events it is sent.
class TrafficCounter : public QueueReceiver {
public:
    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject*, CRefObject*) override
    {
        if (msgClass == GUID_CONNECTION_MANAGER && code == CM_TRAFFIC_EVENT) ++events;
        return 0;
    }
    std::atomic<int> events{0};
};

}  // namespace

TEST_F(Service, OperationsOnAPointerThatIsNotLiveTouchNothing)
{
    CConnection* destroyed = manager.CreateConnection(owner.Handle());
    ASSERT_NE(destroyed, nullptr);
    ASSERT_EQ(manager.DestroyConnection(destroyed), 0);
    CConnection* neverCreated = reinterpret_cast<CConnection*>(intptr_t(0x1234));
    const struct {
        const char* name;
        CConnection* connection;
    } cases[] = {{"never created", neverCreated}, {"already destroyed", destroyed}, {"null", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        char buffer[16];
        EXPECT_FALSE(manager.IsValidConnection(c.connection));
        EXPECT_EQ(manager.DestroyConnection(c.connection), CM_NOT_LIVE);
        EXPECT_EQ(manager.Connect(c.connection, manager.GetSettings()), CM_NOT_LIVE);
        EXPECT_EQ(manager.Send(c.connection, "x", 1, 0), CM_NOT_LIVE);
        EXPECT_EQ(manager.Receive(c.connection, buffer, sizeof buffer, 0), CM_NOT_LIVE);
        EXPECT_EQ(manager.CheckConnection(c.connection, 0), CM_NOT_LIVE);
        EXPECT_EQ(manager.CheckConnection(c.connection, 77), CM_NOT_LIVE);
        manager.Close(c.connection);
        EXPECT_EQ(manager.NextConnectSerial(c.connection), 0u);
        EXPECT_EQ(manager.ReservedSlot9(c.connection, 0), 0);
    }
    // Nothing was counted or sent for them.
    EXPECT_EQ(manager.GetBytesSent(), 0);
    owner.Flush();
    EXPECT_TRUE(owner.Messages().empty());
}

TEST_F(Service, ALiveConnectionIsCheckedWhateverTheSecondArgument)
{
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ASSERT_NE(connection, nullptr);
    EXPECT_TRUE(manager.IsValidConnection(connection));
    for (int argument : {0, 1, -1, 0x7FFFFFFF}) {
        SCOPED_TRACE(argument);
        EXPECT_EQ(manager.CheckConnection(connection, argument), 0);
        EXPECT_EQ(manager.ReservedSlot9(connection, argument), 0);
    }
    // Closing keeps it live until it is destroyed.
    manager.Close(connection);
    EXPECT_TRUE(manager.IsValidConnection(connection));
    EXPECT_EQ(manager.DestroyConnection(connection), 0);
    EXPECT_FALSE(manager.IsValidConnection(connection));
}

TEST_F(Service, ManyConnectionsAreEachTheirOwn)
{
    std::vector<CConnection*> connections;
    for (int i = 0; i < 20; ++i) connections.push_back(manager.CreateConnection(owner.Handle()));
    for (CConnection* c : connections) EXPECT_TRUE(manager.IsValidConnection(c));
    for (size_t i = 0; i < connections.size(); i += 2) EXPECT_EQ(manager.DestroyConnection(connections[i]), 0);
    for (size_t i = 0; i < connections.size(); ++i) {
        bool destroyed = i % 2 == 0;
        // A destroyed address may be handed out again later; here nothing new was made.
        EXPECT_EQ(manager.IsValidConnection(connections[i]), !destroyed) << i;
    }
    for (size_t i = 1; i < connections.size(); i += 2) EXPECT_EQ(manager.DestroyConnection(connections[i]), 0);
}

TEST(ChunkQueue, AChunkIsTakenInPiecesOfTheCallersSize)
{
    CChunkQueue queue;
    std::string chunk = PatternBytes(300);
    ASSERT_TRUE(queue.Append(chunk.data(), 300));
    std::string taken;
    char buffer[100];
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(queue.Take(buffer, 100), 100);
        taken.append(buffer, 100);
    }
    EXPECT_EQ(queue.Take(buffer, 100), 0);
    EXPECT_EQ(taken, chunk);
}

TEST(ChunkQueue, OneCallTakesAtMostOneChunk)
{
    CChunkQueue queue;
    ASSERT_TRUE(queue.Append("abc", 3));
    ASSERT_TRUE(queue.Append("defg", 4));
    char buffer[2048];
    EXPECT_EQ(queue.Take(buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(queue.Take(buffer, 2), 2);
    EXPECT_EQ(std::string(buffer, 2), "de");
    EXPECT_EQ(queue.Take(buffer, sizeof buffer), 2);
    EXPECT_EQ(std::string(buffer, 2), "fg");
    EXPECT_EQ(queue.Take(buffer, sizeof buffer), 0);
}

TEST(ChunkQueue, ChunksOutsideOneToMaxBytesAreRefused)
{
    CChunkQueue queue;
    std::string big = PatternBytes(CChunkQueue::MaxChunk + 1);
    const struct {
        const char* name;
        const char* data;
        int length;
        bool stored;
    } cases[] = {
        {"empty", "x", 0, false},
        {"negative", "x", -5, false},
        {"null", nullptr, 4, false},
        {"one over the limit", big.data(), CChunkQueue::MaxChunk + 1, false},
        {"at the limit", big.data(), CChunkQueue::MaxChunk, true},
        {"one byte", "x", 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(queue.Append(c.data, c.length), c.stored);
    }
    EXPECT_EQ(queue.Count(), 2);
    // Odd buffers take nothing and break nothing.
    char buffer[8];
    EXPECT_EQ(queue.Take(buffer, 0), 0);
    EXPECT_EQ(queue.Take(buffer, -3), 0);
    EXPECT_EQ(queue.Take(nullptr, 8), 0);
    EXPECT_EQ(queue.Count(), 2);
}

TEST_F(Service, ReceiveCountsBytesAndFiresTheTrafficEvent)
{
    TrafficCounter traffic;
    int queue = bus.CreateQueue(&traffic, L"Traffic");
    ASSERT_NE(bus.Subscribe(GUID_CONNECTION_MANAGER, CM_TRAFFIC_EVENT, queue), 0);
    ScriptedServer server([](SOCKET s) {
        SendAllBytes(s, PatternBytes(300));
        ReceiveAll(s);
    });
    owner.autoReceive = false;
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ASSERT_EQ(ConnectAndWait(connection, To(L"127.0.0.1", server.Port())), 0);
    ASSERT_TRUE(owner.WaitFor(CM_DATA_RECEIVED));
    // Let everything in flight arrive; one 300-byte send on loopback comes as one chunk or a few.
    Sleep(200);
    std::string taken;
    char buffer[100];
    int calls = 0;
    for (int n; (n = manager.Receive(connection, buffer, 100, 0)) > 0; ++calls) taken.append(buffer, size_t(n));
    EXPECT_EQ(taken, PatternBytes(300));
    EXPECT_EQ(manager.GetBytesReceived(), 300);
    EXPECT_EQ(manager.Receive(connection, buffer, 100, 0), 0);
    bus.SendMessage(queue, ZEL_GUID_NULL, 0, nullptr, nullptr, true);
    EXPECT_EQ(traffic.events, calls) << "one event per Receive that took bytes, none for empty ones";
    manager.Close(connection);
    manager.DestroyConnection(connection);
    bus.DestroyQueue(queue);
}

TEST_F(Service, SendCountsBytesAndFiresTheTrafficEventEvenWhenItFails)
{
    TrafficCounter traffic;
    int queue = bus.CreateQueue(&traffic, L"Traffic");
    ASSERT_NE(bus.Subscribe(GUID_CONNECTION_MANAGER, CM_TRAFFIC_EVENT, queue), 0);
    CConnection* connection = manager.CreateConnection(owner.Handle());
    EXPECT_EQ(manager.Send(connection, "0123456789", 10, 0), -1);
    EXPECT_EQ(manager.Send(connection, "abc", 3, 0), -1);
    EXPECT_EQ(manager.GetBytesSent(), 13);
    bus.SendMessage(queue, ZEL_GUID_NULL, 0, nullptr, nullptr, true);
    EXPECT_EQ(traffic.events, 2);
    owner.Flush();
    std::vector<CmMessage> sent = owner.OfCode(CM_DATA_SENT);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_NE(sent[0].value, 0);
    // A negative length is refused before anything is counted.
    EXPECT_EQ(manager.Send(connection, "abc", -3, 0), -1);
    EXPECT_EQ(manager.GetBytesSent(), 13);
    manager.DestroyConnection(connection);
    bus.DestroyQueue(queue);
}

TEST_F(Service, CountersAddUpAcrossThreads)
{
    CConnection* connection = manager.CreateConnection(owner.Handle());
    std::vector<std::thread> senders;
    for (int t = 0; t < 8; ++t)
        senders.emplace_back([&] {
            for (int i = 0; i < 500; ++i) manager.Send(connection, "12345", 5, 0);
        });
    for (std::thread& t : senders) t.join();
    EXPECT_EQ(manager.GetBytesSent(), 8 * 500 * 5);
    manager.DestroyConnection(connection);
}

TEST_F(Service, SettingsAreACopyReplacedOnlyBySetSettings)
{
    ConnectionSettings settings = manager.GetSettings();
    EXPECT_TRUE(settings.accessPoint.IsEmpty());
    EXPECT_EQ(settings.proxyType, PROXY_NONE);
    EXPECT_FALSE(settings.proxyAuth);
    settings.proxyType = PROXY_SOCKS5;
    settings.proxyHost = L"socks.example";
    EXPECT_EQ(manager.GetSettings().proxyType, PROXY_NONE);
    manager.SetSettings(settings);
    EXPECT_EQ(manager.GetSettings().proxyType, PROXY_SOCKS5);
    EXPECT_TRUE(manager.GetSettings().proxyHost == L"socks.example");
}

TEST(ServiceSettings, TheSevenKeysAreLoadedAtStartAndStoredAtTheEnd)
{
    SimulationScope simulation;
    Services::CServicesManager bus;
    TestSupport::TempFolder folder(L"zel-net-test-");
    std::wstring file = folder.path + L"settings-keys.zel";
    {
        CSettingsStore store(&bus, file.c_str());
        char type = PROXY_HTTP, auth = 2;
        int port = 3128;
        store.SetString(GUID_CONNECTION_MANAGER, L"Access point", L"Work GPRS");
        store.SetByte(GUID_CONNECTION_MANAGER, L"Proxy type", &type);
        store.SetString(GUID_CONNECTION_MANAGER, L"Proxy hostname", L"proxy.example");
        store.SetInt(GUID_CONNECTION_MANAGER, L"Proxy port", &port);
        store.SetByte(GUID_CONNECTION_MANAGER, L"Proxy auth", &auth);
        store.SetString(GUID_CONNECTION_MANAGER, L"Proxy login", L"ann");
        store.SetString(GUID_CONNECTION_MANAGER, L"Proxy password", L"s3cret");

        CConnectionManager* manager = new CConnectionManager(bus);
        ConnectionSettings loaded = manager->GetSettings();
        EXPECT_TRUE(loaded.accessPoint == L"Work GPRS");
        EXPECT_EQ(loaded.proxyType, PROXY_HTTP);
        EXPECT_TRUE(loaded.proxyHost == L"proxy.example");
        EXPECT_EQ(loaded.proxyPort, 3128);
        EXPECT_TRUE(loaded.proxyAuth) << "any non-zero byte means on";
        EXPECT_TRUE(loaded.proxyLogin == L"ann");
        EXPECT_TRUE(loaded.proxyPassword == L"s3cret");
        // host, port and secure mode belong to each connection: never loaded.
        EXPECT_TRUE(loaded.host.IsEmpty());
        EXPECT_EQ(loaded.port, 0);
        EXPECT_EQ(loaded.secureMode, SECURE_NONE);

        loaded.proxyType = PROXY_SOCKS4;
        loaded.proxyPort = 1080;
        loaded.host = L"never.stored";
        manager->SetSettings(loaded);
        // Nothing reaches the store before the service ends.
        char stored = 0;
        store.GetByte(GUID_CONNECTION_MANAGER, L"Proxy type", &stored);
        EXPECT_EQ(stored, PROXY_HTTP);
        delete manager;

        store.GetByte(GUID_CONNECTION_MANAGER, L"Proxy type", &stored);
        EXPECT_EQ(stored, PROXY_SOCKS4);
        char storedAuth = 0;
        store.GetByte(GUID_CONNECTION_MANAGER, L"Proxy auth", &storedAuth);
        EXPECT_EQ(storedAuth, 1) << "stored back as 1";
        int storedPort = 0;
        store.GetInt(GUID_CONNECTION_MANAGER, L"Proxy port", &storedPort);
        EXPECT_EQ(storedPort, 1080);
        CZELString text;
        EXPECT_EQ(store.GetString(GUID_CONNECTION_MANAGER, L"Proxy password", text), 1);
        EXPECT_TRUE(text == L"s3cret");
        EXPECT_EQ(store.GetValueSize(GUID_CONNECTION_MANAGER, L"Host", nullptr), 0);
    }
}

TEST(ServiceSettings, MissingKeysGiveTheDefaultsAndNoStoreKeepsThem)
{
    SimulationScope simulation;
    Services::CServicesManager bus;
    TestSupport::TempFolder folder(L"zel-net-test-");
    std::wstring file = folder.path + L"settings-missing.zel";
    {
        CSettingsStore store(&bus, file.c_str());
        char type = PROXY_SOCKS5;
        store.SetByte(GUID_CONNECTION_MANAGER, L"Proxy type", &type);
        CConnectionManager manager(bus);
        ConnectionSettings loaded = manager.GetSettings();
        EXPECT_EQ(loaded.proxyType, PROXY_SOCKS5);
        EXPECT_TRUE(loaded.accessPoint.IsEmpty());
        EXPECT_TRUE(loaded.proxyHost.IsEmpty());
        EXPECT_EQ(loaded.proxyPort, 0);
        EXPECT_FALSE(loaded.proxyAuth);
        EXPECT_TRUE(loaded.proxyLogin.IsEmpty());
        EXPECT_TRUE(loaded.proxyPassword.IsEmpty());
    }
    // Without a settings store the service starts from the defaults and stores nothing.
    Services::CServicesManager bare;
    CConnectionManager* manager = new CConnectionManager(bare);
    EXPECT_EQ(manager->GetSettings().proxyType, PROXY_NONE);
    delete manager;
}

TEST(ServiceLife, TheServiceAndItsTrafficEventAreOnTheBusWhileItLives)
{
    SimulationScope simulation;
    Services::CServicesManager bus;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        CConnectionManager* manager = new CConnectionManager(bus);
        // Clients take what GetService gives them for the interface.
        IConnectionManager* service = manager;
        EXPECT_EQ(bus.GetService(GUID_CONNECTION_MANAGER), static_cast<void*>(service));
        TrafficCounter traffic;
        int queue = bus.CreateQueue(&traffic, L"Traffic");
        EXPECT_NE(bus.Subscribe(GUID_CONNECTION_MANAGER, CM_TRAFFIC_EVENT, queue), 0);
        CConnection* connection = manager->CreateConnection(queue);
        manager->Send(connection, "x", 1, 0);
        bus.SendMessage(queue, ZEL_GUID_NULL, 0, nullptr, nullptr, true);
        EXPECT_EQ(traffic.events, 1) << "the live service's event, not one left by an earlier service";
        delete manager;  // deletes the live connection too
        EXPECT_FALSE(bus.HasService(GUID_CONNECTION_MANAGER));
        bus.DestroyQueue(queue);
    }
}

TEST(ServiceLife, EndingTheServiceStopsLiveConnections)
{
    SimulationScope simulation;
    Services::CServicesManager bus;
    ScriptedServer silent([](SOCKET s) { ReceiveAll(s); });
    CConnectionManager* manager = new CConnectionManager(bus);
    OwnerQueue owner(bus, *manager);
    CConnection* connection = manager->CreateConnection(owner.Handle());
    ConnectionSettings settings = manager->GetSettings();
    settings.host = L"127.0.0.1";
    settings.port = silent.Port();
    ASSERT_EQ(manager->Connect(connection, settings), 0);
    ASSERT_TRUE(owner.WaitFor(CM_CONNECT_RESULT));
    delete manager;
    ConnMgrLog log;
    ConnMgrGetLog(&log);
    EXPECT_EQ(log.openConnections, 0);
    EXPECT_TRUE(owner.WaitFor(CM_DISCONNECTED));
}
