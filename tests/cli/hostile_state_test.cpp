// vostrel in a state folder where others have been at work: links and FIFOs
// in the place of its files, a disk that takes no more, the environment
// naming another folder, and devices whose texts hold terminal controls.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "child_process.h"
#include "cli_test_support.h"

namespace vostrel::cli::test {
namespace {

namespace fs = std::filesystem;

using HostileState = CliTest;

constexpr uid_t kNobody = 65534;

// Makes `link` a symbolic link to `target`: as another user (nobody) when the
// test runs as root, else as this user.
void plantLink(const std::string& target, const std::string& link) {
    if (::geteuid() != 0) {
        fs::create_symlink(target, link);
        return;
    }
    const auto planted = vostrel::test::runInChild([&]() -> std::string {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) return "cannot become nobody";
        return ::symlink(target.c_str(), link.c_str()) == 0 ? "" : "symlink failed";
    });
    ASSERT_TRUE(planted.finished) << planted.problems;
}

TEST_F(HostileState, LinksAndFifosInTheStateFolderCountAsNoFile) {
    // A folder everyone may write in, as /tmp.
    fs::permissions(dir_.path(), fs::perms::others_exec, fs::perm_options::add);
    fs::permissions("state", fs::perms::all | fs::perms::sticky_bit);
    writeText("secret.log", "2017/04/05 01:07:09,3,0,3,0x7E57,0x0C31,Secret,Stuff\r\n");
    fs::permissions("secret.log", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directory("other");
    ASSERT_EQ(vostrel("watch add --state-dir other 0 1").exitCode, 0);

    plantLink((dir_.path() / "secret.log").string(), "state/vostrel.log");
    plantLink((dir_.path() / "other/vostrel.dat").string(), "state/vostrel.dat");
    Outcome run = vostrel("log " + state_);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    run = vostrel("watch list " + state_);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "The watch list is empty.\n");
    EXPECT_EQ(vostrel("list --json " + state_).out.find("\"watched\":true"), std::string::npos);

    fs::remove("state/vostrel.dat");
    ASSERT_EQ(::mkfifo("state/vostrel.dat", 0600), 0);
    run = vostrel("watch list " + state_);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "The watch list is empty.\n");
}

// What four changes after "watch add 0 1" print (both streams, and the exit
// status), each run by the shell after `prefix`.
std::string refusedChanges(const std::string& prefix, const std::string& state) {
    std::string output;
    for (const char* change : {"watch remove 0 1", "watch add 0 2", "times 9 9", "recovery on"}) {
        output += vostrel::test::runCommand(prefix + "'" VOSTREL_PROGRAM "' " + change + " " + state +
                                            " 2>&1; echo \"exit $?\"")
                      .output;
    }
    return output;
}

std::string notStored(const fs::path& folder, const std::string& why) {
    const std::string refused = "vostrel: the change was not stored: " + (folder / "vostrel.dat").string() +
                                " could not be written: " + why + "\nexit 1\n";
    return refused + refused + refused + refused;
}

constexpr char kWatchedCamera[] =
    "HUB  PORT  DEVICE     MANUFACTURER  PRODUCT\n"
    "0    1     7E57:0C31  Lumen Labs    HD Camera\n";

TEST_F(HostileState, AChangeTheFileSystemRefusesIsReportedAsNotStored) {
    ASSERT_EQ(vostrel("watch add " + state_ + " 0 1").exitCode, 0);
    // A file size limit (root's too) stops every write past 512 bytes.
    EXPECT_EQ(refusedChanges("trap '' XFSZ; ulimit -f 1; ", state_),
              notStored(dir_.path() / "state", "file too large"));
    EXPECT_EQ(vostrel("watch list " + state_).out, kWatchedCamera);
    EXPECT_EQ(vostrel("times --json " + state_).out, "{\"interval\":5,\"offTime\":3}\n");
    EXPECT_EQ(vostrel("recovery status " + state_).out, "off\n");
}

TEST_F(HostileState, AChangeOnAFullFileSystemIsReportedAsNotStored) {
    // A small tmpfs in a mount namespace of the test's own, so that it goes
    // with the shell that mounted it.
    fs::create_directory("full");
    const std::string inNamespace = "unshare --mount sh -c 'mount -t tmpfs -o size=128k tmpfs full && ";
    if (vostrel::test::runCommand(inNamespace + "true' 2>/dev/null").exitCode != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root and mount namespaces)";
    }
    const std::string program = "\"" VOSTREL_PROGRAM "\" ";
    const auto run = vostrel::test::runCommand(
        inNamespace + program + "watch add --state-dir full 0 1 >/dev/null && " +
        "{ cat /dev/zero >full/filler 2>/dev/null; true; } && " +
        "for change in \"watch remove 0 1\" \"watch add 0 2\" \"times 9 9\" \"recovery on\"; do " + program +
        "$change --state-dir full 2>&1; echo \"exit $?\"; done; " + program + "watch list --state-dir full; " +
        program + "times --json --state-dir full; " + program + "recovery status --state-dir full'");
    EXPECT_EQ(run.output, notStored(dir_.path() / "full", "no space left on device") + kWatchedCamera +
                              "{\"interval\":5,\"offTime\":3}\noff\n");
}

TEST_F(HostileState, TheStateDirOptionWinsOverTheEnvironment) {
    fs::create_directory("e1");
    fs::create_directory("e2");
    const std::string environment = "env VOSTREL_STATE_DIR=" + (dir_.path() / "e2").string() + " ";
    Outcome run = vostrel("times 9 9 --state-dir e1", environment);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists("e1/vostrel.dat"));
    EXPECT_TRUE(fs::is_empty("e2"));
    EXPECT_EQ(vostrel("times --json --state-dir e1", environment).out, "{\"interval\":9,\"offTime\":9}\n");
    EXPECT_EQ(vostrel("times --json", environment).out, "{\"interval\":5,\"offTime\":3}\n");

    run = vostrel("times 9 9 --state-dir /nonexistent", environment);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "vostrel: the state folder /nonexistent does not exist\n");
    run = vostrel("watch list --state-dir /etc/passwd", environment);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "vostrel: the state folder /etc/passwd is not a folder\n");
    EXPECT_TRUE(fs::is_empty("e2"));
}

TEST_F(HostileState, ControlCharactersOfDevicesAndTheLogAreShownNotSentToTheTerminal) {
    std::string bench = sim::test::example("two-hubs-usb3.json");
    const std::string camera = "\"HD Camera\"";
    ASSERT_NE(bench.find(camera), std::string::npos);
    bench.replace(bench.find(camera), camera.size(), R"("HD\u001b]0;owned\u0007\u009b2J Camera")");
    useBench("", bench);
    const std::string raw = "HD\x1b]0;owned\x07\xc2\x9b" "2J Camera";
    const std::string shown = R"(HD\x1b]0;owned\x07\x9b2J Camera)";

    const std::vector<std::string> textCommands = {"list", "watch add 0 1", "watch list"};
    for (const std::string& command : textCommands) {
        const Outcome run = vostrel(command + " " + state_);
        EXPECT_EQ(run.exitCode, 0) << command << ": " << run.err;
        EXPECT_NE(run.out.find(shown), std::string::npos) << command << ": " << run.out;
        EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << command;
    }
    EXPECT_EQ(listed(state_)["hubs"][0]["ports"][0]["product"], raw);  // JSON as it was

    writeText("state/vostrel.log", "2017/04/05 01:07:09,3,0,1,0x7E57,0x0C31,Lumen\x1b[2J Labs," + raw +
                                       "\r\n\x1b]2;not an event\x07\xff\r\n");
    const Outcome log = vostrel("log " + state_);
    EXPECT_EQ(log.out, "2017/04/05 01:07:09  missing (3)  hub 0 port 1  7E57:0C31  Lumen\\x1b[2J Labs  " + shown +
                           "\n\\x1b]2;not an event\\x07\\xff\n");
    EXPECT_NE(vostrel("log --json " + state_).out.find(R"("manufacturer":"Lumen\u001b[2J Labs")"),
              std::string::npos);
}

}  // namespace
}  // namespace vostrel::cli::test
