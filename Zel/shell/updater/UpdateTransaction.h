// One HTTP exchange of the updater: a queue of its own that receives the connection service's
// messages for one connection to one endpoint. Created, closed and deleted on the user-interface
// thread; its handler runs on its queue's thread and reports to the queue "GUI".
#pragma once

#include "Zel/core/bus/RefObject.h"
#include "Zel/shell/updater/UpdateEndpoints.h"
#include "Zel/shell/updater/UpdateRecords.h"

#include <cstdint>
#include <string>

namespace Services {
class CServicesManager;
}
class CConnection;
class IConnectionManager;

// What every transaction of one updater shares.
struct UpdaterContext {
    Services::CServicesManager* bus = nullptr;
    int guiQueue = 0;
    CZELString cabPath;
};

class CUpdateTransaction : public QueueReceiver {
public:
    explicit CUpdateTransaction(const UpdaterContext& context);
    // Closes first when still open.
    ~CUpdateTransaction() override;

    CUpdateTransaction(const CUpdateTransaction&) = delete;
    CUpdateTransaction& operator=(const CUpdateTransaction&) = delete;

    // Makes the queue and the connection and starts connecting to endpoint through the connection
    // service's own settings (access point and proxy); false when any step failed (no message will
    // come).
    bool Start(const UpdateEndpoint& endpoint);
    // Stops the queue first, so that no handler runs any more, then closes and frees the
    // connection. The object may then be deleted.
    void Close();

    // Only messages of the connection service about this transaction's current Connect count.
    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) final;

    // The request's "User-Agent" line, without its line end.
    static std::string UserAgentLine();

protected:
    virtual void OnConnectResult(int result) = 0;
    // Data is queued on the connection: by default every queued chunk is taken to OnData.
    virtual void OnDataReady();
    virtual void OnData(const char* bytes, int count) = 0;
    virtual void OnDisconnected() = 0;

    // Up to size bytes of the first chunk the connection has queued: the count, 0 when none waits.
    int ReceiveInto(char* buffer, int size);
    bool SendText(const std::string& text);
    // Asynchronously, so the queue thread never waits on the user-interface thread.
    void Report(int code, CRefObject* p1);
    void ReportSelf(int code);

    UpdaterContext context;
    UpdateEndpoint endpoint;
    CUpdateRecords records;

private:
    IConnectionManager* connections = nullptr;
    CConnection* connection = nullptr;
    uint64_t serial = 0;
    int queue = 0;
    // Bytes taken from the connection that no data notice handled yet has announced.
    long long unannounced = 0;
};
