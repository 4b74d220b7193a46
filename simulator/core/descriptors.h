// The byte images a simulated device hands out: device, configuration and
// string descriptors, in the layouts USB defines.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/bench.h"
#include "usbbus/bus_model.h"
#include "usbbus/usb_ioctl.h"

namespace vostrel::sim {

// The string descriptor indexes the simulator gives a device's strings.
inline constexpr std::uint8_t kManufacturerIndex = 1;
inline constexpr std::uint8_t kProductIndex = 2;
inline constexpr std::uint8_t kSerialIndex = 3;
inline constexpr std::uint8_t kConfigurationIndex = 4;
inline constexpr std::uint8_t kFirstInterfaceIndex = 5;

// `superSpeedSide`: the SuperSpeed hub device of a USB 3 hub.
usb::USB_DEVICE_DESCRIPTOR deviceDescriptor(const Device& device, bool superSpeedSide);

// Configuration 1 whole: configuration, interface and endpoint descriptors,
// with endpoint companions when the device runs at SuperSpeed.
std::vector<std::uint8_t> configurationDescriptor(const Device& device, Speed speed);

// Every string descriptor the device answers, by index and language: the
// language list (none when the device refuses it), then each of its texts in
// the languages it has them in.
std::map<std::pair<int, int>, std::optional<usbbus::Bytes>> stringDescriptors(const Device& device);

// The serial number as a scan reads it: in the first listed language in which
// it can be read; empty when it cannot be read in any.
std::u16string serialAsRead(const Device& device);

}  // namespace vostrel::sim
