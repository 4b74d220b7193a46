// The event log as the monitor writes it, in a folder where "vostrel.log" is
// not what it should be, or where the disk fills up. Each case runs the
// monitor in a child process, so that a monitor stuck on the file cannot
// hang the suite.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "child_process.h"
#include "monitor_fixture.h"

namespace {

using namespace vostrel;
using namespace vostrel::test;
namespace fs = std::filesystem;

using EventLogFile = MonitorTest;

const std::string kTheirs = "a file of someone else's\n";

std::string textOf(const fs::path& file) {
    const auto bytes = readBytes(file);
    return {bytes.begin(), bytes.end()};
}

struct Squatter {
    const char* what;
    void (*make)();
};

const Squatter kSquatters[] = {
    {"a link to another file", [] { fs::create_symlink("theirs", "vostrel.log"); }},
    {"a FIFO nobody reads", [] { ::mkfifo("vostrel.log", 0600); }},
    {"a FIFO with a reader", [] { ::mkfifo("vostrel.log", 0600); }},
};

TEST_F(EventLogFile, ALogNameThatIsNoRegularFileIsNeitherWrittenThroughNorWaitedForAndRecoveryGoesOn) {
    watchNewDevice(0, 1);
    hubs_[0].unplug(1);
    for (const Squatter& squatter : kSquatters) {
        SCOPED_TRACE(squatter.what);
        writeBytes("theirs", kTheirs.data(), kTheirs.size());
        squatter.make();
        const bool withReader = std::string(squatter.what).ends_with("reader");
        const int reader = withReader ? ::open("vostrel.log", O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;

        const auto result = runInChild([this] {
            ::setenv("VOSTREL_DEBUG", "1", 1);
            std::string problems;
            startWith(1, 1);
            takeSwitches();
            clock_.tick();  // the check: an event, then the port goes off
            if (takeSwitches() != Switches{"0/18=0"}) problems += "the port was not switched off; ";
            if (Hub_StopAutoRecovery() != 1) problems += "the stop failed; ";
            return problems;
        });
        EXPECT_EQ(result.problems, "");
        EXPECT_NE(result.errors.find("vostrel: open vostrel.log: "), std::string::npos) << result.errors;
        EXPECT_EQ(textOf("theirs"), kTheirs);
        if (withReader) {
            char byte = 0;
            EXPECT_LE(::read(reader, &byte, 1), 0) << "something was written into the FIFO";
            ::close(reader);
        }
        fs::remove("vostrel.log");
    }
}

TEST_F(EventLogFile, ALineCutShortByAFullDiskIsTakenBackAndTheNextLineStandsAlone) {
    const std::string earlier = "2017/04/05 01:07:09,3,0,2,0x04D8,0x000A,Acme,Camera\r\n";
    writeBytes("vostrel.log", earlier.data(), earlier.size());
    watchNewDevice(0, 1);
    hubs_[0].unplug(1);

    const auto result = runInChild([this, &earlier] {
        std::string problems;
        // The disk is full ten bytes into the next line.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit full{earlier.size() + 10, limit.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &full);
        startWith(1, 1);
        clock_.tick();
        if (readBytes("vostrel.log").size() != earlier.size()) problems += "the cut line stayed; ";
        ::setrlimit(RLIMIT_FSIZE, &limit);  // room again
        clock_.ticks(3);  // the countdown runs out, the port goes on, the next check logs
        Hub_StopAutoRecovery();
        return problems;
    });
    EXPECT_EQ(result.problems, "");
    const std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 2u) << textOf("vostrel.log");
    EXPECT_EQ(lines[0] + "\r\n", earlier);
    std::string line = lines[1];  // the digits of its time stamp as 'd'
    std::replace_if(line.begin(), line.begin() + std::min<std::size_t>(19, line.size()),
                    [](char c) { return c >= '0' && c <= '9'; }, 'd');
    EXPECT_EQ(line, "dddd/dd/dd dd:dd:dd,3,0,2,0x04D8,0x000A,Acme,Camera");
    EXPECT_TRUE(textOf("vostrel.log").ends_with("\r\n"));
}

}  // namespace
