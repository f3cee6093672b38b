// Helpers shared by the source files of CProtocolsManager; not for other modules.
#pragma once

#include "Zel/core/bus/Payloads.h"
#include "ZELCommon/ZELCriticalSection.h"

#include <cstdint>

class CProtocolsManager;

namespace ProtocolsManagerInternal {

// Leaves a held section for the length of a scope (a wait for an account), then takes it again.
class CLockReleaser {
public:
    explicit CLockReleaser(CZELCriticalSection& section) : section(section) { section.Leave(); }
    ~CLockReleaser() { section.Enter(); }
    CLockReleaser(const CLockReleaser&) = delete;
    CLockReleaser& operator=(const CLockReleaser&) = delete;

private:
    CZELCriticalSection& section;
};

// A code of the manager's own class that nobody handles: a synchronous send of it returns once
// everything queued before it has run.
const int kFlushCode = 0;

// The manager whose SetStatus the global status menu's items call; the program has one.
void RegisterStatusMenuTarget(CProtocolsManager* manager);
void UnregisterStatusMenuTarget(CProtocolsManager* manager);

}  // namespace ProtocolsManagerInternal
