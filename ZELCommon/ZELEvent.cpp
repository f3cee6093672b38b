#include "ZELCommon/ZELEvent.h"

#include "Handheld/Kernel.h"

CZELEvent::CZELEvent() : handle(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

CZELEvent::~CZELEvent()
{
    if (handle) CloseHandle(handle);
}

void CZELEvent::Set()
{
    if (handle) EventModify(handle, EVENT_SET);
}

bool CZELEvent::Wait()
{
    return Wait(INFINITE);
}

bool CZELEvent::Wait(unsigned milliseconds)
{
    return handle && WaitForSingleObject(handle, milliseconds) == WAIT_OBJECT_0;
}
