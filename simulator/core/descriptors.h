// The byte images a simulated device hands out: device, configuration and
// string descriptors, in the layouts USB defines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/bench.h"
#include "platform/usb_ioctl.h"

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

// The endpoints of the configuration, as the connection query lists its pipes.
std::vector<usb::USB_ENDPOINT_DESCRIPTOR> endpointDescriptors(const Device& device, Speed speed);

// The string descriptor with this index in this language, or none when the
// device cannot answer (index 0: the list of languages).
std::optional<std::vector<std::uint8_t>> stringDescriptor(const Device& device, std::uint8_t index,
                                                          std::uint16_t language);

// The serial number as a scan reads it: in the first listed language in which
// it can be read; empty when it cannot be read in any.
std::u16string serialAsRead(const Device& device);

}  // namespace vostrel::sim
