// A USB stack for tests: an in-memory bus of host controllers, hubs and
// devices that answers the Windows USB control codes byte for byte, can be
// changed between scans and made to misbehave through faults.
//
// Controllers open as "\\.\HCD<number>" when they have a number and through
// the interface list (in order of adding) when they have an interface path;
// hubs open as "\\.\" followed by their name. References handed out stay
// valid until their node is unplugged. Not thread-safe: a test whose monitor
// thread may be scanning changes the bus and reads the counts while it holds
// vostrel::generalLock().
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/usb_ioctl.h"
#include "platform/usb_stack.h"

namespace vostrel::test {

class UsbHubDouble;
using Bytes = std::vector<std::uint8_t>;
inline constexpr int kEveryLanguage = -1;

// A device on a hub port. A fresh one is connected, configured (value 1),
// high speed, 0x1234/0x5678 release 0x0100, with the language list {0x0409},
// no strings, and a configuration of one interface and one endpoint.
class UsbDeviceDouble {
public:
    UsbDeviceDouble();

    UsbDeviceDouble& ids(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t release = 0x0100) {
        descriptor.idVendor = vendorId;
        descriptor.idProduct = productId;
        descriptor.bcdDevice = release;
        return *this;
    }
    UsbDeviceDouble& deviceClass(std::uint8_t deviceClass, std::uint8_t subClass = 0) {
        descriptor.bDeviceClass = deviceClass;
        descriptor.bDeviceSubClass = subClass;
        return *this;
    }
    UsbDeviceDouble& speed(std::uint8_t value) { return set(speed_, value); }
    UsbDeviceDouble& status(std::uint32_t value) { return set(status_, value); }
    UsbDeviceDouble& configured(std::uint8_t value) { return set(configurationValue_, value); }
    // String descriptor 0; empty: the device refuses it.
    UsbDeviceDouble& languages(const std::vector<std::uint16_t>& ids) {
        if (ids.empty()) return rawString(0, kEveryLanguage, std::nullopt);
        return string(0, kEveryLanguage, std::u16string(ids.begin(), ids.end()));
    }
    // Strings 1 to 3, named in the device descriptor, in every language.
    UsbDeviceDouble& manufacturer(std::u16string_view text) { return string(descriptor.iManufacturer = 1, text); }
    UsbDeviceDouble& product(std::u16string_view text) { return string(descriptor.iProduct = 2, text); }
    UsbDeviceDouble& serial(std::u16string_view text) { return string(descriptor.iSerialNumber = 3, text); }
    // String `index` in one language, which takes precedence, or in every
    // language: as text (cut to 126 units), as exact bytes, or refused.
    UsbDeviceDouble& string(std::uint8_t index, int language, std::u16string_view text) {
        return rawString(index, language, descriptorOf(text));
    }
    UsbDeviceDouble& string(std::uint8_t index, std::u16string_view text) {
        return string(index, kEveryLanguage, text);
    }
    UsbDeviceDouble& rawString(std::uint8_t index, int language, std::optional<Bytes> bytes) {
        return set(strings_[{index, language}], std::move(bytes));
    }
    // The whole configuration descriptor; nullopt: refused.
    UsbDeviceDouble& configuration(std::optional<Bytes> bytes) { return set(configuration_, std::move(bytes)); }
    // The configuration, one interface and one endpoint, with these string indexes.
    static Bytes configurationWith(std::uint8_t iConfiguration, std::uint8_t iInterface);

    UsbHubDouble* hub() { return hub_.get(); }  // the hub this device is, or nullptr

    usb::USB_DEVICE_DESCRIPTOR descriptor{};

private:
    friend class UsbStackDouble;
    friend class UsbHubDouble;

    template <typename T, typename V>
    UsbDeviceDouble& set(T& field, V&& value) {
        field = std::forward<V>(value);
        return *this;
    }
    static Bytes descriptorOf(std::u16string_view text);
    // Appends string descriptor `index` in `language`; false when refused.
    bool stringDescriptor(std::uint8_t index, std::uint16_t language, Bytes& out) const;

    std::uint32_t status_ = 1;
    std::uint8_t configurationValue_ = 1;
    std::uint8_t speed_ = usb::UsbHighSpeed;
    // Keyed by index and language.
    std::map<std::pair<int, int>, std::optional<Bytes>> strings_;
    std::optional<Bytes> configuration_;
    std::unique_ptr<UsbHubDouble> hub_;
};

// A hub, root or external, with ports numbered from 1.
class UsbHubDouble {
public:
    UsbHubDouble(std::u16string name, int ports) : name(std::move(name)), reportedPorts(ports) {}

    // A fresh device on `port`, replacing whatever was there.
    UsbDeviceDouble& plug(int port) { return *(devices_[port] = std::make_unique<UsbDeviceDouble>()); }
    // A hub device on `port` with a hub of `ports` ports named `name` below it.
    UsbDeviceDouble& plugHub(int port, std::u16string name, int ports = 4);
    void unplug(int port) { devices_.erase(port); }
    UsbDeviceDouble* device(int port) { return devices_.contains(port) ? devices_.at(port).get() : nullptr; }
    // The first hub named `name`, this one or below it, outer hubs first.
    UsbHubDouble* find(const std::u16string& hubName);

    std::u16string name;
    int reportedPorts;                 // bNumberOfPorts, also the ports that answer
    bool olderDriver = false;          // the extended connection query fails
    bool failNodeInformation = false;  // the node information query fails

private:
    std::map<int, std::unique_ptr<UsbDeviceDouble>> devices_;
};

struct UsbControllerDouble {
    std::optional<int> number{};     // opened as "\\.\HCD<number>" (0 to 9)
    std::u16string interfacePath{};  // listed as a host-controller interface when not empty
    std::optional<std::u16string> driverKey = u"{36fc9e60-c465-11cf-8056-444553540000}\\0000";
    std::unique_ptr<UsbHubDouble> root{};  // none: no root hub name

    UsbHubDouble& rootHub(std::u16string name, int ports) {
        return *(root = std::make_unique<UsbHubDouble>(std::move(name), ports));
    }
};

enum class Link { Usb2, Usb3 };
enum class Side { SuperSpeed, Usb2 };

// One physical hub of the family: its 0x2744 hub device and, on a USB 3
// link, its 0x5744 hub device, both with the same serial.
struct FamilyHub {
    UsbDeviceDouble* device5744 = nullptr;  // nullptr on a USB 2 link
    UsbDeviceDouble* device2744 = nullptr;

    UsbHubDouble* side(Side side) const {
        UsbDeviceDouble* hubDevice = side == Side::SuperSpeed ? device5744 : device2744;
        return hubDevice != nullptr ? hubDevice->hub() : nullptr;
    }
    // A fresh device on port index `portIndex` (0 to 3) of one side.
    UsbDeviceDouble& plug(int portIndex, Side s = Side::Usb2) {
        return side(s)->plug(portIndex + 1).speed(s == Side::SuperSpeed ? usb::UsbSuperSpeed : usb::UsbHighSpeed);
    }
    // Removes whatever is on port index `portIndex`, on both sides.
    void unplug(int portIndex) {
        for (const Side s : {Side::SuperSpeed, Side::Usb2}) {
            if (side(s) != nullptr) side(s)->unplug(portIndex + 1);
        }
    }
    UsbDeviceDouble* device(int portIndex, Side s = Side::Usb2) {
        return side(s) != nullptr ? side(s)->device(portIndex + 1) : nullptr;
    }
};

// One device I/O control as the double received it.
struct IoctlCall {
    std::uint32_t code = 0;
    std::uint8_t descriptorType = 0;  // descriptor requests only
    std::uint32_t outSize = 0;
};

// The double's answer, open to change by a fault. `out` is the caller's
// whole output buffer.
struct IoctlAnswer {
    bool ok = false;
    std::uint32_t bytesReturned = 0;
    std::span<std::uint8_t> out;
};

using Fault = std::function<void(const IoctlCall&, IoctlAnswer&)>;

class UsbStackDouble final : public platform::UsbStack {
public:
    UsbControllerDouble& addController(UsbControllerDouble controller);
    // `count` hubs of the family on a controller of their own, reached
    // through the interface list, with serials "VH0001", "VH0002", ...
    // (numbered across calls). On a USB 3 link each takes two root hub
    // ports, the 0x5744 side first.
    std::vector<FamilyHub> addFamilyHubs(int count, Link link);

    // Runs `fault` over every later answer, after those added before it.
    void addFault(Fault fault) { faults.push_back(std::move(fault)); }

    std::uint64_t ioctlCount() const { return ioctls_; }
    std::uint64_t ioctlCount(std::uint32_t code) const {
        return ioctlsByCode_.contains(code) ? ioctlsByCode_.at(code) : 0;
    }
    std::uint64_t openCount() const { return opens_; }
    std::size_t openHandles() const { return handles_.size(); }
    std::uint64_t badCloses() const { return badCloses_; }  // closes of handles not open
    void resetCounts() {
        ioctls_ = opens_ = badCloses_ = 0;
        ioctlsByCode_.clear();
    }

    std::vector<Fault> faults;
    std::vector<std::u16string> failingOpens;  // paths that do not open
    bool interfaceListFails = false;

    // platform::UsbStack
    void* open(const char16_t* path) override;
    bool deviceIoControl(void* handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* bytesReturned) override;
    void close(void* handle) override;
    int hostControllerInterface(std::uint32_t index, char16_t* path, std::uint32_t capacity) override;

private:
    struct Handle {
        const UsbControllerDouble* controller;
        UsbHubDouble* hub;
    };

    void* track(Handle handle);
    // Each makes the whole answer in answer_; false when the call fails.
    bool controllerAnswer(const UsbControllerDouble& controller, std::uint32_t code);
    bool hubAnswer(UsbHubDouble& hub, const IoctlCall& call);

    std::list<UsbControllerDouble> controllers_;
    std::map<void*, Handle> handles_;
    std::uintptr_t lastHandle_ = 0;
    int familySerials_ = 0;
    int familyControllers_ = 0;
    std::uint64_t ioctls_ = 0;
    std::map<std::uint32_t, std::uint64_t> ioctlsByCode_;
    std::uint64_t opens_ = 0;
    std::uint64_t badCloses_ = 0;
    Bytes input_;  // kept across calls to spare allocations
    Bytes answer_;
};

}  // namespace vostrel::test
