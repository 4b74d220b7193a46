// The simulated bench as its description file states it: host controllers,
// their root hub ports, and what hangs on every port, hubs nesting to any
// depth. Everything here is physical (one object per box on the table); how
// the USB stack sees it, side by side and port by port, is the bus view's job.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "usbbus/family_hubs.h"

namespace vostrel::sim {

// The hub chip the product is built on.
using usbbus::kFamilySuperSpeedProductId;
using usbbus::kFamilyUsb2ProductId;
using usbbus::kFamilyVendorId;
inline constexpr int kFamilyPortCount = 4;
inline constexpr std::uint32_t kFirstPortPin = 17;  // pins 17 to 20 power ports 1 to 4

enum class Kind { Device, Hub, FamilyHub };
enum class Speed : std::uint8_t { Low = 0, Full = 1, High = 2, Super = 3 };
enum class State { Present, Unplugged, Failed, Unconfigured, Wedged };
// How a wedged device misbehaves until its port is power-cycled.
enum class WedgeMode { Unconfigured, Failed };

// A string descriptor's text in the languages the device can read it in.
struct LocalizedText {
    std::optional<std::u16string> anyLanguage;                  // readable in every listed language
    std::vector<std::pair<std::uint16_t, std::u16string>> byLanguage;  // takes precedence

    const std::u16string* in(std::uint16_t language) const;
};

struct InterfaceEntry {
    std::uint8_t interfaceClass = 0xFF;
    std::uint8_t interfaceSubClass = 0;
    std::uint8_t interfaceProtocol = 0;
    std::uint8_t endpoints = 1;
    std::optional<LocalizedText> text;
};

// What the hub chip was last asked to program through the vendor library.
struct Programming {
    std::uint32_t configuration = 0;
    std::uint32_t serial = 0;
    std::uint32_t serial2 = 0;
};

struct Device {
    std::string id;        // the command line's name for it; may be empty
    std::string pointer;   // JSON pointer of its object in the description
    std::string location;  // controller and port path, e.g. "0-1.3"
    int port = 0;          // on its parent, from 1
    Kind kind = Kind::Device;

    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t superSpeedProductId = 0;  // hubs with a SuperSpeed side; 0: none
    std::uint16_t release = 0x0100;         // bcdDevice
    std::uint16_t usbVersion = 0x0200;      // bcdUSB
    std::uint8_t deviceClass = 0;
    std::uint8_t deviceSubClass = 0;
    std::uint8_t deviceProtocol = 0;
    Speed speed = Speed::High;
    std::uint8_t configuration = 1;  // bConfigurationValue when configured
    std::uint16_t maxPowerMilliamps = 100;

    std::vector<std::uint16_t> languages;  // empty: the device has no strings
    std::optional<LocalizedText> manufacturer;
    std::optional<LocalizedText> product;
    std::optional<LocalizedText> serial;
    std::optional<LocalizedText> configurationText;
    std::vector<InterfaceEntry> interfaces;

    State state = State::Present;
    std::uint32_t failStatus = 2;  // connection status while failed
    WedgeMode wedgedAs = WedgeMode::Unconfigured;
    std::optional<std::int64_t> flakyMs;   // wedges again this long after a heal
    std::optional<std::int64_t> wedgesAt;  // wall-clock ms at which a flaky device wedges

    // Hubs only.
    int portCount = 0;
    std::vector<bool> portPower;  // family hubs: ports 1 to 4
    std::u16string name;          // symbolic name of the USB 2.0 side
    std::u16string superSpeedName;
    bool legacyConnectionQuery = false;  // answers only the older connection query
    std::optional<Programming> programmed;
    std::vector<Device> devices;

    bool isHub() const { return kind != Kind::Device; }
    bool hasSuperSpeedSide() const { return isHub() && superSpeedProductId != 0; }
    // What the device is at `nowMs`: a flaky device past its time reads as wedged.
    State stateAt(std::int64_t nowMs) const;
    // A label for messages: the id, else the location.
    std::string label() const { return id.empty() ? location : id; }
};

struct Controller {
    std::string id;
    std::string pointer;
    int position = 0;                  // in the description's list
    std::optional<int> number;         // opened as "\\.\HCD<number>"
    std::u16string interfacePath;      // listed among the host-controller interfaces; may be empty
    std::u16string driverKey;
    std::u16string rootHubName;
    bool usb3 = true;                  // root ports with SuperSpeed companions
    int portCount = 4;                 // physical root ports
    std::vector<Device> devices;
};

struct Bench {
    std::vector<Controller> controllers;
    bool interfaceListAvailable = true;
};

// The device whose description object lies at `pointer`, or null.
const Device* findDevice(const Bench& bench, std::string_view pointer);

// The hub `device` hangs on, or null for a device on a root hub.
const Device* parentOf(const Bench& bench, const Device& device);

// Calls `visit(device)` for every device of the bench, parents before children.
template <typename Visit>
void forEachDevice(const std::vector<Device>& devices, Visit&& visit) {
    for (const Device& device : devices) {
        visit(device);
        forEachDevice(device.devices, visit);
    }
}

template <typename Visit>
void forEachDevice(const Bench& bench, Visit&& visit) {
    for (const Controller& controller : bench.controllers) forEachDevice(controller.devices, visit);
}

}  // namespace vostrel::sim
