// Helpers shared by the source files of CProtocolsManager; not for other modules.
#pragma once

class CProtocolsManager;

namespace ProtocolsManagerInternal {

// A code of the manager's own class that nobody handles: a synchronous send of it returns once
// everything queued before it has run.
const int kFlushCode = 0;

// The manager whose SetStatus the global status menu's items call; the program has one.
void RegisterStatusMenuTarget(CProtocolsManager* manager);
void UnregisterStatusMenuTarget(CProtocolsManager* manager);

}  // namespace ProtocolsManagerInternal
