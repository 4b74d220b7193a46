// The auto-recovery monitor: while enabled, one background thread that
// checks every watched device and power-cycles the port of one that fails.
//
// Threading note: start and stop run on one caller thread at a time (the
// control program's window thread, or the load and unload steps) and take no
// lock of their own; they touch the settings block only under the general
// lock. The monitor thread holds the pass lock for each whole pass and takes
// the general lock per step (pass lock first). Neither lock is ever held
// while the thread sleeps.
#pragma once

#include <chrono>

#include "frame/locks.h"
#include "recovery/recovery_rule.h"

namespace vostrel {

namespace platform {
class Clock;
}

enum class StartDelay { No, Yes };
enum class ClearEnabled { No, Yes };

inline constexpr std::chrono::milliseconds kStartDelay{5000};

// Starts the monitor thread, sets the enabled flag and saves the settings.
// False, with nothing changed, when a monitor thread exists already or none
// can be created.
bool startMonitor(StartDelay delay) EXCLUDES(generalLock);

// Asks the monitor thread to end and waits until it has, then clears the
// enabled flag when asked and saves the settings. False, with nothing
// changed, when no monitor thread exists.
//
// A stop that clears the flag switches auto recovery off: every port the
// monitor holds off for a recovery is switched on again and its recovery
// ends, since no monitor would switch it on. A stop that keeps the flag (the
// unload) leaves recoveries as they are, to go on at the next start.
//
// The thread is never cut off: it could hold a lock. It ends by itself
// within one step instead, since each of its waits ends at once on a stop
// and a stop also ends its pass between two entries. Only a call into the
// USB stack or the vendor library can hold it longer, and such a call runs
// under the general lock, which the stop needs for its save in any case.
bool stopMonitor(ClearEnabled clear) EXCLUDES(generalLock, passLock);

// Registers, once per process, what a child made by fork needs: locks that
// no other thread holds, and no monitor thread recorded (the child has
// none), so that a start there starts one. The stored enabled flag stays as
// it was; no monitor starts in the child by itself.
void registerMonitorForkHandlers();

// The clock the monitor waits with; the real one unless a test set another.
// Set it only while no monitor thread exists.
void useMonitorClock(platform::Clock& clock);

}  // namespace vostrel
