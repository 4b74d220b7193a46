// Mistakes with the library's locks that clang's thread-safety analysis must
// report. Compiled only (never linked), one mistake at a time, by the tests
// of tests/frame/CMakeLists.txt, each expecting its own warning.
#include <mutex>

#include "frame/locks.h"
#include "portctl/port_switch.h"
#include "recovery/settings.h"
#include "scan/monitor_view.h"

namespace vostrel {

#if defined(MISUSE_UNLOCKED_STATE)
// An export that forgets the general lock.
int watchedCount() { return settings().count; }
#elif defined(MISUSE_UNLOCKED_CALL)
// A caller of a function that expects the general lock, without it.
bool switchOff() { return switchPortLocked(0, 1, false); }
#elif defined(MISUSE_STANDARD_GUARD)
// A standard guard: it locks, but the analysis cannot see it.
int watchedCount() {
    std::lock_guard lock(generalLock);
    return settings().count;
}
#elif defined(MISUSE_LOCK_ORDER)
// The pass lock taken under the general lock: deadlocks with the monitor.
void passUnderGeneral() {
    LockGuard general(generalLock);
    LockGuard pass(passLock);
}
#elif defined(MISUSE_GENERAL_TWICE)
// A function that takes the general lock, called with it held: waits for
// itself.
void snapshotUnderGeneral(DeviceInfoBlock* out) {
    LockGuard lock(generalLock);
    BuildMonitorSnapshot(out);
}
#endif

}  // namespace vostrel
