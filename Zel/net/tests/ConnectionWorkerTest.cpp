// The worker of a plain connection, end to end: an owner queue on a real bus, the connection service,
// and loopback servers written here.

#include "Zel/net/tests/NetTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

using namespace NetTest;

namespace {

class Worker : public ConnectionFixture {};

// Sends data in pieces of changing sizes; false when a Send did not take a whole piece.
bool SendInPieces(IConnectionManager& manager, CConnection* connection, const std::string& data, int& pieces)
{
    static const size_t sizes[] = {1, 7, 1000, 1024, 1025, 4096, 65536, 3, 300000};
    size_t offset = 0;
    pieces = 0;
    for (size_t i = 0; offset < data.size(); ++i) {
        size_t size = std::min(sizes[i % (sizeof sizes / sizeof sizes[0])], data.size() - offset);
        if (manager.Send(connection, data.data() + offset, int(size), 0) != int(size)) return false;
        offset += size;
        ++pieces;
    }
    return true;
}

}  // namespace

TEST_F(Worker, OneMegabyteEchoesBackIntactAndTheMessagesComeInOrder)
{
    ScriptedServer echo(Echo);
    ASSERT_NE(echo.Port(), 0);
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ASSERT_NE(connection, nullptr);

    ASSERT_EQ(ConnectAndWait(connection, To(L"127.0.0.1", echo.Port())), 0) << Describe(owner.Messages());
    std::string data = PatternBytes(1 << 20);
    int pieces = 0;
    ASSERT_TRUE(SendInPieces(manager, connection, data, pieces));
    ASSERT_TRUE(owner.WaitForReceived(data.size())) << owner.Received().size() << " bytes came back";
    manager.Close(connection);
    ASSERT_TRUE(owner.WaitFor(CM_DISCONNECTED));
    owner.Flush();

    EXPECT_TRUE(owner.Received() == data) << "the echo differs from what was sent";
    std::vector<CmMessage> messages = owner.ConnectionMessages();
    ASSERT_GE(messages.size(), 5u);
    const struct {
        int code;
        const wchar_t* text;
    } opening[] = {
        {CM_STATUS_TEXT, L"Connect to network"},
        {CM_STATUS_TEXT, L"Address translation"},
        {CM_STATUS_TEXT, L"Connect to 127.0.0.1"},
        {CM_CONNECT_RESULT, nullptr},
    };
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(messages[i].code, opening[i].code) << Describe(messages);
        if (opening[i].text) {
            EXPECT_EQ(messages[i].text, opening[i].text);
        }
    }
    EXPECT_EQ(messages.back().code, CM_DISCONNECTED);
    EXPECT_EQ(messages.back().value, 0);
    intptr_t receivedTotal = 0;
    int sentMessages = 0;
    for (size_t i = 4; i + 1 < messages.size(); ++i) {
        const CmMessage& m = messages[i];
        ASSERT_TRUE(m.code == CM_DATA_SENT || m.code == CM_DATA_RECEIVED) << Describe(messages);
        if (m.code == CM_DATA_SENT) {
            EXPECT_EQ(m.value, 0);
            ++sentMessages;
        } else {
            EXPECT_GE(m.value, 1);
            EXPECT_LE(m.value, CConnection::MaxChunk);
            receivedTotal += m.value;
        }
    }
    for (const CmMessage& m : messages) EXPECT_EQ(m.connection, connection);
    EXPECT_EQ(sentMessages, pieces);
    EXPECT_EQ(receivedTotal, intptr_t(data.size()));
    EXPECT_EQ(manager.GetBytesSent(), int(data.size()));
    EXPECT_EQ(manager.GetBytesReceived(), int(data.size()));
    EXPECT_EQ(manager.DestroyConnection(connection), 0);
}

TEST_F(Worker, APeerThatClosesEndsTheConnectionWithReasonZero)
{
    ScriptedServer server([](SOCKET s) { SendAllBytes(s, "bye"); });
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ASSERT_EQ(ConnectAndWait(connection, To(L"127.0.0.1", server.Port())), 0);
    ASSERT_TRUE(owner.WaitFor(CM_DISCONNECTED));
    owner.Flush();
    EXPECT_EQ(owner.OfCode(CM_DISCONNECTED)[0].value, 0);
    EXPECT_EQ(owner.Received(), "bye");
    // Exactly one end, and no error text for it.
    EXPECT_EQ(owner.Count(CM_DISCONNECTED), 1);
    EXPECT_EQ(owner.Count(CM_ERROR_TEXT), 0);
    // The worker gives the network back as it ends, right after its last message.
    ConnMgrLog log;
    EXPECT_TRUE(WaitUntil([&] {
        ConnMgrGetLog(&log);
        return log.releases == 1;
    }));
    EXPECT_EQ(log.lastCache, 1);
    manager.Close(connection);
    ConnMgrGetLog(&log);
    EXPECT_EQ(log.releases, 1) << "Close released the network a second time";
    EXPECT_EQ(log.openConnections, 0);
    manager.DestroyConnection(connection);
}

TEST_F(Worker, FailedConnectStepsReportTheirTextAndANonZeroResult)
{
    int closed = ClosedPort();
    const struct {
        const char* name;
        const wchar_t* host;
        int port;
        const wchar_t* text;
    } cases[] = {
        {"nobody listens", L"127.0.0.1", closed, L"Can't connect to 127.0.0.1"},
        {"unknown name", L"no-such-host.zel.invalid", 80, L"Address translation error: "},
        {"empty name", L"", 80, L"Address translation error: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ASSERT_EQ(manager.Connect(connection, To(c.host, c.port)), 0);
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT));
        manager.Close(connection);
        queue.Flush();
        std::vector<CmMessage> messages = queue.ConnectionMessages();
        std::vector<CmMessage> results = queue.OfCode(CM_CONNECT_RESULT);
        ASSERT_EQ(results.size(), 1u);
        EXPECT_NE(results[0].value, 0) << "a failure must never read as connected";
        std::vector<CmMessage> errors = queue.OfCode(CM_ERROR_TEXT);
        ASSERT_EQ(errors.size(), 1u) << Describe(messages);
        EXPECT_EQ(errors[0].text.substr(0, wcslen(c.text)), c.text);
        if (c.text[wcslen(c.text) - 1] == L' ') {  // the look-up's own code follows
            EXPECT_EQ(errors[0].text, c.text + std::to_wstring(results[0].value));
        }
        // The error text comes right before the result, and nothing after it.
        EXPECT_EQ(messages.back().code, CM_CONNECT_RESULT) << Describe(messages);
        EXPECT_EQ(messages[messages.size() - 2].code, CM_ERROR_TEXT) << Describe(messages);
        EXPECT_EQ(queue.Count(CM_DISCONNECTED), 0);
        manager.DestroyConnection(connection);
    }
}

TEST_F(Worker, AProxyTypeOutsideTheKnownOnesFailsWithoutAnErrorText)
{
    ScriptedServer echo(Echo);
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ConnectionSettings settings = To(L"127.0.0.1", echo.Port());
    settings.proxyType = 4;
    EXPECT_EQ(ConnectAndWait(connection, settings), -1);
    owner.Flush();
    EXPECT_EQ(owner.Count(CM_ERROR_TEXT), 0);
    EXPECT_EQ(owner.Count(CM_DISCONNECTED), 0);
    EXPECT_EQ(echo.Accepted(), 0);
    manager.DestroyConnection(connection);
}

TEST_F(Worker, CloseWhileIdleEndsAtOnceEvenAfterTheTimeOutHasGrown)
{
    ScriptedServer silent([](SOCKET s) { ReceiveAll(s); });
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ASSERT_EQ(ConnectAndWait(connection, To(L"127.0.0.1", silent.Port())), 0);
    // 60 + 120 + ... ms: by now the worker waits in select for seconds at a time.
    Sleep(4000);
    auto start = std::chrono::steady_clock::now();
    manager.Close(connection);
    ASSERT_TRUE(owner.WaitFor(CM_DISCONNECTED));
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(took.count(), 1500) << "the worker ended only when its select timed out";
    owner.Flush();
    EXPECT_EQ(owner.OfCode(CM_DISCONNECTED)[0].value, 0) << "a Close is reported as reason 0";
    EXPECT_EQ(owner.Count(CM_DISCONNECTED), 1);
    manager.DestroyConnection(connection);
}

TEST_F(Worker, DataArrivingAfterALongIdleIsStillDelivered)
{
    HANDLE speak = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ScriptedServer server([speak](SOCKET s) {
        WaitForSingleObject(speak, 20000);
        SendAllBytes(s, "late news");
        ReceiveAll(s);
    });
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ASSERT_EQ(ConnectAndWait(connection, To(L"127.0.0.1", server.Port())), 0);
    Sleep(3000);
    auto start = std::chrono::steady_clock::now();
    SetEvent(speak);
    ASSERT_TRUE(owner.WaitForReceived(9));
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(took.count(), 1000) << "select wakes for data whatever its time-out";
    EXPECT_EQ(owner.Received(), "late news");
    manager.Close(connection);
    manager.DestroyConnection(connection);
    CloseHandle(speak);
}

TEST_F(Worker, TheNetworkGoingAwayEndsTheConnectionWithItsStatus)
{
    const struct {
        const char* name;
        DWORD status;
        HRESULT queryResult;
        intptr_t reason;
    } cases[] = {
        {"connection failed", ConnMgrStatusConnectionFailed, S_OK, 0x21},
        {"disconnected", ConnMgrStatusDisconnected, S_OK, 0x20},
        {"waiting for a path", ConnMgrStatusWaitingForPath, S_OK, 0x25},
        {"status unreadable", ConnMgrStatusConnected, E_UNEXPECTED, intptr_t(int(E_UNEXPECTED))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer silent([](SOCKET s) { ReceiveAll(s); });
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ASSERT_EQ(manager.Connect(connection, To(L"127.0.0.1", silent.Port())), 0);
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT));
        ConnMgrSetStatusResult(c.queryResult);
        ConnMgrChangeStatus(c.status);
        ASSERT_TRUE(queue.WaitFor(CM_DISCONNECTED));
        queue.Flush();
        EXPECT_EQ(queue.OfCode(CM_DISCONNECTED)[0].value, c.reason);
        EXPECT_EQ(queue.Count(CM_ERROR_TEXT), 0) << "a broken connection posts no text";
        ConnMgrSetStatusResult(S_OK);
        manager.DestroyConnection(connection);
    }
}

// The worker looks at its network and abort events less often while data flows: neither may be
// missed by a connection that never stops receiving.
TEST_F(Worker, AConnectionThatReceivesWithoutPauseStillEndsWhenTheNetworkGoesOrItIsClosed)
{
    const struct {
        const char* name;
        bool networkGoes;
        intptr_t reason;
    } cases[] = {
        {"the network goes", true, 0x20},
        {"the owner closes", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A kilobyte every millisecond for up to half a minute.
        ScriptedServer stream([](SOCKET s) {
            std::string piece(1024, 'x');
            for (int i = 0; i < 30000 && SendAllBytes(s, piece); ++i) Sleep(1);
        });
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ASSERT_EQ(manager.Connect(connection, To(L"127.0.0.1", stream.Port())), 0);
        ASSERT_TRUE(queue.WaitForReceived(64 * 1024));
        auto start = std::chrono::steady_clock::now();
        if (c.networkGoes)
            ConnMgrChangeStatus(ConnMgrStatusDisconnected);
        else
            manager.Close(connection);
        ASSERT_TRUE(queue.WaitFor(CM_DISCONNECTED, 1, 5000));
        auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        EXPECT_LT(took.count(), 1500);
        queue.Flush();
        EXPECT_EQ(queue.OfCode(CM_DISCONNECTED)[0].value, c.reason);
        manager.DestroyConnection(connection);
    }
}

TEST_F(Worker, ASuspendedNetworkKeepsTheConnection)
{
    ScriptedServer echo(Echo);
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ASSERT_EQ(ConnectAndWait(connection, To(L"127.0.0.1", echo.Port())), 0);
    ConnMgrChangeStatus(ConnMgrStatusSuspended);
    Sleep(300);
    ASSERT_EQ(manager.Send(connection, "still here", 10, 0), 10);
    ASSERT_TRUE(owner.WaitForReceived(10));
    EXPECT_EQ(owner.Count(CM_DISCONNECTED), 0);
    manager.Close(connection);
    manager.DestroyConnection(connection);
}

TEST_F(Worker, ConnectingAgainEndsTheEarlierConnection)
{
    ScriptedServer echo(Echo);
    CConnection* connection = manager.CreateConnection(owner.Handle());
    uint64_t first = manager.NextConnectSerial(connection);
    ASSERT_EQ(ConnectAndWait(connection, To(L"127.0.0.1", echo.Port())), 0);
    uint64_t second = manager.NextConnectSerial(connection);
    ASSERT_EQ(ConnectAndWait(connection, To(L"127.0.0.1", echo.Port())), 0);
    ASSERT_EQ(manager.Send(connection, "again", 5, 0), 5);
    ASSERT_TRUE(owner.WaitForReceived(5));
    // The first worker ended alone (reason 0) and said nothing more after that.
    ASSERT_TRUE(owner.WaitFor(CM_DISCONNECTED));
    owner.Flush();
    std::vector<CmMessage> messages = owner.ConnectionMessages();
    std::vector<int> firstCodes, secondCodes;
    for (const CmMessage& m : messages) {
        ASSERT_TRUE(m.serial == first || m.serial == second) << Describe(messages);
        (m.serial == first ? firstCodes : secondCodes).push_back(m.code);
    }
    ASSERT_GE(firstCodes.size(), 2u);
    EXPECT_EQ(firstCodes[firstCodes.size() - 2], CM_CONNECT_RESULT) << Describe(messages);
    EXPECT_EQ(firstCodes.back(), CM_DISCONNECTED) << Describe(messages);
    EXPECT_EQ(owner.OfCode(CM_DISCONNECTED)[0].value, 0);
    EXPECT_EQ(std::count(secondCodes.begin(), secondCodes.end(), CM_DISCONNECTED), 0);
    EXPECT_EQ(echo.Accepted(), 2);
    manager.Close(connection);
    manager.DestroyConnection(connection);
    ASSERT_TRUE(WaitForConnectionWorkers(15000));
    ConnMgrLog log;
    ConnMgrGetLog(&log);
    EXPECT_EQ(log.openConnections, 0);
    EXPECT_EQ(log.releases, 2);
}

TEST_F(Worker, SendFailsBeforeTheConnectionIsMadeAndAfterItEnded)
{
    ScriptedServer server([](SOCKET s) {});
    CConnection* connection = manager.CreateConnection(owner.Handle());
    EXPECT_EQ(manager.Send(connection, "early", 5, 0), -1);
    ASSERT_EQ(ConnectAndWait(connection, To(L"127.0.0.1", server.Port())), 0);
    ASSERT_TRUE(owner.WaitFor(CM_DISCONNECTED));
    EXPECT_EQ(manager.Send(connection, "late", 4, 0), -1);
    owner.Flush();
    std::vector<CmMessage> sent = owner.OfCode(CM_DATA_SENT);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].value, WSAENOTCONN);
    EXPECT_EQ(sent[1].value, WSAENOTCONN);
    manager.DestroyConnection(connection);
}

TEST_F(Worker, DestroyingAConnectionStopsItsWorkerAndLaterMessagesNameADeadConnection)
{
    ScriptedServer echo(Echo);
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ASSERT_EQ(ConnectAndWait(connection, To(L"127.0.0.1", echo.Port())), 0);
    EXPECT_EQ(manager.DestroyConnection(connection), 0);
    ASSERT_TRUE(owner.WaitFor(CM_DISCONNECTED));
    EXPECT_FALSE(manager.IsValidConnection(owner.OfCode(CM_DISCONNECTED)[0].connection));
    // The worker gives the network back as it ends, right after its last message.
    ASSERT_TRUE(WaitForConnectionWorkers(15000));
    ConnMgrLog log;
    ConnMgrGetLog(&log);
    EXPECT_EQ(log.openConnections, 0);
}

TEST_F(Worker, LargeSendsGoOutWhole)
{
    // The server reads everything before it answers with the count, so the whole send must have
    // gone out while nothing is read back.
    ScriptedServer counter([](SOCKET s) {
        std::string all = ReceiveExactly(s, 8u << 20);
        SendAllBytes(s, std::to_string(all.size()));
    });
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ASSERT_EQ(ConnectAndWait(connection, To(L"127.0.0.1", counter.Port())), 0);
    std::string data = PatternBytes(8u << 20, 7);
    EXPECT_EQ(manager.Send(connection, data.data(), int(data.size()), 0), int(data.size()));
    ASSERT_TRUE(owner.WaitForReceived(7));
    EXPECT_EQ(owner.Received(), "8388608");
    manager.Close(connection);
    manager.DestroyConnection(connection);
}
