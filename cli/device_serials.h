// The serial numbers of the devices on the family's ports.
#pragma once

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

// Every device that names a serial number on a port of a hub of the
// family, hubs numbered as the hub library numbers them, in hub and port
// order.
std::vector<SerialSighting> scanDeviceSerials();

}  // namespace vostrel::cli
