#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/bus_view.h"
#include "core/description.h"
#include "core/descriptors.h"
#include "sim_test_support.h"

namespace vostrel::sim {
namespace {

BusView viewOf(const std::string& text, std::int64_t now = 0) {
    return BusView(std::make_shared<const Bench>(buildBench(parseDocument(text, "bench"), "bench")), now);
}

const Device& named(const BusView& view, const std::string& id) {
    const Device* found = nullptr;
    forEachDevice(view.bench(), [&](const Device& device) {
        if (device.id == id) found = &device;
    });
    if (found == nullptr) throw std::runtime_error("no " + id);
    return *found;
}

std::vector<std::string> familyIds(const BusView& view) {
    std::vector<std::string> ids;
    for (const Device* hub : view.familyHubs()) ids.push_back(hub->id);
    return ids;
}

std::u16string serialOf(const Device& device) { return serialAsRead(device); }

TEST(BusView, AHubOnAUsb2PortShowsOnlyItsUsb2Side) {
    const BusView view = viewOf(test::example("one-hub-usb2.json"));
    const HubView& root = view.hubs()[view.controllers()[0].rootHub];
    ASSERT_EQ(root.ports.size(), 2u);
    const PortView& port = root.ports[0];
    EXPECT_EQ(+deviceDescriptor(*port.device, port.superSpeedSide).idProduct, 0x2744);
    for (const HubView& hub : view.hubs()) EXPECT_FALSE(hub.superSpeedSide);
    // Its SuperSpeed stick runs at high speed on the USB 2.0 side.
    const PortView* stick = view.portOf(named(view, "stick"));
    ASSERT_NE(stick, nullptr);
    EXPECT_EQ(stick->speed, Speed::High);
}

TEST(BusView, AHubOnAUsb3PortShowsBothSidesWithOneSerial) {
    const BusView view = viewOf(test::example("two-hubs-usb3.json"));
    const Device& hubA = named(view, "hubA");
    int sides = 0;
    for (const HubView& hub : view.hubs()) {
        if (hub.device != &hubA) continue;
        ++sides;
        EXPECT_EQ(hub.ports.size(), 4u);
    }
    EXPECT_EQ(sides, 2);
    // USB 3 root hub: physical port 1 is port 1 and port 5 (SuperSpeed).
    const HubView& root = view.hubs()[view.controllers()[0].rootHub];
    ASSERT_EQ(root.ports.size(), 8u);
    EXPECT_EQ(+deviceDescriptor(*root.ports[0].device, root.ports[0].superSpeedSide).idProduct, 0x2744);
    EXPECT_EQ(+deviceDescriptor(*root.ports[4].device, root.ports[4].superSpeedSide).idProduct, 0x5744);
    EXPECT_EQ(root.ports[4].speed, Speed::Super);
    // The SuperSpeed drive hangs on the SuperSpeed side, the camera on the other.
    EXPECT_TRUE(view.hubs()[root.ports[4].downstreamHub].ports[1].device == &named(view, "drive"));
    EXPECT_TRUE(view.hubs()[root.ports[0].downstreamHub].ports[0].device == &named(view, "camera"));
    EXPECT_EQ(view.hubs()[root.ports[0].downstreamHub].ports[1].device, nullptr);
}

TEST(BusView, StatesShowAsTheHubDriverReportsThem) {
    const BusView view = viewOf(test::example("two-hubs-usb3.json"));
    EXPECT_EQ(view.portOf(named(view, "scanner")), nullptr);  // unplugged
    const PortView* printer = view.portOf(named(view, "printer"));
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(printer->status, 4u);
    const PortView* meter = view.portOf(named(view, "meter"));
    ASSERT_NE(meter, nullptr);
    EXPECT_EQ(meter->status, 1u);
    EXPECT_EQ(meter->configurationValue, 0);
    EXPECT_TRUE(isWorking(*view.portOf(named(view, "camera"))));
}

// Controllers: a numbered one, one reachable both ways, one by interface
// only, and one whose driver key repeats another's (scanned once).
constexpr const char* kOrderBench = R"({"controllers": [
  {"number": 2, "driverKey": "k2", "devices": [{"id": "c", "port": 1, "kind": "family-hub", "serial": "C"}]},
  {"interfacePath": "if-d", "driverKey": "kd", "devices": [{"id": "d", "port": 1, "kind": "family-hub", "serial": "D"}]},
  {"number": 7, "interfacePath": "if-b", "driverKey": "k7", "devices": [
     {"id": "other", "port": 1, "kind": "hub", "vendorId": 1, "productId": 2, "devices": [
        {"id": "b2", "port": 3, "kind": "family-hub", "serial": "B2"}]},
     {"id": "b1", "port": 2, "kind": "family-hub", "serial": "B1", "devices": [
        {"id": "b1a", "port": 4, "kind": "family-hub", "serial": "B1A"}]},
     {"id": "twin", "port": 3, "kind": "family-hub", "serial": "C"}]},
  {"interfacePath": "if-dup", "driverKey": "k2", "devices": [{"id": "dup", "port": 1, "kind": "family-hub", "serial": "E"}]}
]})";

TEST(BusView, FamilyHubsAreNumberedInTheScansOrder) {
    const BusView view = viewOf(kOrderBench);
    // HCD7 first (depth first, ports ascending), then HCD2, then the
    // interface list: if-d new, if-b seen by key, if-dup's key seen as HCD2's.
    // "twin" shares hub C's serial, met first under HCD7: it takes the index.
    EXPECT_EQ(familyIds(view), (std::vector<std::string>{"b2", "b1", "b1a", "twin", "d"}));
    EXPECT_EQ(view.hubIndexOf(named(view, "c")), -1);
    EXPECT_EQ(view.hubIndexOf(named(view, "d")), 4);
}

TEST(BusView, WithoutTheInterfaceListOnlyNumberedControllersCount) {
    std::string text = kOrderBench;
    text.insert(1, R"("interfaceListAvailable": false,)");
    const BusView view = viewOf(text);
    EXPECT_EQ(familyIds(view), (std::vector<std::string>{"b2", "b1", "b1a", "twin"}));
}

TEST(BusView, APortWithoutPowerIsEmptyAndSoIsEverythingBelowIt) {
    const BusView view = viewOf(R"({"controllers": [{"number": 0, "devices": [
      {"id": "top", "port": 1, "kind": "family-hub", "serial": "T", "portPower": [true, false, true, true], "devices": [
        {"id": "lower", "port": 2, "kind": "family-hub", "serial": "L", "devices": [
          {"id": "deep", "port": 1, "vendorId": 1, "productId": 2}]},
        {"id": "beside", "port": 3, "vendorId": 1, "productId": 3}]}]}]})");
    EXPECT_EQ(familyIds(view), std::vector<std::string>{"top"});
    EXPECT_EQ(view.portOf(named(view, "lower")), nullptr);
    EXPECT_EQ(view.portOf(named(view, "deep")), nullptr);
    EXPECT_NE(view.portOf(named(view, "beside")), nullptr);
    for (const HubView& hub : view.hubs()) {
        if (hub.device == &named(view, "top")) {
            EXPECT_EQ(hub.ports[1].status, 0u);
        }
    }
}

TEST(BusView, AHubThatDoesNotWorkHidesWhatHangsOnIt) {
    const BusView view = viewOf(R"({"controllers": [{"number": 0, "devices": [
      {"id": "broken", "port": 1, "kind": "family-hub", "serial": "B", "state": "failed", "devices": [
        {"id": "below", "port": 1, "vendorId": 1, "productId": 2}]}]}]})");
    EXPECT_TRUE(view.familyHubs().empty());
    ASSERT_NE(view.portOf(named(view, "broken")), nullptr);
    EXPECT_EQ(view.portOf(named(view, "below")), nullptr);
}

TEST(BusView, AFlakyDeviceWedgesAtItsTime) {
    const std::string text = R"({"controllers": [{"number": 0, "devices": [
      {"id": "hub", "port": 1, "kind": "family-hub", "devices": [
        {"id": "flaky", "port": 1, "vendorId": 1, "productId": 2, "flaky": 5, "wedgesAt": 10000}]}]}]})";
    const BusView before = viewOf(text, 9999);
    EXPECT_EQ(before.validUntil(), 10000);
    EXPECT_TRUE(isWorking(*before.portOf(named(before, "flaky"))));
    const BusView after = viewOf(text, 10000);
    const PortView* wedged = after.portOf(named(after, "flaky"));
    EXPECT_EQ(wedged->status, 1u);
    EXPECT_EQ(wedged->configurationValue, 0);
}

TEST(BusView, AHubWithoutSerialIsReadAsTheEmptySerial) {
    const BusView view = viewOf(R"({"controllers": [{"number": 0, "devices": [
      {"id": "a", "port": 1, "kind": "family-hub"}, {"id": "b", "port": 2, "kind": "family-hub"},
      {"id": "c", "port": 3, "kind": "family-hub", "serial": {"0x0411": "J"}, "languages": ["0x0409", "0x0411"]}]}]})");
    EXPECT_EQ(familyIds(view), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(serialOf(named(view, "c")), u"J");
}

}  // namespace
}  // namespace vostrel::sim
