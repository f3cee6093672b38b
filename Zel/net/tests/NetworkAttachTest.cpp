// Attaching to a network: every way the Connection Manager can refuse or stall, the destination
// choice, the request, and taking over the network's own proxy.

#include "Zel/net/tests/NetTestSupport.h"

#include "Handheld/tests/ConnMgrTestSupport.h"

#include <gtest/gtest.h>

#include <cwchar>

using namespace NetTest;
using HandheldTest::SimulateConnMgr;

namespace {

class Attach : public ConnectionFixture {};

const GUID kWorkDestination = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
const GUID kGprsDestination = {0x55555555, 0x6666, 0x7777, {8, 8, 8, 8, 8, 8, 8, 8}};

void AddDestination(ConnMgrSimulation& simulation, const GUID& id, const wchar_t* description)
{
    ConnMgrDestination& destination = simulation.destinations[simulation.destinationCount++];
    destination.id = id;
    wcsncpy(destination.description, description, 128);
}

void SetStatuses(ConnMgrSimulation& simulation, std::initializer_list<DWORD> statuses)
{
    simulation.statusCount = 0;
    for (DWORD status : statuses) simulation.statuses[simulation.statusCount++] = status;
}

// What the network proxy fakes saw of the client.
struct ProxyLog {
    std::mutex lock;
    std::string request;

    void Add(const std::string& bytes)
    {
        std::lock_guard<std::mutex> hold(lock);
        request += bytes;
    }
    std::string Get()
    {
        std::lock_guard<std::mutex> hold(lock);
        return request;
    }
};

// A SOCKS5 proxy that takes whatever method is offered, accepts any credentials, grants the CONNECT
// and then echoes.
void FakeSocks5(SOCKET s, ProxyLog& log)
{
    std::string greeting = ReceiveExactly(s, 3);
    log.Add(greeting);
    if (greeting.size() != 3) return;
    SendAllBytes(s, std::string("\x05", 1) + greeting[2]);
    if (greeting[2] == 2) {
        std::string head = ReceiveExactly(s, 2);
        std::string user = ReceiveExactly(s, size_t((unsigned char)head[1]));
        std::string passwordLength = ReceiveExactly(s, 1);
        std::string password = ReceiveExactly(s, size_t((unsigned char)passwordLength[0]));
        log.Add(head + user + passwordLength + password);
        SendAllBytes(s, std::string("\x01\x00", 2));
    }
    std::string request = ReceiveExactly(s, 10);
    log.Add(request);
    SendAllBytes(s, std::string("\x05\x00\x00\x01\x7f\x00\x00\x01\x10\x00", 10));
    Echo(s);
}

// A SOCKS4 proxy that grants the request and then echoes.
void FakeSocks4(SOCKET s, ProxyLog& log)
{
    std::string request = ReceiveExactly(s, 8);
    for (std::string byte; (byte = ReceiveExactly(s, 1)).size() == 1;) {
        request += byte;
        if (byte[0] == 0) break;
    }
    log.Add(request);
    SendAllBytes(s, std::string("\x00\x5A\x00\x00\x00\x00\x00\x00", 8));
    Echo(s);
}

// An HTTP proxy that opens the tunnel, sending first with its answer, and then echoes.
void FakeHttp(SOCKET s, ProxyLog& log, const std::string& firstData)
{
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos) {
        std::string byte = ReceiveExactly(s, 1);
        if (byte.empty()) return;
        head += byte;
    }
    log.Add(head);
    SendAllBytes(s, "HTTP/1.0 200 Connection established\r\nProxy-agent: fake\r\n\r\n" + firstData);
    Echo(s);
}

}  // namespace

TEST_F(Attach, EveryRefusalPostsItsTextAndFailsTheConnectWithoutConnecting)
{
    ScriptedServer echo(Echo);
    const struct {
        const char* name;
        std::function<void(ConnMgrSimulation&)> setUp;
        std::wstring text;  // empty: no error text at all
        intptr_t result;
        int releases;
    } cases[] = {
        {"no network for the address", [](ConnMgrSimulation& s) { s.mapResult = E_FAIL; },
         L"Network error: can't find network (0x80004005)", -1, 0},
        {"request refused", [](ConnMgrSimulation& s) { s.establishResult = E_ACCESSDENIED; },
         L"Network error: connection request error 0x80070005", -1, 0},
        {"status unreadable", [](ConnMgrSimulation& s) { s.statusResult = E_UNEXPECTED; },
         L"Network error can't determine connection status 0x8000ffff", -1, 1},
        {"a down status without a text", [](ConnMgrSimulation& s) { SetStatuses(s, {0x2D}); },
         L"Network error 0x2d", -1, 1},
        {"waiting for a path, then waiting no longer", [](ConnMgrSimulation& s) { SetStatuses(s, {0x25}); },
         L"Network error: timeout expired ", -1, 1},
        {"suspended before it ever connected", [](ConnMgrSimulation& s) { SetStatuses(s, {0x26, 0x11}); },
         L"Network error: timeout expired ", -1, 1},
        {"never a word from the network", [](ConnMgrSimulation& s) { s.statusCount = 0; },
         L"Network error: timeout expired ", -1, 1},
        {"a handle nobody can wait on", [](ConnMgrSimulation& s) { s.unwaitableHandle = TRUE; },
         L"Network error state detection error 0xffffffff", -1, 0},
        {"the Connection Manager never gets ready", [](ConnMgrSimulation& s) { s.readiness = ConnMgrReadyNever; },
         L"", WAIT_TIMEOUT, 0},
        {"the Connection Manager has no ready handle", [](ConnMgrSimulation& s) { s.readiness = ConnMgrReadyNoHandle; },
         L"", intptr_t(int(WAIT_FAILED)), 0},
    };
    AttachWaitLimits limits;
    limits.readyMilliseconds = 300;
    limits.statusMilliseconds = 300;
    SetAttachWaitLimits(limits);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulateConnMgr(c.setUp);
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ASSERT_EQ(manager.Connect(connection, To(L"127.0.0.1", echo.Port())), 0);
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT));
        manager.Close(connection);
        queue.Flush();

        std::vector<CmMessage> messages = queue.ConnectionMessages();
        ASSERT_GE(messages.size(), 2u);
        EXPECT_EQ(messages[0].code, CM_STATUS_TEXT);
        EXPECT_EQ(messages[0].text, L"Connect to network");
        std::vector<CmMessage> results = queue.OfCode(CM_CONNECT_RESULT);
        ASSERT_EQ(results.size(), 1u) << Describe(messages);
        EXPECT_EQ(results[0].value, c.result) << "a failed attach is a failed connect, never a connected one";
        EXPECT_EQ(messages.back().code, CM_CONNECT_RESULT) << Describe(messages);
        if (c.text.empty()) {
            EXPECT_EQ(queue.Count(CM_ERROR_TEXT), 0) << Describe(messages);
        } else {
            ASSERT_EQ(queue.Count(CM_ERROR_TEXT), 1) << Describe(messages);
            EXPECT_EQ(messages[messages.size() - 2].text, c.text);
        }
        EXPECT_EQ(queue.Count(CM_DISCONNECTED), 0);

        ConnMgrLog log;
        ConnMgrGetLog(&log);
        EXPECT_EQ(log.releases, c.releases);
        if (c.releases) {
            EXPECT_EQ(log.lastCache, 0) << "a failed attach does not keep the network";
        }
        EXPECT_EQ(log.openConnections, 0);
        manager.DestroyConnection(connection);
    }
    EXPECT_EQ(echo.Accepted(), 0) << "nothing connects without a network";
}

TEST_F(Attach, EveryStatusWithATextEndsTheAttachWithIt)
{
    ScriptedServer echo(Echo);
    for (DWORD status : {0x20, 0x21, 0x22, 0x23, 0x24, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C}) {
        SCOPED_TRACE(status);
        CZELString text = GetConnMgrStatusText(int(status));
        ASSERT_FALSE(text.IsEmpty());
        SimulateConnMgr([status](ConnMgrSimulation& s) { SetStatuses(s, {ConnMgrStatusWaitingForPath, status}); });
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ASSERT_EQ(manager.Connect(connection, To(L"127.0.0.1", echo.Port())), 0);
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT));
        queue.Flush();
        std::vector<CmMessage> errors = queue.OfCode(CM_ERROR_TEXT);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].text, L"Network error: " + Text(text));
        EXPECT_EQ(queue.OfCode(CM_CONNECT_RESULT)[0].value, -1);
        manager.DestroyConnection(connection);
    }
    EXPECT_EQ(echo.Accepted(), 0);
}

TEST_F(Attach, StatusTextsAreThePlatformsAndOthersHaveNone)
{
    const struct {
        int status;
        const wchar_t* text;
    } cases[] = {
        {0x20, L"Connection is disconnected"},
        {0x21, L"Connection failed and can't be reestablished"},
        {0x22, L"User aborted connection"},
        {0x23, L"Connection is ready to connect but disabled"},
        {0x24, L"No path could be found to destination"},
        {0x27, L"Phone resource needed and phone is off"},
        {0x28, L"The connection could not be established because it would multi-home an exclusive connection"},
        {0x29, L"Failed to allocate resources to make the connection"},
        {0x2A, L"Connection link disconnected prematurely"},
        {0x2B, L"Failed to authenticate user"},
        {0x2C, L"Path with connection having requested property, ex. WAKE_ON_INCOMING, is not available"},
        {0x10, L""}, {0x11, L""}, {0x25, L""}, {0x26, L""}, {0x2D, L""}, {0, L""}, {-1, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        EXPECT_EQ(Text(GetConnMgrStatusText(c.status)), c.text);
    }
}

TEST_F(Attach, WaitingStatesPassAndTheConnectionIsMade)
{
    ScriptedServer echo(Echo);
    SimulateConnMgr([](ConnMgrSimulation& s) {
        SetStatuses(s, {ConnMgrStatusWaitingForPath, ConnMgrStatusWaitingForPhone, ConnMgrStatusUnknown,
                        ConnMgrStatusConnected});
    });
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ASSERT_EQ(ConnectAndWait(connection, To(L"127.0.0.1", echo.Port())), 0) << Describe(owner.Messages());
    ASSERT_EQ(manager.Send(connection, "hi", 2, 0), 2);
    ASSERT_TRUE(owner.WaitForReceived(2));
    manager.Close(connection);
    manager.DestroyConnection(connection);
}

TEST_F(Attach, CloseDuringTheAttachAbortsIt)
{
    SimulateConnMgr([](ConnMgrSimulation& s) { SetStatuses(s, {ConnMgrStatusWaitingForPath}); });
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ASSERT_EQ(manager.Connect(connection, To(L"127.0.0.1", ClosedPort())), 0);
    ConnMgrLog log;
    ASSERT_TRUE(WaitUntil([&] {
        ConnMgrGetLog(&log);
        return log.openConnections == 1;
    }));
    Sleep(50);  // let the worker reach its wait for the network's answer
    manager.Close(connection);
    ASSERT_TRUE(WaitForConnectionWorkers(15000));  // Close does not wait for the worker
    owner.Flush();
    std::vector<CmMessage> messages = owner.ConnectionMessages();
    ASSERT_EQ(owner.Count(CM_ERROR_TEXT), 1) << Describe(messages);
    EXPECT_EQ(owner.OfCode(CM_ERROR_TEXT)[0].text, L"Network error: user aborted connection");
    ASSERT_EQ(owner.Count(CM_CONNECT_RESULT), 1);
    EXPECT_EQ(owner.OfCode(CM_CONNECT_RESULT)[0].value, -1);
    EXPECT_EQ(owner.Count(CM_DISCONNECTED), 0);
    ConnMgrGetLog(&log);
    EXPECT_EQ(log.openConnections, 0);
    EXPECT_EQ(log.releases, 1);
    manager.DestroyConnection(connection);
}

TEST_F(Attach, TheRequestAsksForTheChosenDestinationWithTheUsualTerms)
{
    ScriptedServer echo(Echo);
    const struct {
        const char* name;
        const wchar_t* accessPoint;
        GUID expected;
        int mapCalls;
    } cases[] = {
        {"no access point: the address decides", L"", kWorkDestination, 1},
        {"an access point of another letter case", L"internet GPRS", kGprsDestination, 0},
        {"an access point the device does not have", L"Elsewhere", kWorkDestination, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulateConnMgr([](ConnMgrSimulation& s) {
            s.destinationCount = 0;
            AddDestination(s, kWorkDestination, L"Work");
            AddDestination(s, kGprsDestination, L"Internet GPRS");
            s.mapIndex = 0;
        });
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ConnectionSettings settings = To(L"127.0.0.1", echo.Port());
        settings.accessPoint = c.accessPoint;
        ASSERT_EQ(manager.Connect(connection, settings), 0);
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT));
        EXPECT_EQ(queue.OfCode(CM_CONNECT_RESULT)[0].value, 0);
        manager.DestroyConnection(connection);

        ConnMgrLog log;
        ConnMgrGetLog(&log);
        EXPECT_EQ(log.mapCalls, c.mapCalls);
        ASSERT_EQ(log.establishCalls, 1);
        const ConnMgrRequest& request = log.lastRequest;
        EXPECT_TRUE(IsEqualGUID(request.destination, c.expected));
        EXPECT_EQ(request.size, sizeof(ConnMgrRequest));
        EXPECT_EQ(request.parameters, DWORD(ConnMgrParamDestination));
        EXPECT_EQ(request.flags, 0x1Du);
        EXPECT_EQ(request.priority, 0x8000u);
        EXPECT_FALSE(request.exclusive);
        EXPECT_FALSE(request.disabled);
        EXPECT_EQ(request.window, nullptr);
    }
}

TEST_F(Attach, TheAddressMappedIsTheFirstHopUnlessTheProxyIsThisMachine)
{
    const struct {
        const char* name;
        int proxyType;
        const wchar_t* proxyHost;
        const wchar_t* expected;
    } cases[] = {
        {"no proxy", PROXY_NONE, L"proxy.example", L"http://im.example"},
        {"a proxy elsewhere", PROXY_HTTP, L"proxy.example", L"http://proxy.example"},
        {"SOCKS5 elsewhere", PROXY_SOCKS5, L"socks.example", L"http://socks.example"},
        {"localhost in capitals", PROXY_SOCKS4, L"LocalHost", L"http://im.example"},
        {"the loopback address", PROXY_HTTP, L"127.0.0.1", L"http://im.example"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulateConnMgr([](ConnMgrSimulation& s) { s.mapResult = E_FAIL; });  // stop right after the mapping
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ConnectionSettings settings = To(L"im.example", 5190);
        settings.proxyType = c.proxyType;
        settings.proxyHost = c.proxyHost;
        ASSERT_EQ(manager.Connect(connection, settings), 0);
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT));
        ConnMgrLog log;
        ConnMgrGetLog(&log);
        EXPECT_STREQ(log.lastMappedUrl, c.expected);
        manager.DestroyConnection(connection);
    }
}

TEST_F(Attach, TheNetworksOwnProxyIsTakenWhenTheConnectionNamesNone)
{
    const struct {
        const char* name;
        DWORD type;
        const wchar_t* user;
        const wchar_t* password;
        std::string expectedStart;  // what the proxy saw first
    } cases[] = {
        {"SOCKS5 with a user name", ConnMgrProxySocks5, L"ann", L"pw",
         std::string("\x05\x01\x02\x01\x03" "ann\x02pw", 11)},
        {"SOCKS5 without one", ConnMgrProxySocks5, L"", L"ignored", std::string("\x05\x01\x00", 3)},
        {"SOCKS4", ConnMgrProxySocks4, L"", L"", std::string("\x04\x01", 2)},
        {"HTTP", ConnMgrProxyHttp, L"", L"", "CONNECT 127.0.0.1:4242 HTTP/1.0\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProxyLog proxyLog;
        DWORD type = c.type;
        ScriptedServer proxy([&proxyLog, type](SOCKET s) {
            if (type == ConnMgrProxySocks5) FakeSocks5(s, proxyLog);
            if (type == ConnMgrProxySocks4) FakeSocks4(s, proxyLog);
            if (type == ConnMgrProxyHttp) FakeHttp(s, proxyLog, "");
        });
        SimulateConnMgr([&](ConnMgrSimulation& s) {
            s.proxy.type = c.type;
            s.proxy.enabled = TRUE;
            swprintf(s.proxy.server, 256, L"127.0.0.1:%d", proxy.Port());
            wcscpy(s.proxy.userName, c.user);
            wcscpy(s.proxy.password, c.password);
        });

        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ASSERT_EQ(manager.Connect(connection, To(L"127.0.0.1", 4242)), 0);
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT));
        ASSERT_EQ(queue.OfCode(CM_CONNECT_RESULT)[0].value, 0) << Describe(queue.Messages());
        ASSERT_EQ(manager.Send(connection, "through", 7, 0), 7);
        ASSERT_TRUE(queue.WaitForReceived(7));
        EXPECT_EQ(queue.Received(), "through");
        EXPECT_EQ(proxyLog.Get().substr(0, c.expectedStart.size()), c.expectedStart);

        // "Connect to network" again once the network's proxy is taken, then the way to it.
        std::vector<CmMessage> statuses = queue.OfCode(CM_STATUS_TEXT);
        ASSERT_GE(statuses.size(), 4u);
        EXPECT_EQ(statuses[0].text, L"Connect to network");
        EXPECT_EQ(statuses[1].text, L"Connect to network");
        EXPECT_EQ(statuses[2].text, L"Address translation");
        EXPECT_EQ(statuses[3].text, L"Connect to 127.0.0.1");
        manager.DestroyConnection(connection);
    }
}

TEST_F(Attach, AProxyTheUserChoseIsKeptAndTheNetworksIsNotAsked)
{
    ProxyLog userProxyLog;
    ScriptedServer userProxy([&userProxyLog](SOCKET s) { FakeSocks4(s, userProxyLog); });
    SimulateConnMgr([](ConnMgrSimulation& s) {
        s.proxy.type = ConnMgrProxyHttp;
        wcscpy(s.proxy.server, L"127.0.0.1:1");  // would refuse
    });
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ConnectionSettings settings = To(L"127.0.0.1", 4242);
    settings.proxyType = PROXY_SOCKS4;
    settings.proxyHost = L"127.0.0.1";
    settings.proxyPort = userProxy.Port();
    ASSERT_EQ(ConnectAndWait(connection, settings), 0) << Describe(owner.Messages());
    EXPECT_EQ(userProxyLog.Get().substr(0, 2), std::string("\x04\x01", 2));
    manager.DestroyConnection(connection);
}

TEST_F(Attach, TheTunnelsFirstBytesReachTheOwnerAfterTheConnectResult)
{
    ProxyLog proxyLog;
    ScriptedServer proxy([&proxyLog](SOCKET s) { FakeHttp(s, proxyLog, "server speaks first"); });
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ConnectionSettings settings = To(L"127.0.0.1", 4242);
    settings.proxyType = PROXY_HTTP;
    settings.proxyHost = L"127.0.0.1";
    settings.proxyPort = proxy.Port();
    ASSERT_EQ(ConnectAndWait(connection, settings), 0) << Describe(owner.Messages());
    ASSERT_TRUE(owner.WaitForReceived(19));
    EXPECT_EQ(owner.Received(), "server speaks first");
    std::vector<CmMessage> messages = owner.ConnectionMessages();
    size_t result = 0, firstData = 0;
    for (size_t i = 0; i < messages.size(); ++i) {
        if (messages[i].code == CM_CONNECT_RESULT && !result) result = i;
        if (messages[i].code == CM_DATA_RECEIVED && !firstData) firstData = i;
    }
    EXPECT_LT(result, firstData) << Describe(messages);
    // The proxy step is announced once the proxy server is reached.
    std::vector<CmMessage> statuses = owner.OfCode(CM_STATUS_TEXT);
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back().text, L"Init proxy server");
    manager.DestroyConnection(connection);
}
