#include "recovery/monitor_pass.h"


#include "frame/locks.h"
#include "portctl/port_switch.h"
#include "recovery/event_log.h"
#include "recovery/recovery_rule.h"
#include "recovery/settings.h"
#include "scan/device_views.h"
#include "scan/monitor_view.h"

namespace vostrel {
namespace {

// The port a due check looks at: the entry's hub where the snapshot has it
// now (-1: that hub is gone), and the entry as it stood, to find it again.
struct DueCheck {
    std::int32_t hubNow;
    std::int32_t hubIndex;
    std::int32_t portIndex;
    std::uint32_t hubSerial;
};

// Where the entry's hub is in the snapshot: an entry that knows its hub
// follows it to whatever index it has now, and keeps that index (saved with
// the next save); -1 when no hub on the bus is that hub. An entry that does
// not know its hub goes by its index. General lock held.
std::int32_t hubNowOf(AutoCheckEntry& entry) REQUIRES(generalLock) {
    if (entry.hubSerial == 0) return entry.hubIndex;
    const int found = findHubBySerialHash(monitorSnapshotHubs(), entry.hubSerial);
    if (found >= 0) entry.hubIndex = found;
    return found;
}

// Logs the event, then cuts the port's power, on the entry's own hub only,
// and starts its countdown. With that hub gone there is nothing to switch;
// the countdown runs all the same. The switch's result is ignored: the
// countdown runs either way. General lock held.
void actOnFault(AutoCheckEntry& entry, std::int32_t hubNow, EventCode code, const MonitorTimes& times)
    REQUIRES(generalLock) {
    writeEventLine(entry, code);
    if (hubNow >= 0) switchPortLocked(hubNow, entry.portIndex, false);
    entry.setRecoveryCountdown(recoveryTicks(times.offTime));
}

// Counts one tick for the entry at `slot`. Returns the port to check when a
// check is due. General lock held.
bool countTick(int slot, const MonitorTimes& times, DueCheck& due) REQUIRES(generalLock) {
    AutoCheckEntry& entry = settings().entries[slot];
    RecoveryCounters counters{entry.recoveryCountdown(), entry.tickCounter};
    const TickStep step = countTick(counters, times.interval);
    if (step == TickStep::SwitchOn || counters.countdown != 0) {
        entry.setRecoveryCountdown(counters.countdown);
        if (step == TickStep::SwitchOn) {
            if (const std::int32_t hub = hubNowOf(entry); hub >= 0) switchPortLocked(hub, entry.portIndex, true);
        }
        return false;
    }
    entry.tickCounter = counters.tickCounter;
    if (step != TickStep::Check) return false;
    const std::int32_t hubNow = hubNowOf(entry);
    due = {hubNow, entry.hubIndex, entry.portIndex, entry.hubSerial};
    return true;
}

void handleEntry(int slot, const MonitorTimes& times) {
    DueCheck due{};
    {
        LockGuard lock(generalLock);
        if (slot >= settings().count || !countTick(slot, times, due)) return;
    }

    DeviceInfoRecord found{};
    // A hub that is gone holds no device of the entry's: the device is
    // missing. Any other hub at the old index is left alone.
    if (due.hubNow >= 0 && !GetMonitorPortInfo(due.hubNow, &found, due.portIndex)) return;

    LockGuard lock(generalLock);
    // The list may have changed while the lock was free for the check: act
    // only on the entry that was checked.
    if (slot >= settings().count) return;
    AutoCheckEntry& entry = settings().entries[slot];
    if (entry.hubIndex != due.hubIndex || entry.portIndex != due.portIndex || entry.hubSerial != due.hubSerial) {
        return;
    }

    const PortSeen seen{found.connectionStatus == DeviceConnected, found.configurationValue != 0, found.vendorId,
                        found.productId};
    const Faults faults = faultsSeen(seen, entry.vendorId, entry.productId);
    for (int i = 0; i < faults.count; ++i) actOnFault(entry, due.hubNow, faults.codes[i], times);
    if (seen.device && seen.vendorId == entry.vendorId && seen.productId == entry.productId && entry.hubSerial == 0) {
        // An entry from a file written before entries knew their hub
        // learns it where it finds its own device.
        const HubIdentities& hubs = monitorSnapshotHubs();
        if (due.hubNow < hubs.count) entry.hubSerial = hubs.serialHash[due.hubNow];
    }
}

// Moves the pass cursor on; the slot to handle next, or -1 when the walk ends.
int nextSlot(bool first) {
    LockGuard lock(generalLock);
    AutoCheckSettings& block = settings();
    if (first) block.passCursor = 0;
    if (block.passCursor >= block.count) return -1;
    return block.passCursor++;
}

}  // namespace

void endRecoveryLocked(int slot, CurrentHubs& hubs) {
    AutoCheckSettings& block = settings();
    AutoCheckEntry& entry = block.entries[slot];
    if (entry.recoveryCountdown() == 0) return;
    entry.setRecoveryCountdown(0);  // so the loop below passes over this entry
    for (int other = 0; other < block.count; ++other) {
        const AutoCheckEntry& watcher = block.entries[other];
        const bool sameHub = watcher.hubSerial != 0 && entry.hubSerial != 0 ? watcher.hubSerial == entry.hubSerial
                                                                            : watcher.hubIndex == entry.hubIndex;
        if (sameHub && watcher.portIndex == entry.portIndex && watcher.recoveryCountdown() != 0) return;
    }
    const std::int32_t hub = entry.hubSerial == 0 ? entry.hubIndex : hubs.indexOf(entry.hubSerial);
    if (hub >= 0) switchPortLocked(hub, entry.portIndex, true);
}

void runMonitorPass(const MonitorTimes& times, DeviceInfoBlock& snapshotArea, const platform::Signal& stop) {
    BuildMonitorSnapshot(&snapshotArea);
    for (int slot = nextSlot(true); slot >= 0 && !stop.isRaised(); slot = nextSlot(false)) {
        handleEntry(slot, times);
    }
}

}  // namespace vostrel
