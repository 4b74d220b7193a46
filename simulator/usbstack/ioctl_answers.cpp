#include "usbstack/ioctl_answers.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/descriptors.h"
#include "platform/usb_ioctl.h"

namespace vostrel::sim {

namespace {

using namespace vostrel::usb;

constexpr std::uint8_t kUsb2HubDescriptorType = 0x29;
constexpr std::uint8_t kSuperSpeedHubDescriptorType = 0x2A;

template <typename T>
T readInput(std::span<const std::uint8_t> in) {
    T value{};
    std::memcpy(&value, in.data(), std::min(sizeof value, in.size()));
    return value;
}

template <typename T>
void write(std::span<std::uint8_t> out, std::size_t offset, const T& value) {
    std::memcpy(out.data() + offset, &value, sizeof value);
}

// Name answers: a fixed part holding ActualLength, then the name with its
// NUL, cut to the room there is; the caller learns the full size from
// ActualLength and asks again.
bool answerName(std::span<std::uint8_t> out, std::size_t fixedPart, std::size_t lengthOffset,
                std::u16string_view name, std::uint32_t& returned) {
    if (out.size() < fixedPart) return false;
    const std::size_t nameOffset = lengthOffset + sizeof(std::uint32_t);
    const auto actual = static_cast<std::uint32_t>(nameOffset + 2 * (name.size() + 1));
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(nameOffset), out.end(), 0);
    write(out, lengthOffset, actual);
    const std::size_t units = std::min(name.size(), (out.size() - nameOffset) / 2);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(name.data()), 2 * units, out.data() + nameOffset);
    returned = static_cast<std::uint32_t>(std::min<std::size_t>(out.size(), actual));
    return true;
}

const PortView* portAt(const HubView& hub, std::uint32_t number) {
    if (number == 0 || number > hub.ports.size()) return nullptr;
    return &hub.ports[number - 1];
}

bool answerNodeInformation(const HubView& hub, std::span<std::uint8_t> out, std::uint32_t& returned) {
    if (out.size() < sizeof(USB_NODE_INFORMATION)) return false;
    USB_NODE_INFORMATION info{};
    info.NodeType = UsbHub;
    USB_HUB_DESCRIPTOR& descriptor = info.u.HubInformation.HubDescriptor;
    const std::size_t ports = hub.ports.size();
    const std::size_t maskBytes = ports / 8 + 1;
    descriptor.bDescriptorLength = static_cast<std::uint8_t>(7 + 2 * maskBytes);
    descriptor.bDescriptorType = hub.superSpeedSide ? kSuperSpeedHubDescriptorType : kUsb2HubDescriptorType;
    descriptor.bNumberOfPorts = static_cast<std::uint8_t>(ports);
    descriptor.wHubCharacteristics = 0x0009;  // power switched and over-current reported per port
    descriptor.bPowerOnToPowerGood = 50;
    descriptor.bHubControlCurrent = 100;
    std::fill_n(descriptor.bRemoveAndPowerMask + maskBytes, maskBytes, 0xFF);
    info.u.HubInformation.HubIsBusPowered = 0;
    write(out, 0, info);
    returned = sizeof info;
    return true;
}

// Both connection queries share one layout; the older has a low-speed flag
// where the newer has the speed.
bool answerConnection(const HubView& hub, bool extended, std::span<const std::uint8_t> in,
                      std::span<std::uint8_t> out, std::uint32_t& returned) {
    constexpr std::size_t kFixedPart = offsetof(USB_NODE_CONNECTION_INFORMATION_EX, PipeList);
    if (in.size() < sizeof(std::uint32_t) || out.size() < kFixedPart) return false;
    const auto number = readInput<std::uint32_t>(in);
    const PortView* port = portAt(hub, number);
    if (port == nullptr) return false;

    USB_NODE_CONNECTION_INFORMATION_EX info{};
    info.ConnectionIndex = number;
    std::vector<USB_ENDPOINT_DESCRIPTOR> pipes;
    if (port->device != nullptr) {
        const Device& device = *port->device;
        info.DeviceDescriptor = deviceDescriptor(device, port->superSpeedSide);
        info.CurrentConfigurationValue = port->configurationValue;
        info.Speed = extended ? static_cast<std::uint8_t>(port->speed) : (port->speed == Speed::Low ? 1 : 0);
        info.DeviceIsHub = device.isHub() && port->status == 1 ? 1 : 0;
        info.DeviceAddress = port->status == 1 ? port->address : 0;
        info.ConnectionStatus = port->status;
        if (port->configurationValue != 0) pipes = endpointDescriptors(device, port->speed);
    }
    const std::size_t room = (out.size() - kFixedPart) / sizeof(USB_PIPE_INFO);
    const std::size_t listed = std::min({pipes.size(), room, static_cast<std::size_t>(kMaxPipes)});
    info.NumberOfOpenPipes = static_cast<std::uint32_t>(pipes.size());
    for (std::size_t i = 0; i < listed; ++i) info.PipeList[i].EndpointDescriptor = pipes[i];
    const std::size_t size = kFixedPart + listed * sizeof(USB_PIPE_INFO);
    std::memcpy(out.data(), &info, size);
    returned = static_cast<std::uint32_t>(size);
    return true;
}

bool answerDescriptor(const HubView& hub, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                      std::uint32_t& returned) {
    constexpr std::size_t kHeader = sizeof(USB_DESCRIPTOR_REQUEST);
    if (in.size() < kHeader || out.size() < kHeader) return false;
    std::uint8_t header[kHeader];
    std::memcpy(header, in.data(), kHeader);
    const auto request = readInput<USB_DESCRIPTOR_REQUEST>(in);
    const PortView* port = portAt(hub, request.ConnectionIndex);
    if (port == nullptr || port->device == nullptr || port->status != 1) return false;

    const Device& device = *port->device;
    const std::uint8_t type = request.SetupPacket.wValue >> 8;
    const std::uint8_t index = request.SetupPacket.wValue & 0xFF;
    std::vector<std::uint8_t> bytes;
    if (type == USB_DEVICE_DESCRIPTOR_TYPE && index == 0) {
        const auto descriptor = deviceDescriptor(device, port->superSpeedSide);
        const auto* raw = reinterpret_cast<const std::uint8_t*>(&descriptor);
        bytes.assign(raw, raw + sizeof descriptor);
    } else if (type == USB_CONFIGURATION_DESCRIPTOR_TYPE && index == 0) {
        bytes = configurationDescriptor(device, port->speed);
    } else if (type == USB_STRING_DESCRIPTOR_TYPE) {
        auto text = stringDescriptor(device, index, request.SetupPacket.wIndex);
        if (!text) return false;
        bytes = std::move(*text);
    } else {
        return false;
    }
    const std::size_t size = std::min({bytes.size(), static_cast<std::size_t>(request.SetupPacket.wLength),
                                       out.size() - kHeader});
    std::memcpy(out.data(), header, kHeader);
    std::copy_n(bytes.begin(), size, out.data() + kHeader);
    returned = static_cast<std::uint32_t>(kHeader + size);
    return true;
}

bool answerConnectionName(const HubView& hub, const BusView& view, std::span<const std::uint8_t> in,
                          std::span<std::uint8_t> out, std::uint32_t& returned) {
    if (in.size() < sizeof(std::uint32_t)) return false;
    const auto number = readInput<std::uint32_t>(in);
    const PortView* port = portAt(hub, number);
    if (port == nullptr || out.size() < sizeof(USB_NODE_CONNECTION_NAME)) return false;
    const std::u16string_view name =
        port->downstreamHub >= 0 ? std::u16string_view(view.hubs()[port->downstreamHub].name) : std::u16string_view();
    write(out, 0, number);
    return answerName(out, sizeof(USB_NODE_CONNECTION_NAME), offsetof(USB_NODE_CONNECTION_NAME, ActualLength), name,
                      returned);
}

}  // namespace

bool answerController(const ControllerView& controller, const BusView& view, std::uint32_t code,
                      std::span<const std::uint8_t>, std::span<std::uint8_t> out, std::uint32_t& returned) {
    switch (code) {
        case IOCTL_GET_HCD_DRIVERKEY_NAME:
            return answerName(out, sizeof(USB_HCD_DRIVERKEY_NAME), 0, controller.controller->driverKey, returned);
        case IOCTL_USB_GET_ROOT_HUB_NAME:
            return answerName(out, sizeof(USB_ROOT_HUB_NAME), 0, view.hubs()[controller.rootHub].name, returned);
        default: return false;
    }
}

bool answerHub(const HubView& hub, const BusView& view, std::uint32_t code, std::span<const std::uint8_t> in,
               std::span<std::uint8_t> out, std::uint32_t& returned) {
    switch (code) {
        case IOCTL_USB_GET_NODE_INFORMATION: return answerNodeInformation(hub, out, returned);
        case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX:
            return !hub.legacyConnectionQuery && answerConnection(hub, true, in, out, returned);
        case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION: return answerConnection(hub, false, in, out, returned);
        case IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION: return answerDescriptor(hub, in, out, returned);
        case IOCTL_USB_GET_NODE_CONNECTION_NAME: return answerConnectionName(hub, view, in, out, returned);
        default: return false;
    }
}

}  // namespace vostrel::sim
