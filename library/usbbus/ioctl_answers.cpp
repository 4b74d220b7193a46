#include "usbbus/ioctl_answers.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "usbbus/descriptor_bytes.h"

namespace vostrel::usbbus {
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
    for (std::size_t i = 0; i < units; ++i) {
        out[nameOffset + 2 * i] = static_cast<std::uint8_t>(name[i] & 0xFF);
        out[nameOffset + 2 * i + 1] = static_cast<std::uint8_t>(name[i] >> 8);
    }
    returned = static_cast<std::uint32_t>(std::min<std::size_t>(out.size(), actual));
    return true;
}

// The device on the port named by the input's first 32 bits, when that port
// answers: one the hub counts, or one beyond them that holds a device. `port`
// receives the number.
bool portOf(const Hub& hub, std::span<const std::uint8_t> in, std::uint32_t& port, const Device*& device) {
    if (in.size() < sizeof(std::uint32_t)) return false;
    port = readInput<std::uint32_t>(in);
    if (port == 0 || port > std::numeric_limits<std::uint8_t>::max()) return false;
    device = hub.device(static_cast<int>(port));
    return port <= hub.portCount || device != nullptr;
}

bool answerNodeInformation(const Hub& hub, std::span<std::uint8_t> out, std::uint32_t& returned) {
    if (!hub.answersNodeInformation || out.size() < sizeof(USB_NODE_INFORMATION)) return false;
    USB_NODE_INFORMATION info{};
    info.NodeType = UsbHub;
    USB_HUB_DESCRIPTOR& descriptor = info.u.HubInformation.HubDescriptor;
    const std::size_t maskBytes = hub.portCount / 8 + 1;
    descriptor.bDescriptorLength = static_cast<std::uint8_t>(7 + 2 * maskBytes);
    descriptor.bDescriptorType = hub.superSpeed ? kSuperSpeedHubDescriptorType : kUsb2HubDescriptorType;
    descriptor.bNumberOfPorts = hub.portCount;
    descriptor.wHubCharacteristics = 0x0009;  // power switched and over-current reported per port
    descriptor.bPowerOnToPowerGood = 50;
    descriptor.bHubControlCurrent = 100;
    std::fill_n(descriptor.bRemoveAndPowerMask + maskBytes, maskBytes, 0xFF);
    write(out, 0, info);
    returned = sizeof info;
    return true;
}

// Both connection queries share one layout; the older has a low-speed flag
// where the newer has the speed. A configured device lists the endpoints
// of its first configuration as its open pipes, as many as there is room for.
bool answerConnection(const Hub& hub, bool extended, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                      std::uint32_t& returned) {
    constexpr std::size_t kFixedPart = offsetof(USB_NODE_CONNECTION_INFORMATION_EX, PipeList);
    std::uint32_t port = 0;
    const Device* device = nullptr;
    if (out.size() < kFixedPart || !portOf(hub, in, port, device)) return false;

    USB_NODE_CONNECTION_INFORMATION_EX info{};
    info.ConnectionIndex = port;
    std::vector<USB_ENDPOINT_DESCRIPTOR> pipes;
    if (device != nullptr) {
        info.DeviceDescriptor = device->descriptor;
        info.CurrentConfigurationValue = device->configurationValue;
        info.Speed = extended ? device->speed : (device->speed == UsbLowSpeed ? 1 : 0);
        info.DeviceIsHub = device->isHub ? 1 : 0;
        info.DeviceAddress = device->address;
        info.ConnectionStatus = device->connectionStatus;
        if (device->configurationValue != 0 && !device->configurations.empty()) {
            pipes = endpointsOf(device->configurations.front());
        }
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

// Only a connected device answers; the request header comes back as it
// went, then the descriptor, cut to the length asked for and to the room.
bool answerDescriptor(const Hub& hub, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                      std::uint32_t& returned) {
    constexpr std::size_t kHeader = sizeof(USB_DESCRIPTOR_REQUEST);
    std::uint32_t port = 0;
    const Device* device = nullptr;
    if (in.size() < kHeader || out.size() < kHeader || !portOf(hub, in, port, device)) return false;
    if (device == nullptr || device->connectionStatus != kDeviceConnected) return false;
    std::uint8_t header[kHeader];
    std::memcpy(header, in.data(), kHeader);
    const auto request = readInput<USB_DESCRIPTOR_REQUEST>(in);

    const std::uint8_t type = request.SetupPacket.wValue >> 8;
    const std::uint8_t index = request.SetupPacket.wValue & 0xFF;
    const std::uint8_t* bytes = nullptr;
    std::size_t length = 0;
    if (type == USB_DEVICE_DESCRIPTOR_TYPE && index == 0) {
        bytes = reinterpret_cast<const std::uint8_t*>(&device->descriptor);
        length = sizeof device->descriptor;
    } else if (type == USB_CONFIGURATION_DESCRIPTOR_TYPE && index < device->configurations.size()) {
        bytes = device->configurations[index].data();
        length = device->configurations[index].size();
    } else if (type == USB_STRING_DESCRIPTOR_TYPE) {
        const Bytes* text = device->string(index, request.SetupPacket.wIndex);
        if (text == nullptr) return false;
        bytes = text->data();
        length = text->size();
    } else {
        return false;
    }
    const std::size_t size =
        std::min({length, static_cast<std::size_t>(request.SetupPacket.wLength), out.size() - kHeader});
    std::memcpy(out.data(), header, kHeader);
    if (size > 0) std::memcpy(out.data() + kHeader, bytes, size);
    returned = static_cast<std::uint32_t>(kHeader + size);
    return true;
}

bool answerConnectionName(const Hub& hub, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                          std::uint32_t& returned) {
    std::uint32_t port = 0;
    const Device* device = nullptr;
    if (out.size() < sizeof(USB_NODE_CONNECTION_NAME) || !portOf(hub, in, port, device)) return false;
    if (device == nullptr || !device->hub) return false;
    write(out, 0, port);
    return answerName(out, sizeof(USB_NODE_CONNECTION_NAME), offsetof(USB_NODE_CONNECTION_NAME, ActualLength),
                      device->hub->name, returned);
}

}  // namespace

bool answerController(const Controller& controller, std::uint32_t code, std::span<const std::uint8_t>,
                      std::span<std::uint8_t> out, std::uint32_t& returned) {
    switch (code) {
        case IOCTL_GET_HCD_DRIVERKEY_NAME:
            return controller.driverKey &&
                   answerName(out, sizeof(USB_HCD_DRIVERKEY_NAME), 0, *controller.driverKey, returned);
        case IOCTL_USB_GET_ROOT_HUB_NAME:
            return controller.rootHub &&
                   answerName(out, sizeof(USB_ROOT_HUB_NAME), 0, controller.rootHub->name, returned);
        default: return false;
    }
}

bool answerHub(const Hub& hub, std::uint32_t code, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
               std::uint32_t& returned) {
    switch (code) {
        case IOCTL_USB_GET_NODE_INFORMATION: return answerNodeInformation(hub, out, returned);
        case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX:
            return !hub.olderDriver && answerConnection(hub, true, in, out, returned);
        case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION: return answerConnection(hub, false, in, out, returned);
        case IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION: return answerDescriptor(hub, in, out, returned);
        case IOCTL_USB_GET_NODE_CONNECTION_NAME: return answerConnectionName(hub, in, out, returned);
        default: return false;
    }
}

}  // namespace vostrel::usbbus
