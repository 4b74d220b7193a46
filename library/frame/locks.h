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

}  // namespace vostrel
