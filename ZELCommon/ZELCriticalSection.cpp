#include "ZELCommon/ZELCriticalSection.h"

CZELCriticalSection::CZELCriticalSection()
{
    InitializeCriticalSection(&section);
}

CZELCriticalSection::~CZELCriticalSection()
{
    DeleteCriticalSection(&section);
}

void CZELCriticalSection::Enter()
{
    EnterCriticalSection(&section);
}

void CZELCriticalSection::Leave()
{
    LeaveCriticalSection(&section);
}

bool CZELCriticalSection::TryEnter()
{
    return TryEnterCriticalSection(&section) != FALSE;
}

// The platform header may define these names as macros for its intrinsics; the members then carry
// the same spelling everywhere the header is seen, and "::" reaches the platform's own.
long CZELCriticalSection::InterlockedIncrement(long* value)
{
    return ::InterlockedIncrement(value);
}

long CZELCriticalSection::InterlockedDecrement(long* value)
{
    return ::InterlockedDecrement(value);
}

long CZELCriticalSection::InterlockedExchangeAdd(long* value, long addend)
{
    return ::InterlockedExchangeAdd(value, addend);
}
