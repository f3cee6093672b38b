// Winsock's header must come before anything that brings in windows.h.
#include <winsock2.h>

#include "Zel/net/ConnectionManager.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/net/Connection.h"
#include "Zel/net/ConnectionWorker.h"
#include "Zel/net/ServiceLink.h"

#include <new>

const wchar_t CConnectionManager::KeyAccessPoint[] = L"Access point";
const wchar_t CConnectionManager::KeyProxyType[] = L"Proxy type";
const wchar_t CConnectionManager::KeyProxyHostname[] = L"Proxy hostname";
const wchar_t CConnectionManager::KeyProxyPort[] = L"Proxy port";
const wchar_t CConnectionManager::KeyProxyAuth[] = L"Proxy auth";
const wchar_t CConnectionManager::KeyProxyLogin[] = L"Proxy login";
const wchar_t CConnectionManager::KeyProxyPassword[] = L"Proxy password";

CConnectionManager::CConnectionManager(Services::CServicesManager& bus)
    : bus(bus), link(std::make_shared<CServiceLink>(bus)), serviceHandle(0), trafficEvent(0), bytesSent(0),
      bytesReceived(0), winsockStarted(false)
{
    WSADATA data;
    winsockStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    // Clients cast what GetService gives them to the interface.
    serviceHandle = bus.RegisterService(GUID_CONNECTION_MANAGER, static_cast<IConnectionManager*>(this));
    trafficEvent = bus.RegisterEvent(GUID_CONNECTION_MANAGER, CM_TRAFFIC_EVENT);
    LoadConnectionSettings();
}

CConnectionManager::~CConnectionManager()
{
    SaveConnectionSettings();
    if (serviceHandle) bus.UnregisterService(serviceHandle);
    // A later service on the same bus registers the event again; a stale one would stand first.
    if (trafficEvent) bus.UnregisterEvent(trafficEvent);
    lock.Enter();
    try {
        for (CConnection* connection : connections) delete connection;  // tells its worker to end
    } catch (...) {
    }
    connections.clear();
    lock.Leave();
    // Workers that were told end within moments, posting their last messages; one stuck in a
    // look-up is left to end alone, without the bus.
    WaitForConnectionWorkers(ShutdownWaitMilliseconds);
    link->Cut();
    if (winsockStarted) WSACleanup();
}

void CConnectionManager::LoadConnectionSettings()
{
    CSettingsStore* store = static_cast<CSettingsStore*>(bus.GetService(GUID_SETTINGS_STORE));
    if (!store) return;
    ConnectionSettings loaded;
    char proxyType = 0;
    int proxyPort = 0;
    char proxyAuth = 0;
    store->GetString(GUID_CONNECTION_MANAGER, KeyAccessPoint, loaded.accessPoint);
    store->GetByte(GUID_CONNECTION_MANAGER, KeyProxyType, &proxyType);
    store->GetString(GUID_CONNECTION_MANAGER, KeyProxyHostname, loaded.proxyHost);
    store->GetInt(GUID_CONNECTION_MANAGER, KeyProxyPort, &proxyPort);
    store->GetByte(GUID_CONNECTION_MANAGER, KeyProxyAuth, &proxyAuth);
    store->GetString(GUID_CONNECTION_MANAGER, KeyProxyLogin, loaded.proxyLogin);
    store->GetString(GUID_CONNECTION_MANAGER, KeyProxyPassword, loaded.proxyPassword);
    loaded.proxyType = static_cast<unsigned char>(proxyType);
    loaded.proxyPort = proxyPort;
    loaded.proxyAuth = proxyAuth != 0;
    lock.Enter();
    settings = loaded;
    lock.Leave();
}

void CConnectionManager::SaveConnectionSettings()
{
    CSettingsStore* store = static_cast<CSettingsStore*>(bus.GetService(GUID_SETTINGS_STORE));
    if (!store) return;
    ConnectionSettings saved = GetSettings();
    char proxyType = char(saved.proxyType);
    int proxyPort = saved.proxyPort;
    char proxyAuth = saved.proxyAuth ? 1 : 0;
    store->SetString(GUID_CONNECTION_MANAGER, KeyAccessPoint, saved.accessPoint);
    store->SetByte(GUID_CONNECTION_MANAGER, KeyProxyType, &proxyType);
    store->SetString(GUID_CONNECTION_MANAGER, KeyProxyHostname, saved.proxyHost);
    store->SetInt(GUID_CONNECTION_MANAGER, KeyProxyPort, &proxyPort);
    store->SetByte(GUID_CONNECTION_MANAGER, KeyProxyAuth, &proxyAuth);
    store->SetString(GUID_CONNECTION_MANAGER, KeyProxyLogin, saved.proxyLogin);
    store->SetString(GUID_CONNECTION_MANAGER, KeyProxyPassword, saved.proxyPassword);
}

CConnection* CConnectionManager::CreateConnection(int ownerQueue)
{
    CConnection* connection = new (std::nothrow) CConnection(link, ownerQueue);
    if (!connection) return nullptr;
    bool added = false;
    lock.Enter();
    try {
        added = connections.insert(connection).second;
    } catch (...) {
    }
    lock.Leave();
    if (!added) {
        delete connection;
        return nullptr;
    }
    return connection;
}

bool CConnectionManager::IsValidConnection(CConnection* connection)
{
    lock.Enter();
    bool live = connections.count(connection) != 0;
    lock.Leave();
    return live;
}

int CConnectionManager::DestroyConnection(CConnection* connection)
{
    lock.Enter();
    bool removed = connections.erase(connection) != 0;
    lock.Leave();
    if (!removed) return CM_NOT_LIVE;
    try {
        delete connection;  // closes it; its worker ends on its own
    } catch (...) {
        return -1;
    }
    return 0;
}

int CConnectionManager::Connect(CConnection* connection, const ConnectionSettings& newSettings)
{
    if (!IsValidConnection(connection)) return CM_NOT_LIVE;
    return connection->Start(newSettings) ? 0 : int(E_FAIL);
}

void CConnectionManager::CountTraffic(std::atomic<int>& counter, int bytes)
{
    counter.fetch_add(bytes);
    bus.FireEvent(trafficEvent, nullptr, nullptr, false);
}

int CConnectionManager::Send(CConnection* connection, const void* data, int length, int flags)
{
    if (!IsValidConnection(connection)) return CM_NOT_LIVE;
    if (length < 0 || (!data && length > 0)) {
        connection->PostValue(CM_DATA_SENT, WSAEINVAL);
        return -1;
    }
    // Counted before the socket sees the data, whatever comes of the send.
    CountTraffic(bytesSent, length);
    int error = connection->SendAll(static_cast<const char*>(data), length, flags);
    connection->PostValue(CM_DATA_SENT, error);
    return error ? -1 : length;
}

int CConnectionManager::Receive(CConnection* connection, void* buffer, int size, int reserved)
{
    if (!IsValidConnection(connection)) return CM_NOT_LIVE;
    int taken = connection->TakeReceivedData(buffer, size);
    if (taken > 0) CountTraffic(bytesReceived, taken);
    return taken;
}

void CConnectionManager::Close(CConnection* connection)
{
    if (IsValidConnection(connection)) connection->Close();
}

int CConnectionManager::CheckConnection(CConnection* connection, int unused)
{
    return IsValidConnection(connection) ? 0 : CM_NOT_LIVE;
}

uint64_t CConnectionManager::NextConnectSerial(CConnection* connection)
{
    return IsValidConnection(connection) ? connection->NextSerial() : 0;
}

int CConnectionManager::ReservedSlot9(CConnection* connection, int unused)
{
    IsValidConnection(connection);
    return 0;
}

ConnectionSettings CConnectionManager::GetSettings()
{
    lock.Enter();
    ConnectionSettings copy = settings;
    lock.Leave();
    return copy;
}

void CConnectionManager::SetSettings(const ConnectionSettings& newSettings)
{
    lock.Enter();
    settings = newSettings;
    lock.Leave();
}

int CConnectionManager::GetBytesSent()
{
    return bytesSent.load();
}

int CConnectionManager::GetBytesReceived()
{
    return bytesReceived.load();
}
