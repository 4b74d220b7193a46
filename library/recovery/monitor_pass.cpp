#include "recovery/monitor_pass.h"

#include <mutex>

#include "frame/locks.h"
#include "portctl/port_switch.h"
#include "recovery/event_log.h"
#include "recovery/settings.h"
#include "scan/monitor_view.h"

namespace vostrel {
namespace {

struct PortOf {
    std::int32_t hubIndex;
    std::int32_t portIndex;
};

// Logs the event, then cuts the port's power and starts its countdown. The
// switch's result is ignored: the countdown runs either way. General lock held.
void actOnFault(AutoCheckEntry& entry, EventCode code, const MonitorTimes& times) {
    writeEventLine(entry, code);
    switchPortLocked(entry.hubIndex, entry.portIndex, false);
    entry.setRecoveryCountdown(times.offTime + 1u);
}

// Counts one tick for the entry at `slot`. Returns the port to check when a
// check is due. General lock held.
bool countTick(int slot, const MonitorTimes& times, PortOf& due) {
    AutoCheckEntry& entry = settings().entries[slot];
    if (const unsigned countdown = entry.recoveryCountdown(); countdown != 0) {
        entry.setRecoveryCountdown(countdown - 1);
        if (countdown == 1) switchPortLocked(entry.hubIndex, entry.portIndex, true);
        return false;
    }
    if (entry.tickCounter < 255) ++entry.tickCounter;
    if (entry.tickCounter < times.interval) return false;
    entry.tickCounter = 0;
    due = {entry.hubIndex, entry.portIndex};
    return true;
}

void handleEntry(int slot, const MonitorTimes& times) {
    PortOf due{};
    {
        std::lock_guard lock(generalLock());
        if (slot >= settings().count || !countTick(slot, times, due)) return;
    }

    DeviceInfoRecord found{};
    if (!GetMonitorPortInfo(due.hubIndex, &found, due.portIndex)) return;

    std::lock_guard lock(generalLock());
    // The list may have changed while the lock was free for the check: act
    // only on the entry that was checked.
    if (slot >= settings().count) return;
    AutoCheckEntry& entry = settings().entries[slot];
    if (entry.hubIndex != due.hubIndex || entry.portIndex != due.portIndex) return;

    if (found.connectionStatus == DeviceConnected) {
        if (found.configurationValue == 0) actOnFault(entry, NotConfigured, times);
        if (found.vendorId != entry.vendorId || found.productId != entry.productId) {
            actOnFault(entry, OtherDevice, times);
        }
    } else {
        actOnFault(entry, NoDevice, times);
    }
}

// Moves the pass cursor on; the slot to handle next, or -1 when the walk ends.
int nextSlot(bool first) {
    std::lock_guard lock(generalLock());
    AutoCheckSettings& block = settings();
    if (first) block.passCursor = 0;
    if (block.passCursor >= block.count) return -1;
    return block.passCursor++;
}

}  // namespace

void endRecoveryLocked(int slot) {
    AutoCheckSettings& block = settings();
    AutoCheckEntry& entry = block.entries[slot];
    if (entry.recoveryCountdown() == 0) return;
    entry.setRecoveryCountdown(0);  // so the loop below passes over this entry
    for (int other = 0; other < block.count; ++other) {
        const AutoCheckEntry& watcher = block.entries[other];
        if (watcher.hubIndex == entry.hubIndex && watcher.portIndex == entry.portIndex &&
            watcher.recoveryCountdown() != 0) {
            return;
        }
    }
    switchPortLocked(entry.hubIndex, entry.portIndex, true);
}

void runMonitorPass(const MonitorTimes& times, DeviceInfoBlock& snapshotArea, const platform::Signal& stop) {
    BuildMonitorSnapshot(&snapshotArea);
    for (int slot = nextSlot(true); slot >= 0 && !stop.isRaised(); slot = nextSlot(false)) {
        handleEntry(slot, times);
    }
}

}  // namespace vostrel
