#include "portctl/port_switch.h"

#include "portctl/hub_binding.h"
#include "portctl/port_pins.h"

namespace vostrel {

bool switchPortLocked(std::int32_t hubIndex, std::int32_t portIndex, bool on) {
    const std::optional<OpenHub> hub = openHubLocked(hubIndex);
    if (!hub) return false;
    const std::optional<std::uint32_t> pin = pinOfPort(portIndex);
    if (!pin) return true;
    // Configured on every switch, so a pin never initialised can be switched.
    return hub->vendor.configureGpio(hub->handle, *pin) != 0 &&
           hub->vendor.gpioSet(hub->handle, *pin, on ? kPinOn : kPinOff) != 0;
}

}  // namespace vostrel
