// The family's hubs and their ports as the main window's tree shows them,
// read from the hub library: each port's record, state, power and whether
// it is on the watch list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "program_core/hub_library.h"
#include "program_core/port_state.h"

namespace vostrel::program {

struct PortView {
    int hubIndex = 0;
    int portIndex = 0;  // 0 to 3; shown as 1 to 4
    std::uint32_t connectionStatus = HUB_NO_DEVICE_CONNECTED;
    std::uint8_t configurationValue = 0;
    std::uint8_t speed = 0;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string manufacturer;
    std::string product;
    PortPower power = PortPower::Unknown;
    PortState state = PortState::Empty;
    bool watched = false;
};

// A hub's serial number and where it hangs on the bus (UTF-8), from a
// program's own scan: no record holds them.
struct HubIdentity {
    std::string serial;
    std::string location;
};

struct HubView {
    int hubIndex = 0;
    // None until a program's scan told the hubs apart (attachHubIdentities).
    std::optional<HubIdentity> identity;
    // What Hub_GetHubPortStatus said: whether any port is powered; nothing
    // when the hub could not be asked.
    std::optional<bool> powered;
    std::vector<PortView> ports;  // four, in port order
};

struct BusView {
    std::vector<HubView> hubs;  // in hub-index order

    const PortView* port(int hubIndex, int portIndex) const;
    int watchedPorts() const;
};

// One scan (Hub_GetDeviceInfo), then for each hub its power
// (Hub_GetHubPortStatus) and each port's watch-list entry. Nothing when the
// scan fails. More than the library's 32 hubs are never read.
std::optional<BusView> readBusView(const HubLibrary& library);

}  // namespace vostrel::program
