#include "program_core/port_state.h"

#include <vostrel/hub_api.h>

namespace vostrel::program {

PortPower portPower(std::uint32_t connectionStatus, std::optional<bool> hubPowered) {
    switch (connectionStatus) {
        case HUB_DEVICE_CONNECTED:
        case HUB_DEVICE_FAILED_ENUMERATION:
        case HUB_DEVICE_GENERAL_FAILURE:
        case HUB_DEVICE_NOT_ENOUGH_POWER:
            return PortPower::On;
        default:
            // After an overcurrent the hub may have cut the port itself.
            return hubPowered == false ? PortPower::Off : PortPower::Unknown;
    }
}

PortState portState(std::uint32_t connectionStatus, std::uint8_t configurationValue, PortPower power) {
    if (power == PortPower::Off) return PortState::SwitchedOff;
    if (connectionStatus == HUB_NO_DEVICE_CONNECTED) return PortState::Empty;
    if (connectionStatus == HUB_DEVICE_CONNECTED) {
        return configurationValue != 0 ? PortState::Working : PortState::NotConfigured;
    }
    return PortState::Failed;
}

}  // namespace vostrel::program
