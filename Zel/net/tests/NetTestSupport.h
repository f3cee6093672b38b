// Doubles for the connection service's tests: an owner queue on a real bus that records every CM_
// message and takes the received data as a client does, and a fixture with the service on a bus.
// The loopback servers (a scripted one whose connections each run a handler of the test's choosing)
// and the blocking socket helpers are the peer harness's.
#pragma once

#include "Zel/net/tests/PeerSupport.h"

#include "Handheld/ConnMgr.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/Payloads.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/net/Connection.h"
#include "Zel/net/ConnectionManager.h"
#include "Zel/net/ConnectionWorker.h"
#include "ZELCommon/tests/WaitUntil.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace NetTest {

using PeerTest::Echo;
using PeerTest::ReceiveAll;
using PeerTest::ReceiveExactly;
using PeerTest::ScriptedServer;
using PeerTest::SendAllBytes;

struct CmMessage {
    int code;
    CConnection* connection;
    intptr_t value;     // p2's integer, when it is one
    std::wstring text;  // p2's text, when it is one
    uint64_t serial;    // the Connect's serial in p1
    bool current;       // p1 passed the client's check against the connection and serial it follows
};

inline std::wstring Text(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

inline const char* CodeName(int code)
{
    switch (code) {
    case CM_TRAFFIC_EVENT: return "CM_TRAFFIC";
    case CM_CONNECT_RESULT: return "CM_CONNECT_RESULT";
    case CM_DISCONNECTED: return "CM_DISCONNECTED";
    case CM_DATA_RECEIVED: return "CM_DATA_RECEIVED";
    case CM_DATA_SENT: return "CM_DATA_SENT";
    case CM_STATUS_TEXT: return "CM_STATUS_TEXT";
    case CM_ERROR_TEXT: return "CM_ERROR_TEXT";
    default: return "?";
    }
}

// The messages as lines, for failure output.
inline std::string Describe(const std::vector<CmMessage>& messages)
{
    std::string out;
    for (const CmMessage& m : messages) {
        out += CodeName(m.code);
        if (m.code == CM_STATUS_TEXT || m.code == CM_ERROR_TEXT)
            out += " \"" + std::string(m.text.begin(), m.text.end()) + "\"";
        else
            out += " " + std::to_string(m.value);
        out += "\n";
    }
    return out;
}

// The owner of the tests' connections. Like a client, it takes the data with Receive on every
// CM_DATA_RECEIVED (unless told not to) and keeps it in order, and checks each message against the
// connection and serial it follows (Follow).
class OwnerQueue : public QueueReceiver {
public:
    OwnerQueue(Services::CServicesManager& bus, IConnectionManager& manager)
        : bus(bus), manager(manager), gate(CreateEventW(nullptr, TRUE, TRUE, nullptr))
    {
        handle = bus.CreateQueue(this, L"Test owner");
    }
    ~OwnerQueue() override
    {
        Resume();
        if (handle) bus.DestroyQueue(handle);
        CloseHandle(gate);
    }

    OwnerQueue(const OwnerQueue&) = delete;
    OwnerQueue& operator=(const OwnerQueue&) = delete;

    int Handle() const { return handle; }

    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override
    {
        if (msgClass == ZEL_GUID_NULL && code == kHoldCode) WaitForSingleObject(gate, 60000);
        if (msgClass != GUID_CONNECTION_MANAGER) return 0;
        CmMessage message = {code, nullptr, 0, std::wstring(), 0, false};
        // Read as an older client reads it: a plain CRefValue holding the connection.
        if (CRefValue* about = dynamic_cast<CRefValue*>(p1))
            message.connection = reinterpret_cast<CConnection*>(about->value);
        if (CConnectionRef* about = dynamic_cast<CConnectionRef*>(p1)) message.serial = about->serial;
        message.current = IsCurrentConnectMessage(p1, followed.load(), followedSerial.load());
        if (CRefValue* value = dynamic_cast<CRefValue*>(p2)) message.value = value->value;
        if (CStringPayload* text = dynamic_cast<CStringPayload*>(p2)) message.text = Text(text->text);
        std::string taken;
        if (code == CM_DATA_RECEIVED && autoReceive && message.connection) {
            std::vector<char> buffer(size_t(receiveSize > 0 ? receiveSize : 1));
            int count = manager.Receive(message.connection, buffer.data(), receiveSize, 0);
            if (count > 0) taken.assign(buffer.data(), size_t(count));
        }
        {
            std::lock_guard<std::mutex> hold(lock);
            messages.push_back(message);
            received += taken;
        }
        changed.notify_all();
        return 0;
    }

    std::vector<CmMessage> Messages()
    {
        std::lock_guard<std::mutex> hold(lock);
        return messages;
    }

    // Messages other than the traffic event.
    std::vector<CmMessage> ConnectionMessages()
    {
        std::vector<CmMessage> out;
        for (const CmMessage& m : Messages())
            if (m.code != CM_TRAFFIC_EVENT) out.push_back(m);
        return out;
    }

    std::vector<CmMessage> OfCode(int code)
    {
        std::vector<CmMessage> out;
        for (const CmMessage& m : Messages())
            if (m.code == code) out.push_back(m);
        return out;
    }

    int Count(int code) { return int(OfCode(code).size()); }

    // The texts of the messages of code (CM_STATUS_TEXT, CM_ERROR_TEXT), in order.
    std::vector<std::wstring> Texts(int code)
    {
        std::vector<std::wstring> out;
        for (const CmMessage& m : OfCode(code)) out.push_back(m.text);
        return out;
    }

    std::string Received()
    {
        std::lock_guard<std::mutex> hold(lock);
        return received;
    }

    // Waits until count messages of code have arrived.
    bool WaitFor(int code, int count = 1, DWORD milliseconds = 15000)
    {
        std::unique_lock<std::mutex> hold(lock);
        return changed.wait_for(hold, std::chrono::milliseconds(milliseconds), [&] {
            int seen = 0;
            for (const CmMessage& m : messages) seen += m.code == code;
            return seen >= count;
        });
    }

    bool WaitForReceived(size_t bytes, DWORD milliseconds = 30000)
    {
        std::unique_lock<std::mutex> hold(lock);
        return changed.wait_for(hold, std::chrono::milliseconds(milliseconds),
                                [&] { return received.size() >= bytes; });
    }

    // Lets everything posted so far be handled.
    void Flush() { bus.SendMessage(handle, ZEL_GUID_NULL, 0, nullptr, nullptr, true); }

    // Holds the queue's thread once it reaches what is queued now, so that later messages wait in
    // the queue until Resume.
    void Hold()
    {
        ResetEvent(gate);
        bus.SendMessage(handle, ZEL_GUID_NULL, kHoldCode, nullptr, nullptr, false);
    }
    void Resume() { SetEvent(gate); }

    // The connection and Connect serial the client acts on, as a client keeps them.
    void Follow(CConnection* connection, uint64_t serial)
    {
        followed = connection;
        followedSerial = serial;
    }

    // The messages that passed, or failed, the client's check.
    std::vector<CmMessage> Current(bool current = true)
    {
        std::vector<CmMessage> out;
        for (const CmMessage& m : ConnectionMessages())
            if (m.current == current) out.push_back(m);
        return out;
    }

    bool autoReceive = true;
    int receiveSize = CConnection::MaxChunk;

private:
    enum { kHoldCode = 0x7E57 };

    Services::CServicesManager& bus;
    IConnectionManager& manager;
    HANDLE gate;  // manual reset; set while the queue may run
    std::atomic<CConnection*> followed{nullptr};
    std::atomic<uint64_t> followedSerial{0};
    int handle = 0;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<CmMessage> messages;
    std::string received;
};

// A port on 127.0.0.1 that nothing listens on.
inline int ClosedPort()
{
    return PeerTest::PickFreePort();
}

// The connection service's waits are longer than most: give it more time.
template <typename Check> bool WaitUntil(Check check, DWORD milliseconds = 15000)
{
    return TestSupport::WaitUntil(check, milliseconds);
}

// Test data that shows where a byte went missing or moved: no short period.
inline std::string PatternBytes(size_t size, unsigned seed = 1)
{
    std::string out(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = char(x);
    }
    return out;
}

// The Connection Manager's desktop behaviour and the worker's usual waits, before and after each
// test that changes them; no worker of a test is left to touch them in the next.
class SimulationScope {
public:
    SimulationScope() { Reset(); }
    ~SimulationScope()
    {
        EXPECT_TRUE(WaitForConnectionWorkers(15000)) << "a worker outlived its test";
        Reset();
    }
    static void Reset()
    {
        ConnMgrSetSimulation(nullptr);
        SetAttachWaitLimits(AttachWaitLimits());
    }
};

// A bus, the connection service on it, and an owner queue; the Connection Manager behaves as a
// desktop's unless a test says otherwise.
class ConnectionFixture : public ::testing::Test {
protected:
    ConnectionFixture() : manager(bus), owner(bus, manager) {}

    // The service's own settings with a destination of the test's.
    ConnectionSettings To(const wchar_t* host, int port, int secureMode = SECURE_NONE)
    {
        ConnectionSettings settings = manager.GetSettings();
        settings.host = host;
        settings.port = port;
        settings.secureMode = secureMode;
        return settings;
    }

    // Connects and waits for the connect result; its value, or a marker when none came.
    intptr_t ConnectAndWait(CConnection* connection, const ConnectionSettings& settings)
    {
        int before = owner.Count(CM_CONNECT_RESULT);
        if (manager.Connect(connection, settings) != 0) return 0x7EADBEEF;
        if (!owner.WaitFor(CM_CONNECT_RESULT, before + 1, 30000)) return 0x7EADBEEF;
        return owner.OfCode(CM_CONNECT_RESULT)[size_t(before)].value;
    }

    // The error texts posted so far.
    std::vector<std::wstring> ErrorTexts() { return owner.Texts(CM_ERROR_TEXT); }

    // Closes a connection that connected, and checks all that queue heard of it: the statuses
    // given, the connect result right after them, no error, and one clean disconnect last.
    // Call through ASSERT_NO_FATAL_FAILURE.
    void CloseAndExpectCleanEnd(OwnerQueue& queue, CConnection* connection, const std::vector<std::wstring>& statuses)
    {
        manager.Close(connection);
        ASSERT_TRUE(queue.WaitFor(CM_DISCONNECTED));
        queue.Flush();

        std::vector<CmMessage> messages = queue.ConnectionMessages();
        EXPECT_EQ(queue.Texts(CM_STATUS_TEXT), statuses);
        ASSERT_GT(messages.size(), statuses.size()) << Describe(messages);
        EXPECT_EQ(messages[statuses.size()].code, CM_CONNECT_RESULT) << Describe(messages);
        EXPECT_EQ(queue.Count(CM_ERROR_TEXT), 0);
        EXPECT_EQ(queue.Count(CM_DISCONNECTED), 1);
        EXPECT_EQ(messages.back().code, CM_DISCONNECTED);
        EXPECT_EQ(messages.back().value, 0);
    }

    SimulationScope simulation;
    Services::CServicesManager bus;
    CConnectionManager manager;
    OwnerQueue owner;
};

}  // namespace NetTest
