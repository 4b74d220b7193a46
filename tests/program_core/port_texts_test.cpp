// Labels and tooltips of the main window's ports: a label never contradicts
// the state its tooltip gives, and power is told as the library tells it.
#include <gtest/gtest.h>

#include "program_core/port_texts.h"

namespace vostrel::program::test {
namespace {

PortView port(std::uint32_t status, std::uint8_t configuration, PortPower power) {
    PortView view;
    view.hubIndex = 1;
    view.portIndex = 2;
    view.connectionStatus = status;
    view.configurationValue = configuration;
    view.vendorId = 0x04D8;
    view.productId = 0x000C;
    view.speed = 2;
    view.power = power;
    view.state = portState(status, configuration, power);
    return view;
}

TEST(PortTexts, LabelsTellTheStateTheTooltipTells) {
    PortView working = port(HUB_DEVICE_CONNECTED, 1, PortPower::On);
    working.manufacturer = "Maker";
    working.product = "Widget 100%";
    EXPECT_EQ(portLabel(working), "[Port3] Maker Widget 100% - VID:0x04D8 PID:0x000C");
    working.manufacturer.clear();
    working.product.clear();
    EXPECT_EQ(portLabel(working), "[Port3]   - VID:0x04D8 PID:0x000C");

    const PortView unconfigured = port(HUB_DEVICE_CONNECTED, 0, PortPower::On);
    EXPECT_EQ(portLabel(unconfigured), "[Port3] DeviceConnected, not configured - VID:0x04D8 PID:0x000C");
    EXPECT_EQ(portToolTip(unconfigured).substr(0, 37), "Attached, not working: not configured");

    const PortView failed = port(HUB_DEVICE_GENERAL_FAILURE, 0, PortPower::On);
    EXPECT_EQ(portLabel(failed), "[Port3] DeviceGeneralFailure");
    EXPECT_EQ(portToolTip(failed),
              "Attached, not working\nConnection status: DeviceGeneralFailure\nSpeed: high speed (480 Mbit/s)\n"
              "VID:PID: 0x04D8:0x000C\nPort power: on");

    for (const PortPower power : {PortPower::Unknown, PortPower::Off}) {
        EXPECT_EQ(portLabel(port(HUB_NO_DEVICE_CONNECTED, 0, power)), "[Port3] NoDeviceConnected");
    }
    EXPECT_EQ(hubLabel(0), "Orvique [0]");
}

TEST(PortTexts, TooltipsTellPowerAsTheLibraryTellsIt) {
    PortView empty = port(HUB_NO_DEVICE_CONNECTED, 0, PortPower::Unknown);
    empty.watched = true;
    EXPECT_EQ(portToolTip(empty),
              "Empty\nConnection status: NoDeviceConnected\n"
              "Port power: not known (the hub reports only whether any of its ports is powered)\n"
              "On the auto recovery list");
    EXPECT_EQ(portToolTip(port(HUB_NO_DEVICE_CONNECTED, 0, PortPower::Off)),
              "Switched off\nConnection status: NoDeviceConnected\n"
              "Port power: off (the hub reports none of its ports powered)");
    EXPECT_EQ(portToolTip(port(HUB_DEVICE_CONNECTED, 1, PortPower::On)).find("Serial number"), std::string::npos);
    EXPECT_EQ(connectionStatusName(4), "DeviceCausedOvercurrent");
    EXPECT_EQ(connectionStatusName(9), "unknown status 9");
    EXPECT_EQ(speedName(7), "unknown speed 7");
}

TEST(PortTexts, OvercurrentLeavesPowerToTheHub) {
    EXPECT_EQ(portPower(HUB_DEVICE_CAUSED_OVERCURRENT, true), PortPower::Unknown);
    EXPECT_EQ(portPower(HUB_DEVICE_CAUSED_OVERCURRENT, false), PortPower::Off);
    EXPECT_EQ(portPower(HUB_DEVICE_NOT_ENOUGH_POWER, false), PortPower::On);
    EXPECT_EQ(portPower(HUB_NO_DEVICE_CONNECTED, std::nullopt), PortPower::Unknown);
    EXPECT_EQ(portState(HUB_DEVICE_CAUSED_OVERCURRENT, 0, PortPower::Unknown), PortState::Failed);
}

}  // namespace
}  // namespace vostrel::program::test
