#include "Handheld/ConnMgr.h"

#include "ConnMgrTestSupport.h"

#include <gtest/gtest.h>

#include <cwchar>

#define EXPECT_FAILED(call) EXPECT_TRUE(FAILED(call)) << #call

using HandheldTest::SimulateConnMgr;

namespace {

// The simulation is process-wide: every test starts and ends with the desktop's behaviour.
class ConnectionManagerLayer : public ::testing::Test {
protected:
    void SetUp() override { ConnMgrSetSimulation(nullptr); }
    void TearDown() override { ConnMgrSetSimulation(nullptr); }

    static ConnMgrRequest Request(const GUID& destination)
    {
        ConnMgrRequest request;
        ZeroMemory(&request, sizeof request);
        request.size = sizeof request;
        request.parameters = ConnMgrParamDestination;
        request.flags =
            ConnMgrFlagHttpProxy | ConnMgrFlagSocks4Proxy | ConnMgrFlagSocks5Proxy | ConnMgrFlagSuspendAware;
        request.priority = ConnMgrPriorityUserInteractive;
        request.destination = destination;
        return request;
    }

    static bool IsSignalled(HANDLE handle) { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }
};

}  // namespace

TEST_F(ConnectionManagerLayer, ADesktopIsReadyWithOneDestinationAndConnectsAtOnce)
{
    HANDLE ready = ConnMgrApiReadyEvent();
    ASSERT_NE(ready, nullptr);
    EXPECT_TRUE(IsSignalled(ready));
    EXPECT_TRUE(IsSignalled(ready)) << "readiness stays";
    CloseHandle(ready);

    ConnMgrDestination destination;
    ASSERT_EQ(ConnMgrEnumDestinations(0, &destination), S_OK);
    EXPECT_STREQ(destination.description, L"Internet");
    EXPECT_FAILED(ConnMgrEnumDestinations(1, &destination));
    EXPECT_FAILED(ConnMgrEnumDestinations(-1, &destination));

    GUID mapped;
    DWORD index = 99;
    ASSERT_EQ(ConnMgrMapURL(L"http://im.example", &mapped, &index), S_OK);
    EXPECT_TRUE(IsEqualGUID(mapped, destination.id));
    EXPECT_EQ(index, 0u);

    ConnMgrRequest request = Request(mapped);
    HANDLE connection = nullptr;
    ASSERT_EQ(ConnMgrEstablishConnection(&request, &connection), S_OK);
    ASSERT_NE(connection, nullptr);
    EXPECT_TRUE(IsSignalled(connection));
    DWORD status = 0;
    ASSERT_EQ(ConnMgrConnectionStatus(connection, &status), S_OK);
    EXPECT_EQ(status, DWORD(ConnMgrStatusConnected));
    // A connection that stays connected is not signalled again.
    EXPECT_FALSE(IsSignalled(connection));

    // No proxy on a desktop's network.
    ConnMgrProxyConfig proxy;
    memset(&proxy, 0xAB, sizeof proxy);
    ASSERT_EQ(ConnMgrProviderMessage(connection, &ConnMgrProxyProvider, nullptr, 0, 0, reinterpret_cast<BYTE*>(&proxy),
                                     sizeof proxy),
              S_OK);
    EXPECT_EQ(proxy.type, DWORD(ConnMgrProxyNone));
    EXPECT_STREQ(proxy.server, L"");

    ConnMgrLog log;
    ConnMgrGetLog(&log);
    EXPECT_EQ(log.openConnections, 1);
    EXPECT_EQ(ConnMgrReleaseConnection(connection, 1), S_OK);
    EXPECT_FAILED(ConnMgrReleaseConnection(connection, 1)) << "a handle is released once";
    ConnMgrGetLog(&log);
    EXPECT_EQ(log.openConnections, 0);
    EXPECT_EQ(log.releases, 1);
    EXPECT_EQ(log.lastCache, 1);
    EXPECT_EQ(log.mapCalls, 1);
    EXPECT_STREQ(log.lastMappedUrl, L"http://im.example");
    EXPECT_EQ(log.establishCalls, 1);
    EXPECT_EQ(log.lastRequest.flags, 0x1Du);
}

TEST_F(ConnectionManagerLayer, BadArgumentsAreRefused)
{
    GUID mapped;
    DWORD status;
    HANDLE connection = nullptr;
    ConnMgrRequest request = Request(GUID_NULL);
    ConnMgrRequest shortRequest = request;
    shortRequest.size = 64;  // another platform's record size
    BYTE proxy[sizeof(ConnMgrProxyConfig)];
    HANDLE unknown = reinterpret_cast<HANDLE>(intptr_t(0x4444));
    EXPECT_FAILED(ConnMgrEnumDestinations(0, nullptr));
    EXPECT_FAILED(ConnMgrMapURL(nullptr, &mapped, nullptr));
    EXPECT_FAILED(ConnMgrMapURL(L"http://x", nullptr, nullptr));
    EXPECT_FAILED(ConnMgrEstablishConnection(nullptr, &connection));
    EXPECT_FAILED(ConnMgrEstablishConnection(&request, nullptr));
    EXPECT_FAILED(ConnMgrEstablishConnection(&shortRequest, &connection));
    EXPECT_FAILED(ConnMgrConnectionStatus(unknown, &status));
    EXPECT_FAILED(ConnMgrProviderMessage(unknown, &ConnMgrProxyProvider, nullptr, 0, 0, proxy, sizeof proxy));
    EXPECT_FAILED(ConnMgrReleaseConnection(unknown, 0));
    ConnMgrLog log;
    ConnMgrGetLog(&log);
    EXPECT_EQ(log.openConnections, 0);

    ASSERT_EQ(ConnMgrEstablishConnection(&request, &connection), S_OK);
    EXPECT_FAILED(ConnMgrConnectionStatus(connection, nullptr));
    EXPECT_EQ(ConnMgrProviderMessage(connection, &GUID_NULL, nullptr, 0, 0, proxy, sizeof proxy), E_NOINTERFACE);
    EXPECT_FAILED(ConnMgrProviderMessage(connection, &ConnMgrProxyProvider, nullptr, 0, 0, proxy, sizeof proxy - 1));
    EXPECT_FAILED(ConnMgrProviderMessage(connection, &ConnMgrProxyProvider, nullptr, 0, 0, nullptr, sizeof proxy));
    ConnMgrReleaseConnection(connection, 0);
}

TEST_F(ConnectionManagerLayer, AConnectionWalksThroughItsScriptedStates)
{
    const DWORD states[] = {ConnMgrStatusWaitingForPath, ConnMgrStatusWaitingForPhone, ConnMgrStatusConnected};
    SimulateConnMgr([&](ConnMgrSimulation& s) {
        s.statusCount = 3;
        memcpy(s.statuses, states, sizeof states);
    });

    ConnMgrRequest request = Request(GUID_NULL);
    HANDLE connection = nullptr;
    ASSERT_EQ(ConnMgrEstablishConnection(&request, &connection), S_OK);
    for (DWORD expected : states) {
        SCOPED_TRACE(expected);
        ASSERT_TRUE(IsSignalled(connection)) << "each state is announced";
        DWORD status = 0;
        ASSERT_EQ(ConnMgrConnectionStatus(connection, &status), S_OK);
        EXPECT_EQ(status, expected);
    }
    EXPECT_FALSE(IsSignalled(connection)) << "the last state stays without a new signal";
    DWORD status = 0;
    ConnMgrConnectionStatus(connection, &status);
    EXPECT_EQ(status, DWORD(ConnMgrStatusConnected));

    // A change from outside reaches every open connection.
    HANDLE second = nullptr;
    ASSERT_EQ(ConnMgrEstablishConnection(&request, &second), S_OK);
    for (int i = 0; i < 3; ++i) ConnMgrConnectionStatus(second, &status);
    ConnMgrChangeStatus(ConnMgrStatusConnectionFailed);
    for (HANDLE h : {connection, second}) {
        EXPECT_TRUE(IsSignalled(h));
        ASSERT_EQ(ConnMgrConnectionStatus(h, &status), S_OK);
        EXPECT_EQ(status, DWORD(ConnMgrStatusConnectionFailed));
        EXPECT_FALSE(IsSignalled(h));
    }
    ConnMgrSetStatusResult(E_UNEXPECTED);
    EXPECT_EQ(ConnMgrConnectionStatus(connection, &status), E_UNEXPECTED);
    ConnMgrReleaseConnection(connection, 1);
    ConnMgrReleaseConnection(second, 1);
}

TEST_F(ConnectionManagerLayer, EachStepCanBeMadeToFail)
{
    const struct {
        const char* name;
        void (*setUp)(ConnMgrSimulation&);
        HRESULT map;
        HRESULT establish;
    } cases[] = {
        {"mapping", [](ConnMgrSimulation& s) { s.mapResult = E_FAIL; }, E_FAIL, S_OK},
        {"mapping to a destination that is not there", [](ConnMgrSimulation& s) { s.mapIndex = 5; }, E_FAIL, S_OK},
        {"no destinations at all", [](ConnMgrSimulation& s) { s.destinationCount = 0; }, E_FAIL, S_OK},
        {"the request", [](ConnMgrSimulation& s) { s.establishResult = E_ACCESSDENIED; }, S_OK, E_ACCESSDENIED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulateConnMgr(c.setUp);
        GUID mapped;
        EXPECT_EQ(ConnMgrMapURL(L"http://x", &mapped, nullptr), c.map);
        ConnMgrRequest request = Request(GUID_NULL);
        HANDLE connection = nullptr;
        EXPECT_EQ(ConnMgrEstablishConnection(&request, &connection), c.establish);
        if (SUCCEEDED(c.establish)) ConnMgrReleaseConnection(connection, 0);
    }
}

TEST_F(ConnectionManagerLayer, ReadinessCanBeWithheld)
{
    ConnMgrSimulation simulation;
    ConnMgrDefaultSimulation(&simulation);
    simulation.readiness = ConnMgrReadyNever;
    ConnMgrSetSimulation(&simulation);
    HANDLE ready = ConnMgrApiReadyEvent();
    ASSERT_NE(ready, nullptr);
    EXPECT_EQ(WaitForSingleObject(ready, 50), DWORD(WAIT_TIMEOUT));
    CloseHandle(ready);

    simulation.readiness = ConnMgrReadyNoHandle;
    ConnMgrSetSimulation(&simulation);
    EXPECT_EQ(ConnMgrApiReadyEvent(), nullptr);
}

TEST_F(ConnectionManagerLayer, TheNetworksProxyIsHandedOutTerminated)
{
    ConnMgrSimulation simulation;
    ConnMgrDefaultSimulation(&simulation);
    simulation.proxy.type = ConnMgrProxySocks5;
    wmemset(simulation.proxy.server, L'h', 256);  // no terminator of its own
    wcscpy(simulation.proxy.userName, L"ann");
    ConnMgrSetSimulation(&simulation);
    ConnMgrRequest request = Request(GUID_NULL);
    HANDLE connection = nullptr;
    ASSERT_EQ(ConnMgrEstablishConnection(&request, &connection), S_OK);
    ConnMgrProxyConfig proxy;
    ASSERT_EQ(ConnMgrProviderMessage(connection, &ConnMgrProxyProvider, nullptr, 0, 0, reinterpret_cast<BYTE*>(&proxy),
                                     sizeof proxy),
              S_OK);
    EXPECT_EQ(proxy.type, DWORD(ConnMgrProxySocks5));
    EXPECT_EQ(wcslen(proxy.server), 255u);
    EXPECT_STREQ(proxy.userName, L"ann");

    simulation.proxyResult = E_FAIL;
    ConnMgrSetSimulation(&simulation);
    EXPECT_EQ(ConnMgrProviderMessage(connection, &ConnMgrProxyProvider, nullptr, 0, 0, reinterpret_cast<BYTE*>(&proxy),
                                     sizeof proxy),
              E_FAIL);
    ConnMgrReleaseConnection(connection, 0);
}

TEST_F(ConnectionManagerLayer, AnUnwaitableHandleFailsEveryWait)
{
    SimulateConnMgr([](ConnMgrSimulation& s) { s.unwaitableHandle = TRUE; });
    ConnMgrRequest request = Request(GUID_NULL);
    HANDLE connection = nullptr;
    ASSERT_EQ(ConnMgrEstablishConnection(&request, &connection), S_OK);
    EXPECT_EQ(WaitForSingleObject(connection, 0), WAIT_FAILED);
    ConnMgrLog log;
    ConnMgrGetLog(&log);
    EXPECT_EQ(log.openConnections, 0);
}
