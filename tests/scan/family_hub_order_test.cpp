// The walk over the bus model (usbbus/family_hubs.h) on buses built to reach
// every rule of its order: it numbers the hubs it should, and the walk of the
// bus that the Windows reader reads through the USB I/O controls answered
// from the same model gives the same hubs with the same records byte for
// byte, locations and devices' serials.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "backends/usb_stack_reader.h"
#include "frame/text.h"
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

// One hub as the walk gives it: serial, location, then each side's four
// records and the devices' serials, all byte for byte.
std::string recorded(const usbbus::FamilyHub& hub) {
    std::string text(reinterpret_cast<const char*>(hub.serial.data()), 2 * hub.serial.size());
    text.append("|").append(hub.location).append("|");
    text.append(reinterpret_cast<const char*>(hub.usb2.ports.data()), 4 * sizeof(PortInfoRecord));
    text.append(reinterpret_cast<const char*>(hub.superSpeed.ports.data()), 4 * sizeof(PortInfoRecord));
    for (int p = 0; p < 4; ++p) {
        for (const std::u16string& serial : {hub.usb2.deviceSerials[p], hub.superSpeed.deviceSerials[p]}) {
            text.append("|").append(serial.begin(), serial.end());
        }
    }
    return text;
}

using FamilyHubOrder = ScanTest;

std::vector<std::u16string> numbered(const std::string& prefix, int count) {
    std::vector<std::u16string> serials;
    for (int n = 1; n <= count; ++n) {
        const std::string serial = prefix + std::string(4 - std::to_string(n).size(), '0') + std::to_string(n);
        serials.emplace_back(serial.begin(), serial.end());
    }
    return serials;
}

TEST_F(FamilyHubOrder, TheWalkNumbersByEveryRuleAndTheReadersBusGivesTheSameRecords) {
    const struct {
        const char* label;
        std::function<void(UsbStackDouble&)> build;
        std::vector<std::u16string> serials;
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
         },
         {u"SEVEN", u"OUTER", u"INNER", u"LAST", u"LISTED"}},
        {"a controller numbered and listed is walked once; a serial met again takes the later hub device",
         [](UsbStackDouble& stack) {
             UsbHubDouble listed =
                 stack.addController({.interfacePath = u"\\\\?\\B", .driverKey = u"B"}).rootHub(u"RB", 1);
             UsbHubDouble both = stack.addController({.number = 3, .interfacePath = u"\\\\?\\A", .driverKey = u"A"})
                                     .rootHub(u"RA", 1);
             plugFamily(both, 1, u"HA", 0x2744, u"DUP");
             plugFamily(listed, 1, u"HB", 0x2744, u"DUP");
         },
         {u"DUP"}},
        {"both sides of USB 3 hubs, the SuperSpeed side met first",
         [](UsbStackDouble& stack) { stack.addFamilyHubs(3, Link::Usb3); },
         numbered("VH", 3)},
        {"34 hubs, each showing one side: 32 identities",
         [](UsbStackDouble& stack) {
             auto hubs = stack.addFamilyHubs(34, Link::Usb3);
             for (std::size_t i = 0; i < hubs.size(); ++i) (i % 2 ? hubs[i].device5744 : hubs[i].device2744)->ids(1, 1);
         },
         numbered("VH", 32)},
        {"33 hub devices under one serial: 32 recorded",
         [](UsbStackDouble& stack) {
             for (FamilyHub& hub : stack.addFamilyHubs(33, Link::Usb2)) hub.device2744->serial(u"ONE");
         },
         {u"ONE"}},
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
         },
         {u"SECOND", u"", u"NU", u"UNSET"}},
        {"records: older driver, short hub, failed and unconfigured devices, strings in the second language",
         [](UsbStackDouble& stack) {
             UsbHubDouble root = stack.addController({.number = 0}).rootHub(u"R", 3);
             UsbHubDouble older = plugFamily(root, 1, u"OLD", 0x2744, u"OLD").hub();
             older->olderDriver = true;
             older.plug(2).speed(usb::UsbLowSpeed).product(u"Mouse");
             older.plug(3).speed(usb::UsbHighSpeed).serial(u"DISK").manufacturer(u"Maker");
             UsbHubDouble small = plugFamily(root, 2, u"SMALL", 0x5744, u"OLD").hub();
             small->portCount = 2;
             small.plug(1).speed(usb::UsbSuperSpeed).status(2).product(u"Gone");
             small.plug(2).configured(0).languages({0x0407, 0x0409}).rawString(2, 0x0407, std::nullopt).string(
                 2, 0x0409, std::u16string(u"Two\0Parts", 9));
             UsbHubDouble third = plugFamily(root, 3, u"THIRD", 0x2744, u"THIRD").hub();
             third.plug(1).product(u"No configuration").configuration(std::nullopt);
             third.plug(4).deviceClass(9, 1).serial(u"X").languages({});
         },
         {u"OLD", u"THIRD"}},
        {"hubs that cannot be walked: silent, unnamed, too deep, renamed",
         [](UsbStackDouble& stack) {
             UsbHubDouble root = stack.addController({.number = 0}).rootHub(u"R", 4);
             plugFamily(root, 1, u"MUTE", 0x2744, u"MUTE").hub()->answersNodeInformation = false;
             plugFamily(root, 2, u"", 0x2744, u"UNNAMED");
             UsbHubDouble chain = root.plugHub(3, u"T1").hub();
             for (int tier = 2; tier <= 8; ++tier) {
                 const char16_t digit = char16_t(u'0' + tier);
                 chain = plugFamily(chain, 1, std::u16string(u"T") + digit, 0x2744, std::u16string(u"TIER") + digit)
                             .hub();
             }
             plugFamily(root, 4, u"R", 0x2744, u"ROOTNAME");  // opens as the root hub
         },
         {u"TIER2", u"TIER3", u"TIER4", u"TIER5", u"TIER6", u"TIER7", u"ROOTNAME"}},
    };
    for (const auto& [label, build, serials] : buses) {
        UsbStackDouble stack;
        build(stack);
        std::uint16_t next = 1;
        for (usbbus::Controller& controller : stack.bus().controllers) {
            if (controller.rootHub) markHubs(*controller.rootHub, next);
        }
        const auto hubs = usbbus::walkFamilyHubs(stack.bus());
        std::vector<std::u16string> walkedSerials;
        std::vector<std::string> walked, read;
        for (const usbbus::FamilyHub& hub : hubs) {
            walkedSerials.push_back(hub.serial);
            walked.push_back(recorded(hub));
        }
        for (const usbbus::FamilyHub& hub : usbbus::walkFamilyHubs(*backends::readBusThroughUsbStack(stack))) {
            read.push_back(recorded(hub));
        }
        EXPECT_EQ(walkedSerials, serials) << label;
        EXPECT_EQ(read, walked) << label;
    }
}

}  // namespace
}  // namespace vostrel::test
