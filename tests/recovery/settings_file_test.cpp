#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "hub_api.h"
#include "loaded_library.h"

namespace {

using namespace vostrel;
using vostrel::test::makeRecord;
using vostrel::test::readBytes;

using SettingsFile = test::LoadedLibrary;

TEST_F(SettingsFile, CountAboveThirtyTwoIsClampedAndNoOperationLeavesTheSlots) {
    AutoCheckSettings block{};
    block.count = 200;
    block.readCursor = 250;
    for (int i = 0; i < kMaxWatchEntries; ++i) block.entries[i].hubIndex = i;
    reloadWith(block);

    EXPECT_EQ(settings().count, 32);
    DeviceInfoRecord record{};
    EXPECT_EQ(Hub_GetNextAutoCheckDeviceInfo(&record), 0) << "a cursor past the count is past the end";
    EXPECT_EQ(Hub_GetAutoCheckDeviceInfoIndex(&record, 40), 0);
    const DeviceInfoRecord extra = makeRecord(99, 0);
    EXPECT_EQ(Hub_SetAutoCheckDeviceInfo(&extra), 0);

    int listed = 0;
    for (auto more = Hub_GetAutoCheckDeviceInfo(&record); more; more = Hub_GetNextAutoCheckDeviceInfo(&record)) {
        EXPECT_EQ(record.hubIndex, listed);
        ++listed;
    }
    EXPECT_EQ(listed, 32);
    const DeviceInfoRecord lastEntry = makeRecord(31, 0);
    EXPECT_EQ(Hub_DeleteAutoCheckDeviceInfo(&lastEntry), 1);
    EXPECT_EQ(settings().count, 31);
}

TEST_F(SettingsFile, UnterminatedTextsInTheFileAreReadBackBounded) {
    AutoCheckSettings block{};
    block.count = 1;
    std::fill(std::begin(block.entries[0].product), std::end(block.entries[0].product), u'p');
    reloadWith(block);

    DeviceInfoRecord record;
    std::memset(&record, 0x11, sizeof record);
    ASSERT_EQ(Hub_GetAutoCheckDeviceInfoIndex(&record, 0), 1);
    EXPECT_EQ(textLength(record.product), 255u);
    EXPECT_EQ(record.product[255], u'\0');
}

TEST_F(SettingsFile, AFailedSaveLeavesThePreviousFileIntact) {
    const DeviceInfoRecord first = makeRecord(0, 0);
    ASSERT_EQ(Hub_SetAutoCheckDeviceInfo(&first), 1);
    const auto before = readBytes("vostrel.dat");

    // The temporary file cannot be created when its name is taken by a folder.
    std::filesystem::create_directory("vostrel.dat.tmp." + std::to_string(::getpid()));
    const DeviceInfoRecord second = makeRecord(0, 1);
    EXPECT_EQ(Hub_SetAutoCheckDeviceInfo(&second), 1) << "a failed save is not reported";
    EXPECT_EQ(readBytes("vostrel.dat"), before);
    std::filesystem::remove("vostrel.dat.tmp." + std::to_string(::getpid()));
}

TEST(CountdownField, OffTime255StillCountsDownTo0) {
    AutoCheckEntry entry{};
    entry.setRecoveryCountdown(256);
    EXPECT_EQ(entry.countdown, 255) << "what readers unaware of the extra tick see";
    unsigned ticks = 0;
    while (entry.recoveryCountdown() != 0) {
        entry.setRecoveryCountdown(entry.recoveryCountdown() - 1);
        ++ticks;
    }
    EXPECT_EQ(ticks, 256u);
}

}  // namespace
