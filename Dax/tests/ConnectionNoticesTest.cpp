// Which connection a notice is about. An account here is made in this process against a scripted
// connection service that hands out the same address for every connection (as a real one often
// does for a connection made right after another was destroyed), so only the serial of each Connect
// tells the redirector's connection, the session's and any earlier one apart. The test delivers the
// notices itself, in the order it chooses.
#include "Dax/DaxShared.h"
#include "Dax/MrimAccount.h"
#include "Dax/proto/MrimCommands.h"
#include "Dax/proto/PacketReader.h"
#include "Dax/proto/tests/MrimTestSupport.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/net/ConnectionManagerApi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <new>

using namespace MrimTest;

namespace {

class ScriptedConnections : public IConnectionManager {
public:
    CConnection* CreateConnection(int) override
    {
        std::lock_guard<std::mutex> hold(mutex);
        ++created;
        live = true;
        return reinterpret_cast<CConnection*>(&token);
    }
    bool IsValidConnection(CConnection* connection) override
    {
        std::lock_guard<std::mutex> hold(mutex);
        return live && connection == Address();
    }
    int DestroyConnection(CConnection* connection) override
    {
        std::lock_guard<std::mutex> hold(mutex);
        if (!live || connection != Address()) return CM_NOT_LIVE;
        live = false;
        ++destroyed;
        return 0;
    }
    int Connect(CConnection*, const ConnectionSettings& settings) override
    {
        std::lock_guard<std::mutex> hold(mutex);
        host = Text(settings.host);
        port = settings.port;
        return 0;
    }
    int Send(CConnection*, const void* data, int length, int) override
    {
        std::lock_guard<std::mutex> hold(mutex);
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        sent.insert(sent.end(), bytes, bytes + length);
        return length;
    }
    int Receive(CConnection*, void* buffer, int size, int) override
    {
        std::lock_guard<std::mutex> hold(mutex);
        const int count = int(incoming.size()) < size ? int(incoming.size()) : size;
        if (count > 0) memcpy(buffer, incoming.data(), size_t(count));
        incoming.erase(incoming.begin(), incoming.begin() + count);
        return count;
    }
    void Close(CConnection*) override {}
    int CheckConnection(CConnection*, int) override { return 0; }
    uint64_t NextConnectSerial(CConnection*) override
    {
        std::lock_guard<std::mutex> hold(mutex);
        return ++serial;
    }
    int ReservedSlot9(CConnection*, int) override { return 0; }
    ConnectionSettings GetSettings() override { return ConnectionSettings(); }
    void SetSettings(const ConnectionSettings&) override {}
    int GetBytesSent() override { return 0; }
    int GetBytesReceived() override { return 0; }

    CConnection* Address() { return reinterpret_cast<CConnection*>(&token); }

    // The commands of the packets sent so far, in order.
    std::vector<unsigned> SentCommands()
    {
        std::lock_guard<std::mutex> hold(mutex);
        Mrim::PacketReader reader;
        reader.Feed(sent.data(), sent.size());
        std::vector<unsigned> commands;
        Mrim::Packet packet;
        while (reader.Next(packet) == Mrim::PacketReader::GotPacket) commands.push_back(packet.header.command);
        return commands;
    }
    void Queue(const Bytes& bytes)
    {
        std::lock_guard<std::mutex> hold(mutex);
        incoming.insert(incoming.end(), bytes.begin(), bytes.end());
    }
    void Discard()
    {
        std::lock_guard<std::mutex> hold(mutex);
        incoming.clear();
    }
    size_t Unread()
    {
        std::lock_guard<std::mutex> hold(mutex);
        return incoming.size();
    }

    std::mutex mutex;
    int token = 0;
    bool live = false;
    int created = 0, destroyed = 0;
    uint64_t serial = 0;
    std::wstring host;
    int port = 0;
    Bytes sent, incoming;
};

class DaxConnectionNoticesTest : public ::testing::Test {
protected:
    DaxConnectionNoticesTest()
    {
        bus.RegisterService(GUID_CONNECTION_MANAGER, static_cast<IConnectionManager*>(&service));
        handle = DaxShared::Registry().Add(new (std::nothrow) MrimAccount(&bus, 0x10000001, 0));
        Command(PM_LOAD);
    }
    ~DaxConnectionNoticesTest() override
    {
        Command(PM_UNLOAD);
        DaxShared::Registry().Destroy(handle);
    }

    // Sent and waited for, so whatever the account posted to itself before has run too.
    int Command(int code, CRefObject* p1 = nullptr)
    {
        return bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, code, p1, nullptr, true);
    }
    int Status() { return Command(PM_GET_STATUS); }
    void SetStatus(int status)
    {
        Command(PM_SET_STATUS, NewValue(status));
        Status();
    }
    // A notice of the Connect that took serial.
    void Notice(int code, uint64_t serial, int value)
    {
        bus.SendMessage(int(handle), GUID_CONNECTION_MANAGER, code, new CConnectionRef(service.Address(), serial),
                        NewValue(value), true);
        Status();
    }
    void Data(uint64_t serial, const Bytes& bytes)
    {
        service.Queue(bytes);
        Notice(CM_DATA_RECEIVED, serial, int(bytes.size()));
    }

    // The notices a connection of serial may still send after the account left it.
    void SendLateNotices(uint64_t serial, const Bytes& bytes)
    {
        service.Queue(bytes);
        Notice(CM_DATA_RECEIVED, serial, int(bytes.size()));
        Notice(CM_CONNECT_RESULT, serial, 0);
        Notice(CM_CONNECT_RESULT, serial, -1);
        Notice(CM_DISCONNECTED, serial, 0);
    }

    Services::CServicesManager bus;
    ScriptedConnections service;
    unsigned handle = 0;
};

} // namespace

TEST_F(DaxConnectionNoticesTest, RedirectorsAndEarlierConnectionsNoticesChangeNothing)
{
    ASSERT_NE(0u, handle);
    SetStatus(AccountStatus::Online);
    ASSERT_EQ(AccountStatus::Connecting, Status());
    ASSERT_EQ(1u, service.serial);
    Notice(CM_CONNECT_RESULT, 1, 0);
    Data(1, Bytes{'1', '2', '7', '.', '0', '.', '0', '.', '1', ':', '5', '0', '0', '0', '\r', '\n'});
    // The session's connection: same address, its own Connect.
    ASSERT_EQ(2, service.created);
    ASSERT_EQ(1, service.destroyed);
    ASSERT_EQ(2u, service.serial);
    EXPECT_EQ(L"127.0.0.1", service.host);
    EXPECT_EQ(5000, service.port);

    // The redirector's connection speaks late, after the session's was made: a close, results, and
    // data that would end the session if it were read as the session's.
    const Bytes logout = Packet(Mrim::CmdLogout, 0, Wire().U32(0x10));
    SendLateNotices(1, logout);
    EXPECT_EQ(AccountStatus::Connecting, Status());
    EXPECT_EQ(2, service.created);
    EXPECT_EQ(1, service.destroyed);
    EXPECT_TRUE(service.SentCommands().empty());
    EXPECT_EQ(logout.size(), service.Unread());
    service.Discard();

    // The session's own notices go on as usual.
    Notice(CM_CONNECT_RESULT, 2, 0);
    Data(2, Packet(Mrim::CmdHelloAck, 1, Wire().U32(0)));
    Data(2, Packet(Mrim::CmdLoginAck, 2, Bytes()));
    ASSERT_EQ(AccountStatus::Online, Status());
    EXPECT_EQ((std::vector<unsigned>{Mrim::CmdHello, Mrim::CmdLogin}), service.SentCommands());

    // Offline and back: the old session's notices reach the new redirector phase and change nothing.
    SetStatus(AccountStatus::Offline);
    SetStatus(AccountStatus::Online);
    ASSERT_EQ(AccountStatus::Connecting, Status());
    ASSERT_EQ(3u, service.serial);
    SendLateNotices(2, Bytes{'1', '0', '.', '9', '.', '9', '.', '9', ':', '1', '\r', '\n'});
    EXPECT_EQ(AccountStatus::Connecting, Status());
    EXPECT_EQ(3, service.created);
    EXPECT_EQ(3u, service.serial);
    service.Discard();

    // The current redirector still leads to a session.
    Notice(CM_CONNECT_RESULT, 3, 0);
    Data(3, Bytes{'1', '2', '7', '.', '0', '.', '0', '.', '1', ':', '6', '0', '0', '0', '\n'});
    EXPECT_EQ(4u, service.serial);
    EXPECT_EQ(6000, service.port);
    SetStatus(AccountStatus::Offline);
}
