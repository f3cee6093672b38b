// Telling the messages of one Connect from those of an earlier one: every Connect has its own
// serial in p1, and the client's check drops whatever does not carry the serial it follows.

#include "Zel/net/tests/NetTestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace NetTest;

namespace {

class ConnectSerial : public ConnectionFixture {};

}  // namespace

TEST_F(ConnectSerial, EachConnectTakesTheSerialOfferedBeforeItAndNoneIsOfferedTwice)
{
    CConnection* connection = manager.CreateConnection(owner.Handle());
    std::set<uint64_t> seen;
    int closed = ClosedPort();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        uint64_t serial = manager.NextConnectSerial(connection);
        EXPECT_NE(serial, 0u);
        EXPECT_EQ(manager.NextConnectSerial(connection), serial) << "asking again changes nothing";
        EXPECT_TRUE(seen.insert(serial).second) << "a serial offered twice";
        CConnection* other = manager.CreateConnection(owner.Handle());
        EXPECT_TRUE(seen.insert(manager.NextConnectSerial(other)).second) << "another connection's serial repeats";
        manager.DestroyConnection(other);

        size_t before = owner.ConnectionMessages().size();
        ASSERT_EQ(manager.Connect(connection, To(L"127.0.0.1", closed)), 0);
        // A failed connect ends with its result: everything of this Connect is in after it.
        ASSERT_TRUE(owner.WaitFor(CM_CONNECT_RESULT, round + 1));
        std::vector<CmMessage> messages = owner.ConnectionMessages();
        ASSERT_GT(messages.size(), before);
        for (size_t i = before; i < messages.size(); ++i)
            EXPECT_EQ(messages[i].serial, serial) << CodeName(messages[i].code);
        EXPECT_NE(manager.NextConnectSerial(connection), serial) << "the Connect took it";
    }
    manager.DestroyConnection(connection);
}

TEST_F(ConnectSerial, QueuedMessagesOfEarlierConnectsFailTheClientsCheck)
{
    ScriptedServer echo(Echo);
    ConnectionSettings settings = To(L"127.0.0.1", echo.Port());
    // Everything from here on waits in the queue, as it does behind a busy client.
    owner.Hold();

    // A connection that connects and is destroyed with its messages still queued...
    CConnection* first = manager.CreateConnection(owner.Handle());
    uint64_t firstSerial = manager.NextConnectSerial(first);
    ASSERT_EQ(manager.Connect(first, settings), 0);
    ASSERT_TRUE(WaitUntil([&] { return echo.Accepted() == 1; }));
    ASSERT_EQ(manager.DestroyConnection(first), 0);

    // ...a new one, which most often gets the same address...
    CConnection* second = manager.CreateConnection(owner.Handle());
    uint64_t secondSerial = manager.NextConnectSerial(second);
    ASSERT_EQ(manager.Connect(second, settings), 0);
    ASSERT_TRUE(WaitUntil([&] { return echo.Accepted() == 2; }));

    // ...and a second Connect of that same object, which keeps its address for sure.
    uint64_t thirdSerial = manager.NextConnectSerial(second);
    ASSERT_EQ(manager.Connect(second, settings), 0);
    ASSERT_TRUE(WaitUntil([&] { return echo.Accepted() == 3; }));

    owner.Follow(second, thirdSerial);
    owner.Resume();
    ASSERT_TRUE(owner.WaitFor(CM_CONNECT_RESULT, 3));
    ASSERT_EQ(manager.Send(second, "now", 3, 0), 3);
    ASSERT_TRUE(owner.WaitForReceived(3));
    owner.Flush();

    std::vector<CmMessage> messages = owner.ConnectionMessages();
    for (const CmMessage& m : messages) {
        SCOPED_TRACE(CodeName(m.code));
        EXPECT_TRUE(m.serial == firstSerial || m.serial == secondSerial || m.serial == thirdSerial) << m.serial;
        EXPECT_EQ(m.current, m.serial == thirdSerial) << "only the followed Connect's messages pass";
    }
    // Each earlier Connect reported its result, and the check turned each of them away.
    std::vector<CmMessage> stale = owner.Current(false);
    for (uint64_t serial : {firstSerial, secondSerial}) {
        SCOPED_TRACE(serial);
        int results = 0;
        for (const CmMessage& m : stale) results += m.code == CM_CONNECT_RESULT && m.serial == serial;
        EXPECT_EQ(results, 1) << Describe(messages);
    }
    // What passed is the followed Connect's own story: its texts, one good result, the data.
    std::vector<CmMessage> current = owner.Current();
    int results = 0;
    for (const CmMessage& m : current) {
        EXPECT_NE(m.code, CM_DISCONNECTED) << Describe(current);
        if (m.code == CM_CONNECT_RESULT) {
            ++results;
            EXPECT_EQ(m.value, 0);
        }
    }
    EXPECT_EQ(results, 1) << Describe(current);
    EXPECT_EQ(owner.Received(), "now");
    manager.Close(second);
    manager.DestroyConnection(second);
}
