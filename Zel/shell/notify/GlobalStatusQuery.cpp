#include "Zel/shell/notify/GlobalStatusQuery.h"

#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/shell/CoreServices.h"

namespace {

GlobalStatusFunction Override = nullptr;

}  // namespace

bool QueryGlobalStatus(int* status)
{
    if (Override) return Override(status);
    return ProtocolsManagerService && ProtocolsManagerService->GetStatus(0, status) == 0;
}

void SetGlobalStatusQuery(GlobalStatusFunction function)
{
    Override = function;
}
