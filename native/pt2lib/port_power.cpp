#include "port_power.h"

#include <algorithm>
#include <string_view>

#include "error_codes.h"
#include "backends/sysfs_usb.h"
#include <vostrel/pt2lib_errors.h>
#include "usbbus/hub_requests.h"
#include "usbbus/kernel_attributes.h"

namespace vostrel::native {
namespace {

using platform::IfMissing;

std::string_view withoutNewline(std::string_view text) {
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    return text;
}

std::string disableAttribute(const HubSide& side, int port) {
    return side.ports[static_cast<std::size_t>(port - 1)] + "/disable";
}

}  // namespace

std::uint32_t checkPresent(const HubSide& side) {
    std::error_code error;
    const auto text = platform::readSysfsAttribute(side.device + "/devnum", error, IfMissing::Expected);
    if (!text) {
        const std::uint32_t why = pt2ErrorOf(error);
        return why == PT2_ERROR_PERMISSION_DENIED ? why : PT2_ERROR_HUB_GONE;
    }
    const auto address = usbbus::parseDecimal(*text, 0xFFFF);
    if (address != side.address) return PT2_ERROR_HUB_GONE;
    return platform::sysfsFolderIdentity(side.device) == side.identity ? PT2_OK : PT2_ERROR_HUB_GONE;
}

std::uint32_t PortPower::set(const HubSide& side, int port, bool on) {
    const std::string attribute = disableAttribute(side, port);
    std::error_code error;
    if (platform::readSysfsAttribute(attribute, error, IfMissing::Expected)) {
        return setThroughAttribute(side, attribute, on);
    }
    if (error != std::errc::no_such_file_or_directory) return pt2ErrorOf(error);
    // No attribute: a kernel before 6.0, or the hub went.
    if (const std::uint32_t gone = checkPresent(side)) return gone;
    return setThroughUsbfs(side, static_cast<unsigned>(port), on);
}

std::uint32_t PortPower::setThroughAttribute(const HubSide& side, const std::string& attribute, bool on) {
    if (const std::uint32_t refused = checkSwitchesEachPort(side)) return refused;
    const std::string_view value = on ? "0" : "1";
    if (const std::error_code error = platform::writeSysfsAttribute(attribute, std::string(value) + "\n")) {
        return pt2ErrorOf(error);
    }
    // The kernel shows the port's power as the hub reports it: a port that
    // kept its power, or did not get it, was not switched.
    std::error_code error;
    const auto now = platform::readSysfsAttribute(attribute, error);
    if (!now) return pt2ErrorOf(error);
    return withoutNewline(*now) == value ? PT2_OK : PT2_ERROR_NOT_WRITTEN;
}

std::uint32_t PortPower::checkSwitchesEachPort(const HubSide& side, platform::UsbfsDevice* device) {
    usbbus::PortPowerSwitching mode = usbbus::PortPowerSwitching::None;
    if (const std::uint32_t failed = powerSwitching(side, mode, device)) return failed;
    return mode == usbbus::PortPowerSwitching::EachPort ? PT2_OK : PT2_ERROR_NO_PORT_POWER_CONTROL;
}

std::uint32_t PortPower::powerSwitching(const HubSide& side, usbbus::PortPowerSwitching& mode,
                                        platform::UsbfsDevice* device) {
    if (const auto known = switching_.find(side.device);
        known != switching_.end() && known->second.identity == side.identity && known->second.address == side.address) {
        mode = known->second.mode;
        return PT2_OK;
    }
    std::unique_ptr<platform::UsbfsDevice> opened;
    if (device == nullptr) {
        if (const std::uint32_t failed = openNode(side, opened, device)) return failed;
    }
    const usbbus::SetupPacket request = usbbus::hubDescriptorRequest(side.superSpeed);
    std::uint8_t answer[64] = {};
    std::size_t received = 0;
    if (const std::error_code error = device->control(request, answer, received)) return pt2ErrorOf(error);
    const auto told = usbbus::hubPortPowerSwitching(std::span(answer, std::min(received, sizeof answer)),
                                                    side.superSpeed);
    // An answer that is no hub descriptor is not kept: the next switch asks again.
    if (!told) return PT2_ERROR_NO_PORT_POWER_CONTROL;
    switching_[side.device] = {side.identity, side.address, *told};
    mode = *told;
    return PT2_OK;
}

std::uint32_t PortPower::get(const HubSide& side, int port, bool& powered) {
    std::error_code error;
    const auto text = platform::readSysfsAttribute(disableAttribute(side, port), error, IfMissing::Expected);
    if (text) {
        const std::string_view value = withoutNewline(*text);
        if (value != "0" && value != "1") return PT2_ERROR_NOT_SUPPORTED;
        powered = value == "0";
        return PT2_OK;
    }
    if (error != std::errc::no_such_file_or_directory) return pt2ErrorOf(error);
    if (const std::uint32_t gone = checkPresent(side)) return gone;
    return getThroughUsbfs(side, static_cast<unsigned>(port), powered);
}

std::uint32_t PortPower::reset(const HubSide& side) {
    std::unique_ptr<platform::UsbfsDevice> opened;
    platform::UsbfsDevice* device = nullptr;
    if (const std::uint32_t failed = openNode(side, opened, device)) return failed;
    return pt2ErrorOf(device->reset());
}

std::uint32_t PortPower::openNode(const HubSide& side, std::unique_ptr<platform::UsbfsDevice>& opened,
                                  platform::UsbfsDevice*& device) {
    const std::string node = platform::usbfsNode(side.bus, side.address);
    if (const auto claimed = claims_.find(node); claimed != claims_.end()) {
        device = claimed->second.device.get();
        return PT2_OK;
    }
    std::error_code error;
    opened = platform::usbfs().open(node, error);
    if (opened) {
        device = opened.get();
        return PT2_OK;
    }
    // A hub whose folder is there but whose node is not: no usbfs here.
    if (error == std::errc::no_such_file_or_directory && checkPresent(side) == PT2_OK) {
        return PT2_ERROR_NO_PORT_POWER_CONTROL;
    }
    return pt2ErrorOf(error);
}

std::uint32_t PortPower::setThroughUsbfs(const HubSide& side, unsigned port, bool on) {
    std::unique_ptr<platform::UsbfsDevice> opened;
    platform::UsbfsDevice* device = nullptr;
    if (const std::uint32_t failed = openNode(side, opened, device)) return failed;
    if (const std::uint32_t refused = checkSwitchesEachPort(side, device)) return refused;

    const std::string node = platform::usbfsNode(side.bus, side.address);
    const auto claimed = claims_.find(node);
    const bool held = claimed != claims_.end() && claimed->second.ports.contains(port);
    std::size_t sent = 0;
    if (on) {
        // Released first, so that the hub driver sets up the device that the
        // power brings.
        if (held) {
            device->releasePort(port);
            claimed->second.ports.erase(port);
        }
        const std::error_code error = device->control(usbbus::portPowerRequest(static_cast<std::uint16_t>(port), true),
                                                      {}, sent);
        if (claimed != claims_.end() && claimed->second.ports.empty()) claims_.erase(claimed);
        return pt2ErrorOf(error);
    }

    // Another program may hold the port already; the hub driver leaves it
    // alone then as well.
    bool claimedNow = false;
    if (!held) {
        const std::error_code error = device->claimPort(port);
        if (error && error != std::errc::device_or_resource_busy) return pt2ErrorOf(error);
        claimedNow = !error;
    }
    const std::error_code error = device->control(usbbus::portPowerRequest(static_cast<std::uint16_t>(port), false),
                                                  {}, sent);
    if (error) {
        if (claimedNow) device->releasePort(port);
        return pt2ErrorOf(error);
    }
    if (claimedNow) {
        if (opened) claims_[node].device = std::move(opened);
        claims_[node].ports.insert(port);
    }
    return PT2_OK;
}

std::uint32_t PortPower::getThroughUsbfs(const HubSide& side, unsigned port, bool& powered) {
    std::unique_ptr<platform::UsbfsDevice> opened;
    platform::UsbfsDevice* device = nullptr;
    if (const std::uint32_t failed = openNode(side, opened, device)) return failed;
    std::uint8_t status[4] = {};
    std::size_t received = 0;
    if (const std::error_code error =
            device->control(usbbus::portStatusRequest(static_cast<std::uint16_t>(port)), status, received)) {
        return pt2ErrorOf(error);
    }
    if (received < 2) return PT2_ERROR_NOT_SUPPORTED;
    powered = usbbus::portPowered(static_cast<std::uint16_t>(status[0] | status[1] << 8), side.superSpeed);
    return PT2_OK;
}

}  // namespace vostrel::native
