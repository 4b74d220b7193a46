#include "usbbus/hub_requests.h"

namespace vostrel::usbbus {
namespace {

// bmRequestType: direction, class request, recipient.
constexpr std::uint8_t kClassToOtherOut = 0x23;   // host to device, a port
constexpr std::uint8_t kClassToOtherIn = 0xA3;    // device to host, a port
constexpr std::uint8_t kClassToDeviceIn = 0xA0;   // device to host, the hub itself
constexpr std::uint8_t kGetStatus = 0;
constexpr std::uint8_t kClearFeature = 1;
constexpr std::uint8_t kSetFeature = 3;
constexpr std::uint8_t kGetDescriptor = 6;
constexpr std::uint16_t kPortPowerFeature = 8;
constexpr std::uint8_t kUsb2HubDescriptor = 0x29;
constexpr std::uint8_t kSuperSpeedHubDescriptor = 0x2A;
// The SuperSpeed hub descriptor's size; a USB 2.0 hub descriptor of up to
// seven ports is shorter, and a device answers at most what it has.
constexpr std::uint16_t kHubDescriptorRoom = 12;
constexpr std::uint16_t kUsb2PortPower = 0x0100;
constexpr std::uint16_t kSuperSpeedPortPower = 0x0200;
constexpr std::uint16_t kPowerSwitchingMode = 0x0003;
constexpr std::uint16_t kGangedSwitching = 0x0000;
constexpr std::uint16_t kEachPortSwitched = 0x0001;

}  // namespace

std::array<std::uint8_t, 8> setupBytes(const SetupPacket& setup) {
    const auto low = [](std::uint16_t value) { return static_cast<std::uint8_t>(value & 0xFF); };
    const auto high = [](std::uint16_t value) { return static_cast<std::uint8_t>(value >> 8); };
    return {setup.requestType, setup.request, low(setup.value),  high(setup.value),
            low(setup.index),  high(setup.index), low(setup.length), high(setup.length)};
}

SetupPacket portStatusRequest(std::uint16_t port) { return {kClassToOtherIn, kGetStatus, 0, port, 4}; }

SetupPacket portPowerRequest(std::uint16_t port, bool on) {
    return {kClassToOtherOut, on ? kSetFeature : kClearFeature, kPortPowerFeature, port, 0};
}

SetupPacket hubDescriptorRequest(bool superSpeed) {
    const std::uint8_t type = superSpeed ? kSuperSpeedHubDescriptor : kUsb2HubDescriptor;
    return {kClassToDeviceIn, kGetDescriptor, static_cast<std::uint16_t>(type << 8), 0, kHubDescriptorRoom};
}

bool portPowered(std::uint16_t portStatus, bool superSpeed) {
    return (portStatus & (superSpeed ? kSuperSpeedPortPower : kUsb2PortPower)) != 0;
}

std::optional<PortPowerSwitching> hubPortPowerSwitching(std::span<const std::uint8_t> descriptor, bool superSpeed) {
    // bLength, bDescriptorType, bNbrPorts, wHubCharacteristics
    if (descriptor.size() < 5 || descriptor[0] < 5) return std::nullopt;
    if (descriptor[1] != (superSpeed ? kSuperSpeedHubDescriptor : kUsb2HubDescriptor)) return std::nullopt;
    const auto characteristics = static_cast<std::uint16_t>(descriptor[3] | descriptor[4] << 8);
    switch (characteristics & kPowerSwitchingMode) {
        case kGangedSwitching: return PortPowerSwitching::Ganged;
        case kEachPortSwitched: return PortPowerSwitching::EachPort;
        default: return PortPowerSwitching::None;
    }
}

}  // namespace vostrel::usbbus
