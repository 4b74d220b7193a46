// The library's two locks.
//
// Threading note:
// - general lock: guards every piece of library-wide state (settings block and
//   watch list, vendor binding and its open hub, the scan's controller list,
//   the device-info cache and the monitor snapshot). Exports that touch state
//   hold it for their whole body; the monitor takes it per step.
// - pass lock: held by the monitor thread for each whole pass; no export
//   takes it.
// - Order: pass lock before general lock. Nothing waits for the pass lock
//   while holding the general lock.
// - The monitor-control exports take neither lock and must not run
//   concurrently with each other; every other export may be called from any
//   thread.
#pragma once

#include <mutex>

namespace vostrel {

// Both exist from library load to unload; no export runs outside that span.
void createLocks();
void deleteLocks();

std::mutex& generalLock();
std::mutex& passLock();

// Around fork(): the forking thread takes both locks in their order, so that
// the child gets no lock another thread held half-way through a change (that
// thread does not exist there), and releases them again after the fork, in
// the parent and in the child. Outside the locks' life both do nothing. A
// fork made under either lock (from inside a vendor or USB stack call) would
// wait for itself; spawning a process (posix_spawn) runs no fork handlers.
void holdLocksForFork();
void releaseLocksAfterFork();

}  // namespace vostrel
