// One pass of the monitor: the recovery rule applied to the watch list.
#pragma once

#include <cstdint>

#include "frame/locks.h"
#include "frame/records.h"
#include "platform/clock.h"
#include "recovery/current_hubs.h"

namespace vostrel {

// The times a monitor thread copied from the settings when it started.
struct MonitorTimes {
    std::uint8_t interval;  // ticks between two checks of one entry
    std::uint8_t offTime;   // a failed port stays off offTime + 1 ticks
};

// Rebuilds the monitor snapshot (into `snapshotArea`, a working area the
// caller owns) and visits every watched entry once: counts its ticks, runs
// its check when due, logs and switches off a failed port and switches it
// on again when its countdown ends. A raised `stop` ends the pass between
// two entries. The caller holds the pass lock and not the general lock.
void runMonitorPass(const MonitorTimes& times, DeviceInfoBlock& snapshotArea, const platform::Signal& stop)
    REQUIRES(passLock) EXCLUDES(generalLock);

// Ends a recovery under way for the entry at `slot` (below count): clears
// its countdown and switches its port on again, on the entry's hub wherever
// it is now (nowhere when that hub is gone), unless another entry's
// recovery still holds the same port off. For an entry about to leave the
// list, or when auto recovery is switched off: the monitor would then never
// switch the port on. The caller holds the general lock.
void endRecoveryLocked(int slot, CurrentHubs& hubs) REQUIRES(generalLock);

}  // namespace vostrel
