// The connection service's interface is called by plug-ins built on their own, by slot: each
// operation must sit in its fixed place, and the service registers that interface.
#include "Zel/net/ConnectionManager.h"

#include "Zel/core/bus/ServicesManager.h"
#include "ZELCommon/tests/SlotOf.h"

#include <gtest/gtest.h>

using TestSupport::SlotOf;

TEST(ConnectionManagerInterface, EveryOperationSitsInItsSlot)
{
    struct Case {
        const char* name;
        int slot;
        int expected;
    } cases[] = {
        {"CreateConnection", SlotOf(&IConnectionManager::CreateConnection), 0},
        {"IsValidConnection", SlotOf(&IConnectionManager::IsValidConnection), 1},
        {"DestroyConnection", SlotOf(&IConnectionManager::DestroyConnection), 2},
        {"Connect", SlotOf(&IConnectionManager::Connect), 3},
        {"Send", SlotOf(&IConnectionManager::Send), 4},
        {"Receive", SlotOf(&IConnectionManager::Receive), 5},
        {"Close", SlotOf(&IConnectionManager::Close), 6},
        {"CheckConnection", SlotOf(&IConnectionManager::CheckConnection), 7},
        {"NextConnectSerial", SlotOf(&IConnectionManager::NextConnectSerial), 8},
        {"ReservedSlot9", SlotOf(&IConnectionManager::ReservedSlot9), 9},
        {"GetSettings", SlotOf(&IConnectionManager::GetSettings), 10},
        {"SetSettings", SlotOf(&IConnectionManager::SetSettings), 11},
        {"GetBytesSent", SlotOf(&IConnectionManager::GetBytesSent), 12},
        {"GetBytesReceived", SlotOf(&IConnectionManager::GetBytesReceived), 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.slot, c.expected);
    }
    // The service object's own table starts with the interface's.
    EXPECT_EQ(SlotOf(&CConnectionManager::CreateConnection), 0);
    EXPECT_EQ(SlotOf(&CConnectionManager::GetBytesReceived), 13);
}

TEST(ConnectionManagerInterface, TheServiceIsRegisteredAsItsInterface)
{
    Services::CServicesManager bus;
    CConnectionManager service(bus);
    EXPECT_EQ(bus.GetService(GUID_CONNECTION_MANAGER), static_cast<IConnectionManager*>(&service));
}
