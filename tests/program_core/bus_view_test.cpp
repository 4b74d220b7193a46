// The view of the bus the main window shows, and the port commands over it:
// states and power from what the library reports, never from what a window
// did; commands allowed by that; switches that the library refuses.
#include <gtest/gtest.h>

#include "fake_hub_library.h"
#include "program_core/bus_view.h"
#include "program_core/port_commands.h"

namespace vostrel::program::test {
namespace {

class BusViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeBus() = {};
        FakeHub hub;
        hub.ports[0] = {HUB_DEVICE_CONNECTED, 1, 0x04D8, 0x000A, u"Maker", u"Widget"};
        hub.ports[1] = {HUB_DEVICE_FAILED_ENUMERATION, 0, 0x04D8, 0x000B, u"", u""};
        hub.ports[2] = {HUB_DEVICE_CONNECTED, 0, 0x04D8, 0x000C, u"", u""};
        fakeBus().hubs = {hub, FakeHub{}};
    }

    static BusView read() {
        const auto bus = readBusView(fakeHubLibrary());
        EXPECT_TRUE(bus.has_value());
        return bus.value_or(BusView{});
    }
};

TEST_F(BusViewTest, EachPortsStateAndPowerComeFromTheLibrary) {
    const BusView bus = read();
    ASSERT_EQ(bus.hubs.size(), 2u);
    EXPECT_EQ(bus.port(0, 0)->state, PortState::Working);
    EXPECT_EQ(bus.port(0, 1)->state, PortState::Failed);
    EXPECT_EQ(bus.port(0, 2)->state, PortState::NotConfigured);
    EXPECT_EQ(bus.port(0, 3)->state, PortState::Empty);
    EXPECT_EQ(bus.port(0, 0)->manufacturer, "Maker");
    for (int port = 0; port < 3; ++port) EXPECT_EQ(bus.port(0, port)->power, PortPower::On) << port;
    // Other ports of the hub have power: the library cannot tell this one's.
    EXPECT_EQ(bus.port(0, 3)->power, PortPower::Unknown);
    EXPECT_EQ(bus.port(2, 0), nullptr);
    EXPECT_EQ(bus.port(0, 4), nullptr);

    // A hub with no powered port: all its ports are switched off, whoever did it.
    fakeBus().hubs[1].poweredPins = 0;
    EXPECT_EQ(read().port(1, 2)->state, PortState::SwitchedOff);
    EXPECT_EQ(read().port(1, 2)->power, PortPower::Off);
    // A hub that cannot be asked tells nothing of its empty ports.
    fakeBus().hubs[1].answersPower = false;
    EXPECT_EQ(read().port(1, 2)->power, PortPower::Unknown);
    EXPECT_FALSE(read().hubs[1].powered.has_value());

    fakeBus().scans = false;
    EXPECT_FALSE(readBusView(fakeHubLibrary()).has_value());
}

TEST_F(BusViewTest, WithoutTheHubPowerExportEmptyPortsHaveUnknownPower) {
    // A program that imports only the exports it calls (Talvern for Windows)
    // never asks a hub's power.
    HubLibrary library = fakeHubLibrary();
    library.getHubPower = nullptr;
    fakeBus().hubs[1].poweredPins = 0;
    const auto bus = readBusView(library);
    ASSERT_TRUE(bus.has_value());
    EXPECT_EQ(bus->port(0, 0)->power, PortPower::On);
    EXPECT_EQ(bus->port(1, 2)->power, PortPower::Unknown);
    EXPECT_EQ(bus->port(1, 2)->state, PortState::Empty);
    EXPECT_FALSE(bus->hubs[1].powered.has_value());
}

TEST_F(BusViewTest, PowerFollowsThePortNotTheHubNumber) {
    // The first hub goes: the second takes its number, with its own power.
    fakeBus().hubs[1].poweredPins = 0;
    fakeBus().hubs.erase(fakeBus().hubs.begin());
    const BusView bus = read();
    ASSERT_EQ(bus.hubs.size(), 1u);
    for (int port = 0; port < 4; ++port) EXPECT_EQ(bus.port(0, port)->state, PortState::SwitchedOff) << port;
}

TEST_F(BusViewTest, CommandsAllowedFollowPowerAndTheWatchList) {
    BusView bus = read();
    const PortCommands working = allowedCommands(*bus.port(0, 0));
    EXPECT_FALSE(working.portOn);
    EXPECT_TRUE(working.portOff);
    EXPECT_TRUE(working.addToWatchList);
    const PortCommands failed = allowedCommands(*bus.port(0, 1));
    EXPECT_TRUE(failed.portOff);
    EXPECT_FALSE(failed.addToWatchList);
    const PortCommands empty = allowedCommands(*bus.port(0, 3));
    EXPECT_TRUE(empty.portOn);
    EXPECT_FALSE(empty.portOff);
    EXPECT_FALSE(empty.addToWatchList);

    ASSERT_TRUE(addToWatchList(fakeHubLibrary(), 0, 0));
    bus = read();
    EXPECT_TRUE(bus.port(0, 0)->watched);
    EXPECT_EQ(bus.watchedPorts(), 1);
    EXPECT_FALSE(allowedCommands(*bus.port(0, 0)).addToWatchList);
    EXPECT_TRUE(portOffIsUndoneByMonitor(*bus.port(0, 0), true));
    EXPECT_FALSE(portOffIsUndoneByMonitor(*bus.port(0, 0), false));
    EXPECT_FALSE(portOffIsUndoneByMonitor(*bus.port(0, 1), true));

    // The device went since the menu opened: nothing is added.
    fakeBus().hubs[0].ports[2] = {};
    EXPECT_FALSE(addToWatchList(fakeHubLibrary(), 0, 2));
    EXPECT_EQ(fakeBus().watched.size(), 1u);

    EXPECT_TRUE(removeFromWatchList(fakeHubLibrary(), 0, 0));
    EXPECT_FALSE(removeFromWatchList(fakeHubLibrary(), 0, 0));
    EXPECT_TRUE(fakeBus().watched.empty());
}

TEST_F(BusViewTest, ARefusedSwitchSaysSo) {
    const SwitchOutcome done = switchPort(fakeHubLibrary(), 0, 2, false);
    EXPECT_TRUE(done.done);
    EXPECT_TRUE(done.refusal.empty());

    fakeBus().refusesSwitches = true;
    const SwitchOutcome refused = switchPort(fakeHubLibrary(), 1, 3, true);
    EXPECT_FALSE(refused.done);
    // The fake is no vendor library: nothing loaded to ask.
    EXPECT_NE(refused.refusal.find("is not loaded"), std::string::npos) << refused.refusal;
    EXPECT_TRUE(refused.advice.empty());
    ASSERT_EQ(fakeBus().switches.size(), 2u);
    EXPECT_EQ(fakeBus().switches[1].hub, 1);
    EXPECT_EQ(fakeBus().switches[1].port, 3);
    EXPECT_EQ(fakeBus().switches[1].on, 1);
}

}  // namespace
}  // namespace vostrel::program::test
