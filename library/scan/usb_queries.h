// The single questions the topology scan asks the USB stack: names that lead
// from a host controller to its root hub and from a hub port to the hub on
// it, a port's connection information, a device's configuration descriptor,
// and the record of one port of a family hub. Ports are numbered from 1, as
// the stack counts them. Every failure gives nothing and is not reported.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "frame/records.h"
#include "usbbus/usb_ioctl.h"
#include "scan/string_list.h"
#include "scan/usb_device.h"

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

// The port's connection information, from the extended query or, when the
// hub driver lacks it, from the older one with its low-speed flag turned
// into a speed (0 low, 1 any other).
std::optional<usb::USB_NODE_CONNECTION_INFORMATION_EX> QueryConnection(const UsbDevice& hub,
                                                                        std::uint32_t port);

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

// The string list of the device on a port, read only for a working device
// (DeviceConnected) whose descriptors name any string.
std::optional<StringList> ReadStringsOfWorkingDevice(const UsbDevice& hub, std::uint32_t port,
                                                     const usb::USB_NODE_CONNECTION_INFORMATION_EX& connection);

// Fills `record`, which the caller passes zeroed, for one port of a family
// hub: the device's identifiers, configuration value, speed and status, and
// for a working device its product and manufacturer strings. False, with
// the record untouched, when the port's connection cannot be read.
// `deviceSerial`, when given, receives the working device's serial number
// string from the strings read for the record (left as it is when there is
// none); no record has room for it.
bool QueryPortRecord(const UsbDevice& hub, std::uint32_t port, PortInfoRecord& record,
                     std::u16string* deviceSerial = nullptr);

}  // namespace vostrel
