#include "ZELCommon/ZELThread.h"

CZELThread::CZELThread(const CZELString& name, Procedure procedure, void* argument)
    : handle(nullptr), procedure(procedure), argument(argument), id(0)
{
    // Suspended, so id is stored before Start can run and read the object.
    handle = CreateThread(nullptr, 0, Start, this, CREATE_SUSPENDED, &id);
}

CZELThread::~CZELThread()
{
    if (handle) CloseHandle(handle);
}

void CZELThread::Resume()
{
    if (handle) ResumeThread(handle);
}

void CZELThread::Suspend()
{
    if (handle) SuspendThread(handle);
}

void CZELThread::Terminate(int exitCode)
{
    if (handle) TerminateThread(handle, DWORD(exitCode));
}

bool CZELThread::WaitTermination(unsigned milliseconds)
{
    return handle && WaitForSingleObject(handle, milliseconds) == WAIT_OBJECT_0;
}

bool CZELThread::IsCurrent() const
{
    return handle && GetCurrentThreadId() == id;
}

void CZELThread::Sleep(unsigned milliseconds)
{
    ::Sleep(milliseconds);
}

DWORD WINAPI CZELThread::Start(void* self)
{
    CZELThread* thread = static_cast<CZELThread*>(self);
    return thread->procedure ? thread->procedure(thread->argument) : 0;
}
