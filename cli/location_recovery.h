// The monitor's recovery of the devices watched by location: the family's
// recovery rule (recovery/recovery_rule.h) applied to the host's hub ports,
// one tick at a time on the caller's thread, with the family's interval and
// off time. Each event goes to the event log with the hub's location in
// place of a hub index.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hub_ports.h"
#include "location_watch_file.h"
#include "recovery/recovery_rule.h"

namespace vostrel::cli {

class LocationRecovery {
public:
    // `report` hears of each switch the hub ports could not carry out (a hub
    // that is gone aside), in words for people.
    LocationRecovery(const std::vector<LocationEntry>& entries, anyhub::HubPorts& hubs, std::uint8_t interval,
                     std::uint8_t offTime, std::string logFile, std::function<void(const std::string&)> report);
    LocationRecovery(const LocationRecovery&) = delete;
    LocationRecovery& operator=(const LocationRecovery&) = delete;

    // Counts one tick for every entry: switches on a port whose off time is
    // over, and checks each entry whose interval is over on one reading of
    // the bus. A fault is logged and its port switched off.
    void tick();

    // Switches on again every port held off for a recovery and ends those
    // recoveries: no monitor would switch them on after this one ends.
    void stop();

private:
    struct Watched {
        LocationEntry entry;
        std::u16string manufacturer, product;  // as the event log writes them
        RecoveryCounters counters;
    };

    void check(Watched& watched);
    void switchPort(const anyhub::PortAddress& port, bool on);

    std::vector<Watched> watched_;
    anyhub::HubPorts& hubs_;
    std::uint8_t interval_;
    std::uint8_t offTime_;
    std::string logFile_;
    std::function<void(const std::string&)> report_;
};

}  // namespace vostrel::cli
