// vostrel monitor as the service runs it: it recovers a wedged device,
// prints the event line, tells the service manager it is ready, and ends
// promptly on SIGTERM, leaving its settings whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "cli_test_support.h"
#include "core/bench.h"

extern char** environ;

namespace vostrel::cli::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A program running beside the test, its output in files; killed if the
// test leaves it running.
class Child {
public:
    Child(std::vector<std::string> arguments, const std::string& out, const std::string& err) {
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &files, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&files);
    }
    ~Child() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }

    bool started() const { return pid_ > 0; }
    void signal(int number) const { ::kill(pid_, number); }

    // Its exit status once it has ended within `limit`.
    std::optional<int> exitWithin(std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        do {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } while (Clock::now() < end);
        return std::nullopt;
    }

private:
    pid_t pid_ = -1;
};

// Waits at most 30 s for `done`; the bound only ends a failure.
template <typename Condition>
bool eventually(Condition done) {
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A socket in the place of the service manager's, for sd_notify.
class NotifySocket {
public:
    explicit NotifySocket(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        timeval limit{30, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    ~NotifySocket() { ::close(fd_); }

    std::string receive() const {
        char message[1024] = {};
        const ssize_t got = ::recv(fd_, message, sizeof message - 1, 0);
        return got > 0 ? std::string(message, static_cast<std::size_t>(got)) : "";
    }

private:
    int fd_;
};

class Monitor : public CliTest, public ::testing::WithParamInterface<bool> {
protected:
    std::string cameraState() {
        sim::BenchFile file(bench_);
        return sim::test::named(*file.current(), "camera").stateAt(sim::wallClockMs()) == sim::State::Present
                   ? "present"
                   : "not present";
    }
};

TEST_P(Monitor, RecoversAWedgedDeviceAndStopsOnSigtermLeavingTheStoredFlagAsItWas) {
    const bool storedOn = GetParam();
    ASSERT_EQ(vostrel("watch add " + state_ + " 0 1").exitCode, 0);
    ASSERT_EQ(vostrel("times " + state_ + " 1 1").exitCode, 0);
    if (storedOn) {
        ASSERT_EQ(vostrel("recovery on " + state_).exitCode, 0);
    }

    const NotifySocket manager((dir_.path() / "notify").string());
    ::setenv("NOTIFY_SOCKET", (dir_.path() / "notify").c_str(), 1);
    Child monitor({VOSTREL_PROGRAM, "monitor", "--state-dir", "state"}, "monitor.out", "monitor.err");
    ::unsetenv("NOTIFY_SOCKET");
    ASSERT_TRUE(monitor.started());
    ASSERT_TRUE(eventually([] { return readText("monitor.err").find("monitor running") != std::string::npos; }))
        << readText("monitor.err");
#ifdef VOSTREL_SYSTEMD_NOTIFY
    EXPECT_EQ(manager.receive().rfind("READY=1\nSTATUS=watching 1 devices in ", 0), 0u);
#endif

    // The state folder is the monitor's while it runs.
    for (const char* command : {"monitor", "watch remove 0 1"}) {
        const Outcome refused = vostrel(std::string(command) + " " + state_);
        EXPECT_EQ(refused.exitCode, 1) << command;
        EXPECT_NE(refused.err.find("another vostrel program is using the state folder"), std::string::npos);
    }

    ASSERT_EQ(sim::test::runCli("wedge camera").exitCode, 0);
    const std::string event = "not configured (1)  hub 0 port 1  7E57:0C31  Lumen Labs  HD Camera\n";
    EXPECT_TRUE(eventually([&] {
        return readText("monitor.out").find(event) != std::string::npos && cameraState() == "present";
    })) << readText("monitor.out");

    monitor.signal(SIGTERM);
    EXPECT_EQ(monitor.exitWithin(std::chrono::milliseconds(2000)), 0) << readText("monitor.err");
    EXPECT_NE(readText("monitor.err").find("stopping the monitor"), std::string::npos);
    expectNoSanitizerReport(readText("monitor.err"));

    EXPECT_EQ(fs::file_size("state/vostrel.dat"), 33672u);
    EXPECT_EQ(vostrel("watch list " + state_).out,
              "HUB  PORT  DEVICE     MANUFACTURER  PRODUCT\n"
              "0    1     7E57:0C31  Lumen Labs    HD Camera\n");
    EXPECT_EQ(vostrel("times --json " + state_).out, "{\"interval\":1,\"offTime\":1}\n");
    EXPECT_EQ(vostrel("recovery status " + state_).out, storedOn ? "on\n" : "off\n");
    EXPECT_NE(vostrel("log " + state_).out.find(event), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cli, Monitor, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "StoredOn" : "StoredOff";
                         });

TEST_F(CliTest, LogFollowPrintsNewEventsUntilInterrupted) {
    writeText("state/vostrel.log", "2017/04/05 01:07:09,3,0,3,0x7E57,0x0C31,Lumen Labs,HD Camera\r\n");
    Child follow({VOSTREL_PROGRAM, "log", "--follow", "--json", "--state-dir", "state"}, "follow.out", "follow.err");
    ASSERT_TRUE(follow.started());
    ASSERT_TRUE(eventually([] { return readText("follow.out").find("\"hub\":0") != std::string::npos; }));
    fs::remove("state/vostrel.log");
    writeText("state/vostrel.log", "2017/04/05 01:07:10,2,1,2,0x0001,0x0002,A,B\r\n");
    EXPECT_TRUE(eventually([] { return readText("follow.out").find("\"hub\":1") != std::string::npos; }));
    follow.signal(SIGINT);
    EXPECT_EQ(follow.exitWithin(std::chrono::milliseconds(2000)), 0);
    EXPECT_EQ(readText("follow.err"), "");
}

TEST_F(CliTest, AFifoForTheLogNeitherHangsLogNorKeepsTheMonitorFromStopping) {
    ASSERT_EQ(vostrel("watch add " + state_ + " 0 1").exitCode, 0);
    ASSERT_EQ(::mkfifo("state/vostrel.log", 0600), 0);
    // The limit only ends a failure: a reader blocked on the FIFO.
    const Outcome log = vostrel("log " + state_, "timeout 30 ");
    EXPECT_EQ(log.exitCode, 0) << log.err;
    EXPECT_EQ(log.out, "");

    Child monitor({VOSTREL_PROGRAM, "monitor", "--state-dir", "state"}, "monitor.out", "monitor.err");
    ASSERT_TRUE(monitor.started());
    ASSERT_TRUE(eventually([] { return readText("monitor.err").find("monitor running") != std::string::npos; }))
        << readText("monitor.err");
    monitor.signal(SIGTERM);
    EXPECT_EQ(monitor.exitWithin(std::chrono::seconds(30)), 0) << readText("monitor.err");
    EXPECT_NE(readText("monitor.err").find("stopping the monitor"), std::string::npos);
    expectNoSanitizerReport(readText("monitor.err"));
}

}  // namespace
}  // namespace vostrel::cli::test
