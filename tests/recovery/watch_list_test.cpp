#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <vector>

#include "hub_api.h"
#include "loaded_library.h"

namespace {

using namespace vostrel;
using vostrel::test::makeRecord;
using vostrel::test::readBytes;

class WatchList : public test::LoadedLibrary {
protected:
    void add(int hub, int port, std::uint16_t vid = 0x1234) {
        const DeviceInfoRecord record = makeRecord(hub, port, vid);
        ASSERT_EQ(Hub_SetAutoCheckDeviceInfo(&record), 1);
    }

    // The (hub, port, vendor) of every entry, read the way the control
    // program lists them.
    std::vector<std::array<int, 3>> listed() {
        std::vector<std::array<int, 3>> out;
        DeviceInfoRecord record{};
        for (auto more = Hub_GetAutoCheckDeviceInfo(&record); more;
             more = Hub_GetNextAutoCheckDeviceInfo(&record)) {
            out.push_back({record.hubIndex, record.portIndex, record.vendorId});
        }
        return out;
    }
};

using Entries = std::vector<std::array<int, 3>>;

TEST_F(WatchList, FreshStartIsEmptyWithDefaultTimes) {
    std::uint8_t interval = 0, offTime = 0;
    EXPECT_EQ(Hub_GetAutoCheckTimeInfo(&interval, &offTime), 1);
    EXPECT_EQ(interval, 5);
    EXPECT_EQ(offTime, 3);
    EXPECT_EQ(Hub_GetAutoRecoveryStatus(), 0);

    DeviceInfoRecord record;
    std::memset(&record, 0xEE, sizeof record);
    EXPECT_EQ(Hub_GetAutoCheckDeviceInfo(&record), 0);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(&record)[0], 0xEE) << "buffer must stay untouched";
}

TEST_F(WatchList, AddSavesTheWholeImageAndTheListKeepsItsOrder) {
    add(0, 1, 0x1111);
    add(2, 3, 0x2222);
    add(1, 0, 0x3333);
    EXPECT_EQ(listed(), (Entries{{0, 1, 0x1111}, {2, 3, 0x2222}, {1, 0, 0x3333}}));

    const auto bytes = readBytes("vostrel.dat");
    ASSERT_EQ(bytes.size(), 33672u);
    AutoCheckSettings stored;
    std::memcpy(&stored, bytes.data(), sizeof stored);
    EXPECT_EQ(stored.count, 3);
    EXPECT_EQ(stored.entries[1].hubIndex, 2);
    EXPECT_EQ(stored.entries[1].vendorId, 0x2222);
}

TEST_F(WatchList, ThirtyThirdAddFailsAndLeavesTheFileAsItWas) {
    for (int i = 0; i < 32; ++i) add(i, i % 4);
    const auto before = readBytes("vostrel.dat");
    const DeviceInfoRecord extra = makeRecord(40, 0);
    EXPECT_EQ(Hub_SetAutoCheckDeviceInfo(&extra), 0);
    EXPECT_EQ(settings().count, 32);
    EXPECT_EQ(readBytes("vostrel.dat"), before);
}

TEST_F(WatchList, CopyingOutWritesOnlyTheSixKeptFields) {
    const DeviceInfoRecord in = makeRecord(3, 2, 0xABCD, 0x0042, u"Pad", u"Acme");
    Hub_SetAutoCheckDeviceInfo(&in);

    DeviceInfoRecord out;
    std::memset(&out, 0x5A, sizeof out);
    ASSERT_EQ(Hub_GetAutoCheckDeviceInfoIndex(&out, 0), 1);
    EXPECT_EQ(out.hubIndex, 3);
    EXPECT_EQ(out.portIndex, 2);
    EXPECT_EQ(out.vendorId, 0xABCD);
    EXPECT_EQ(out.productId, 0x0042);
    EXPECT_EQ(std::u16string(out.product), u"Pad");
    EXPECT_EQ(std::u16string(out.manufacturer), u"Acme");
    // Untouched: the reserved bytes, the configuration value, the status and
    // everything after each text's terminator.
    EXPECT_EQ(out.reserved0[0], 0x5A);
    EXPECT_EQ(out.configurationValue, 0x5A);
    EXPECT_EQ(out.connectionStatus, 0x5A5A5A5Au);
    EXPECT_EQ(out.product[4], 0x5A5A);
    EXPECT_EQ(out.manufacturer[5], 0x5A5A);
}

TEST_F(WatchList, TextsAreCopiedInUpToTheirNulAndNeverMoreThan255Units) {
    DeviceInfoRecord in = makeRecord(0, 0);
    std::fill(std::begin(in.product), std::end(in.product), u'x');  // no terminator at all
    ASSERT_EQ(Hub_SetAutoCheckDeviceInfo(&in), 1);
    const AutoCheckEntry& entry = settings().entries[0];
    EXPECT_EQ(textLength(entry.product), 255u);
    EXPECT_EQ(entry.product[255], u'\0');
    EXPECT_EQ(std::u16string(entry.manufacturer), u"Maker");
}

TEST_F(WatchList, IterationAndIndexedReadsRespectTheCount) {
    add(0, 0);
    add(0, 1);
    DeviceInfoRecord record{};
    EXPECT_EQ(Hub_GetAutoCheckDeviceInfoIndex(&record, 2), 0);
    EXPECT_EQ(Hub_GetAutoCheckDeviceInfoIndex(&record, 255), 0);

    ASSERT_EQ(Hub_GetAutoCheckDeviceInfo(&record), 1);
    // An indexed read does not move the cursor.
    ASSERT_EQ(Hub_GetAutoCheckDeviceInfoIndex(&record, 0), 1);
    ASSERT_EQ(Hub_GetNextAutoCheckDeviceInfo(&record), 1);
    EXPECT_EQ(record.portIndex, 1);
    EXPECT_EQ(Hub_GetNextAutoCheckDeviceInfo(&record), 0);
}

TEST_F(WatchList, NextContinuesFromTheCursorSavedInTheFile) {
    AutoCheckSettings block{};
    block.count = 3;
    block.readCursor = 2;
    for (int i = 0; i < 3; ++i) block.entries[i].hubIndex = 10 + i;
    reloadWith(block);

    DeviceInfoRecord record{};
    ASSERT_EQ(Hub_GetNextAutoCheckDeviceInfo(&record), 1);
    EXPECT_EQ(record.hubIndex, 12);
    EXPECT_EQ(Hub_GetNextAutoCheckDeviceInfo(&record), 0);
}

TEST_F(WatchList, LookupAndDeletionActOnTheLowestMatchingSlot) {
    add(1, 2, 0xAAAA);
    add(0, 0, 0xBBBB);
    add(1, 2, 0xCCCC);

    DeviceInfoRecord record;
    std::memset(&record, 0x77, sizeof record);
    ASSERT_EQ(Hub_GetAutoCheckDeviceInfo_Index_and_Port(&record, 1, 2), 1);
    EXPECT_EQ(record.vendorId, 0xAAAA);
    EXPECT_EQ(record.reserved0[0], 0) << "the whole record is zeroed first";

    ASSERT_EQ(Hub_DeleteAutoCheckDeviceInfo(&record), 1);
    EXPECT_EQ(listed(), (Entries{{0, 0, 0xBBBB}, {1, 2, 0xCCCC}}));
    ASSERT_EQ(Hub_DeleteAutoCheckDeviceInfo(&record), 1);
    EXPECT_EQ(listed(), (Entries{{0, 0, 0xBBBB}}));

    std::memset(&record, 0x77, sizeof record);
    EXPECT_EQ(Hub_GetAutoCheckDeviceInfo_Index_and_Port(&record, 1, 2), 0);
    for (std::size_t i = 0; i < sizeof record; ++i) {
        ASSERT_EQ(reinterpret_cast<unsigned char*>(&record)[i], 0) << "byte " << i;
    }
}

TEST_F(WatchList, DeletingTheLastEntryOnlyLowersTheCount) {
    add(0, 0);
    add(0, 1);
    add(0, 2);
    const DeviceInfoRecord last = makeRecord(0, 2);
    ASSERT_EQ(Hub_DeleteAutoCheckDeviceInfo(&last), 1);
    EXPECT_EQ(settings().count, 2);
    EXPECT_EQ(settings().entries[2].portIndex, 2) << "the vacated slot keeps its bytes";
}

TEST_F(WatchList, DeletingWhatIsNotThereFailsAndSavesNothing) {
    add(0, 0);
    std::filesystem::remove("vostrel.dat");
    const DeviceInfoRecord absent = makeRecord(0, 3);
    EXPECT_EQ(Hub_DeleteAutoCheckDeviceInfo(&absent), 0);
    EXPECT_FALSE(std::filesystem::exists("vostrel.dat"));
}

TEST_F(WatchList, AnEntryAddedIntoAVacatedSlotStartsIdle) {
    AutoCheckSettings block{};
    block.count = 2;
    block.entries[1].hubIndex = 1;
    block.entries[1].setRecoveryCountdown(256);
    block.entries[1].tickCounter = 4;
    reloadWith(block);

    const DeviceInfoRecord second = makeRecord(1, 0);
    ASSERT_EQ(Hub_DeleteAutoCheckDeviceInfo(&second), 1);
    add(5, 1);
    const AutoCheckEntry& reused = settings().entries[1];
    EXPECT_EQ(reused.hubIndex, 5);
    EXPECT_EQ(reused.recoveryCountdown(), 0u);
    EXPECT_EQ(reused.tickCounter, 0);
}

TEST_F(WatchList, SettingTheTimesDoesNotSave) {
    EXPECT_EQ(Hub_SetAutoCheckTimeInfo(0, 255), 1);
    EXPECT_FALSE(std::filesystem::exists("vostrel.dat"));
    std::uint8_t interval = 9, offTime = 9;
    Hub_GetAutoCheckTimeInfo(&interval, &offTime);
    EXPECT_EQ(interval, 0);
    EXPECT_EQ(offTime, 255);
}

}  // namespace
