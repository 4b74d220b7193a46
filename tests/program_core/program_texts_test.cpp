// The programs' other texts: the status line, the tray tip, the desktop
// notices of the monitor's work, the messages, the vendor library's errors.
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_hub_library.h"
#include <vostrel/vendor_library_name.h>
#include <vostrel/pt2lib_errors.h>
#include "program_core/program_messages.h"
#include "program_core/recovery_notices.h"
#include "program_core/status_line.h"
#include "program_core/tray_tip.h"
#include "program_core/vendor_diagnostics.h"

namespace vostrel::program::test {
namespace {

TEST(ProgramTexts, StatusLine) {
    EXPECT_EQ(statusLineText(false, ""), "Auto recovery stopped  \u00b7  No event logged");
    EXPECT_EQ(statusLineText(true, "2024/05/17 09:52:40,2,1,4,0x0A5C,0x5800,Acme, Inc.,Card Reader"),
              "Auto recovery running  \u00b7  Last event 2024/05/17 09:52:40: Acme, Inc. Card Reader, other device");
    EXPECT_EQ(statusLineText(true, "2024/05/17 09:52:40,3,1,4,0x0A5C,0x5800,,"),
              "Auto recovery running  \u00b7  Last event 2024/05/17 09:52:40: VID:PID 0x0A5C:0x5800, missing");
}

TEST(ProgramTexts, TrayTipCountsHubsAndWatchedDevices) {
    EXPECT_EQ(trayTip(std::nullopt, false), "RAV_UVIDARO_4\nAuto recovery stopped");
    EXPECT_EQ(trayTip(TrayCounts{1, 1}, true), "RAV_UVIDARO_4\n1 hub, 1 watched device\nAuto recovery running");
    EXPECT_EQ(trayTip(TrayCounts{2, 0}, false), "RAV_UVIDARO_4\n2 hubs, 0 watched devices\nAuto recovery stopped");
}

TEST(ProgramTexts, NoticesOfTheMonitorsWork) {
    const Notice cycle = powerCycleNotice(readLogLine("2024/05/17 09:52:40,2,1,4,0x0A5C,0x5800,Acme, Inc.,Card Reader"));
    EXPECT_EQ(cycle.title, "Auto recovery: power-cycling a port");
    EXPECT_EQ(cycle.body, "Acme, Inc. Card Reader (other device) on hub 1, port 4: its port is switched off and on again.");
    PortView port;
    port.hubIndex = 1;
    port.portIndex = 3;
    port.manufacturer = "Acme, Inc.";
    port.product = "Card Reader";
    EXPECT_EQ(recoveredNotice(port).body, "Acme, Inc. Card Reader works again on hub 1, port 4.");
}

// Lines already in the log are no news; each new event is told once, and its
// device is told back once its port shows it working again - not another
// device on that port.
TEST(ProgramTexts, RecoveryFollowerTellsOfCyclesAndRecoveries) {
    const std::string cycle = "2024/05/17 09:52:40,3,0,2,0x04D8,0x000A,Maker,Widget";
    RecoveryFollower follower;
    EXPECT_TRUE(follower.logRead({cycle}).empty());
    EXPECT_FALSE(follower.awaitsRecovery());
    const auto notices = follower.logRead({cycle, cycle, "2024/05/17 09:52:4"});
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].body, "Maker Widget (missing) on hub 0, port 2: its port is switched off and on again.");
    EXPECT_TRUE(follower.awaitsRecovery());
    // The torn line counts once it is whole.
    EXPECT_EQ(follower.logRead({cycle, cycle, cycle}).size(), 1u);

    fakeBus() = {};
    FakeHub hub;
    hub.ports[1] = {HUB_DEVICE_CONNECTED, 1, 0x1234, 0x0001, u"Other", u"Device"};
    fakeBus().hubs = {hub};
    EXPECT_TRUE(follower.busRead(*readBusView(fakeHubLibrary())).empty());
    fakeBus().hubs[0].ports[1] = {HUB_DEVICE_CONNECTED, 1, 0x04D8, 0x000A, u"Maker", u"Widget"};
    const auto back = follower.busRead(*readBusView(fakeHubLibrary()));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].body, "Maker Widget works again on hub 0, port 2.");
    EXPECT_FALSE(follower.awaitsRecovery());
    // The log deleted and begun anew: its lines are news again.
    EXPECT_EQ(follower.logRead({}).size(), 0u);
    EXPECT_EQ(follower.logRead({cycle}).size(), 1u);

    EXPECT_EQ(readTrayCounts(fakeHubLibrary())->hubs, 1);
    fakeBus().scans = false;
    EXPECT_FALSE(readTrayCounts(fakeHubLibrary()));
}

// A device watched by its hub's location is told of like any other, but
// not awaited on the family's bus, where no port of that hub shows.
TEST(ProgramTexts, RecoveryFollowerTellsOfCyclesByLocationWithoutAwaitingThem) {
    const std::string cycle = "2024/05/17 09:52:40,3,1-1.4,2,0x04D8,0x000A,Maker,Widget";
    RecoveryFollower follower;
    follower.logRead({});
    const auto notices = follower.logRead({cycle});
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].body, "Maker Widget (missing) on hub 1-1.4, port 2: its port is switched off and on again.");
    EXPECT_FALSE(follower.awaitsRecovery());
    EXPECT_TRUE(follower.logRead({cycle}).empty());
}

TEST(ProgramTexts, Messages) {
    PortView port;
    port.hubIndex = 0;
    port.portIndex = 1;
    port.manufacturer = "Maker";
    port.product = "Widget";
    EXPECT_EQ(refusedSwitchText(port, false, "the hub is no longer on the bus"),
              "The hub library could not switch port 2 of hub 0 off: the hub is no longer on the bus.");
    EXPECT_NE(watchedPortOffText(port).find("Maker Widget on port 2 of hub 0"), std::string::npos);
    EXPECT_EQ(vendorLibraryErrorText(), "pt2lib.dllが読み込めません。\r\nアプリケーションを終了します。");
    EXPECT_EQ(vendorErrorText(PT2_ERROR_HUB_GONE), "the hub is no longer on the bus");
    EXPECT_EQ(vendorErrorText(77), "the vendor library reports error 77");
    EXPECT_NE(vendorErrorText(PT2_ERROR_PERMISSION_DENIED).find("udev/60-vostrel-hubs.rules"), std::string::npos);
    EXPECT_NE(portPermissionAdvice().find("usermod -aG plugdev"), std::string::npos);
}

// Where the vendor library was looked for: the file, each place in order, and the outcome.
TEST(ProgramTexts, VendorLibrarySearch) {
    const std::string told = vendorLibrarySearchText(reinterpret_cast<const void*>(&vendorLibrarySearchText));
    EXPECT_EQ(told.rfind(std::string("The hub library looks for ") + vostrel::platform::kVendorLibraryName +
                             " in this order:\n\u2022 ",
                         0),
              0u)
        << told;
    EXPECT_GE(std::count(told.begin(), told.end(), '\n'), 3);
    EXPECT_TRUE(told.ends_with("\nIt was found in none of them, or it lacks functions the hub library needs.")) << told;
}

}  // namespace
}  // namespace vostrel::program::test
