// Load and unload steps, each case in a fresh process with its own folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "recovery/settings.h"
#include "run_command.h"
#include "scratch_dir.h"

namespace {

using vostrel::AutoCheckSettings;
using vostrel::test::readBytes;
using vostrel::test::ScratchDir;
using vostrel::test::writeBytes;

// Runs the probe in the current directory and returns what it printed.
std::string runProbe(const std::string& arguments = "") {
    const auto result = vostrel::test::runCommand(vostrel::test::shellQuoted(LOAD_PROBE) + " " + arguments);
    return result.exitCode == 0 ? result.output : "exit status " + std::to_string(result.exitCode);
}

AutoCheckSettings storedSettings() {
    AutoCheckSettings block{};
    const auto bytes = readBytes("vostrel.dat");
    EXPECT_EQ(bytes.size(), sizeof block);
    std::memcpy(&block, bytes.data(), std::min(bytes.size(), sizeof block));
    return block;
}

TEST(LoadUnload, FreshFolderGivesDefaultsAndUnloadWritesTheFile) {
    ScratchDir dir;
    EXPECT_EQ(runProbe(), "interval=5 offtime=3 enabled=0 count=0\n");
    const AutoCheckSettings stored = storedSettings();
    EXPECT_EQ(stored.interval, 5);
    EXPECT_EQ(stored.offTime, 3);
    EXPECT_EQ(stored.count, 0);
}

TEST(LoadUnload, StoredZeroTimesBecomeDefaultsOtherValuesStay) {
    ScratchDir dir;
    AutoCheckSettings block{};
    writeBytes("vostrel.dat", &block, sizeof block);
    EXPECT_EQ(runProbe(), "interval=5 offtime=3 enabled=0 count=0\n");

    block.interval = 1;
    block.offTime = 200;
    writeBytes("vostrel.dat", &block, sizeof block);
    EXPECT_EQ(runProbe(), "interval=1 offtime=200 enabled=0 count=0\n");
}

TEST(LoadUnload, TimesSetWithoutAnyOtherSaveReachTheFileAtUnload) {
    ScratchDir dir;
    runProbe("set-times 0 9");
    const AutoCheckSettings stored = storedSettings();
    EXPECT_EQ(stored.interval, 0);
    EXPECT_EQ(stored.offTime, 9);
    // ...and the next load turns the stored 0 into the default.
    EXPECT_EQ(runProbe(), "interval=5 offtime=9 enabled=0 count=0\n");
}

TEST(LoadUnload, SettingsFilesOfAnyLengthLoad) {
    ScratchDir dir;
    writeBytes("vostrel.dat", "", 0);
    EXPECT_EQ(runProbe(), "interval=5 offtime=3 enabled=0 count=0\n");

    const unsigned char one = 9;
    writeBytes("vostrel.dat", &one, 1);
    EXPECT_EQ(runProbe(), "interval=9 offtime=3 enabled=0 count=0\n");

    std::string large(40000, '\x01');
    large[2] = 0;  // enabled stays off: this case is about the length
    writeBytes("vostrel.dat", large.data(), large.size());
    EXPECT_EQ(runProbe(), "interval=1 offtime=1 enabled=0 count=1\n");
    EXPECT_EQ(readBytes("vostrel.dat").size(), sizeof(AutoCheckSettings));
}

}  // namespace
