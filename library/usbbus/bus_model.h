// A USB bus free of any operating system: host controllers, each with one
// root hub, hubs with numbered ports, and on every port the device the hub
// driver reports there, with the descriptors and strings it would answer.
// Every backend builds one (the kernel's view of the bus on Linux, the USB
// I/O controls' answers on Windows), the simulator from its bench, the tests
// in code; the walk (family_hubs.h) numbers the family's hubs on it. Names
// are those of a stack that opens its controllers and hubs by name; a stack
// without names leaves them empty.
//
// Everything here may hold what a device chose to send: descriptors are kept
// as raw bytes, unchecked, and every reader of them checks lengths itself.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "usbbus/usb_ioctl.h"

namespace vostrel::usbbus {

using Bytes = std::vector<std::uint8_t>;

// USB_CONNECTION_STATUS values that the builders set themselves.
inline constexpr std::uint32_t kNoDeviceConnected = 0;
inline constexpr std::uint32_t kDeviceConnected = 1;
inline constexpr std::uint32_t kDeviceFailedEnumeration = 2;

// A string table key's language that stands for every language not listed
// under its own key.
inline constexpr int kEveryLanguage = -1;

struct Hub;

// What the hub driver reports on one port, and what the device there answers.
struct Device {
    std::uint32_t connectionStatus = kDeviceConnected;
    usb::USB_DEVICE_DESCRIPTOR descriptor{};
    std::uint8_t configurationValue = 0;  // 0: not configured
    std::uint8_t speed = usb::UsbHighSpeed;
    std::uint16_t address = 0;
    bool isHub = false;  // DeviceIsHub of the connection information

    // The configuration descriptors by index, each whole with its interface
    // and endpoint descriptors; an index beyond the list is refused.
    std::vector<Bytes> configurations;
    // String descriptors by (index, language); index 0 is the language list.
    // A key present with no bytes is refused; a language without a key of its
    // own takes the kEveryLanguage key of its index.
    std::map<std::pair<int, int>, std::optional<Bytes>> strings;

    // The hub this device is, when the stack walks it further (a working
    // hub); none for other devices.
    std::unique_ptr<Hub> hub;

    // The string descriptor `index` in `language`, or null when refused.
    const Bytes* string(std::uint8_t index, std::uint16_t language) const;
};

struct Hub {
    std::u16string name;          // symbolic name, opened as "\\.\" + name
    std::string kernelName;       // the kernel's name of the hub device ("1-3.2"), where the stack has one
    std::uint8_t portCount = 0;   // bNumberOfPorts; ports 1 to portCount answer
    bool superSpeed = false;      // a SuperSpeed hub descriptor
    bool olderDriver = false;     // answers only the older connection query
    bool answersNodeInformation = true;
    // By port number; a port without one is empty. A hub may answer for a
    // port beyond portCount: a device there is answered and recorded, never
    // walked.
    std::map<int, Device> devices;

    // The device on port `port`, or null.
    const Device* device(int port) const;
};

struct Controller {
    std::optional<int> number;        // opens as "\\.\HCD<number>" (0 to 9)
    std::u16string interfacePath;     // listed among the host-controller interfaces unless empty
    std::optional<std::u16string> driverKey;
    std::unique_ptr<Hub> rootHub;     // none: the controller names no root hub
};

struct Bus {
    std::list<Controller> controllers;  // in the order of the interface list
    bool interfaceListAvailable = true;
    // Whether the stack reaches controllers and hubs by name: controllers by
    // number and through the interface list, a hub as the first hub of its
    // name. A bus without names is reached as it is built: each controller
    // in list order, each hub from its parent's port.
    bool opensByName = true;
};

// The first hub named `name` (ASCII letters in any case, as Windows takes
// names), root hubs and outer hubs first, controller by controller; null
// when there is none.
const Hub* findHub(const Bus& bus, std::u16string_view name);

// The controller that `path` opens: "\\.\HCD<n>" by its number, else its
// interface path; ASCII letters in any case. Null when none does.
const Controller* findController(const Bus& bus, std::u16string_view path);

// Whether two names are equal with ASCII letters in any case.
bool sameName(std::u16string_view a, std::u16string_view b);

}  // namespace vostrel::usbbus
