#include "location_recovery.h"

#include <utility>

#include "location_watch_list.h"
#include "recovery/event_log.h"
#include "usbbus/utf.h"

namespace vostrel::cli {

LocationRecovery::LocationRecovery(const std::vector<LocationEntry>& entries, anyhub::HubPorts& hubs,
                                   std::uint8_t interval, std::uint8_t offTime, std::string logFile,
                                   std::function<void(const std::string&)> report)
    : hubs_(hubs), interval_(interval), offTime_(offTime), logFile_(std::move(logFile)), report_(std::move(report)) {
    for (const LocationEntry& entry : entries) {
        watched_.push_back({entry, usbbus::utf8ToUtf16Replacing(entry.manufacturer),
                            usbbus::utf8ToUtf16Replacing(entry.product), {}});
    }
}

void LocationRecovery::tick() {
    bool read = false;
    for (Watched& watched : watched_) {
        switch (countTick(watched.counters, interval_)) {
        case TickStep::None:
            break;
        case TickStep::SwitchOn:
            switchPort(watched.entry.port, true);
            break;
        case TickStep::Check:
            if (!read) {
                hubs_.refresh();
                read = true;
            }
            check(watched);
            break;
        }
    }
}

void LocationRecovery::check(Watched& watched) {
    const LocationEntry& entry = watched.entry;
    const anyhub::PortLook look = hubs_.look(entry.port);
    PortSeen seen;
    if (look.reading == anyhub::PortReading::Device) {
        seen = {true, look.device.configured, look.device.vendorId, look.device.productId};
    }
    const Faults faults = faultsSeen(seen, entry.vendorId, entry.productId);
    for (int i = 0; i < faults.count; ++i) {
        writeEventLine({entry.port.location, entry.port.port, entry.vendorId, entry.productId, watched.manufacturer,
                        watched.product},
                       faults.codes[i], logFile_.c_str());
        // With the hub gone there is nothing to switch; the countdown runs
        // all the same, as for the family's hubs.
        if (look.reading != anyhub::PortReading::HubMissing) switchPort(entry.port, false);
        watched.counters.countdown = recoveryTicks(offTime_);
    }
}

// The rule goes on whatever the switch did, as for the family's hubs: the
// countdown runs, and the next check sees what became of the device.
void LocationRecovery::switchPort(const anyhub::PortAddress& port, bool on) {
    const anyhub::SwitchResult result = hubs_.setPower(port, on);
    if (result.outcome == anyhub::SwitchOutcome::Done || result.outcome == anyhub::SwitchOutcome::HubMissing) return;
    report_(locationPortText(port) + ": could not switch " + (on ? "on" : "off") + ": " + result.why);
}

void LocationRecovery::stop() {
    for (Watched& watched : watched_) {
        if (watched.counters.countdown == 0) continue;
        watched.counters.countdown = 0;
        switchPort(watched.entry.port, true);
    }
}

}  // namespace vostrel::cli
