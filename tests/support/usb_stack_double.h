// A USB stack for tests: a bus model built in code, handed to the scan as a
// source of buses or answered through the library's own translator, that can
// be changed between scans and, as a stack, made to misbehave through faults
// (see usb_stack_faults.h).
//
// Controllers open as "\\.\HCD<number>" when they have a number and through
// the interface list (in order of adding) when they have an interface path;
// hubs open as "\\.\" followed by their name. The handles below (devices,
// hubs, controllers) are small values pointing into the bus; they stay valid
// until their node is unplugged. Not thread-safe: a test whose monitor
// thread may be scanning changes the bus and reads the counts while it holds
// vostrel::generalLock.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backends/bus_source.h"
#include "usb_stack_faults.h"
#include "usbbus/bus_model.h"
#include "usbbus/model_usb_stack.h"

namespace vostrel::test {

using usbbus::Bytes;
using usbbus::kEveryLanguage;
class UsbHubDouble;

// A device on a hub port. A fresh one is connected, configured (value 1),
// high speed, 0x1234/0x5678 release 0x0100, with the language list {0x0409},
// no strings, and a configuration of one interface and one endpoint.
class UsbDeviceDouble {
public:
    explicit UsbDeviceDouble(usbbus::Device& device) : device_(&device) {}

    UsbDeviceDouble ids(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t release = 0x0100) {
        descriptor().idVendor = vendorId;
        descriptor().idProduct = productId;
        descriptor().bcdDevice = release;
        return *this;
    }
    UsbDeviceDouble deviceClass(std::uint8_t deviceClass, std::uint8_t subClass = 0) {
        descriptor().bDeviceClass = deviceClass;
        descriptor().bDeviceSubClass = subClass;
        return *this;
    }
    UsbDeviceDouble speed(std::uint8_t value) { return set(device_->speed, value); }
    UsbDeviceDouble status(std::uint32_t value) { return set(device_->connectionStatus, value); }
    UsbDeviceDouble configured(std::uint8_t value) { return set(device_->configurationValue, value); }
    // String descriptor 0; empty: the device refuses it.
    UsbDeviceDouble languages(const std::vector<std::uint16_t>& ids);
    // Strings 1 to 3, named in the device descriptor, in every language.
    UsbDeviceDouble manufacturer(std::u16string_view text) { return string(descriptor().iManufacturer = 1, text); }
    UsbDeviceDouble product(std::u16string_view text) { return string(descriptor().iProduct = 2, text); }
    UsbDeviceDouble serial(std::u16string_view text) { return string(descriptor().iSerialNumber = 3, text); }
    // String `index` in one language, which takes precedence, or in every
    // language: as text (cut to 126 units), as exact bytes, or refused.
    UsbDeviceDouble string(std::uint8_t index, int language, std::u16string_view text);
    UsbDeviceDouble string(std::uint8_t index, std::u16string_view text) {
        return string(index, kEveryLanguage, text);
    }
    UsbDeviceDouble rawString(std::uint8_t index, int language, std::optional<Bytes> bytes) {
        device_->strings[{index, language}] = std::move(bytes);
        return *this;
    }
    // The whole configuration descriptor; nullopt: refused.
    UsbDeviceDouble configuration(std::optional<Bytes> bytes);
    // The configuration, one interface and one endpoint, with these string indexes.
    static Bytes configurationWith(std::uint8_t iConfiguration, std::uint8_t iInterface);

    usb::USB_DEVICE_DESCRIPTOR& descriptor() { return device_->descriptor; }
    // The hub this device is; only for devices plugged as hubs.
    UsbHubDouble hub() const;

private:
    template <typename T, typename V>
    UsbDeviceDouble set(T& field, V value) {
        field = value;
        return *this;
    }

    usbbus::Device* device_;
};

// A hub, root or external, with ports numbered from 1. Its model fields
// (portCount, olderDriver, answersNodeInformation) are reached with ->.
class UsbHubDouble {
public:
    explicit UsbHubDouble(usbbus::Hub& hub) : hub_(&hub) {}

    // A fresh device on `port`, replacing whatever was there.
    UsbDeviceDouble plug(int port);
    // A hub device on `port` with a hub of `ports` ports named `name` below it.
    UsbDeviceDouble plugHub(int port, std::u16string name, int ports = 4);
    void unplug(int port) { hub_->devices.erase(port); }
    std::optional<UsbDeviceDouble> device(int port);

    usbbus::Hub* operator->() const { return hub_; }

private:
    usbbus::Hub* hub_;
};

// What a test names of a host controller when it adds one.
struct UsbControllerDouble {
    std::optional<int> number{};     // opened as "\\.\HCD<number>" (0 to 9)
    std::u16string interfacePath{};  // listed as a host-controller interface when not empty
    std::optional<std::u16string> driverKey = u"{36fc9e60-c465-11cf-8056-444553540000}\\0000";
};

class UsbControllerHandle {
public:
    explicit UsbControllerHandle(usbbus::Controller& controller) : controller_(&controller) {}
    // Gives the controller a root hub (until then it names none).
    UsbHubDouble rootHub(std::u16string name, int ports);

private:
    usbbus::Controller* controller_;
};

enum class Link { Usb2, Usb3 };
enum class Side { SuperSpeed, Usb2 };

// One physical hub of the family: its 0x2744 hub device and, on a USB 3
// link, its 0x5744 hub device, both with the same serial.
struct FamilyHub {
    std::optional<UsbDeviceDouble> device5744;  // none on a USB 2 link
    std::optional<UsbDeviceDouble> device2744;

    std::optional<UsbHubDouble> side(Side side) const;
    // A fresh device on port index `portIndex` (0 to 3) of one side.
    UsbDeviceDouble plug(int portIndex, Side s = Side::Usb2) {
        return side(s)->plug(portIndex + 1).speed(s == Side::SuperSpeed ? usb::UsbSuperSpeed : usb::UsbHighSpeed);
    }
    // Removes whatever is on port index `portIndex`, on both sides.
    void unplug(int portIndex);
    std::optional<UsbDeviceDouble> device(int portIndex, Side s = Side::Usb2) {
        return side(s) ? side(s)->device(portIndex + 1) : std::nullopt;
    }
};

namespace detail {

// A stack that answers from a bus changed in place between scans.
class LiveBusStack final : public usbbus::ModelUsbStack {
public:
    usbbus::Bus bus;

private:
    std::shared_ptr<const usbbus::Bus> live() { return {std::shared_ptr<const usbbus::Bus>(), &bus}; }
    std::shared_ptr<const usbbus::Bus> busToOpen() override { return live(); }
    std::shared_ptr<const usbbus::Bus> busToList(std::uint32_t) override { return live(); }
};

// Built before the faulty stack around it.
struct LiveBusHolder {
    LiveBusStack live;
};

}  // namespace detail

class UsbStackDouble final : private detail::LiveBusHolder, public FaultyUsbStack, public backends::BusSource {
public:
    UsbStackDouble() : FaultyUsbStack(live) {}

    // The bus itself, not a copy: a test changes it only between scans.
    std::shared_ptr<const usbbus::Bus> read() override {
        ++reads_;
        if (onRead) onRead();
        return {std::shared_ptr<const usbbus::Bus>(), &live.bus};
    }
    // Runs on the scanning thread at each read, before the bus is handed over.
    std::function<void()> onRead;
    // Scans that read the bus since the last resetCounts().
    std::uint64_t busReads() const { return reads_; }
    void resetCounts() {
        FaultyUsbStack::resetCounts();
        reads_ = 0;
    }

    UsbControllerHandle addController(UsbControllerDouble controller);
    // `count` hubs of the family on a controller of their own, reached
    // through the interface list, with serials "VH0001", "VH0002", ...
    // (numbered across calls). On a USB 3 link each takes two root hub
    // ports, the 0x5744 side first.
    std::vector<FamilyHub> addFamilyHubs(int count, Link link);

    // The bus as built so far, to be read or changed in place.
    usbbus::Bus& bus() { return live.bus; }

private:
    std::uint64_t reads_ = 0;
    int familySerials_ = 0;
    int familyControllers_ = 0;
};

}  // namespace vostrel::test
