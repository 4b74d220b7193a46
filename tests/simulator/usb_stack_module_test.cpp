#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/bench_edits.h"
#include "core/bench_file.h"
#include "core/bus_view.h"
#include "core/descriptors.h"
#include "platform/usb_ioctl.h"
#include "reference_walk.h"
#include "scratch_dir.h"
#include "sim_test_support.h"

namespace vostrel::sim {
namespace {

using namespace vostrel::usb;
using test::UsbStack;
using test::Walker;

// A handle that is closed when the test is done with it.
struct Opened {
    Opened(const UsbStack& stack, std::u16string_view name) : stack(stack), handle(stack.openName(name)) {}
    ~Opened() {
        if (handle != nullptr) stack.close(handle);
    }
    const UsbStack& stack;
    void* handle;
};

class UsbStackModule : public ::testing::Test {
protected:
    void useBench(const std::string& text) {
        path_ = test::writeText("bench.json", text);
        variable_.reset();
        variable_ = std::make_unique<test::BenchVariable>(path_);
    }

    // The name of the hub on `port` of the hub `hub` (both given by name).
    std::u16string hubOn(void* hub, std::uint32_t port) const {
        return Walker(stack_).name(hub, IOCTL_USB_GET_NODE_CONNECTION_NAME, 10, true, port).value_or(u"");
    }

    std::u16string rootHubOf(void* controller) const {
        return Walker(stack_).name(controller, IOCTL_USB_GET_ROOT_HUB_NAME, 6, false).value_or(u"");
    }

    USB_NODE_CONNECTION_INFORMATION_EX connection(void* hub, std::uint32_t port) const {
        return Walker(stack_).connection(hub, port).value_or(USB_NODE_CONNECTION_INFORMATION_EX{});
    }

    // Sends a descriptor request with `room` bytes for the answer; the
    // answer's bytes (without the 12-byte header), or none.
    std::optional<std::vector<std::uint8_t>> descriptor(void* hub, std::uint32_t port, std::uint16_t value,
                                                        std::uint16_t index, std::uint16_t room) const {
        std::vector<std::uint8_t> request(12 + room, 0);
        std::memcpy(request.data(), &port, 4);
        std::memcpy(request.data() + 6, &value, 2);
        std::memcpy(request.data() + 8, &index, 2);
        std::memcpy(request.data() + 10, &room, 2);
        std::uint32_t returned = 0;
        if (!stack_.control(hub, IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION, request.data(),
                            static_cast<std::uint32_t>(request.size()), request.data(),
                            static_cast<std::uint32_t>(request.size()), &returned)) {
            return std::nullopt;
        }
        EXPECT_EQ(std::memcmp(request.data(), &port, 4), 0);  // the header comes back
        return std::vector<std::uint8_t>(request.begin() + 12, request.begin() + returned);
    }

    const UsbStack& stack_ = UsbStack::load();
    vostrel::test::ScratchDir dir_;
    std::string path_;
    std::unique_ptr<test::BenchVariable> variable_;
};

TEST_F(UsbStackModule, WithoutABenchThereIsNothing) {
    EXPECT_EQ(stack_.openName(u"\\\\.\\HCD0"), nullptr);
    std::uint16_t path[8];
    EXPECT_EQ(stack_.hostControllerInterface(0, path, 8), 0);
    EXPECT_EQ(stack_.open(nullptr), nullptr);
}

TEST_F(UsbStackModule, ControllersOpenByNumberOrInterfacePathInAnyCase) {
    useBench(test::example("two-hubs-usb3.json"));
    Opened byNumber(stack_, u"\\\\.\\HCD0");
    Opened lowerCase(stack_, u"\\\\.\\hcd0");
    Opened missing(stack_, u"\\\\.\\HCD1");
    EXPECT_NE(byNumber.handle, nullptr);
    EXPECT_NE(lowerCase.handle, nullptr);
    EXPECT_EQ(missing.handle, nullptr);

    std::uint16_t path[512];
    ASSERT_EQ(stack_.hostControllerInterface(1, path, 512), 1);
    const std::u16string second(reinterpret_cast<const char16_t*>(path));
    EXPECT_EQ(second.substr(0, 20), u"\\\\?\\pci#ven_8086&dev");
    EXPECT_EQ(stack_.hostControllerInterface(2, path, 512), 0);
    Opened byPath(stack_, second);
    EXPECT_NE(byPath.handle, nullptr);

    // A path cut to the room given, always with its NUL.
    std::uint16_t cut[5] = {1, 1, 1, 1, 1};
    ASSERT_EQ(stack_.hostControllerInterface(0, cut, 5), 1);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(cut)), u"\\\\?\\");
}

TEST_F(UsbStackModule, AnUnavailableInterfaceListIsReported) {
    useBench(R"({"interfaceListAvailable": false, "controllers": [{"interfacePath": "p"}]})");
    std::uint16_t path[8];
    EXPECT_EQ(stack_.hostControllerInterface(0, path, 8), -1);
}

TEST_F(UsbStackModule, NamesComeInTwoSteps) {
    useBench(R"({"controllers": [{"number": 3, "driverKey": "KEY-3", "rootHubName": "ROOT"}]})");
    Opened controller(stack_, u"\\\\.\\HCD3");
    std::uint8_t area[6] = {};
    std::uint32_t returned = 0;
    ASSERT_TRUE(stack_.control(controller.handle, IOCTL_GET_HCD_DRIVERKEY_NAME, area, 6, area, 6, &returned));
    std::uint32_t actual = 0;
    std::memcpy(&actual, area, 4);
    EXPECT_EQ(actual, 4u + 2 * 6);  // "KEY-3" and its NUL
    EXPECT_EQ(returned, 6u);
    EXPECT_EQ(Walker(stack_).name(controller.handle, IOCTL_GET_HCD_DRIVERKEY_NAME, 6, true), u"KEY-3");
    EXPECT_EQ(rootHubOf(controller.handle), u"ROOT");
    EXPECT_FALSE(stack_.control(controller.handle, IOCTL_GET_HCD_DRIVERKEY_NAME, area, 5, area, 5, &returned));
    EXPECT_EQ(returned, 0u);
}

TEST_F(UsbStackModule, HubsReportTheirPortsAndWhatIsAttached) {
    useBench(test::example("two-hubs-usb3.json"));
    Opened controller(stack_, u"\\\\.\\HCD0");
    Opened root(stack_, u"\\\\.\\" + rootHubOf(controller.handle));
    ASSERT_NE(root.handle, nullptr);

    USB_NODE_INFORMATION node{};
    std::uint32_t returned = 0;
    ASSERT_TRUE(stack_.control(root.handle, IOCTL_USB_GET_NODE_INFORMATION, &node, sizeof node, &node, sizeof node,
                               &returned));
    EXPECT_EQ(returned, 76u);
    EXPECT_EQ(+node.NodeType, UsbHub);
    EXPECT_EQ(node.u.HubInformation.HubDescriptor.bNumberOfPorts, 8);  // four ports, each twice
    EXPECT_EQ(node.u.HubInformation.HubDescriptor.bDescriptorType, 0x29);

    // Port 1: the family hub's USB 2.0 side; port 5: its SuperSpeed side.
    const auto usb2 = connection(root.handle, 1);
    EXPECT_EQ(+usb2.ConnectionIndex, 1u);
    EXPECT_EQ(+usb2.ConnectionStatus, 1u);
    EXPECT_EQ(+usb2.DeviceDescriptor.idVendor, 0x0424);
    EXPECT_EQ(+usb2.DeviceDescriptor.idProduct, 0x2744);
    EXPECT_EQ(usb2.DeviceIsHub, 1);
    EXPECT_EQ(usb2.Speed, UsbHighSpeed);
    EXPECT_EQ(usb2.CurrentConfigurationValue, 1);
    EXPECT_EQ(+usb2.NumberOfOpenPipes, 1u);
    EXPECT_EQ(usb2.PipeList[0].EndpointDescriptor.bEndpointAddress, 0x81);
    const auto super = connection(root.handle, 5);
    EXPECT_EQ(+super.DeviceDescriptor.idProduct, 0x5744);
    EXPECT_EQ(super.Speed, UsbSuperSpeed);
    EXPECT_NE(+usb2.DeviceAddress, +super.DeviceAddress);
    EXPECT_EQ(+connection(root.handle, 4).ConnectionStatus, 0u);

    Opened hubA(stack_, u"\\\\.\\" + hubOn(root.handle, 1));
    ASSERT_TRUE(stack_.control(hubA.handle, IOCTL_USB_GET_NODE_INFORMATION, &node, sizeof node, &node, sizeof node,
                               &returned));
    EXPECT_EQ(node.u.HubInformation.HubDescriptor.bNumberOfPorts, 4);
    const auto camera = connection(hubA.handle, 1);
    EXPECT_EQ(+camera.DeviceDescriptor.idVendor, 0x7E57);
    EXPECT_EQ(+camera.DeviceDescriptor.idProduct, 0x0C31);
    EXPECT_EQ(+camera.DeviceDescriptor.bcdDevice, 0x0200);
    EXPECT_EQ(camera.DeviceDescriptor.bDeviceClass, 0xEF);
    EXPECT_EQ(camera.DeviceIsHub, 0);
    EXPECT_EQ(+camera.NumberOfOpenPipes, 2u);
    EXPECT_EQ(hubOn(hubA.handle, 1), u"");  // not a hub: an empty name
    EXPECT_EQ(+connection(hubA.handle, 2).ConnectionStatus, 0u);  // the drive shows on the other side

    Opened hubASuper(stack_, u"\\\\.\\" + hubOn(root.handle, 5));
    ASSERT_TRUE(stack_.control(hubASuper.handle, IOCTL_USB_GET_NODE_INFORMATION, &node, sizeof node, &node,
                               sizeof node, &returned));
    EXPECT_EQ(node.u.HubInformation.HubDescriptor.bDescriptorType, 0x2A);
    const auto drive = connection(hubASuper.handle, 2);
    EXPECT_EQ(drive.Speed, UsbSuperSpeed);
    EXPECT_EQ(+drive.NumberOfOpenPipes, 4u);
}

TEST_F(UsbStackModule, FailedAndUnconfiguredDevicesReportTheirStatus) {
    useBench(test::example("two-hubs-usb3.json"));
    const test::Walk walk = Walker(stack_).walk();
    ASSERT_EQ(walk.identities, (std::vector<std::u16string>{u"VH0002A", u"VH0002B"}));
    const auto* printer = walk.port(1, 0x2744, 2);
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(+printer->ConnectionStatus, 4u);
    EXPECT_EQ(+printer->DeviceDescriptor.idProduct, 0x0F20);
    EXPECT_EQ(+printer->NumberOfOpenPipes, 0u);
    const auto* meter = walk.port(1, 0x2744, 4);
    EXPECT_EQ(+meter->ConnectionStatus, 1u);
    EXPECT_EQ(meter->CurrentConfigurationValue, 0);
    EXPECT_EQ(+walk.port(0, 0x2744, 3)->ConnectionStatus, 0u);  // unplugged scanner
}

TEST_F(UsbStackModule, TheOlderConnectionQueryHasALowSpeedFlag) {
    useBench(R"({"controllers": [{"number": 0, "devices": [
      {"port": 1, "kind": "hub", "vendorId": 1, "productId": 2, "legacyConnectionQuery": true, "devices": [
        {"port": 1, "vendorId": 3, "productId": 4, "speed": "low"},
        {"port": 2, "vendorId": 3, "productId": 5, "speed": "full"}]}]}]})");
    Opened controller(stack_, u"\\\\.\\HCD0");
    Opened root(stack_, u"\\\\.\\" + rootHubOf(controller.handle));
    Opened hub(stack_, u"\\\\.\\" + hubOn(root.handle, 1));
    USB_NODE_CONNECTION_INFORMATION info{};
    info.ConnectionIndex = 1;
    std::uint32_t returned = 0;
    EXPECT_FALSE(stack_.control(hub.handle, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &info, sizeof info, &info,
                                sizeof info, &returned));
    ASSERT_TRUE(stack_.control(hub.handle, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, &info, sizeof info, &info,
                               sizeof info, &returned));
    EXPECT_EQ(info.LowSpeed, 1);
    EXPECT_EQ(+info.DeviceDescriptor.idProduct, 4);
    info.ConnectionIndex = 2;
    ASSERT_TRUE(stack_.control(hub.handle, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, &info, sizeof info, &info,
                               sizeof info, &returned));
    EXPECT_EQ(info.LowSpeed, 0);
}

TEST_F(UsbStackModule, DescriptorsAreTheDevicesOwnBytes) {
    useBench(test::example("two-hubs-usb3.json"));
    Opened controller(stack_, u"\\\\.\\HCD0");
    Opened root(stack_, u"\\\\.\\" + rootHubOf(controller.handle));
    Opened hubA(stack_, u"\\\\.\\" + hubOn(root.handle, 1));

    const auto head = descriptor(hubA.handle, 1, 0x0200, 0, 9);
    ASSERT_TRUE(head && head->size() == 9);
    const std::uint16_t total = static_cast<std::uint16_t>((*head)[2] | (*head)[3] << 8);
    EXPECT_EQ(total, 9 + 2 * (9 + 7));  // two interfaces, one endpoint each
    const auto whole = descriptor(hubA.handle, 1, 0x0200, 0, total);
    ASSERT_TRUE(whole && whole->size() == total);
    EXPECT_EQ((*whole)[4], 2);  // bNumInterfaces
    EXPECT_EQ((*whole)[9 + 1], USB_INTERFACE_DESCRIPTOR_TYPE);
    EXPECT_EQ((*whole)[9 + 8], 5);  // iInterface of the first interface

    const auto device = descriptor(hubA.handle, 1, 0x0100, 0, 18);
    ASSERT_TRUE(device && device->size() == 18);
    EXPECT_EQ((*device)[14], 1);  // iManufacturer
    EXPECT_EQ((*device)[16], 3);  // iSerialNumber

    const Walker walker(stack_);
    EXPECT_EQ(walker.text(hubA.handle, 1, 0, 0), (std::u16string{u'\x0409', u'\x0411'}));
    EXPECT_EQ(walker.text(hubA.handle, 1, 2, 0x0411), u"HDカメラ");
    EXPECT_EQ(walker.text(hubA.handle, 1, 2, 0x0409), u"HD Camera");
    EXPECT_EQ(walker.text(hubA.handle, 1, 3, 0x0411), u"CAM-7731");  // one text for every language
    EXPECT_EQ(walker.text(hubA.handle, 1, 2, 0x0407), std::nullopt);
    EXPECT_EQ(walker.text(hubA.handle, 1, 9, 0x0409), std::nullopt);
    EXPECT_EQ(walker.text(hubA.handle, 1, 5, 0x0409), u"Video Control");

    // Less room than the descriptor: cut short, its length byte unchanged.
    const auto cut = descriptor(hubA.handle, 1, 0x0302, 0x0409, 4);
    ASSERT_TRUE(cut && cut->size() == 4);
    EXPECT_EQ((*cut)[0], 2 + 2 * 9);
    EXPECT_FALSE(descriptor(hubA.handle, 1, 0x0201, 0, 9));  // only configuration 0
    EXPECT_FALSE(descriptor(hubA.handle, 1, 0x0600, 0, 9));  // no such type
    EXPECT_FALSE(descriptor(hubA.handle, 2, 0x0100, 0, 18));  // nothing on this side
}

TEST_F(UsbStackModule, RefusesWhatItCannotAnswer) {
    useBench(test::example("two-hubs-usb3.json"));
    Opened controller(stack_, u"\\\\.\\HCD0");
    Opened root(stack_, u"\\\\.\\" + rootHubOf(controller.handle));
    USB_NODE_CONNECTION_INFORMATION_EX info{};
    std::uint32_t returned = 7;
    for (std::uint32_t port : {0u, 9u}) {
        info.ConnectionIndex = port;
        EXPECT_FALSE(stack_.control(root.handle, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &info, sizeof info,
                                    &info, sizeof info, &returned));
        EXPECT_EQ(returned, 0u);
    }
    info.ConnectionIndex = 1;
    EXPECT_FALSE(stack_.control(root.handle, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &info, 3, &info,
                                sizeof info, &returned));
    EXPECT_FALSE(stack_.control(root.handle, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &info, sizeof info, &info,
                                34, &returned));
    EXPECT_FALSE(stack_.control(root.handle, 0x220000, &info, sizeof info, &info, sizeof info, &returned));
    EXPECT_FALSE(stack_.control(root.handle, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, nullptr, 4, &info,
                                sizeof info, &returned));
    // A controller does not answer hub questions, nor a hub controller questions.
    EXPECT_FALSE(stack_.control(controller.handle, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &info, sizeof info,
                                &info, sizeof info, &returned));
    std::uint8_t area[6] = {};
    EXPECT_FALSE(stack_.control(root.handle, IOCTL_GET_HCD_DRIVERKEY_NAME, area, 6, area, 6, &returned));
    // A pipe list with room for one pipe only.
    info.ConnectionIndex = 5;
    ASSERT_TRUE(stack_.control(root.handle, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &info, sizeof info, &info,
                               35 + 11, &returned));
    EXPECT_EQ(returned, 35u + 11);
    // A handle that was never given out.
    int bogus = 0;
    EXPECT_FALSE(stack_.control(&bogus, IOCTL_USB_GET_NODE_INFORMATION, &info, sizeof info, &info, sizeof info,
                                &returned));
    stack_.close(&bogus);
}

TEST_F(UsbStackModule, TheWalkMeetsHubsInTheOrderTheyAreNumbered) {
    for (const char* name : {"one-hub-usb2.json", "two-hubs-usb3.json", "32-hubs.json"}) {
        SCOPED_TRACE(name);
        useBench(test::example(name));
        BenchFile file(path_);
        const BusView view(file.current(), wallClockMs());
        std::vector<std::u16string> numbered;
        for (const Device* hub : view.familyHubs()) numbered.push_back(serialAsRead(*hub));
        EXPECT_EQ(Walker(stack_).walk().identities, numbered);
    }
    // The 32-hub bench's controllers are numbered so that file order is scan order.
    const test::Walk walk = Walker(stack_).walk();
    ASSERT_EQ(walk.identities.size(), 32u);
    EXPECT_EQ(walk.identities[0], u"VH3200");
    EXPECT_EQ(walk.identities[31], u"VH3231");
    EXPECT_EQ(walk.hubDevices.size(), 64u);  // both sides of every hub
}

TEST_F(UsbStackModule, AChangeToTheBenchShowsInTheNextScan) {
    useBench(test::example("one-hub-usb2.json"));
    EXPECT_EQ(+Walker(stack_).walk().port(0, 0x2744, 1)->ConnectionStatus, 1u);
    BenchFile(path_).update([](Document& document, const BusView& view) {
        setState(document, *view.familyHubs()[0]->devices.data(), State::Unplugged, view.now());
    });
    EXPECT_EQ(+Walker(stack_).walk().port(0, 0x2744, 1)->ConnectionStatus, 0u);
}

}  // namespace
}  // namespace vostrel::sim
