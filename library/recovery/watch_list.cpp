// The watch-list and time exports.
#include <algorithm>
#include <cstring>

#include "frame/locks.h"
#include "frame/text.h"
#include <vostrel/hub_api.h>
#include "recovery/monitor_pass.h"
#include "recovery/settings.h"

using namespace vostrel;

namespace {

// Fills the six fields a record shares with an entry; every other byte of
// the caller's record stays as it was.
void copyEntryOut(const AutoCheckEntry& entry, DeviceInfoRecord& record) {
    record.hubIndex = entry.hubIndex;
    record.portIndex = entry.portIndex;
    record.vendorId = entry.vendorId;
    record.productId = entry.productId;
    copyText(record.product, entry.product);
    copyText(record.manufacturer, entry.manufacturer);
}

// A new entry starts idle: a slot reused after a deletion must not inherit
// the countdown or tick counter of the entry that was there before.
void copyEntryIn(const DeviceInfoRecord& record, AutoCheckEntry& entry) {
    entry.hubIndex = record.hubIndex;
    entry.portIndex = record.portIndex;
    entry.vendorId = record.vendorId;
    entry.productId = record.productId;
    std::fill(std::begin(entry.product), std::end(entry.product), u'\0');
    std::fill(std::begin(entry.manufacturer), std::end(entry.manufacturer), u'\0');
    copyText(entry.product, record.product);
    copyText(entry.manufacturer, record.manufacturer);
    entry.hubSerial = 0;
    entry.countdown = 0;
    entry.tickCounter = 0;
    entry.countdownExtraTick = 0;
    std::fill(std::begin(entry.reserved1047), std::end(entry.reserved1047), 0);
}

// The lowest slot watching this hub and port, or -1.
int findEntry(const AutoCheckSettings& block, std::int32_t hubIndex, std::int32_t portIndex) {
    for (int i = 0; i < block.count; ++i) {
        if (block.entries[i].hubIndex == hubIndex && block.entries[i].portIndex == portIndex) return i;
    }
    return -1;
}

}  // namespace

extern "C" {

HUB_API std::int32_t HUB_CALL Hub_SetAutoCheckTimeInfo(std::uint8_t interval, std::uint8_t offTime) {
    LockGuard lock(generalLock);
    settings().interval = interval;
    settings().offTime = offTime;
    return 1;
}

HUB_API std::int32_t HUB_CALL Hub_GetAutoCheckTimeInfo(std::uint8_t* interval, std::uint8_t* offTime) {
    LockGuard lock(generalLock);
    *interval = settings().interval;
    *offTime = settings().offTime;
    return 1;
}

HUB_API std::int32_t HUB_CALL Hub_SetAutoCheckDeviceInfo(const DeviceInfoRecord* record) {
    LockGuard lock(generalLock);
    AutoCheckSettings& block = settings();
    if (block.count >= kMaxWatchEntries) return 0;
    AutoCheckEntry& entry = block.entries[block.count];
    copyEntryIn(*record, entry);
    // The entry follows the hub that holds this index now.
    CurrentHubs hubs;
    entry.hubSerial = hubs.serialAt(entry.hubIndex);
    ++block.count;
    saveSettings();
    return 1;
}

HUB_API std::int32_t HUB_CALL Hub_GetAutoCheckDeviceInfo(DeviceInfoRecord* record) {
    LockGuard lock(generalLock);
    AutoCheckSettings& block = settings();
    block.readCursor = 0;
    if (block.count == 0) return 0;
    copyEntryOut(block.entries[0], *record);
    block.readCursor = 1;
    return 1;
}

HUB_API std::int32_t HUB_CALL Hub_GetNextAutoCheckDeviceInfo(DeviceInfoRecord* record) {
    LockGuard lock(generalLock);
    AutoCheckSettings& block = settings();
    if (block.readCursor >= block.count) return 0;
    copyEntryOut(block.entries[block.readCursor], *record);
    ++block.readCursor;
    return 1;
}

HUB_API std::int32_t HUB_CALL Hub_GetAutoCheckDeviceInfoIndex(DeviceInfoRecord* record, std::uint8_t index) {
    LockGuard lock(generalLock);
    const AutoCheckSettings& block = settings();
    if (index >= block.count) return 0;
    copyEntryOut(block.entries[index], *record);
    return 1;
}

HUB_API std::int32_t HUB_CALL Hub_GetAutoCheckDeviceInfo_Index_and_Port(DeviceInfoRecord* record,
                                                                        std::int32_t hubIndex,
                                                                        std::int32_t portIndex) {
    LockGuard lock(generalLock);
    std::memset(record, 0, sizeof *record);
    const AutoCheckSettings& block = settings();
    const int slot = findEntry(block, hubIndex, portIndex);
    if (slot < 0) return 0;
    copyEntryOut(block.entries[slot], *record);
    return 1;
}

HUB_API std::int32_t HUB_CALL Hub_DeleteAutoCheckDeviceInfo(const DeviceInfoRecord* record) {
    LockGuard lock(generalLock);
    AutoCheckSettings& block = settings();
    const int slot = findEntry(block, record->hubIndex, record->portIndex);
    if (slot < 0) return 0;
    // A port the monitor holds off for this entry would stay off for good:
    // the monitor never switches on the port of an entry that has gone.
    CurrentHubs hubs;
    endRecoveryLocked(slot, hubs);
    // Later entries move down one slot in order; the last slot keeps its
    // bytes but lies outside the count. Neither cursor moves.
    std::memmove(&block.entries[slot], &block.entries[slot + 1],
                 static_cast<std::size_t>(block.count - 1 - slot) * sizeof(AutoCheckEntry));
    --block.count;
    saveSettings();
    return 1;
}

}  // extern "C"
