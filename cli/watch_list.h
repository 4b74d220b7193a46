// The watch list, read through the hub library's exports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "argument_values.h"
#include "hub_library.h"

namespace vostrel::cli {

struct WatchEntry {
    Place place;
    DeviceId id;  // the device expected on the port
    std::string manufacturer;
    std::string product;
    std::uint32_t hubSerial = 0;  // the digest of the serial of the hub it follows; 0: not known
};

// In list order. The hubs the entries follow come from the settings file
// the library loaded, in the current folder: no export hands them out.
std::vector<WatchEntry> readWatchList(const HubLibrary& hub);

}  // namespace vostrel::cli
