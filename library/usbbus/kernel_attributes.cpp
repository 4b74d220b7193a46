#include "usbbus/kernel_attributes.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "usbbus/descriptor_bytes.h"

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

// Appends the code point of the UTF-8 sequence at `at` and steps past it; a
// sequence that is cut, overlong, a surrogate or beyond U+10FFFF becomes
// U+FFFD and only its first byte is taken.
void decodeOne(std::string_view text, std::size_t& at, std::u16string& out) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(at);
    std::size_t length = 0;
    char32_t point = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
        length = 1;
        point = lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        point = lead & 0x1F;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        point = lead & 0x0F;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        point = lead & 0x07;
        smallest = 0x10000;
    }
    bool valid = length != 0 && text.size() - at >= length;
    for (std::size_t i = 1; valid && i < length; ++i) {
        valid = (byte(at + i) & 0xC0) == 0x80;
        point = point << 6 | (byte(at + i) & 0x3F);
    }
    valid = valid && point >= smallest && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
    if (!valid) {
        out.push_back(u'\uFFFD');
        ++at;
        return;
    }
    at += length;
    if (point < 0x10000) {
        out.push_back(static_cast<char16_t>(point));
    } else {
        point -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
    }
}

void encodeOne(char32_t point, std::string& out) {
    if (point < 0x80) {
        out.push_back(static_cast<char>(point));
    } else if (point < 0x800) {
        out.push_back(static_cast<char>(0xC0 | point >> 6));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | point >> 12));
        out.push_back(static_cast<char>(0x80 | (point >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | point >> 18));
        out.push_back(static_cast<char>(0x80 | (point >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
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
    std::u16string units;
    for (std::size_t at = 0; at < text.size() && units.size() < kMaxStringUnits;) decodeOne(text, at, units);
    if (units.size() > kMaxStringUnits) {
        // The last code point was a pair that does not fit whole.
        units.resize(kMaxStringUnits - 1);
    }
    return stringDescriptor(units);
}

std::optional<bool> portStateAttached(std::string_view text) {
    text = withoutNewline(text);
    if (text == "not-attached") return false;
    for (const std::string_view state : {"attached", "powered", "reconnecting", "unauthenticated", "default",
                                         "addressed", "configured", "suspended"}) {
        if (text == state) return true;
    }
    return std::nullopt;
}

std::string utf8FromUnits(std::u16string_view units) {
    std::string text;
    for (std::size_t at = 0; at < units.size(); ++at) {
        const char16_t unit = units[at];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool pairs = high && at + 1 < units.size() && units[at + 1] >= 0xDC00 && units[at + 1] <= 0xDFFF;
        if (pairs) {
            encodeOne(0x10000 + ((unit - 0xD800) << 10) + (units[++at] - 0xDC00), text);
        } else {
            encodeOne(unit >= 0xD800 && unit <= 0xDFFF ? U'\uFFFD' : unit, text);
        }
    }
    return text;
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
