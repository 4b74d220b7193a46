#include <filesystem>
#include <future>
#include <thread>

#include "monitor_fixture.h"
#include "recovery/monitor_pass.h"

namespace {

using namespace vostrel;
using namespace vostrel::test;
using namespace std::chrono_literals;

using Monitor = MonitorTest;
using Lines = std::vector<std::string>;

const std::string kCode3OnHub0Port2 = "3,0,2,0x04D8,0x000A,Acme,Camera";

TEST_F(Monitor, AnUnpluggedDeviceIsPowerCycledOnTheTimelineOfItsTimes) {
    watchNewDevice(0, 1);
    hubs_[0].unplug(1);
    startWith(5, 3);
    takeSwitches();  // the bind at start

    clock_.ticks(4);
    EXPECT_TRUE(logLines().empty()) << "no check before the fifth tick";
    clock_.tick();
    EXPECT_EQ(events(), Lines{kCode3OnHub0Port2});
    EXPECT_EQ(takeSwitches(), Switches{"0/18=0"});

    clock_.ticks(3);
    EXPECT_EQ(takeSwitches(), Switches{}) << "off for three more ticks";
    clock_.tick();
    EXPECT_EQ(takeSwitches(), Switches{"0/18=1"}) << "on in the fourth tick after the check";

    clock_.ticks(4);
    EXPECT_EQ(events().size(), 1u);
    clock_.tick();
    EXPECT_EQ(events(), (Lines{kCode3OnHub0Port2, kCode3OnHub0Port2})) << "next check five ticks later";
    EXPECT_EQ(takeSwitches(), Switches{"0/18=0"});
}

TEST_F(Monitor, EachFaultGivesItsCodeAndEntriesRecoverIndependently) {
    watchNewDevice(1, 3).configured(0).ids(0x1111, 0x2222);  // not configured and another device
    watchNewDevice(0, 0).status(DeviceCausedOvercurrent);
    startWith(1, 1);
    takeSwitches();
    clock_.tick();
    EXPECT_EQ(events(), (Lines{"1,1,4,0x04D8,0x000A,Acme,Camera", "2,1,4,0x04D8,0x000A,Acme,Camera",
                               "3,0,1,0x04D8,0x000A,Acme,Camera"}));
    EXPECT_EQ(takeSwitches(), (Switches{"1/20=0", "1/20=0", "0/17=0"}));
    clock_.ticks(2);
    EXPECT_EQ(takeSwitches(), (Switches{"1/20=1", "0/17=1"})) << "both recover in the same pass";
}

TEST_F(Monitor, AHealthyDeviceOrAHubMissingFromTheScanProducesNothing) {
    watchNewDevice(0, 0).product(u"Renamed by its firmware");  // texts are not compared
    watch(5, 0);
    startWith(1, 1);
    takeSwitches();
    const auto before = stack_.busReads();  // the adds scanned for the hubs' identities
    clock_.tick();
    const auto perTick = stack_.busReads() - before;
    clock_.ticks(11);
    EXPECT_EQ(stack_.busReads() - before, 12 * perTick) << "every tick scans";
    EXPECT_TRUE(logLines().empty());
    EXPECT_EQ(takeSwitches(), Switches{});
}

TEST_F(Monitor, NewTimesApplyOnlyAfterARestart) {
    watchNewDevice(0, 2);
    hubs_[0].unplug(2);
    startWith(5, 3);
    clock_.awaitWaiting();  // the thread has taken its copy of the times
    Hub_SetAutoCheckTimeInfo(1, 1);
    clock_.ticks(4);
    EXPECT_TRUE(logLines().empty()) << "the running monitor keeps interval 5";
    clock_.tick();
    EXPECT_EQ(events().size(), 1u);

    ASSERT_EQ(Hub_StopAutoRecovery(), 1);
    ASSERT_EQ(Hub_StartAutoRecovery(), 1);
    takeSwitches();
    clock_.tick();
    EXPECT_EQ(events().size(), 2u) << "interval 1 now";
    EXPECT_EQ(takeSwitches(), Switches{"0/19=0"});
    clock_.ticks(2);
    EXPECT_EQ(takeSwitches(), Switches{"0/19=1"}) << "off time 1 now";
}

TEST_F(Monitor, StartAndStopReportWhetherTheyDidAnything) {
    EXPECT_EQ(Hub_StopAutoRecovery(), 0);
    EXPECT_EQ(Hub_GetAutoRecoveryStatus(), 0);
    EXPECT_FALSE(std::filesystem::exists("vostrel.dat")) << "a stop that did nothing saves nothing";

    EXPECT_EQ(Hub_StartAutoRecovery(), 1);
    EXPECT_EQ(Hub_StartAutoRecovery(), 0);
    EXPECT_EQ(Hub_GetAutoRecoveryStatus(), 1);
    EXPECT_EQ(readBytes("vostrel.dat").at(2), 1) << "start saves the enabled flag";

    EXPECT_EQ(Hub_StopAutoRecovery(), 1);
    EXPECT_EQ(Hub_GetAutoRecoveryStatus(), 0);
    EXPECT_EQ(readBytes("vostrel.dat").at(2), 0);
    EXPECT_EQ(Hub_StopAutoRecovery(), 0);
}

TEST_F(Monitor, AMonitorLeftEnabledStartsAtTheNextLoadAfterTheDelay) {
    watchNewDevice(0, 0);
    startWith(1, 1);
    libraryUnload();  // stops without clearing the flag
    ASSERT_EQ(readBytes("vostrel.dat").at(2), 1);

    libraryLoad();
    EXPECT_EQ(Hub_GetAutoRecoveryStatus(), 1);
    clock_.awaitWaiting();
    stack_.resetCounts();
    clock_.tick();  // the start delay ends; the thread binds and sleeps
    EXPECT_EQ(stack_.busReads(), 0u) << "no scan before the delay and the first sleep";
    clock_.tick();
    EXPECT_GT(stack_.busReads(), 0u);
    const auto waits = clock_.durations();
    ASSERT_GE(waits.size(), 3u);
    EXPECT_EQ(std::vector(waits.end() - 3, waits.end()), (std::vector{5000ms, 1000ms, 1000ms}));
}

// A port the monitor holds off goes on again when its entry leaves the list,
// from the deletion itself: the monitor never sees the entry again.
TEST_F(Monitor, DeletingAnEntryDuringItsCountdownSwitchesItsPortOnUnlessAnotherEntryHoldsItOff) {
    watchNewDevice(0, 3);
    hubs_[0].unplug(3);
    watchNewDevice(1, 0);  // healthy
    startWith(1, 3);
    takeSwitches();
    clock_.tick();
    EXPECT_EQ(takeSwitches(), Switches{"0/20=0"});
    const DeviceInfoRecord recovering = makeRecord(0, 3);
    ASSERT_EQ(Hub_DeleteAutoCheckDeviceInfo(&recovering), 1);
    EXPECT_EQ(takeSwitches(), Switches{"0/20=1"});
    const DeviceInfoRecord healthy = makeRecord(1, 0);
    ASSERT_EQ(Hub_DeleteAutoCheckDeviceInfo(&healthy), 1);
    EXPECT_EQ(takeSwitches(), Switches{}) << "an idle entry's port is left alone";
    clock_.ticks(10);
    EXPECT_EQ(takeSwitches(), Switches{}) << "the monitor never switches a deleted entry's port";

    // The same port watched twice: both entries hold it off.
    watch(0, 3);
    watch(0, 3);
    clock_.tick();
    EXPECT_EQ(takeSwitches(), (Switches{"0/20=0", "0/20=0"}));
    ASSERT_EQ(Hub_DeleteAutoCheckDeviceInfo(&recovering), 1);
    EXPECT_EQ(takeSwitches(), Switches{}) << "the other entry still holds the port off";
    clock_.ticks(4);
    EXPECT_EQ(takeSwitches(), Switches{"0/20=1"});
}

// Switching auto recovery off switches on every port the monitor holds off
// and ends those recoveries, so a later start does not switch them again; an
// unload keeps them for the next load (see OffTime255 below).
TEST_F(Monitor, StoppingAutoRecoveryDuringACountdownSwitchesThePortOnAndEndsTheRecovery) {
    watchNewDevice(0, 1);
    hubs_[0].unplug(1);
    watchNewDevice(1, 2);
    startWith(1, 3);
    takeSwitches();
    clock_.tick();
    EXPECT_EQ(takeSwitches(), Switches{"0/18=0"});

    ASSERT_EQ(Hub_StopAutoRecovery(), 1);
    EXPECT_EQ(takeSwitches(), Switches{"0/18=1"});
    EXPECT_EQ(settingsNow().entries[0].recoveryCountdown(), 0u);
    EXPECT_EQ(readBytes("vostrel.dat").at(8 + 1044), 0) << "the saved countdown too";

    ASSERT_EQ(Hub_StartAutoRecovery(), 1);
    takeSwitches();
    clock_.tick();
    EXPECT_EQ(events().size(), 2u) << "checked again at once, not waiting out the old countdown";
    EXPECT_EQ(takeSwitches(), Switches{"0/18=0"});
}

TEST_F(Monitor, OffTime255EndsWithThePortOnAlsoAcrossAReload) {
    watchNewDevice(1, 0);
    hubs_[1].unplug(0);
    startWith(1, 255);
    takeSwitches();
    clock_.tick();
    ASSERT_EQ(takeSwitches(), Switches{"1/17=0"});
    EXPECT_EQ(settingsNow().entries[0].recoveryCountdown(), 256u);

    clock_.ticks(100);
    libraryUnload();
    libraryLoad();  // the flag is set: the monitor starts again after its delay
    clock_.tick();
    clock_.ticks(155);
    EXPECT_EQ(takeSwitches(), Switches{}) << "off for 256 ticks in all";
    clock_.tick();
    EXPECT_EQ(takeSwitches(), Switches{"1/17=1"});
}

TEST_F(Monitor, ARaisedStopEndsAPassBeforeItsEntries) {
    watchNewDevice(0, 0);
    hubs_[0].unplug(0);
    Hub_SetAutoCheckTimeInfo(1, 1);
    platform::Signal stop;
    stop.raise();
    auto area = std::make_unique<DeviceInfoBlock>();
    LockGuard pass(passLock);
    runMonitorPass({1, 1}, *area, stop);
    EXPECT_TRUE(logLines().empty());
    EXPECT_EQ(settingsNow().entries[0].tickCounter, 0);
}

// Once a stop has returned, the monitor has ended and holds neither lock.
void expectStoppedWithNoLockHeld() {
    EXPECT_EQ(Hub_StopAutoRecovery(), 0) << "no monitor thread left";
    std::unique_lock pass(passLock, std::try_to_lock);
    EXPECT_TRUE(pass.owns_lock());
    std::unique_lock general(generalLock, std::try_to_lock);
    EXPECT_TRUE(general.owns_lock());
}

TEST_F(Monitor, AStopDuringASlowScanWaitsForIt) {
    watchNewDevice(0, 0);
    startWith(1, 1);
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    bool armed = true;  // touched by the monitor thread only
    stack_.onRead = [&] {
        if (armed) {
            armed = false;
            entered.set_value();
            released.wait();
        }
    };
    clock_.advance();
    entered.get_future().wait();  // the scan is under way, general lock held
    auto stopped = std::async(std::launch::async, [] { return Hub_StopAutoRecovery(); });
    release.set_value();
    EXPECT_EQ(stopped.get(), 1);
    expectStoppedWithNoLockHeld();
}

TEST_F(Monitor, AStopDuringASlowVendorCallWaitsForIt) {
    watchNewDevice(0, 0);
    hubs_[0].unplug(0);
    startWith(1, 1);
    pt2DoublePauseAt("MchpUsbGpioSet", 1);
    clock_.advance();
    ASSERT_EQ(pt2DoubleWaitForPause(), 1);  // inside the switch, general lock held
    auto stopped = std::async(std::launch::async, [] { return Hub_StopAutoRecovery(); });
    pt2DoubleResume();
    EXPECT_EQ(stopped.get(), 1);
    expectStoppedWithNoLockHeld();
}

// Real time: the monitor's own clock, one-second ticks.
class MonitorInRealTime : public MonitorTest {
    void SetUp() override {
        MonitorTest::SetUp();
        useMonitorClock(platform::realClock());
    }
};

TEST_F(MonitorInRealTime, AVanishedDeviceIsLoggedSwitchedOffAndOnAgain) {
    watchNewDevice(1, 2);
    hubs_[1].unplug(2);
    startWith(1, 1);
    takeSwitches();
    Switches seen;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (seen.size() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
        for (const std::string& change : takeSwitches()) seen.push_back(change);
    }
    EXPECT_EQ(std::vector(seen.begin(), seen.begin() + std::min<std::ptrdiff_t>(2, std::ssize(seen))),
              (Switches{"1/19=0", "1/19=1"}));
    ASSERT_FALSE(logLines().empty());
    EXPECT_EQ(events().front(), "3,1,3,0x04D8,0x000A,Acme,Camera");
    EXPECT_EQ(Hub_StopAutoRecovery(), 1);
}

}  // namespace
