// The family's hubs and their ports as the hub library reports them now.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "argument_values.h"
#include "device_serials.h"
#include "hub_library.h"

namespace vostrel::cli {

struct BusPort {
    Place place;
    std::uint32_t status = 0;  // the port's connection status
    DeviceId id;               // as the hub reports it; zero on an empty port
    std::string manufacturer;
    std::string product;
    std::optional<std::string> serial;
    bool watched = false;
};

struct Bus {
    int hubCount = 0;
    std::vector<BusPort> ports;            // four per hub, in hub and port order
    std::vector<SerialSighting> serials;
    // Each hub's serial number and location, by hub index; empty when the
    // lookup saw other hubs than the hub library's scan.
    std::vector<HubSighting> hubs;

    const BusPort& at(Place place) const { return ports[static_cast<std::size_t>(place.hub * 4 + place.port - 1)]; }
    bool hasHub(int hub) const { return hub >= 0 && hub < hubCount; }
    const HubSighting* hub(int index) const {
        return index >= 0 && static_cast<std::size_t>(index) < hubs.size() ? &hubs[static_cast<std::size_t>(index)]
                                                                           : nullptr;
    }
};

// One scan through Hub_GetDeviceInfo, with each port's watched flag from the
// watch list, and a lookup of the hubs' and devices' serial numbers just
// before, each device's kept on its port only when the library's scan shows
// the same device there.
Bus readBus(const HubLibrary& hub);

// The index of the hub with this serial number on the bus now (a scan of its
// own), the one at `location` among several; -1 when none is there.
int findHubNow(const HubSighting& hub);

// "hub 0 (VH0002A at 1-3.2)"
std::string hubText(int index, const HubSighting& hub);

// Whether the hub reports a device on the port.
bool showsDevice(const BusPort& port);

// True when the port is known to be powered: the hub reports a device on
// it. Unknown otherwise: no export tells a port without power from an empty
// port, and after an overcurrent the hub may have cut the port itself.
bool knownPowered(const BusPort& port);

}  // namespace vostrel::cli
