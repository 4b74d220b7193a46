// On a real bus, too, the monitor may not switch a port of the hub that took
// a gone hub's number.
#include "two_hub_bed.h"

namespace vostrel::test {
namespace {

using HubIdentityOnBed = TwoHubBed;

// The monitor: hub A's watched camera and SSD are missing once hub A has
// gone; hub B, now hub 0, keeps its serial adapter powered throughout.
TEST_F(HubIdentityOnBed, TheMonitorNeverCyclesTheHubThatTookAGoneHubsNumber) {
    auto block = std::make_unique<DeviceInfoBlock>();
    ASSERT_EQ(Hub_GetDeviceInfo(block.get()), 1);
    for (const int port : {0, 1}) {
        DeviceInfoRecord record{};
        ASSERT_EQ(Hub_GetDeviceInfo_Index_and_Port(&record, 0, port), 1);
        ASSERT_EQ(Hub_SetAutoCheckDeviceInfo(&record), 1);
    }
    Hub_SetAutoCheckTimeInfo(1, 2);
    ASSERT_EQ(Hub_StartAutoRecovery(), 1);
    clock_.tick();
    ASSERT_EQ(fileText("vostrel.log"), "");

    unplugHubA();
    std::string sampled;
    for (int tick = 0; tick < 12; ++tick) {
        clock_.tick();
        sampled += hubBDisable(1) == "1\n" ? '1' : '0';
    }
    EXPECT_EQ(sampled, "000000000000") << "hub B's port 1, one sample a tick";
    EXPECT_EQ(hubBDisable(2), "0\n");
    const std::string log = fileText("vostrel.log");
    EXPECT_NE(log.find(",3,0,1,0x7E57,0x0C31,Lumen Labs,HD Camera\r\n"), std::string::npos) << log;
    EXPECT_EQ(Hub_StopAutoRecovery(), 1);
}

}  // namespace
}  // namespace vostrel::test
