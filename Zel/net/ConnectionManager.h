// CConnectionManager: the connection service, the one place in the program that opens network
// connections. A service on the bus under GUID_CONNECTION_MANAGER; its interface is
// IConnectionManager (ConnectionManagerApi.h), which must stay its first base.
//
// It keeps the set of live connections, the user's access point and proxy choice (read from the
// settings store when it is created, stored back when it is destroyed, and nowhere in between), and
// two byte counters over all connections, with the traffic event fired whenever they change.
//
// Locks: the service lock guards the live set and the service's own settings. It is not held while
// an operation works on a connection, so per-connection calls on one connection must come from
// one thread at a time (its owner's), as every client makes them.
//
// Nothing waits for a connection's worker: Close, DestroyConnection and a new Connect return at
// once, and the worker ends on its own. As the service ends it gives the workers a short while to
// end and post their last messages, then cuts their way to the bus, so that a worker still stuck
// (in a name look-up) neither holds the program's exit up nor touches the bus after it has gone.
#pragma once

#include "Zel/net/ConnectionManagerApi.h"
#include "ZELCommon/ZELCriticalSection.h"

#include <atomic>
#include <memory>
#include <set>

namespace Services {
class CServicesManager;
}
class CServiceLink;

class CConnectionManager : public IConnectionManager {
public:
    // Starts Winsock, registers the service and the traffic event, and loads the settings.
    explicit CConnectionManager(Services::CServicesManager& bus);
    // Stores the settings, leaves the bus, deletes every live connection and stops Winsock.
    virtual ~CConnectionManager();

    CConnectionManager(const CConnectionManager&) = delete;
    CConnectionManager& operator=(const CConnectionManager&) = delete;

    CConnection* CreateConnection(int ownerQueue) override;
    bool IsValidConnection(CConnection* connection) override;
    int DestroyConnection(CConnection* connection) override;
    int Connect(CConnection* connection, const ConnectionSettings& settings) override;
    int Send(CConnection* connection, const void* data, int length, int flags) override;
    int Receive(CConnection* connection, void* buffer, int size, int reserved) override;
    void Close(CConnection* connection) override;
    int CheckConnection(CConnection* connection, int unused) override;
    uint64_t NextConnectSerial(CConnection* connection) override;
    int ReservedSlot9(CConnection* connection, int unused) override;
    ConnectionSettings GetSettings() override;
    void SetSettings(const ConnectionSettings& settings) override;
    int GetBytesSent() override;
    int GetBytesReceived() override;

    // The settings keys in the service's section of the settings store.
    static const wchar_t KeyAccessPoint[];
    static const wchar_t KeyProxyType[];
    static const wchar_t KeyProxyHostname[];
    static const wchar_t KeyProxyPort[];
    static const wchar_t KeyProxyAuth[];
    static const wchar_t KeyProxyLogin[];
    static const wchar_t KeyProxyPassword[];

    // How long the service, as it ends, waits for the workers of the process to end.
    static const unsigned ShutdownWaitMilliseconds = 1000;

private:
    void LoadConnectionSettings();
    void SaveConnectionSettings();
    void CountTraffic(std::atomic<int>& counter, int bytes);

    Services::CServicesManager& bus;
    std::shared_ptr<CServiceLink> link;
    int serviceHandle;
    int trafficEvent;
    CZELCriticalSection lock;
    std::set<CConnection*> connections;
    ConnectionSettings settings;
    // Counted on every client's thread at once; 32-bit, wrapping as they always did.
    std::atomic<int> bytesSent;
    std::atomic<int> bytesReceived;
    bool winsockStarted;
};
