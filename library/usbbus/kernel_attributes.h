// The Linux kernel's USB attributes (sysfs texts and the binary `descriptors`)
// in the model's terms. Pure functions, no file access: everything here is
// the kernel's copy of what a device chose to send, or text the kernel wrote
// about it, and is checked as untrusted input.
//
// What the kernel shows, and so what a model read from it holds:
// - `descriptors`: the 18-byte device descriptor, then every configuration
//   descriptor whole, in index order (each as long as its wTotalLength).
// - `manufacturer`, `product`, `serial`: UTF-8, read by the kernel in the
//   device's first listed language; the language list itself is not shown,
//   so a model offers one language, kPresentedLanguage, in which every
//   string the kernel read can be asked for.
// - `configuration`, and `interface` of each interface folder: strings of
//   the active configuration only.
// - `speed` in Mbit/s, `devnum`, `bConfigurationValue` (empty while the
//   device is not configured), `maxchild` of a hub.
// - the port folder's `state` (kernels from 6.5 on): the state of whatever
//   is attached to the port by the kernel's name of a USB device state
//   ("powered", "default", "configured", ...), "not attached" when nothing
//   is.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "usbbus/bus_model.h"

namespace vostrel::usbbus {

// The language a model read from the kernel offers its strings in.
inline constexpr std::uint16_t kPresentedLanguage = 0x0409;

struct KernelDescriptors {
    usb::USB_DEVICE_DESCRIPTOR device{};
    std::vector<Bytes> configurations;  // by index
};

// The `descriptors` attribute; nothing when it is shorter than a device
// descriptor. A configuration whose total length runs past the end is cut
// there; a total length below 4 ends the list.
std::optional<KernelDescriptors> parseDescriptors(std::span<const std::uint8_t> bytes);

// `speed` as USB_DEVICE_SPEED; nothing for "unknown" or anything unexpected.
std::optional<std::uint8_t> parseSpeed(std::string_view text);

// A decimal attribute (`devnum`, `maxchild`, `busnum`, `bConfigurationValue`)
// up to `largest`; an empty text is 0 (an unconfigured device's configuration
// value); nothing for anything else.
std::optional<std::uint32_t> parseDecimal(std::string_view text, std::uint32_t largest);

// A string attribute as the string descriptor a device would send: up to its
// first NUL, without the kernel's closing newline, UTF-8 turned into UTF-16
// (an invalid sequence becomes U+FFFD), cut to 126 units without splitting a
// surrogate pair.
Bytes stringFromAttribute(std::string_view text);

// A port's `state`: true when something is attached (in any state of
// enumeration), false for "not attached", nothing for a text not known
// (the kernel's "UNKNOWN" included).
std::optional<bool> portStateAttached(std::string_view text);

// The connection status of a port without a device, from the hub's port
// status word: something connected that did not become a device failed its
// enumeration; an over-current is reported as such.
std::uint32_t statusOfPortWithoutDevice(std::uint16_t portStatus);

// Where each string the scan will ask for is shown in sysfs.
enum class StringAttribute { Manufacturer, Product, Serial, Configuration, Interface };
struct StringSource {
    std::uint8_t index = 0;
    StringAttribute attribute = StringAttribute::Manufacturer;
    std::uint8_t interfaceNumber = 0;  // Interface only
};

// The strings of a device that sysfs shows and the scan asks for: those the
// device descriptor names, and, when configuration index 0 is the active one
// (`configurationValue`), its configuration string and the strings of its
// interfaces' first alternate settings. In that order; an index named twice
// is listed once.
std::vector<StringSource> stringSources(const KernelDescriptors& descriptors, std::uint8_t configurationValue);

// The number of the first interface of the configuration whose value is
// `configurationValue`: while that configuration is active, the kernel shows
// this interface in a folder of the device's named by both numbers, and makes
// that folder anew whenever a configuration is set. Nothing when no
// configuration has that value or it lists no interface.
std::optional<std::uint8_t> firstInterfaceNumber(const KernelDescriptors& descriptors,
                                                 std::uint8_t configurationValue);

// A configured or unconfigured device as the kernel shows it: descriptors,
// speed, address and configuration value; the language list offers
// kPresentedLanguage. Strings are added with addString.
Device deviceFromKernel(KernelDescriptors descriptors, std::uint8_t speed, std::uint16_t address,
                        std::uint8_t configurationValue);

// Adds string `index`, read from an attribute, in kPresentedLanguage; the
// first reading of an index stays.
void addString(Device& device, std::uint8_t index, std::string_view attributeText);

}  // namespace vostrel::usbbus
