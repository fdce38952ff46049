#include "SetupMutex.h"

const wchar_t* const SetupMutexName = L"Local\\tarmesh-setup";

SetupMutex::~SetupMutex()
{
    if (owned)
        ReleaseMutex(mutex);
    if (mutex != nullptr)
        CloseHandle(mutex);
}

bool SetupMutex::Acquire()
{
    if (mutex == nullptr)
        mutex = CreateMutexW(nullptr, FALSE, SetupMutexName);
    if (mutex == nullptr)
        return false;
    // A setup that died holding it left it abandoned: it is free again.
    const DWORD waited = WaitForSingleObject(mutex, 0);
    owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    return owned;
}
