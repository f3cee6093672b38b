#include "Zel/shell/updater/UpdateTransaction.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/Payloads.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/net/ConnectionManagerApi.h"
#include "ZELCommon/ZELSystemInfo.h"

#include <cstdio>

namespace {

CSettingsStore* SettingsOf(Services::CServicesManager* bus)
{
    return bus ? static_cast<CSettingsStore*>(bus->GetService(GUID_SETTINGS_STORE)) : nullptr;
}

}  // namespace

CUpdateTransaction::CUpdateTransaction(const UpdaterContext& context)
    : context(context), records(SettingsOf(context.bus), context.cabPath)
{
}

CUpdateTransaction::~CUpdateTransaction()
{
    Close();
}

bool CUpdateTransaction::Start(const UpdateEndpoint& target)
{
    if (!context.bus || queue) return false;
    endpoint = target;
    connections = static_cast<IConnectionManager*>(context.bus->GetService(GUID_CONNECTION_MANAGER));
    if (!connections) return false;
    queue = context.bus->CreateQueue(this, CZELString());
    if (!queue) return false;
    connection = connections->CreateConnection(queue);
    if (!connection) return false;
    ConnectionSettings settings = connections->GetSettings();
    settings.host = endpoint.host;
    settings.port = endpoint.port;
    settings.secureMode = SECURE_NONE;
    unannounced = 0;
    serial = connections->NextConnectSerial(connection);
    if (connections->Connect(connection, settings) != 0) {
        serial = 0;
        return false;
    }
    return true;
}

void CUpdateTransaction::Close()
{
    if (queue && context.bus) context.bus->DestroyQueue(queue);
    queue = 0;
    if (connection && connections) {
        connections->Close(connection);
        connections->DestroyConnection(connection);
    }
    connection = nullptr;
    serial = 0;
}

int CUpdateTransaction::HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2)
{
    if (msgClass != GUID_CONNECTION_MANAGER || !IsCurrentConnectMessage(p1, connection, serial)) return 0;
    switch (code) {
    case CM_CONNECT_RESULT: OnConnectResult(int(ValueOf(p2, -1))); break;
    case CM_DISCONNECTED: OnDisconnected(); break;
    case CM_DATA_RECEIVED: {
        // The first notice takes everything queued, so most notices are of chunks already taken:
        // those are counted off without asking the service.
        long long announced = (long long)ValueOf(p2, 0);
        if (announced > 0 && unannounced >= announced) {
            unannounced -= announced;
            break;
        }
        unannounced -= announced > 0 ? announced : 0;
        OnDataReady();
        break;
    }
    default: break;
    }
    return 0;
}

void CUpdateTransaction::OnDataReady()
{
    char chunk[1024];
    int got;
    while ((got = ReceiveInto(chunk, sizeof(chunk))) > 0) OnData(chunk, got);
}

int CUpdateTransaction::ReceiveInto(char* buffer, int size)
{
    if (!connection || !connections || size <= 0) return 0;
    int got = connections->Receive(connection, buffer, size, 0);
    if (got <= 0) return 0;
    unannounced += got;
    return got;
}

std::string CUpdateTransaction::UserAgentLine()
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(&version);
#pragma GCC diagnostic pop
    char line[160];
    snprintf(line, sizeof(line), "User-Agent: Mozilla/4.0 (compatible; zelpdappc%u; Windows CE %lu.%lu)",
             CZELSystemInfo::ZELVersion(), version.dwMajorVersion, version.dwMinorVersion);
    return line;
}

bool CUpdateTransaction::SendText(const std::string& text)
{
    return connections && connections->Send(connection, text.data(), int(text.size()), 0) == int(text.size());
}

void CUpdateTransaction::Report(int code, CRefObject* p1)
{
    if (context.bus && context.guiQueue)
        context.bus->SendMessage(context.guiQueue, GUID_GUI, code, p1, nullptr, false);
    else if (p1)
        p1->AddRef(0);  // nobody holds it: freed
}

void CUpdateTransaction::ReportSelf(int code)
{
    Report(code, NewValue(reinterpret_cast<intptr_t>(this)));
}
