// A worker stuck in a name look-up holds nobody up: Close, DestroyConnection, a new Connect and the
// end of the whole service return at once, and the worker, once its look-up ends, finishes alone
// on what it owns, telling nothing to anyone as a newer Connect.

#include "Zel/net/tests/NetTestSupport.h"

#include "Zel/net/NameLookup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

using namespace NetTest;

namespace {

// The name whose look-up hangs, as the settings give it and as the look-up is asked for it.
const wchar_t kStuckName[] = L"stuck.zel.invalid";
const char kStuckNarrowName[] = "stuck.zel.invalid";

// Holds every look-up of kStuckName until the test lets it go (or a long time has passed, so that a
// service that waits for it fails the test instead of hanging it); passes other names on.
class StuckLookUp {
public:
    StuckLookUp()
    {
        entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        returned = false;
        SetNameLookup(&LookUp);
    }
    ~StuckLookUp()
    {
        Release();
        // No worker may still be inside LookUp when its events go.
        EXPECT_TRUE(WaitForConnectionWorkers(15000));
        SetNameLookup(nullptr);
        CloseHandle(entered);
        CloseHandle(release);
    }

    StuckLookUp(const StuckLookUp&) = delete;
    StuckLookUp& operator=(const StuckLookUp&) = delete;

    bool WaitEntered() { return WaitForSingleObject(entered, 15000) == WAIT_OBJECT_0; }
    void Release() { SetEvent(release); }
    // The held look-up has come back.
    bool Returned() { return returned.load(); }

private:
    static int LookUp(const char* name, const char* service, const addrinfo* hints, addrinfo** result)
    {
        if (strcmp(name, kStuckNarrowName) != 0) return getaddrinfo(name, service, hints, result);
        SetEvent(entered);
        WaitForSingleObject(release, 10000);
        returned = true;
        return WSAHOST_NOT_FOUND;
    }

    static HANDLE entered;
    static HANDLE release;
    static std::atomic<bool> returned;
};

HANDLE StuckLookUp::entered;
HANDLE StuckLookUp::release;
std::atomic<bool> StuckLookUp::returned;

class StuckWorker : public ConnectionFixture {};

}  // namespace

TEST_F(StuckWorker, TheOwnerGoesOnWhileTheLookUpHangsAndTheWorkerEndsAloneAfterIt)
{
    ScriptedServer echo(Echo);
    const struct {
        const char* name;
        bool sameObject;  // connect again on the stuck connection, or close, destroy and make a new one
    } cases[] = {{"closed, destroyed and made anew", false}, {"connected again", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConnMgrSetSimulation(nullptr);  // a fresh log for each case
        StuckLookUp stuck;
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        uint64_t stuckSerial = manager.NextConnectSerial(connection);
        ASSERT_EQ(manager.Connect(connection, To(kStuckName, 5190)), 0);
        ASSERT_TRUE(stuck.WaitEntered());

        CConnection* next = connection;
        if (!c.sameObject) {
            manager.Close(connection);
            EXPECT_FALSE(stuck.Returned()) << "Close waited for the look-up";
            EXPECT_EQ(manager.DestroyConnection(connection), 0);
            EXPECT_FALSE(stuck.Returned()) << "DestroyConnection waited for the look-up";
            // Most often at the destroyed one's address.
            next = manager.CreateConnection(queue.Handle());
        }
        uint64_t nextSerial = manager.NextConnectSerial(next);
        queue.Follow(next, nextSerial);
        ASSERT_EQ(manager.Connect(next, To(L"127.0.0.1", echo.Port())), 0);
        EXPECT_FALSE(stuck.Returned()) << "Connect waited for the earlier look-up";
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT));
        EXPECT_FALSE(stuck.Returned());

        // The look-up ends; the stuck worker finishes on its own, beside the new connection.
        stuck.Release();
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT, 2));
        ASSERT_TRUE(WaitUntil([] { return RunningConnectionWorkers() == 1; })) << "the stuck worker did not end";
        ASSERT_EQ(manager.Send(next, "after", 5, 0), 5);
        ASSERT_TRUE(queue.WaitForReceived(5));
        EXPECT_EQ(queue.Received(), "after");
        manager.Close(next);
        ASSERT_TRUE(queue.WaitFor(CM_DISCONNECTED));
        EXPECT_EQ(manager.DestroyConnection(next), 0);
        ASSERT_TRUE(WaitForConnectionWorkers(15000));
        queue.Flush();

        // What the stuck worker said after it was left reached the owner under its own serial only,
        // and the check turned it away.
        std::vector<CmMessage> messages = queue.ConnectionMessages();
        int stuckResults = 0;
        for (const CmMessage& m : messages) {
            SCOPED_TRACE(CodeName(m.code));
            EXPECT_TRUE(m.serial == stuckSerial || m.serial == nextSerial) << m.serial;
            EXPECT_EQ(m.current, m.serial == nextSerial);
            if (m.serial == stuckSerial && m.code == CM_CONNECT_RESULT) {
                ++stuckResults;
                EXPECT_NE(m.value, 0);
            }
            EXPECT_FALSE(m.serial == stuckSerial && m.code == CM_DISCONNECTED) << "it never connected";
        }
        EXPECT_EQ(stuckResults, 1) << Describe(messages);
        // Each worker gave its own network back, once.
        ConnMgrLog log;
        ConnMgrGetLog(&log);
        EXPECT_EQ(log.openConnections, 0);
        EXPECT_EQ(log.releases, 2);
    }
}

TEST(StuckService, EndingTheServiceLeavesAStuckWorkerToEndAloneWithoutTheBus)
{
    SimulationScope simulation;
    StuckLookUp stuck;
    {
        Services::CServicesManager bus;
        CConnectionManager* manager = new CConnectionManager(bus);
        OwnerQueue* owner = new OwnerQueue(bus, *manager);
        CConnection* connection = manager->CreateConnection(owner->Handle());
        ConnectionSettings settings = manager->GetSettings();
        settings.host = kStuckName;
        settings.port = 5190;
        ASSERT_EQ(manager->Connect(connection, settings), 0);
        ASSERT_TRUE(stuck.WaitEntered());

        delete manager;
        EXPECT_FALSE(stuck.Returned()) << "the end of the service waited for the look-up";
        delete owner;
    }
    // The program goes on to end the bus itself, as here; the worker must not reach for it now.
    stuck.Release();
    ASSERT_TRUE(WaitForConnectionWorkers(15000)) << "the worker did not end";
    EXPECT_TRUE(stuck.Returned());
    ConnMgrLog log;
    ConnMgrGetLog(&log);
    EXPECT_EQ(log.openConnections, 0) << "the worker gave its network back as it ended";
    EXPECT_EQ(log.releases, 1);
}

namespace {

// A loopback port whose listener never accepts and whose queue is full, so that a new connect to it
// waits (the network drops its handshake); the sockets that filled the queue stay open with it.
class UnansweredPort {
public:
    UnansweredPort()
    {
        listener = PeerTest::ListenLoopback(1, &port);
        for (int i = 0; i < 16 && port; ++i) {
            SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            u_long nonBlocking = 1;
            ioctlsocket(s, FIONBIO, &nonBlocking);
            sockaddr_in address = {};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(u_short(port));
            connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
            filling.push_back(s);
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(s, &writable);
            timeval wait = {0, 300000};
            if (select(0, nullptr, &writable, nullptr, &wait) == 0) {
                waits = true;  // this one hangs: the queue is full
                break;
            }
        }
    }
    ~UnansweredPort()
    {
        for (SOCKET s : filling) closesocket(s);
        if (listener != INVALID_SOCKET) closesocket(listener);
    }

    int Port() const { return port; }
    bool Waits() const { return waits; }

private:
    SOCKET listener = INVALID_SOCKET;
    int port = 0;
    bool waits = false;
    std::vector<SOCKET> filling;
};

}  // namespace

// A Close while the connect itself waits: the worker ends at once, reporting a failed connect.
TEST_F(StuckWorker, ACloseDuringAWaitingConnectEndsTheWorkerAtOnce)
{
    UnansweredPort unanswered;
    ASSERT_TRUE(unanswered.Waits()) << "the loopback listener's queue never filled";
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ASSERT_EQ(manager.Connect(connection, To(L"127.0.0.1", unanswered.Port())), 0);
    ASSERT_TRUE(WaitUntil([&] { return owner.Texts(CM_STATUS_TEXT).size() >= 2; }));
    Sleep(300);  // inside the connect now
    EXPECT_EQ(owner.Count(CM_CONNECT_RESULT), 0);
    DWORD closed = GetTickCount();
    manager.Close(connection);
    ASSERT_TRUE(WaitForConnectionWorkers(3000)) << "the worker waited for the network's time-out";
    EXPECT_LT(GetTickCount() - closed, 3000u);
    ASSERT_TRUE(owner.WaitFor(CM_CONNECT_RESULT));
    EXPECT_NE(owner.OfCode(CM_CONNECT_RESULT)[0].value, 0);
    EXPECT_EQ(owner.Count(CM_DISCONNECTED), 0);
    EXPECT_EQ(manager.DestroyConnection(connection), 0);
}
