// Load and unload steps, each case in a fresh process with its own folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
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

// A process that changes nothing writes nothing at unload: a fresh folder
// gets no file, a stored file stays as it is (its zero times too); the
// first change is saved.
TEST(LoadUnload, UnloadSavesOnlyWhatChanged) {
    ScratchDir dir;
    EXPECT_EQ(runProbe(), "interval=5 offtime=3 enabled=0 count=0\n");
    EXPECT_FALSE(std::filesystem::exists("vostrel.dat"));

    AutoCheckSettings block{};
    block.offTime = 7;
    writeBytes("vostrel.dat", &block, sizeof block);
    EXPECT_EQ(runProbe(), "interval=5 offtime=7 enabled=0 count=0\n");
    EXPECT_EQ(storedSettings().interval, 0);

    runProbe("set-times 5 7");  // what the load showed: no change
    EXPECT_EQ(storedSettings().interval, 0);
    runProbe("set-times 6 7");
    EXPECT_EQ(storedSettings().interval, 6);
    EXPECT_EQ(storedSettings().offTime, 7);
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
    // The first save writes the block alone.
    runProbe("set-times 2 2");
    EXPECT_EQ(readBytes("vostrel.dat").size(), sizeof(AutoCheckSettings));
}

}  // namespace
