// What a command-line argument names on a bench. A device is named by its
// id, by HUB:PORT (the hub index the scan gives a family hub, and port 1 to
// 4), or by its location (controller and ports, e.g. 0-1.3). A family hub is
// named by its hub index, id, location or serial number.
#pragma once

#include <stdexcept>
#include <string_view>

#include "core/bus_view.h"

namespace vostrel::sim {

// A name that names nothing; the message says what there is instead.
class NameError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

const Device& deviceNamed(const BusView& view, std::string_view name);
const Device& familyHubNamed(const BusView& view, std::string_view name);

// "hub 0 port 2", or the location when the scan does not meet the device's hub.
std::string placeOf(const BusView& view, const Device& device);

}  // namespace vostrel::sim
