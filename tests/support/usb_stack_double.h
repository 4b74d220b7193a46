// A USB stack for tests: an in-memory bus of host controllers, hubs and
// devices that answers the library's questions with the Windows USB control
// codes and structures, byte for byte, and can be changed between scans and
// made to misbehave.
//
// Describing a bus
//   UsbStackDouble stack;
//   auto& hc = stack.addController({.number = 0, .driverKey = u"{key}\\0000"});
//   UsbHubDouble& root = hc.rootHub(u"ROOT_HUB30#0", 8);
//   UsbDeviceDouble& hub = root.plugHub(1, u"HUB#A", 4);      // a hub device on port 1
//   hub.ids(0x0424, 0x2744).serial(u"SN1");
//   hub.hub()->plug(2).ids(0x1234, 0x5678).product(u"Widget").manufacturer(u"Maker");
//   platform::useUsbStack(&stack);   // the scan now walks this bus
//
// Controllers are opened as "\\.\HCD<number>" when they have a number and
// through the interface list (in order of adding) when they have an
// interface path. Hubs are opened as "\\.\" followed by their name.
//
// The family helper builds N hubs of the family on their own controller
// (reached through the interface list, so hub indexes follow the order of
// adding) and returns handles to change them:
//   auto hubs = stack.addFamilyHubs(2, Link::Usb3);
//   hubs[1].plug(3).ids(0x1234, 0x0042).product(u"Camera");  // hub 1, port index 3
//   hubs[1].device(3)->status(DeviceFailedEnumeration);       // ...fails
//   hubs[1].device(3)->configured(0);                           // ...goes unconfigured
//   hubs[1].unplug(3);                                          // ...vanishes
//
// Misbehaviour: addFault() runs a function over every answer after the
// double has made it; it may fail the call, change the bytes returned (also
// beyond the room given) or rewrite the output. failOpen() and
// interfaceListFails() cover the other two calls.
//
// Counting: every device I/O control is counted, in total and per control
// code; recordCalls(true) also keeps a log of them.
//
// Pointers and references handed out stay valid until the node is unplugged
// or the double is destroyed. Not thread-safe: change the bus only while no
// scan runs. Every scan runs under the library's general lock, so a test
// whose monitor thread may be scanning changes the bus, and reads the
// counts, while it holds vostrel::generalLock().
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/usb_ioctl.h"
#include "platform/usb_stack.h"

namespace vostrel::test {

class UsbHubDouble;

// A device on a hub port: what the hub driver reports about it and what it
// answers to descriptor requests. A fresh device is connected, configured
// (value 1), high speed, with vendor 0x1234 and product 0x5678, release
// 0x0100, language list {0x0409}, no strings, and a configuration descriptor
// of one interface with one endpoint and no string indexes.
class UsbDeviceDouble {
public:
    UsbDeviceDouble();
    ~UsbDeviceDouble();
    UsbDeviceDouble(const UsbDeviceDouble&) = delete;
    UsbDeviceDouble& operator=(const UsbDeviceDouble&) = delete;

    UsbDeviceDouble& ids(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t release = 0x0100);
    UsbDeviceDouble& deviceClass(std::uint8_t deviceClass, std::uint8_t subClass = 0);
    UsbDeviceDouble& speed(std::uint8_t speed);          // usb::UsbLowSpeed ... usb::UsbSuperSpeed
    UsbDeviceDouble& status(std::uint32_t status);       // connection status, passed through as is
    UsbDeviceDouble& configured(std::uint8_t value);     // current configuration value; 0: not configured
    UsbDeviceDouble& openPipes(int count);               // pipe entries in the connection answer, up to 30

    // The language list (string descriptor 0). Empty: the device refuses it.
    UsbDeviceDouble& languages(std::vector<std::uint16_t> ids);
    // Manufacturer (index 1), product (index 2) and serial (index 3), named
    // in the device descriptor and readable in every listed language.
    UsbDeviceDouble& manufacturer(std::u16string text);
    UsbDeviceDouble& product(std::u16string text);
    UsbDeviceDouble& serial(std::u16string text);
    // The string indexes that the device descriptor names (0: none).
    UsbDeviceDouble& stringIndexes(std::uint8_t manufacturer, std::uint8_t product, std::uint8_t serial);
    // String `index` in every language, or in one language only (that one
    // takes precedence). Texts longer than 126 units are cut to 126.
    UsbDeviceDouble& string(std::uint8_t index, std::u16string text);
    UsbDeviceDouble& string(std::uint8_t index, std::uint16_t language, std::u16string text);
    // String `index` in `language` answered with exactly these bytes.
    UsbDeviceDouble& rawString(std::uint8_t index, std::uint16_t language, std::vector<std::uint8_t> bytes);
    // String `index` in `language` is refused (the request fails).
    UsbDeviceDouble& refuseString(std::uint8_t index, std::uint16_t language);

    // The whole configuration descriptor as the device sends it.
    UsbDeviceDouble& configuration(std::vector<std::uint8_t> bytes);
    // The device refuses its configuration descriptor.
    UsbDeviceDouble& noConfiguration();
    // A well-formed configuration descriptor: the configuration, one
    // interface and one endpoint, with these string indexes.
    static std::vector<std::uint8_t> configurationWith(std::uint8_t iConfiguration, std::uint8_t iInterface);

    usb::USB_DEVICE_DESCRIPTOR& descriptor() { return descriptor_; }
    // The hub this device is, or nullptr.
    UsbHubDouble* hub() { return hub_.get(); }

private:
    friend class UsbStackDouble;
    friend class UsbHubDouble;

    // Appends string descriptor `index` in `language` to `out`; false when
    // the device refuses it.
    bool stringDescriptor(std::uint8_t index, std::uint16_t language, std::vector<std::uint8_t>& out) const;

    usb::USB_DEVICE_DESCRIPTOR descriptor_{};
    std::uint32_t status_ = 1;
    std::uint8_t configurationValue_ = 1;
    std::uint8_t speed_ = usb::UsbHighSpeed;
    std::uint16_t address_ = 1;
    int pipes_ = 0;
    std::vector<std::uint16_t> languages_{0x0409};
    std::map<std::uint8_t, std::u16string> strings_;
    // Per language: the exact answer, or nothing for a refusal.
    std::map<std::pair<std::uint8_t, std::uint16_t>, std::optional<std::vector<std::uint8_t>>> languageStrings_;
    std::optional<std::vector<std::uint8_t>> configuration_;
    std::unique_ptr<UsbHubDouble> hub_;
};

// A hub, root or external, with numbered ports from 1.
class UsbHubDouble {
public:
    UsbHubDouble(std::u16string name, int reportedPorts);
    UsbHubDouble(const UsbHubDouble&) = delete;
    UsbHubDouble& operator=(const UsbHubDouble&) = delete;

    const std::u16string& name() const { return name_; }

    // A fresh device on `port` (1 to 255), replacing whatever was there.
    UsbDeviceDouble& plug(int port);
    // A hub device on `port`: the device and, below it, a hub of `ports`
    // ports named `name`. Returns the device; its hub() is the new hub.
    UsbDeviceDouble& plugHub(int port, std::u16string name, int ports = 4);
    void unplug(int port);
    UsbDeviceDouble* device(int port);

    // bNumberOfPorts in the node information (also the ports that answer).
    UsbHubDouble& reportedPorts(int count);
    // An older hub driver: the extended connection query fails.
    UsbHubDouble& olderDriver(bool older = true);
    // The node information query fails.
    UsbHubDouble& failNodeInformation(bool fail = true);

private:
    friend class UsbStackDouble;

    std::u16string name_;
    int reportedPorts_;
    bool olderDriver_ = false;
    bool failNodeInformation_ = false;
    std::map<int, std::unique_ptr<UsbDeviceDouble>> ports_;
};

struct ControllerSpec {
    std::optional<int> number{};   // opened as "\\.\HCD<number>" (0 to 9)
    std::u16string interfacePath{};  // listed as a host-controller interface when not empty
    std::optional<std::u16string> driverKey = u"{36fc9e60-c465-11cf-8056-444553540000}\\0000";
};

class UsbControllerDouble {
public:
    explicit UsbControllerDouble(ControllerSpec spec) : spec_(std::move(spec)) {}
    UsbControllerDouble(const UsbControllerDouble&) = delete;
    UsbControllerDouble& operator=(const UsbControllerDouble&) = delete;

    // Creates (or replaces) the root hub.
    UsbHubDouble& rootHub(std::u16string name, int ports);
    UsbHubDouble* rootHub() { return root_.get(); }
    // The controller answers no root hub name.
    void removeRootHub() { root_.reset(); }
    ControllerSpec& spec() { return spec_; }

private:
    friend class UsbStackDouble;

    ControllerSpec spec_;
    std::unique_ptr<UsbHubDouble> root_;
};

enum class Link { Usb2, Usb3 };
enum class Side { SuperSpeed, Usb2 };

// One physical hub of the family: its 0x2744 hub device and, on a USB 3
// link, its 0x5744 hub device, both with the same serial.
struct FamilyHub {
    std::u16string serial;
    UsbDeviceDouble* device5744 = nullptr;  // nullptr on a USB 2 link
    UsbDeviceDouble* device2744 = nullptr;
    UsbHubDouble* side5744 = nullptr;
    UsbHubDouble* side2744 = nullptr;

    // A fresh device on port index `portIndex` (0 to 3) of one side: a
    // SuperSpeed device shows on the 0x5744 side, any other on 0x2744.
    UsbDeviceDouble& plug(int portIndex, Side side = Side::Usb2);
    // Removes whatever is on port index `portIndex`, on both sides.
    void unplug(int portIndex);
    UsbDeviceDouble* device(int portIndex, Side side = Side::Usb2);
};

// One device I/O control as the double received it.
struct IoctlCall {
    std::u16string device{};  // the path its handle was opened with
    std::uint32_t code = 0;
    std::uint32_t port = 0;  // the connection index of a hub question, else 0
    std::uint8_t descriptorType = 0;  // descriptor requests only
    std::uint8_t descriptorIndex = 0;
    std::uint16_t languageId = 0;
    std::uint32_t inSize = 0;
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
    UsbStackDouble();
    ~UsbStackDouble() override;

    UsbControllerDouble& addController(ControllerSpec spec);
    // Removes a controller and everything below it.
    void removeController(UsbControllerDouble& controller);

    // `count` hubs of the family on a new controller of their own, reached
    // through the interface list, with serials "VH0001", "VH0002", ...
    // (numbered across calls). On a USB 3 link each hub takes two root hub
    // ports, the 0x5744 side first; on USB 2 one.
    std::vector<FamilyHub> addFamilyHubs(int count, Link link);

    // Runs `fault` over every later answer, after those added before it.
    void addFault(Fault fault);
    void clearFaults();
    // Fails every call for which `match` is true.
    void failWhen(std::function<bool(const IoctlCall&)> match);
    // `path` does not open.
    void failOpen(std::u16string path);
    // The interface list cannot be obtained.
    void interfaceListFails(bool fails = true) { interfaceListFails_ = fails; }

    std::uint64_t ioctlCount() const { return ioctls_; }
    std::uint64_t ioctlCount(std::uint32_t code) const;
    std::uint64_t openCount() const { return opens_; }
    std::size_t openHandles() const { return handles_.size(); }
    // close() with a handle that is not open.
    std::uint64_t badCloses() const { return badCloses_; }
    void resetCounts();
    void recordCalls(bool record = true) { recordCalls_ = record; }
    const std::vector<IoctlCall>& calls() const { return calls_; }

    // platform::UsbStack
    void* open(const char16_t* path) override;
    bool deviceIoControl(void* handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* bytesReturned) override;
    void close(void* handle) override;
    int hostControllerInterface(std::uint32_t index, char16_t* path, std::uint32_t capacity) override;

private:
    struct Handle;

    // The first hub named `name`, outer hubs before the hubs below them.
    UsbHubDouble* findHub(const std::u16string& name);
    static UsbHubDouble* findBelow(UsbHubDouble& hub, const std::u16string& name);
    // Each makes the whole answer in answer_; false when the call fails.
    bool controllerAnswer(UsbControllerDouble& controller, std::uint32_t code, std::uint32_t outSize);
    bool hubAnswer(UsbHubDouble& hub, const IoctlCall& call, std::span<const std::uint8_t> in, std::uint32_t outSize);

    std::vector<std::unique_ptr<UsbControllerDouble>> controllers_;
    std::unordered_set<Handle*> handles_;
    std::vector<Fault> faults_;
    std::vector<std::u16string> failingOpens_;
    bool interfaceListFails_ = false;
    int familySerials_ = 0;
    int familyControllers_ = 0;
    std::uint64_t ioctls_ = 0;
    std::map<std::uint32_t, std::uint64_t> ioctlsByCode_;
    std::uint64_t opens_ = 0;
    std::uint64_t badCloses_ = 0;
    bool recordCalls_ = false;
    std::vector<IoctlCall> calls_;
    // Working areas of one call, kept to spare allocations.
    std::vector<std::uint8_t> input_;
    std::vector<std::uint8_t> answer_;
};

// The fixed bus of the test module: one hub of the family on a USB 3 link
// behind "\\.\HCD0", with a device on port index 1. The module and the
// tests that load it build it alike.
void buildModuleTopology(UsbStackDouble& stack);

}  // namespace vostrel::test
