// Which port a command acts on: named by its place (HUB PORT, or PORT with
// --hub naming the hub by its serial number or location), by the serial
// number of the device on it (--serial) or by the device's IDs (--device),
// with --index to pick one of several devices that fit the name.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "argument_values.h"
#include "bus.h"
#include "command_error.h"

namespace vostrel::cli {

struct PortName {
    std::optional<Place> place;    // its hub named by `hub` when that is set
    std::optional<std::string> hub;
    std::optional<std::string> serial;
    std::optional<DeviceId> device;
    std::optional<unsigned> index;
};

// From a command's words (none, HUB and PORT, or PORT with --hub) and
// options. Usage errors (2) for a malformed value or a name given twice or
// not at all.
PortName portNameFrom(const std::vector<std::string>& words, const std::optional<std::string>& hub,
                      const std::optional<std::string>& serial, const std::optional<std::string>& device,
                      const std::optional<std::string>& index);

// The index of the hub that `name` (a serial number or a location) names on
// `bus`. Fails (1) when none or several fit, or the hubs are not known.
int chooseHub(const Bus& bus, const std::string& name);

std::string placeText(Place place);  // "hub 0 port 2"
std::string deviceIdText(DeviceId id);  // "7E57:0C31"

// The port `name` names on `bus`. Fails (1) when the hub is not on the bus,
// --hub names no hub or several,
// no device fits, several fit and no --index picks one, or the port found
// by serial no longer shows that device in the hub library's scan.
Place choosePort(const Bus& bus, const PortName& name);

// Whether `name` names a device (--serial or --device) that no port of the
// family's hubs on `bus` shows.
bool fitsNoFamilyPort(const Bus& bus, const PortName& name);

// The one of `candidates` (those of what `what` names, e.g. "device
// 7E57:0C31", found `where`, e.g. "on the watch list") that `index` picks,
// or the only one; fails (1), listing them, when that is not clear.
template <typename Candidate>
const Candidate& pickCandidate(const std::vector<Candidate>& candidates, std::optional<unsigned> index,
                               const std::string& what, const std::string& where,
                               const std::function<std::string(const Candidate&)>& describe) {
    if (candidates.empty()) throw failure("no " + what + " " + where);
    const std::string count = std::to_string(candidates.size());
    if (index) {
        if (*index < candidates.size()) return candidates[*index];
        throw failure("--index " + std::to_string(*index) + ": " + what + " is on " + count +
                      (candidates.size() == 1 ? " port " : " ports ") + where + " (--index 0 to " +
                      std::to_string(candidates.size() - 1) + ")");
    }
    if (candidates.size() == 1) return candidates.front();
    std::string list;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        list += "\n  --index " + std::to_string(i) + ": " + describe(candidates[i]);
    }
    throw failure(what + " is on " + count + " ports " + where + "; choose one with --index:" + list);
}

}  // namespace vostrel::cli
