#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include <vostrel/hub_api.h>

#include "frame/records.h"
#include "loaded_library.h"

namespace {

using namespace vostrel;
using vostrel::test::makeRecord;
using vostrel::test::readBytes;
using vostrel::test::settingsNow;

using Entries = std::vector<std::array<int, 3>>;

class WatchList : public test::LoadedLibrary {
protected:
    void add(int hub, int port, std::uint16_t vid = 0x1234) {
        const DeviceInfoRecord record = makeRecord(hub, port, vid);
        ASSERT_EQ(Hub_SetAutoCheckDeviceInfo(&record), 1);
    }

    // (hub, port, vendor) of every entry, listed as the control program does.
    static Entries listed() {
        Entries out;
        DeviceInfoRecord record{};
        for (auto more = Hub_GetAutoCheckDeviceInfo(&record); more; more = Hub_GetNextAutoCheckDeviceInfo(&record)) {
            out.push_back({record.hubIndex, record.portIndex, record.vendorId});
        }
        return out;
    }
};

TEST_F(WatchList, FreshStartIsEmptyWithDefaultTimesAndSettingTimesDoesNotSave) {
    std::uint8_t interval = 0, offTime = 0;
    Hub_GetAutoCheckTimeInfo(&interval, &offTime);
    EXPECT_EQ(interval, 5);
    EXPECT_EQ(offTime, 3);
    DeviceInfoRecord record;
    std::memset(&record, 0xEE, sizeof record);
    EXPECT_EQ(Hub_GetAutoCheckDeviceInfo(&record), 0);
    EXPECT_EQ(record.reserved0[0], 0xEE) << "buffer must stay untouched";

    Hub_SetAutoCheckTimeInfo(0, 255);
    EXPECT_FALSE(std::filesystem::exists("vostrel.dat"));
}

TEST_F(WatchList, AddSavesTheImageUpToThirtyTwoEntries) {
    add(0, 1, 0x1111);
    add(2, 3, 0x2222);
    EXPECT_EQ(listed(), (Entries{{0, 1, 0x1111}, {2, 3, 0x2222}}));
    AutoCheckSettings stored;
    const auto bytes = readBytes("vostrel.dat");
    ASSERT_EQ(bytes.size(), sizeof stored);
    std::memcpy(&stored, bytes.data(), sizeof stored);
    EXPECT_EQ(stored.count, 2);
    EXPECT_EQ(stored.entries[1].vendorId, 0x2222);

    for (int i = 2; i < 32; ++i) add(i, 0);
    const auto full = readBytes("vostrel.dat");
    const DeviceInfoRecord extra = makeRecord(40, 0);
    EXPECT_EQ(Hub_SetAutoCheckDeviceInfo(&extra), 0);
    EXPECT_EQ(readBytes("vostrel.dat"), full);
}

TEST_F(WatchList, CopyingOutWritesOnlyTheSixKeptFieldsAndTextsInAreBounded) {
    DeviceInfoRecord in = makeRecord(3, 2, 0xABCD, 0x0042, u"Pad", u"Acme");
    std::fill(std::begin(in.manufacturer), std::end(in.manufacturer), u'x');  // no terminator at all
    Hub_SetAutoCheckDeviceInfo(&in);

    DeviceInfoRecord out;
    std::memset(&out, 0x5A, sizeof out);
    ASSERT_EQ(Hub_GetAutoCheckDeviceInfoIndex(&out, 0), 1);
    EXPECT_EQ(out.hubIndex, 3);
    EXPECT_EQ(out.portIndex, 2);
    EXPECT_EQ(out.vendorId, 0xABCD);
    EXPECT_EQ(out.productId, 0x0042);
    EXPECT_EQ(std::u16string(out.product), u"Pad");
    EXPECT_EQ(textLength(out.manufacturer), 255u);
    EXPECT_EQ(out.manufacturer[255], u'\0');
    EXPECT_EQ(out.reserved0[0], 0x5A);
    EXPECT_EQ(out.configurationValue, 0x5A);
    EXPECT_EQ(out.connectionStatus, 0x5A5A5A5Au);
    EXPECT_EQ(out.product[4], 0x5A5A) << "nothing after the terminator";
}

TEST_F(WatchList, CursorsAndIndexesStopAtTheCount) {
    AutoCheckSettings block{};
    block.count = 200;     // clamped to the 32 slots
    block.readCursor = 2;  // saved cursors are kept
    for (int i = 0; i < kMaxWatchEntries; ++i) block.entries[i].hubIndex = i;
    reloadWith(block);

    DeviceInfoRecord record{};
    ASSERT_EQ(Hub_GetNextAutoCheckDeviceInfo(&record), 1);
    EXPECT_EQ(record.hubIndex, 2);
    EXPECT_EQ(Hub_GetAutoCheckDeviceInfoIndex(&record, 32), 0);
    ASSERT_EQ(Hub_GetAutoCheckDeviceInfoIndex(&record, 31), 1);
    EXPECT_EQ(Hub_GetNextAutoCheckDeviceInfo(&record), 1) << "an indexed read leaves the cursor";
    EXPECT_EQ(record.hubIndex, 3);
    EXPECT_EQ(listed().size(), 32u);
    EXPECT_EQ(Hub_GetNextAutoCheckDeviceInfo(&record), 0);
    const DeviceInfoRecord extra = makeRecord(99, 0);
    EXPECT_EQ(Hub_SetAutoCheckDeviceInfo(&extra), 0);
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
    EXPECT_EQ(settingsNow().entries[1].vendorId, 0xCCCC) << "the vacated slot keeps its bytes";

    std::filesystem::remove("vostrel.dat");
    EXPECT_EQ(Hub_DeleteAutoCheckDeviceInfo(&record), 0);
    EXPECT_FALSE(std::filesystem::exists("vostrel.dat")) << "nothing found, nothing saved";
    std::memset(&record, 0x77, sizeof record);
    EXPECT_EQ(Hub_GetAutoCheckDeviceInfo_Index_and_Port(&record, 1, 2), 0);
    EXPECT_EQ(record.reserved0[0], 0);
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
    EXPECT_EQ(settingsNow().entries[1].recoveryCountdown(), 0u);
    EXPECT_EQ(settingsNow().entries[1].tickCounter, 0);
}

}  // namespace
