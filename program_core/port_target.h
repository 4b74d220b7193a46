// What a port's menu was opened for, and whether a command chosen from it
// may still act. Hubs are numbered in the order a scan meets them: when a
// hub comes or goes while a menu is open, the same number names another hub,
// and the port may show another device (or none) by the time a command is
// chosen. Hubs are told apart by their serial numbers, which no record
// holds: each program reads them with a scan of its own.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "program_core/bus_view.h"

namespace vostrel::program {

// Gives each hub of `bus` its identity from `scanned`, a scan made just
// before `bus` was read, by hub index. When the two do not agree on the
// number of hubs (one came or went between them), no hub gets one.
void attachHubIdentities(BusView& bus, const std::vector<HubIdentity>& scanned);

struct PortTarget {
    int hubIndex = 0;
    int portIndex = 0;
    // None when the hub could not be told apart at the last read.
    std::optional<std::string> hubSerial;
    PortView shown;  // the port as the menu showed it
};

// The port as `bus` shows it now; a port it does not show is known by its
// place alone.
PortTarget portTarget(const BusView& bus, int hubIndex, int portIndex);

// Whether the hub at the target's number is still the hub the menu showed
// (by `hubsNow`, a scan made just now) and `bus`, read since, still shows
// the same device on the port. A hub that could not be told apart never
// passes: no command acts on a hub it cannot be sure of.
bool stillTheSamePort(const PortTarget& target, const std::vector<HubIdentity>& hubsNow, const BusView& bus);

}  // namespace vostrel::program
