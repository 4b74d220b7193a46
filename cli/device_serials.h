// The serial numbers of the devices on the family's ports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "argument_values.h"

namespace vostrel::cli {

// A device with a serial number, where a scan just saw it.
struct SerialSighting {
    Place place;
    DeviceId id;
    std::string serial;
};

// A hub of the family as a scan just saw it: its serial number, which stays
// with the hub, and where it hangs (e.g. "1-3.2").
struct HubSighting {
    std::string serial;
    std::string location;
    std::uint32_t serialHash = 0;  // as a watch entry keeps it
};

struct Sightings {
    std::vector<HubSighting> hubs;         // by hub index
    std::vector<SerialSighting> devices;   // in hub and port order
};

// Every hub of the family and every device that names a serial number on
// one of their ports, hubs numbered as the hub library numbers them.
Sightings scanSerials();

}  // namespace vostrel::cli
