#include "usbbus/kernel_attributes.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "usbbus/descriptor_bytes.h"
#include "usbbus/utf.h"

namespace vostrel::usbbus {
namespace {

constexpr std::uint8_t kHubClass = 9;
constexpr std::uint16_t kPortConnection = 0x0001;
constexpr std::uint16_t kPortOverCurrent = 0x0008;
constexpr std::uint32_t kDeviceCausedOvercurrent = 4;

// Without the one newline the kernel closes every text attribute with.
std::string_view withoutNewline(std::string_view text) {
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    return text;
}

std::uint16_t little16(const std::uint8_t* bytes) { return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8); }

}  // namespace

std::optional<KernelDescriptors> parseDescriptors(std::span<const std::uint8_t> bytes) {
    KernelDescriptors parsed;
    if (bytes.size() < sizeof parsed.device) return std::nullopt;
    std::memcpy(&parsed.device, bytes.data(), sizeof parsed.device);
    std::size_t at = sizeof parsed.device;
    constexpr std::size_t kTotalLengthEnd = offsetof(usb::USB_CONFIGURATION_DESCRIPTOR, wTotalLength) + 2;
    while (bytes.size() - at >= kTotalLengthEnd) {
        const std::size_t total = little16(bytes.data() + at + kTotalLengthEnd - 2);
        if (total < kTotalLengthEnd) break;
        const std::size_t taken = std::min(total, bytes.size() - at);
        parsed.configurations.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                           bytes.begin() + static_cast<std::ptrdiff_t>(at + taken));
        at += taken;
    }
    return parsed;
}

std::optional<std::uint8_t> parseSpeed(std::string_view text) {
    text = withoutNewline(text);
    if (text == "1.5") return usb::UsbLowSpeed;
    if (text == "12") return usb::UsbFullSpeed;
    // "53.3-480": a wireless device, at most high speed.
    if (text == "480" || text == "53.3-480") return usb::UsbHighSpeed;
    const auto megabits = parseDecimal(text, 1000000);
    if (megabits && *megabits >= 5000) return usb::UsbSuperSpeed;
    return std::nullopt;
}

std::optional<std::uint32_t> parseDecimal(std::string_view text, std::uint32_t largest) {
    text = withoutNewline(text);
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > largest) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

Bytes stringFromAttribute(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    text = withoutNewline(text);
    std::u16string units = utf8ToUtf16Replacing(text);
    if (units.size() > kMaxStringUnits) {
        // A pair that does not fit whole goes whole.
        const bool pairCut = units[kMaxStringUnits - 1] >= 0xD800 && units[kMaxStringUnits - 1] <= 0xDBFF;
        units.resize(pairCut ? kMaxStringUnits - 1 : kMaxStringUnits);
    }
    return stringDescriptor(units);
}

std::optional<bool> portStateAttached(std::string_view text) {
    text = withoutNewline(text);
    if (text == "not attached") return false;
    for (const std::string_view state : {"attached", "powered", "reconnecting", "unauthenticated", "default",
                                         "addressed", "configured", "suspended"}) {
        if (text == state) return true;
    }
    return std::nullopt;
}

std::uint32_t statusOfPortWithoutDevice(std::uint16_t portStatus) {
    if (portStatus & kPortOverCurrent) return kDeviceCausedOvercurrent;
    if (portStatus & kPortConnection) return kDeviceFailedEnumeration;
    return kNoDeviceConnected;
}

std::vector<StringSource> stringSources(const KernelDescriptors& descriptors, std::uint8_t configurationValue) {
    std::vector<StringSource> sources;
    const auto add = [&](std::uint8_t index, StringAttribute attribute, std::uint8_t interfaceNumber = 0) {
        if (index == 0) return;
        if (std::ranges::any_of(sources, [&](const StringSource& s) { return s.index == index; })) return;
        sources.push_back({index, attribute, interfaceNumber});
    };
    add(descriptors.device.iManufacturer, StringAttribute::Manufacturer);
    add(descriptors.device.iProduct, StringAttribute::Product);
    add(descriptors.device.iSerialNumber, StringAttribute::Serial);
    if (descriptors.configurations.empty() || configurationValue == 0) return sources;

    const Bytes& first = descriptors.configurations.front();
    for (std::size_t at = 0; first.size() - at >= 2;) {
        const std::uint8_t length = first[at];
        const std::uint8_t type = first[at + 1];
        if (length < 2 || length > first.size() - at) break;
        if (type == usb::USB_CONFIGURATION_DESCRIPTOR_TYPE && length >= sizeof(usb::USB_CONFIGURATION_DESCRIPTOR)) {
            if (first[at + offsetof(usb::USB_CONFIGURATION_DESCRIPTOR, bConfigurationValue)] != configurationValue) {
                break;  // configuration 0 is not the active one: sysfs shows another's strings
            }
            add(first[at + offsetof(usb::USB_CONFIGURATION_DESCRIPTOR, iConfiguration)], StringAttribute::Configuration);
        } else if (type == usb::USB_INTERFACE_DESCRIPTOR_TYPE && length >= sizeof(usb::USB_INTERFACE_DESCRIPTOR) &&
                   first[at + offsetof(usb::USB_INTERFACE_DESCRIPTOR, bAlternateSetting)] == 0) {
            add(first[at + offsetof(usb::USB_INTERFACE_DESCRIPTOR, iInterface)], StringAttribute::Interface,
                first[at + offsetof(usb::USB_INTERFACE_DESCRIPTOR, bInterfaceNumber)]);
        }
        at += length;
    }
    return sources;
}

std::optional<std::uint8_t> firstInterfaceNumber(const KernelDescriptors& descriptors,
                                                 std::uint8_t configurationValue) {
    for (const Bytes& configuration : descriptors.configurations) {
        if (configuration.size() < sizeof(usb::USB_CONFIGURATION_DESCRIPTOR) ||
            configuration[1] != usb::USB_CONFIGURATION_DESCRIPTOR_TYPE ||
            configuration[offsetof(usb::USB_CONFIGURATION_DESCRIPTOR, bConfigurationValue)] != configurationValue) {
            continue;
        }
        for (std::size_t at = 0; configuration.size() - at >= 2;) {
            const std::uint8_t length = configuration[at];
            if (length < 2 || length > configuration.size() - at) break;
            if (configuration[at + 1] == usb::USB_INTERFACE_DESCRIPTOR_TYPE &&
                length >= sizeof(usb::USB_INTERFACE_DESCRIPTOR)) {
                return configuration[at + offsetof(usb::USB_INTERFACE_DESCRIPTOR, bInterfaceNumber)];
            }
            at += length;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

Device deviceFromKernel(KernelDescriptors descriptors, std::uint8_t speed, std::uint16_t address,
                        std::uint8_t configurationValue) {
    Device device;
    device.connectionStatus = kDeviceConnected;
    device.descriptor = descriptors.device;
    device.configurations = std::move(descriptors.configurations);
    device.speed = speed;
    device.address = address;
    device.configurationValue = configurationValue;
    device.isHub = device.descriptor.bDeviceClass == kHubClass;
    const std::uint16_t languages[] = {kPresentedLanguage};
    device.strings[{0, kEveryLanguage}] = languageListDescriptor(languages);
    return device;
}

void addString(Device& device, std::uint8_t index, std::string_view attributeText) {
    if (index == 0) return;
    device.strings.try_emplace({index, kPresentedLanguage}, stringFromAttribute(attributeText));
}

}  // namespace vostrel::usbbus
