// The watch list, read through the hub library's exports.
#pragma once

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
};

// In list order.
std::vector<WatchEntry> readWatchList(const HubLibrary& hub);

}  // namespace vostrel::cli
