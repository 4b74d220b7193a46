// A process that forks while its monitor runs: the child has no monitor
// thread of its own and must be able to start one, and it must find the
// library's locks free, whatever the monitor was doing at the fork.
#include <poll.h>
#include <unistd.h>

#include <future>

#include "child_process.h"
#include "monitor_fixture.h"
#include "platform/clock.h"

namespace {

using namespace vostrel;
using namespace vostrel::test;
using namespace std::chrono_literals;

// ThreadSanitizer ends a child that starts a thread after a fork of a
// process with threads, which is what these cases are about.
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif

class ForkedMonitor : public MonitorTest {
    void SetUp() override {
        if (kThreadSanitizer) GTEST_SKIP() << "not under ThreadSanitizer";
        MonitorTest::SetUp();
    }
    void TearDown() override {
        if (!IsSkipped()) MonitorTest::TearDown();
    }
};

// Runs in the child: the exports answer, the stored flag is still set, and a
// start there starts a thread (which the stop then ends).
std::string childStartsItsOwnMonitor() {
    std::string problems;
    std::uint8_t interval = 0, offTime = 0;
    Hub_GetAutoCheckTimeInfo(&interval, &offTime);  // hangs if a lock was left held
    if (Hub_GetAutoRecoveryStatus() != 1) problems += "the stored flag was lost; ";
    // The parent's clock may have been in use at the fork; the child has its own time.
    useMonitorClock(platform::realClock());
    if (Hub_StartAutoRecovery() != 1) problems += "the start did not start a monitor; ";
    if (Hub_StopAutoRecovery() != 1) problems += "the stop found no monitor; ";
    if (Hub_GetAutoRecoveryStatus() != 0) problems += "the stop did not clear the flag; ";
    return problems;
}

TEST_F(ForkedMonitor, TheChildHasNoMonitorThreadSoAStartThereStartsOne) {
    watchNewDevice(0, 0);
    startWith(1, 1);
    clock_.tick();
    const ChildResult result = runInChild(childStartsItsOwnMonitor);
    EXPECT_EQ(result.problems, "");
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(Hub_GetAutoRecoveryStatus(), 1) << "the parent's monitor runs on";
    clock_.tick();
    EXPECT_EQ(Hub_StopAutoRecovery(), 1);
}

TEST_F(ForkedMonitor, AForkWhileTheMonitorHoldsTheLocksWaitsForItsStepAndTheChildFindsThemFree) {
    watchNewDevice(0, 0);
    hubs_[0].unplug(0);
    startWith(1, 1);
    pt2DoublePauseAt("MchpUsbGpioSet", 1);
    clock_.advance();
    ASSERT_EQ(pt2DoubleWaitForPause(), 1);  // inside the switch, both locks held

    // Another thread forks; the child tells through a pipe that it exists.
    int forked[2];
    ASSERT_EQ(::pipe(forked), 0);
    auto child = std::async(std::launch::async, [&] {
        return runInChild([&] {
            const char byte = 1;
            (void)::write(forked[1], &byte, 1);
            return childStartsItsOwnMonitor();
        });
    });
    // A fork that does not wait for the step happens now, with the locks
    // held; one that waits happens only once the step may go on.
    pollfd wait{forked[0], POLLIN, 0};
    ::poll(&wait, 1, 500);
    pt2DoubleResume();
    const ChildResult result = child.get();
    ::close(forked[0]);
    ::close(forked[1]);
    EXPECT_EQ(result.problems, "");
    EXPECT_EQ(Hub_StopAutoRecovery(), 1);
}

}  // namespace
