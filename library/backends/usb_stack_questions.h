// Questions the Windows reader asks the USB stack in more than one step:
// names that lead from a host controller to its root hub and from a hub port
// to the hub on it, and a device's configuration descriptor. Ports are
// numbered from 1, as the stack counts them. Every failure gives nothing and
// is not reported.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "backends/usb_device.h"
#include "usbbus/usb_ioctl.h"

namespace vostrel {

// The longest name answer accepted, in bytes. Real names are a few hundred
// bytes; a larger reported length is treated as no name at all.
inline constexpr std::uint32_t kMaxNameAnswerBytes = 8192;

// The host controller's driver key name.
std::optional<std::u16string> QueryControllerKey(const UsbDevice& controller);

// The symbolic name of the controller's root hub.
std::optional<std::u16string> QueryRootHubName(const UsbDevice& controller);

// The symbolic name of the hub attached to `port`.
std::optional<std::u16string> QueryDownstreamHubName(const UsbDevice& hub, std::uint32_t port);

// Configuration descriptor 0 of the device on a port, whole, after the
// 12-byte request header that carried it.
class ConfigurationDescriptor {
public:
    explicit ConfigurationDescriptor(std::vector<std::uint8_t> area) : area_(std::move(area)) {}

    // The descriptor and all its interface and endpoint descriptors;
    // exactly wTotalLength bytes.
    std::span<const std::uint8_t> bytes() const {
        return std::span<const std::uint8_t>(area_).subspan(sizeof(usb::USB_DESCRIPTOR_REQUEST));
    }

private:
    std::vector<std::uint8_t> area_;
};

std::optional<ConfigurationDescriptor> ReadConfigurationDescriptor(const UsbDevice& hub, std::uint32_t port);

}  // namespace vostrel
