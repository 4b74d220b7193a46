// A port command chosen from a menu acts only on the hub and the device the
// menu showed; hubs are told apart by serial number.
#include <gtest/gtest.h>

#include "program_core/port_target.h"
#include "program_core/port_texts.h"

namespace vostrel::program {
namespace {

PortView emptyPort(int hub, int port) {
    PortView view;
    view.hubIndex = hub;
    view.portIndex = port;
    return view;
}

BusView twoHubsWithACamera() {
    BusView bus;
    for (int index = 0; index < 2; ++index) {
        HubView hub;
        hub.hubIndex = index;
        for (int port = 0; port < 4; ++port) hub.ports.push_back(emptyPort(index, port));
        bus.hubs.push_back(hub);
    }
    PortView& camera = bus.hubs[0].ports[1];
    camera.connectionStatus = HUB_DEVICE_CONNECTED;
    camera.vendorId = 0x1234;
    camera.productId = 0x0001;
    camera.product = "HD Camera";
    camera.state = PortState::Working;
    return bus;
}

const std::vector<HubIdentity> kBothHubs = {{"VH0001A", "1-1"}, {"VH0002A", "1-2"}};

TEST(PortTarget, ACommandActsOnlyOnTheHubAndDeviceItsMenuShowed) {
    BusView bus = twoHubsWithACamera();
    attachHubIdentities(bus, kBothHubs);
    const PortTarget camera = portTarget(bus, 0, 1);
    ASSERT_EQ(camera.hubSerial, "VH0001A");
    EXPECT_TRUE(stillTheSamePort(camera, kBothHubs, bus));

    // The first hub unplugged: the second is hub 0 now.
    BusView renumbered = twoHubsWithACamera();
    renumbered.hubs.pop_back();
    renumbered.hubs[0].ports[1] = emptyPort(0, 1);
    EXPECT_FALSE(stillTheSamePort(camera, {{"VH0002A", "1-2"}}, renumbered));
    // Gone altogether.
    EXPECT_FALSE(stillTheSamePort(camera, {}, BusView{}));

    // Same hub, but the camera left the port, or another device took it.
    BusView unplugged = twoHubsWithACamera();
    unplugged.hubs[0].ports[1] = emptyPort(0, 1);
    EXPECT_FALSE(stillTheSamePort(camera, kBothHubs, unplugged));
    BusView another = twoHubsWithACamera();
    another.hubs[0].ports[1].productId = 0x0002;
    EXPECT_FALSE(stillTheSamePort(camera, kBothHubs, another));
}

TEST(PortTarget, HubsThatCouldNotBeToldApartTakeNoCommand) {
    BusView bus = twoHubsWithACamera();
    // The scan met another number of hubs than the bus view: none is known.
    attachHubIdentities(bus, {{"VH0001A", "1-1"}});
    EXPECT_FALSE(bus.hubs[0].identity);
    EXPECT_EQ(hubToolTip(bus.hubs[0]), "");
    const PortTarget unknown = portTarget(bus, 0, 1);
    EXPECT_FALSE(unknown.hubSerial);
    EXPECT_FALSE(stillTheSamePort(unknown, kBothHubs, bus));
    // A port the view does not show.
    EXPECT_FALSE(stillTheSamePort(portTarget(bus, 5, 0), kBothHubs, bus));
}

TEST(PortTarget, AHubRowsTooltipShowsItsSerialAndLocationSafely) {
    BusView bus = twoHubsWithACamera();
    attachHubIdentities(bus, {{"VH\x1b[2J01", "1-3.2"}, {"", "2-1"}});
    EXPECT_EQ(hubToolTip(bus.hubs[0]), "Serial number: VH\\x1b[2J01\nLocation: 1-3.2");
    EXPECT_EQ(hubToolTip(bus.hubs[1]), "Serial number: none reported\nLocation: 2-1");
}

}  // namespace
}  // namespace vostrel::program
