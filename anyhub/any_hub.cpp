#include "any_hub.h"

namespace vostrel::anyhub {

const char* powerSwitchingName(const std::optional<usbbus::PortPowerSwitching>& mode) {
    if (!mode) return "unknown";
    switch (*mode) {
        case usbbus::PortPowerSwitching::EachPort: return "per-port";
        case usbbus::PortPowerSwitching::Ganged: return "ganged";
        case usbbus::PortPowerSwitching::None: return "none";
    }
    return "unknown";
}

}  // namespace vostrel::anyhub
