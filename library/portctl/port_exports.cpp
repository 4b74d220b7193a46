// Hub port control exports: the vendor library binding, the open hub and the
// hub operations. Each holds the general lock for its whole body, so the
// vendor calls of one operation never interleave with another's or with the
// monitor's, and each operation opens its hub anew.

#include "frame/locks.h"
#include <vostrel/hub_api.h>

#include "frame/records.h"
#include "portctl/hub_binding.h"
#include "portctl/port_pins.h"
#include "portctl/port_switch.h"

using namespace vostrel;

extern "C" {

HUB_API std::int32_t HUB_CALL Hub_InitPt2lib(void) {
    LockGuard lock(generalLock);
    return bindVendorLibraryLocked() ? 1 : 0;
}

HUB_API std::int32_t HUB_CALL Hub_OpenHubDevice(std::int32_t hubIndex) {
    LockGuard lock(generalLock);
    return openHubLocked(hubIndex) ? 1 : 0;
}

HUB_API std::int32_t HUB_CALL Hub_CloseHubDevice(void) {
    LockGuard lock(generalLock);
    return closeHubLocked() ? 1 : 0;
}

// Reports whether any port is powered. A pin that cannot be read counts as
// off; the reads themselves never make the call fail.
HUB_API std::int32_t HUB_CALL Hub_GetHubPortStatus(std::int32_t hubIndex, std::uint8_t* status) {
    LockGuard lock(generalLock);
    const std::optional<OpenHub> hub = openHubLocked(hubIndex);
    if (!hub) return 0;
    std::uint8_t anyOn = 0;
    for (const std::uint32_t pin : kPortPins) {
        std::uint32_t state = kPinOff;
        if (hub->vendor.gpioGet(hub->handle, pin, &state) != 0 && state == kPinOn) anyOn = 1;
    }
    *status = anyOn;
    return 1;
}

// Powers all four ports, pin by pin; the first failure ends it, leaving the
// ports before it powered and those after it untouched.
HUB_API std::int32_t HUB_CALL Hub_InitHubDevice(std::int32_t hubIndex) {
    LockGuard lock(generalLock);
    const std::optional<OpenHub> hub = openHubLocked(hubIndex);
    if (!hub) return 0;
    for (const std::uint32_t pin : kPortPins) {
        if (hub->vendor.configureGpio(hub->handle, pin) == 0 ||
            hub->vendor.gpioSet(hub->handle, pin, kPinOn) == 0) {
            return 0;
        }
    }
    return 1;
}

HUB_API std::int32_t HUB_CALL Hub_SetHubPortStatus(std::int32_t hubIndex, std::int32_t portIndex,
                                                   std::int32_t on) {
    LockGuard lock(generalLock);
    return switchPortLocked(hubIndex, portIndex, on != 0) ? 1 : 0;
}

// Both values pass through uninterpreted; the one serial number serves for
// both serial arguments of the vendor call.
HUB_API std::int32_t HUB_CALL Hub_Program_CFG_w_Serial(std::int32_t hubIndex, std::uint32_t configuration,
                                                       std::uint32_t serial) {
    LockGuard lock(generalLock);
    const std::optional<OpenHub> hub = openHubLocked(hubIndex);
    if (!hub) return 0;
    return hub->vendor.programFileWithUsb3Serial(hub->handle, configuration, serial, serial) != 0 ? 1 : 0;
}

HUB_API std::int32_t HUB_CALL Hub_Reset_Device(std::int32_t hubIndex) {
    LockGuard lock(generalLock);
    const std::optional<OpenHub> hub = openHubLocked(hubIndex);
    if (!hub) return 0;
    return hub->vendor.deviceReset(hub->handle) != 0 ? 1 : 0;
}

}  // extern "C"
