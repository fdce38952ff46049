#pragma once

// A lock that a traced web service request may carry, so that requests on
// several threads append whole trace records to a shared file. Locks form
// chains: a root lock owns a critical section, and every lock below it
// (given its parent) stands for that same section.

#include <windows.h>

class Lock
{
public:
    // Without a parent the lock is a root and initialises its own section.
    explicit Lock(Lock* parentLock = nullptr);
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    virtual ~Lock();

    // The lock at the top of the parent chain.
    [[nodiscard]] Lock* Root();

    CRITICAL_SECTION section;
    Lock* parent = nullptr;
    bool initialised = false;
};

// Holds the section of a lock's root from construction to destruction; a
// null lock, or a root without an initialised section, holds nothing.
class LockHold
{
public:
    explicit LockHold(Lock* lock);
    LockHold(const LockHold&) = delete;
    LockHold& operator=(const LockHold&) = delete;
    virtual ~LockHold();

private:
    CRITICAL_SECTION* held = nullptr;
};
