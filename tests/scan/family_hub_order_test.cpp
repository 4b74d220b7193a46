// The order in which the scan numbers the family's hubs, as the bus model
// states it (usbbus/family_hubs.h) for the vendor library implementations
// and the simulator: on buses built to reach every rule of the walk, the
// scan's identities, the model's order and the order of the bus the Windows
// reader reads agree, side by side.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "backends/usb_stack_reader.h"
#include "scan/usb_tree_scan.h"
#include "scan_fixture.h"
#include "usbbus/family_hubs.h"

namespace vostrel::test {
namespace {

UsbDeviceDouble plugFamily(UsbHubDouble hub, int port, std::u16string name, std::uint16_t productId,
                            std::u16string serial) {
    return hub.plugHub(port, std::move(name)).ids(0x0424, productId).serial(std::move(serial));
}

// Puts a device with the ids 0xFEED:n on port 1 of every hub that has none
// there, n counting up, so that each hub device shows whose records the
// scan keeps.
void markHubs(usbbus::Hub& hub, std::uint16_t& next, int depthLeft = 16) {
    if (hub.portCount >= 1 && hub.device(1) == nullptr) UsbHubDouble(hub).plug(1).ids(0xFEED, next++);
    if (depthLeft == 0) return;
    for (auto& [port, device] : hub.devices) {
        if (device.hub) markHubs(*device.hub, next, depthLeft - 1);
    }
}

// "vendor:product" of the device on port 1 of a hub, as the scan recorded
// it or as the model holds it; "-" for none.
std::string port1(const PortInfoRecord& record) {
    return record.vendorId == 0 ? "-" : std::to_string(record.vendorId) + ":" + std::to_string(record.productId);
}
std::string port1(const usbbus::FamilyHubSide& side) {
    const usbbus::Device* device = side ? side.hub->device(1) : nullptr;
    if (device == nullptr || device->descriptor.idVendor == 0) return "-";
    return std::to_string(device->descriptor.idVendor) + ":" + std::to_string(device->descriptor.idProduct);
}

using FamilyHubOrder = ScanTest;

TEST_F(FamilyHubOrder, TheModelsOrderIsTheScansOnEveryRuleOfTheWalk) {
    const struct {
        const char* label;
        std::function<void(UsbStackDouble&)> build;
    } buses[] = {
        {"numbered controllers downwards, then the list; one driver key once",
         [](UsbStackDouble& stack) {
             UsbHubDouble two = stack.addController({.number = 2, .interfacePath = u"\\\\?\\P2", .driverKey = u"K"})
                                    .rootHub(u"R2", 3);
             UsbHubDouble listed =
                 stack.addController({.interfacePath = u"\\\\?\\L", .driverKey = u"L"}).rootHub(u"RL", 1);
             UsbHubDouble seven = stack.addController({.number = 7, .driverKey = u"l"}).rootHub(u"R7", 1);
             plugFamily(listed, 1, u"HL", 0x2744, u"LISTED");
             plugFamily(seven, 1, u"H7", 0x2744, u"SEVEN");
             UsbHubDouble other = two.plugHub(1, u"OTHER").ids(0x05E3, 0x0608).hub();
             plugFamily(plugFamily(other, 3, u"OUTER", 0x2744, u"OUTER").hub(), 4, u"INNER", 0x2744, u"INNER");
             plugFamily(two, 2, u"LAST", 0x5744, u"LAST");
             two.plug(3).ids(0x0424, 0x2744).serial(u"NOHUB");
         }},
        {"a controller numbered and listed is walked once; a serial met again takes the later hub device",
         [](UsbStackDouble& stack) {
             UsbHubDouble listed =
                 stack.addController({.interfacePath = u"\\\\?\\B", .driverKey = u"B"}).rootHub(u"RB", 1);
             UsbHubDouble both = stack.addController({.number = 3, .interfacePath = u"\\\\?\\A", .driverKey = u"A"})
                                     .rootHub(u"RA", 1);
             plugFamily(both, 1, u"HA", 0x2744, u"DUP");
             plugFamily(listed, 1, u"HB", 0x2744, u"DUP");
         }},
        {"both sides of USB 3 hubs, the SuperSpeed side met first",
         [](UsbStackDouble& stack) { stack.addFamilyHubs(3, Link::Usb3); }},
        {"34 hubs, each showing one side: 32 identities",
         [](UsbStackDouble& stack) {
             auto hubs = stack.addFamilyHubs(34, Link::Usb3);
             for (std::size_t i = 0; i < hubs.size(); ++i) (i % 2 ? hubs[i].device5744 : hubs[i].device2744)->ids(1, 1);
         }},
        {"33 hub devices under one serial: 32 recorded",
         [](UsbStackDouble& stack) {
             for (FamilyHub& hub : stack.addFamilyHubs(33, Link::Usb2)) hub.device2744->serial(u"ONE");
         }},
        {"serials read in the first language that has them, or not at all",
         [](UsbStackDouble& stack) {
             UsbHubDouble root = stack.addController({.number = 0}).rootHub(u"R", 6);
             plugFamily(root, 1, u"A", 0x2744, u"")
                 .languages({0x0409, 0x0411})
                 .rawString(3, 0x0409, std::nullopt)
                 .string(3, 0x0411, u"SECOND");
             plugFamily(root, 2, u"B", 0x2744, u"ODD").rawString(3, 0x0409, Bytes{5, 3, 'O', 0, 'D'});
             plugFamily(root, 3, u"C", 0x2744, u"NUL").string(3, 0x0409, std::u16string(u"NU\0L", 4));
             plugFamily(root, 4, u"D", 0x2744, u"UNSET").configured(0);
             plugFamily(root, 5, u"E", 0x2744, u"FAILED").status(2);
             plugFamily(root, 6, u"F", 0x2744, u"NOLIST").languages({});
         }},
        {"hubs that cannot be walked: silent, unnamed, too deep, renamed",
         [](UsbStackDouble& stack) {
             UsbHubDouble root = stack.addController({.number = 0}).rootHub(u"R", 4);
             plugFamily(root, 1, u"MUTE", 0x2744, u"MUTE").hub()->answersNodeInformation = false;
             plugFamily(root, 2, u"", 0x2744, u"UNNAMED");
             UsbHubDouble chain = root.plugHub(3, u"T1").hub();
             for (int tier = 2; tier <= 8; ++tier) {
                 chain = plugFamily(chain, 1, u"T" + std::u16string(1, char16_t(u'0' + tier)), 0x2744,
                                    u"TIER" + std::u16string(1, char16_t(u'0' + tier)))
                             .hub();
             }
             plugFamily(root, 4, u"R", 0x2744, u"ROOTNAME");  // opens as the root hub
         }},
    };
    for (const auto& [label, build] : buses) {
        UsbStackDouble stack;
        build(stack);
        std::uint16_t next = 1;
        for (usbbus::Controller& controller : stack.bus().controllers) {
            if (controller.rootHub) markHubs(*controller.rootHub, next);
        }
        platform::useUsbStack(&stack);
        auto buffer = std::make_unique<ScanBuffer>();
        ScanUsbTree(*buffer);
        platform::useUsbStack(&stack_);

        // Each identity: its serial, then whose records each table keeps.
        std::vector<std::string> scanned, modelled, read;
        for (int k = 0; k < buffer->identityCount; ++k) {
            const std::u16string serial = buffer->serials[k];
            scanned.push_back(std::string(serial.begin(), serial.end()) + " " + port1(buffer->ports2744[4 * k]) +
                              " " + port1(buffer->ports5744[4 * k]));
        }
        for (const usbbus::FamilyHub& hub : usbbus::familyHubsInScanOrder(stack.bus())) {
            modelled.push_back(std::string(hub.serial.begin(), hub.serial.end()) + " " + port1(hub.usb2) + " " +
                               port1(hub.superSpeed));
        }
        // The Windows reader's bus holds what the walk needs of the stack.
        for (const usbbus::FamilyHub& hub : usbbus::familyHubsInScanOrder(*backends::readBusThroughUsbStack(stack))) {
            read.push_back(std::string(hub.serial.begin(), hub.serial.end()) + " " + port1(hub.usb2) + " " +
                           port1(hub.superSpeed));
        }
        EXPECT_EQ(modelled, scanned) << label;
        EXPECT_EQ(read, scanned) << label;
        EXPECT_FALSE(scanned.empty()) << label;
    }
}

}  // namespace
}  // namespace vostrel::test
