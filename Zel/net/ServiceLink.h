// CServiceLink: the way from the connection service's connections and workers to the bus. A worker
// can outlive its connection and the service itself (stuck in a name look-up while both go), so it
// holds this link, never the service: the service cuts it as it ends, and from then on whatever a
// worker posts is dropped, and the bus, which goes soon after the service, is never touched again.
#pragma once

#include "ZELCommon/ZELCriticalSection.h"

#include <cstdint>

namespace Services {
class CServicesManager;
}
class CConnection;
class CRefObject;

class CServiceLink {
public:
    explicit CServiceLink(Services::CServicesManager& bus) : bus(&bus) {}

    CServiceLink(const CServiceLink&) = delete;
    CServiceLink& operator=(const CServiceLink&) = delete;

    // Posts a CM_ message about the Connect of about that carries serial to ownerQueue, without
    // waiting; p2 is freed with it when the link is cut.
    void Post(int ownerQueue, CConnection* about, uint64_t serial, int code, CRefObject* p2);

    // The most messages one burst carries; PostValues splits longer runs.
    enum { MaxBurst = 64 };

    // Posts count CM_ messages of one code, one per value, in bursts: the owner's queue is woken
    // once for each.
    void PostValues(int ownerQueue, CConnection* about, uint64_t serial, int code, const intptr_t* values, int count);

    // Ends every later post; a post under way finishes first.
    void Cut();

private:
    CZELCriticalSection lock;  // held while posting
    Services::CServicesManager* bus;
};
