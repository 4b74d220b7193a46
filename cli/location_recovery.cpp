#include "location_recovery.h"

#include <utility>

#include "recovery/event_log.h"
#include "usbbus/utf.h"

namespace vostrel::cli {

LocationRecovery::LocationRecovery(const std::vector<LocationEntry>& entries, anyhub::HubPorts& hubs,
                                   std::uint8_t interval, std::uint8_t offTime, std::string logFile)
    : hubs_(hubs), interval_(interval), offTime_(offTime), logFile_(std::move(logFile)) {
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
            hubs_.setPower(watched.entry.port, true);
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
        if (look.reading != anyhub::PortReading::HubMissing) hubs_.setPower(entry.port, false);
        watched.counters.countdown = recoveryTicks(offTime_);
    }
}

void LocationRecovery::stop() {
    for (Watched& watched : watched_) {
        if (watched.counters.countdown == 0) continue;
        watched.counters.countdown = 0;
        hubs_.setPower(watched.entry.port, true);
    }
}

}  // namespace vostrel::cli
