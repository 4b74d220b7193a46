// `vostrel port … cycle`, a child process on the bed, may not switch on the
// port of the hub that took the number of the hub it cycled.
#include <signal.h>

#include <chrono>
#include <thread>

#include "run_command.h"
#include "two_hub_bed.h"

namespace vostrel::test {
namespace {

using HubIdentityOnBed = TwoHubBed;

// `vostrel port 0 1 cycle`: hub A goes during the pause; hub B's port 1,
// switched off on purpose, stays off, and the program says why it switched
// nothing on.
TEST_F(HubIdentityOnBed, ACycleDoesNotSwitchOnThePortOfTheHubThatTookItsNumber) {
    const std::string environment = "env LD_LIBRARY_PATH='" NATIVE_PT2LIB_FOLDER ":" LIBRARY_FOLDER "' ";
    auto run = runCommand(environment + "'" VOSTREL_PROGRAM "' port 1 1 off 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_EQ(hubBDisable(1), "1\n");

    // In the background; it ends its pause at SIGTERM.
    run = runCommand(environment + "sh -c 'echo $$ >cycle.pid; exec \"$0\" \"$@\" >cycle.out 2>&1' '" VOSTREL_PROGRAM
                                   "' port 0 1 cycle --off-time 600 & echo $! >cycle.started");
    ASSERT_EQ(run.exitCode, 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (hubADisable(1) != "1\n" && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(hubADisable(1), "1\n") << "the cycle switched hub A's port 1 off";
    unplugHubA();
    const int pid = std::stoi(fileText("cycle.pid"));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    while (::kill(pid, 0) == 0 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(hubBDisable(1), "1\n") << "hub B's port 1 stays off";
    EXPECT_EQ(fileText("cycle.out"), "hub 0 port 1: power off\nvostrel: hub 0 (VH0002A at 1-1) has gone from the "
                                     "bus during the pause; port 1 was not switched on again\n");
}

}  // namespace
}  // namespace vostrel::test
