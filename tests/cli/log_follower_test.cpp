// Following the event log while the monitor appends to it and while people
// delete it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "log_follower.h"
#include "scratch_dir.h"

namespace vostrel::cli {
namespace {

using Lines = std::vector<std::string>;

void append(const std::string& text) { std::ofstream("log", std::ios::binary | std::ios::app) << text; }

class Following : public ::testing::Test {
protected:
    vostrel::test::ScratchDir dir_;
};

TEST_F(Following, HandsOutWholeLinesOnly) {
    append("one\r\ntw");
    LogFollower log("log", LogFollower::From::Start);
    EXPECT_EQ(log.newLines(), Lines{"one"});
    EXPECT_EQ(log.newLines(), Lines{});
    append("o\r\nthree\nfo");
    EXPECT_EQ(log.newLines(), (Lines{"two", "three"}));
    append("ur\r\n");
    EXPECT_EQ(log.newLines(), Lines{"four"});
}

TEST_F(Following, FromTheEndSkipsWhatIsThere) {
    append("old\r\n");
    LogFollower log("log", LogFollower::From::End);
    EXPECT_EQ(log.newLines(), Lines{});
    append("new\r\n");
    EXPECT_EQ(log.newLines(), Lines{"new"});
}

TEST_F(Following, ReadsAFileMadeAnewOrCutShorterFromItsStart) {
    LogFollower log("log", LogFollower::From::End);  // no file yet
    EXPECT_EQ(log.newLines(), Lines{});
    append("first\r\npart");
    EXPECT_EQ(log.newLines(), Lines{"first"});

    std::filesystem::remove("log");
    EXPECT_EQ(log.newLines(), Lines{});
    append("again\r\n");  // the part line of the deleted file is gone with it
    EXPECT_EQ(log.newLines(), Lines{"again"});

    // Replaced while not looked at, by a file longer than what was read.
    std::ofstream("log.new", std::ios::binary) << "replaced, and longer than before\r\n";
    std::filesystem::rename("log.new", "log");
    EXPECT_EQ(log.newLines(), Lines{"replaced, and longer than before"});

    std::ofstream("log", std::ios::binary | std::ios::trunc) << "cut\r\n";
    EXPECT_EQ(log.newLines(), Lines{"cut"});
}

TEST_F(Following, ReadsALongLogWhole) {
    std::string many;
    for (int i = 0; i < 100000; ++i) many += "2017/04/05 01:07:09,3,0,3,0x7E57,0x0C31,Lumen Labs,HD Camera\r\n";
    append(many);
    LogFollower log("log", LogFollower::From::Start);
    EXPECT_EQ(log.newLines().size(), 100000u);
}

}  // namespace
}  // namespace vostrel::cli
