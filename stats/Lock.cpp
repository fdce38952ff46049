#include "Lock.h"

Lock::Lock(Lock* parentLock)
    : parent(parentLock)
{
    if (parent == nullptr) {
        InitializeCriticalSection(&section);
        initialised = true;
    }
}

// Only deleted, never left: leaving a section this thread does not own
// would corrupt its count.
Lock::~Lock()
{
    if (initialised)
        DeleteCriticalSection(&section);
    initialised = false;
}

Lock* Lock::Root()
{
    Lock* root = this;
    while (root->parent != nullptr)
        root = root->parent;
    return root;
}

LockHold::LockHold(Lock* lock)
{
    if (lock == nullptr)
        return;
    Lock* root = lock->Root();
    if (!root->initialised)
        return;
    held = &root->section;
    EnterCriticalSection(held);
}

LockHold::~LockHold()
{
    if (held != nullptr)
        LeaveCriticalSection(held);
}
