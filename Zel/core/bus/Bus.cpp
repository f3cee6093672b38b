#include "Zel/core/bus/ServicesManager.h"

namespace {

// A global, so the runtime's start-up builds it before WinMain and its exit destroys it after
// WinMain returns, once every component that used it is gone.
Services::CServicesManager ServicesManager;

}  // namespace

Services::CServicesManager& TheBus()
{
    return ServicesManager;
}

void BroadcastStartup()
{
    ServicesManager.FireStartupEvent();
}
