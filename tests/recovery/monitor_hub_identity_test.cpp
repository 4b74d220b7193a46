// Watch entries follow their hub, not its number: a hub that comes or goes
// renumbers the hubs after it, and no entry may then act on another hub.
#include <cstring>
#include <map>

#include "monitor_fixture.h"
#include "recovery/settings.h"
#include "scan/hub_identity.h"

namespace {

using namespace vostrel;
using namespace vostrel::test;

using Lines = std::vector<std::string>;

class MonitorHubIdentity : public MonitorTest {
protected:
    // Takes hub 0 (both of its hub devices) off the bus; the vendor library
    // then numbers one hub less, as the scan does.
    void unplugFirstHub() {
        auto& ports = stack_.bus().controllers.front().rootHub->devices;
        for (const int port : {1, 2}) unplugged_.insert(ports.extract(port));
        pt2DoubleSetHubCount(1);
    }

    // Puts it back where it was, with whatever hung on it.
    void replugFirstHub() {
        auto& ports = stack_.bus().controllers.front().rootHub->devices;
        while (!unplugged_.empty()) ports.insert(unplugged_.extract(unplugged_.begin()));
        pt2DoubleSetHubCount(2);
    }

    // The hub index of each watch entry, as the exports report them.
    static std::vector<int> watchedHubs() {
        std::vector<int> hubs;
        DeviceInfoRecord record{};
        for (int ok = Hub_GetAutoCheckDeviceInfo(&record); ok != 0; ok = Hub_GetNextAutoCheckDeviceInfo(&record)) {
            hubs.push_back(record.hubIndex);
        }
        return hubs;
    }

    std::map<int, usbbus::Device> unplugged_;
};

// The first fault: with the first hub gone, the second takes number 0; the
// first hub's entries must not power-cycle the second hub's devices.
TEST_F(MonitorHubIdentity, AGoneHubsEntriesNeverSwitchTheHubThatTookItsNumber) {
    watchNewDevice(0, 0);
    watchNewDevice(0, 1);
    plugDevice(1, 0).ids(0x0403, 0x6001);  // the second hub's own devices
    plugDevice(1, 1).ids(0x0A5F, 0x0080);
    startWith(1, 2);
    takeSwitches();
    clock_.ticks(2);
    ASSERT_TRUE(logLines().empty());

    unplugFirstHub();
    clock_.ticks(6);
    EXPECT_EQ(takeSwitches(), Switches{}) << "the second hub, now number 0, is never touched";
    // The entries' devices are missing: one event each per cycle of
    // interval and off time, and nothing to switch.
    EXPECT_EQ(events(), (Lines{"3,0,1,0x04D8,0x000A,Acme,Camera", "3,0,2,0x04D8,0x000A,Acme,Camera",
                               "3,0,1,0x04D8,0x000A,Acme,Camera", "3,0,2,0x04D8,0x000A,Acme,Camera"}));

    replugFirstHub();
    clock_.ticks(3);
    EXPECT_EQ(events().size(), 4u) << "the hub is back with the entries' devices";
    EXPECT_EQ(takeSwitches(), (Switches{"0/17=1", "0/18=1"})) << "only their own ports, ending the last cycle";
}

// An entry follows its hub to a new number, is checked there and keeps it.
TEST_F(MonitorHubIdentity, AnEntryFollowsItsHubToItsNewNumber) {
    watchNewDevice(1, 2);
    startWith(1, 1);
    takeSwitches();
    unplugFirstHub();
    clock_.ticks(5);
    EXPECT_TRUE(logLines().empty()) << "its device is found on hub 0 now";
    EXPECT_EQ(takeSwitches(), Switches{});
    EXPECT_EQ(watchedHubs(), std::vector<int>{0});

    hubs_[1].unplug(2);
    clock_.tick();
    EXPECT_EQ(events(), Lines{"3,0,3,0x04D8,0x000A,Acme,Camera"});
    EXPECT_EQ(takeSwitches(), Switches{"0/19=0"});
}

// The second fault: a port held off for an entry is switched on again on
// the entry's hub wherever it is now, by a stop, a delete or the countdown.
TEST_F(MonitorHubIdentity, APortHeldOffIsSwitchedOnOnItsOwnHubAfterRenumbering) {
    watchNewDevice(1, 0);
    watchNewDevice(1, 1);
    watchNewDevice(1, 2);
    for (const int port : {0, 1, 2}) hubs_[1].plug(port).ids(0x1111, 0x2222);  // other devices
    startWith(1, 5);
    takeSwitches();
    clock_.tick();
    ASSERT_EQ(takeSwitches(), (Switches{"1/17=0", "1/18=0", "1/19=0"}));

    unplugFirstHub();
    const DeviceInfoRecord first = makeRecord(1, 0);
    ASSERT_EQ(Hub_DeleteAutoCheckDeviceInfo(&first), 1) << "not yet renumbered: the stored index";
    EXPECT_EQ(takeSwitches(), Switches{"0/17=1"});

    ASSERT_EQ(Hub_StopAutoRecovery(), 1);
    EXPECT_EQ(takeSwitches(), (Switches{"0/18=1", "0/19=1"}));
}

TEST_F(MonitorHubIdentity, ACountdownEndsOnItsOwnHubOrNowhereWhenTheHubIsGone) {
    watchNewDevice(1, 3).ids(0x1111, 0x2222);
    startWith(1, 1);
    takeSwitches();
    clock_.tick();
    ASSERT_EQ(takeSwitches(), Switches{"1/20=0"});
    unplugFirstHub();
    hubs_[1].device(3)->ids(kVendor, kProduct);  // it works after the cycle
    clock_.ticks(2);
    EXPECT_EQ(takeSwitches(), Switches{"0/20=1"}) << "the hub it was switched off on, now number 0";

    replugFirstHub();
    watchNewDevice(0, 0).ids(0x1111, 0x2222);  // on the hub that will go
    clock_.tick();
    ASSERT_EQ(takeSwitches(), (Switches{"0/17=0"}));
    unplugFirstHub();
    clock_.ticks(2);
    EXPECT_EQ(takeSwitches(), (Switches{})) << "its hub is gone: nothing to switch on";
}

// A settings file written before entries knew their hub: the entry learns
// its hub at the first check that finds its device, and follows it then.
TEST_F(MonitorHubIdentity, AnOldFormatEntryLearnsItsHubAtTheFirstMatchingCheck) {
    watchNewDevice(1, 0);
    libraryUnload();
    auto file = readBytes("vostrel.dat");
    ASSERT_EQ(file.size(), sizeof(AutoCheckSettings));
    const std::size_t hubSerialAt = offsetof(AutoCheckSettings, entries) + offsetof(AutoCheckEntry, hubSerial);
    std::uint32_t stored = 0;
    std::memcpy(&stored, &file[hubSerialAt], sizeof stored);
    EXPECT_EQ(stored, hubSerialHash(u"VH0002")) << "an added entry knows its hub";
    std::memset(&file[hubSerialAt], 0, sizeof stored);
    writeBytes("vostrel.dat", file.data(), file.size());
    libraryLoad();

    startWith(1, 1);
    takeSwitches();
    clock_.tick();
    ASSERT_EQ(Hub_StopAutoRecovery(), 1);
    file = readBytes("vostrel.dat");
    std::memcpy(&stored, &file[hubSerialAt], sizeof stored);
    EXPECT_EQ(stored, hubSerialHash(u"VH0002"));
    EXPECT_EQ(file.size(), sizeof(AutoCheckSettings));

    ASSERT_EQ(Hub_StartAutoRecovery(), 1);
    unplugFirstHub();
    clock_.ticks(3);
    EXPECT_TRUE(logLines().empty());
    EXPECT_EQ(takeSwitches(), Switches{});
    EXPECT_EQ(watchedHubs(), std::vector<int>{0});
}

}  // namespace
