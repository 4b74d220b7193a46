// The library's two locks.
//
// Threading note. Clang checks these rules at compile time (-Wthread-safety,
// see frame/thread_annotations.h): the state each lock guards is declared
// GUARDED_BY it, a function that expects it held REQUIRES it, one that takes
// it EXCLUDES it, and the order is declared on the locks below.
// - general lock: guards every piece of library-wide state (settings block and
//   watch list, vendor binding and its open hub, the scan's source of buses
//   with what its reader keeps, the device-info cache and the monitor
//   snapshot; the bus library, which has no locks of its own, is reached
//   only under it). Exports that touch state
//   hold it for their whole body; the monitor takes it per step.
// - pass lock: held by the monitor thread for each whole pass; no export
//   takes it.
// - Order: pass lock before general lock. Nothing waits for the pass lock
//   while holding the general lock.
// - The monitor-control exports take neither lock and must not run
//   concurrently with each other; every other export may be called from any
//   thread.
//
// Loading and unloading on Windows: the load and unload steps run inside
// DllMain, under the system's loader lock, so they must never wait for
// another thread (the monitor takes the loader lock itself whenever it binds
// the vendor library, and every thread takes it to start and end).
// - The monitor thread holds its own reference to the library from its start
//   to its end and leaves through FreeLibraryAndExitThread. While it runs, a
//   host's FreeLibrary only drops the host's reference: the library stays
//   loaded and keeps monitoring until Hub_StopAutoRecovery (which waits for
//   the thread's handle, outside the loader lock) or the end of the process.
//   The unload steps stop the monitor on Linux; on Windows, by the time they
//   run after a FreeLibrary, no monitor thread can exist.
// - When the process ends, the system ends every other thread before the
//   unload notification, the monitor perhaps in the middle of a step while
//   holding a lock. Those unload steps wait for nothing: they save the
//   settings only if the general lock can be taken at once, and release
//   nothing (libraryUnloadAtProcessExit).
// - No code of ours runs after the library is unmapped: the monitor's last
//   act is the system call that drops its reference.
#pragma once

#include <mutex>

#include "frame/thread_annotations.h"

namespace vostrel {

// One of the two locks. The object itself is constant-initialized and
// trivially destructible; its mutex exists only from createLocks to
// deleteLocks, which may run after the process has begun destroying its
// static objects.
class CAPABILITY("mutex") LibraryLock {
public:
    void lock() ACQUIRE() { mutex_->lock(); }
    void unlock() RELEASE() { mutex_->unlock(); }
    bool try_lock() TRY_ACQUIRE(true) { return mutex_->try_lock(); }

private:
    friend void createLocks();
    friend void deleteLocks();
    friend void holdLocksForFork();
    std::mutex* mutex_ = nullptr;
};

// Holds a lock for its scope, where std::lock_guard would: the analysis
// knows nothing of the standard library's guards.
class SCOPED_CAPABILITY LockGuard {
public:
    explicit LockGuard(LibraryLock& lock) ACQUIRE(lock) : lock_(lock) { lock_.lock(); }
    ~LockGuard() RELEASE() { lock_.unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    LibraryLock& lock_;
};

extern LibraryLock generalLock;
extern LibraryLock passLock ACQUIRED_BEFORE(generalLock);

// Both exist from library load to unload; no export runs outside that span.
void createLocks();
void deleteLocks();

// Around fork(): the forking thread takes both locks in their order, so that
// the child gets no lock another thread held half-way through a change (that
// thread does not exist there), and releases them again after the fork, in
// the parent and in the child. Outside the locks' life both do nothing. A
// fork made under either lock (from inside a vendor or USB stack call) would
// wait for itself; spawning a process (posix_spawn) runs no fork handlers.
void holdLocksForFork();
void releaseLocksAfterFork();

}  // namespace vostrel
