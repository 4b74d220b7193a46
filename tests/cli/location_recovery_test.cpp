// The monitor's recovery of devices watched by location, one tick at a time
// on hub ports the test sets: the family's rule, logged with the hub's
// location.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "fake_hub_ports.h"
#include "location_recovery.h"
#include "output_format.h"
#include "scratch_dir.h"

namespace vostrel::cli::test {
namespace {

const anyhub::PortAddress kPort{"1-1.4", 2};
const anyhub::PortAddress kNeighbour{"1-1.4", 3};

// Interval 2, off time 1: a check every second tick, a failed port off for two.
class LocationRecoveryTest : public ::testing::Test {
protected:
    LocationRecoveryTest() {
        hubs_.putDevice(kPort, 0x046D, 0xC52B);
        hubs_.putDevice(kNeighbour, 0x1234, 0x0001);
    }

    LocationRecovery& recovery() {
        if (!recovery_) {
            recovery_ = std::make_unique<LocationRecovery>(
                std::vector<LocationEntry>{{kPort, 0x046D, 0xC52B, "Maker", "Widget"},
                                           {kNeighbour, 0x1234, 0x0001, "", "Pad"}},
                hubs_, 2, 1, (dir_.path() / "vostrel.log").string(),
                [this](const std::string& problem) { reported_.push_back(problem); });
        }
        return *recovery_;
    }

    void ticks(int count) {
        for (int i = 0; i < count; ++i) recovery().tick();
    }

    // The log's lines without their date and time.
    std::vector<std::string> logged() const {
        std::ifstream in(dir_.path() / "vostrel.log", std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line.substr(20));
        return lines;
    }

    using Switch = FakeHubPorts::Switch;

    vostrel::test::ScratchDir dir_;
    FakeHubPorts hubs_;
    std::unique_ptr<LocationRecovery> recovery_;
    std::vector<std::string> reported_;
};

TEST_F(LocationRecoveryTest, AMissingDeviceIsPowerCycledOnceAndLeftAloneWhenBack) {
    ticks(1);
    EXPECT_TRUE(hubs_.switches.empty());
    EXPECT_EQ(hubs_.refreshes, 0);  // nothing due: the bus is not read

    hubs_.putEmpty(kPort);
    ticks(1);  // the check: off at once
    EXPECT_EQ(hubs_.switches, (std::vector<Switch>{{kPort, false}}));
    EXPECT_EQ(logged(), (std::vector<std::string>{"3,1-1.4,2,0x046D,0xC52B,Maker,Widget\r"}));
    EXPECT_EQ(hubs_.refreshes, 1);  // one reading for both entries

    ticks(1);
    EXPECT_EQ(hubs_.switches.size(), 1u);
    ticks(1);  // off time + 1 ticks later: on again
    EXPECT_EQ(hubs_.switches.back(), (Switch{kPort, true}));

    // Back, the device is checked as before and causes nothing more.
    hubs_.putDevice(kPort, 0x046D, 0xC52B);
    ticks(10);
    EXPECT_EQ(hubs_.switches.size(), 2u);
    EXPECT_EQ(logged().size(), 1u);
}

TEST_F(LocationRecoveryTest, EachFaultIsLoggedAndSwitchesThePortOff) {
    struct Case {
        const char* name;
        std::uint16_t vid;
        bool configured;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"another device", 0xBEEF, true, {"2,1-1.4,2,0x046D,0xC52B,Maker,Widget\r"}},
        {"not configured", 0x046D, false, {"1,1-1.4,2,0x046D,0xC52B,Maker,Widget\r"}},
        // Both at once count twice, as for the family's hubs.
        {"another device, not configured",
         0xBEEF,
         false,
         {"1,1-1.4,2,0x046D,0xC52B,Maker,Widget\r", "2,1-1.4,2,0x046D,0xC52B,Maker,Widget\r"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vostrel::test::ScratchDir fresh;
        FakeHubPorts hubs;
        hubs.putDevice(kPort, c.vid, 0xC52B, c.configured);
        LocationRecovery recovery({{kPort, 0x046D, 0xC52B, "Maker", "Widget"}}, hubs, 1, 1,
                                  (fresh.path() / "vostrel.log").string(), [](const std::string&) {});
        recovery.tick();
        std::ifstream in(fresh.path() / "vostrel.log", std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line.substr(20));
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(hubs.switches, std::vector<FakeHubPorts::Switch>(c.lines.size(), {kPort, false}));
    }
}

TEST_F(LocationRecoveryTest, AHubThatIsGoneCountsAsMissingAndIsNotSwitched) {
    ticks(1);
    hubs_.removeHub(kPort);
    ticks(1);
    EXPECT_EQ(logged(), (std::vector<std::string>{"3,1-1.4,2,0x046D,0xC52B,Maker,Widget\r"}));
    EXPECT_TRUE(hubs_.switches.empty());
    // The countdown runs all the same; the hub back in time gets its port on.
    hubs_.putDevice(kPort, 0x046D, 0xC52B);
    ticks(2);
    EXPECT_EQ(hubs_.switches, (std::vector<Switch>{{kPort, true}}));
    EXPECT_TRUE(reported_.empty());
}

TEST_F(LocationRecoveryTest, ASwitchTheHubRefusesIsReportedAndTheRuleGoesOn) {
    ticks(1);
    hubs_.putEmpty(kPort);
    hubs_.refuseSwitches(kPort);
    ticks(3);
    EXPECT_EQ(reported_, (std::vector<std::string>{"1-1.4 port 2: could not switch off: permission denied",
                                                   "1-1.4 port 2: could not switch on: permission denied"}));
    ticks(2);  // still missing: checked and logged again
    EXPECT_EQ(logged().size(), 2u);
}

TEST_F(LocationRecoveryTest, AStopSwitchesOnOnlyThePortsHeldOff) {
    ticks(1);
    hubs_.putEmpty(kNeighbour);
    ticks(1);
    recovery().stop();
    EXPECT_EQ(hubs_.switches, (std::vector<Switch>{{kNeighbour, false}, {kNeighbour, true}}));
    EXPECT_EQ(logged(), (std::vector<std::string>{"3,1-1.4,3,0x1234,0x0001,,Pad\r"}));
    // The recovery ended with the stop: no second switch-on.
    recovery().stop();
    EXPECT_EQ(hubs_.switches.size(), 2u);
}

TEST(LocationLogLine, IsShownWithTheHubsLocation) {
    const std::string line = "2026/12/09 10:00:00,3,1-1.4,2,0x046D,0xC52B,Maker,Widget";
    EXPECT_EQ(logLineText(line), "2026/12/09 10:00:00  missing (3)  1-1.4 port 2  046D:C52B  Maker  Widget");
    EXPECT_EQ(logLineJson(line), nlohmann::ordered_json::parse(R"({"time": "2026-12-09T10:00:00",
        "event": "missing", "code": 3, "location": "1-1.4", "port": 2, "vendorId": "046D", "productId": "C52B",
        "manufacturer": "Maker", "product": "Widget"})"));
    // A hub field that is neither a number nor a location is no event.
    const std::string odd = "2026/12/09 10:00:00,3,1-1.x,2,0x046D,0xC52B,Maker,Widget";
    EXPECT_EQ(logLineJson(odd), nlohmann::ordered_json({{"unparsed", odd}}));
}

}  // namespace
}  // namespace vostrel::cli::test
