// The auto-recovery settings block: the two times, the enabled flag and the
// watch list. The block is also the exact image of the settings file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/locks.h"
#include "frame/records.h"

namespace vostrel {

inline constexpr int kMaxWatchEntries = 32;
inline constexpr std::uint8_t kDefaultInterval = 5;
inline constexpr std::uint8_t kDefaultOffTime = 3;

// One watched device. It shares the port record's layout: the kept fields lie
// at the same offsets and the monitor's counters use the reserved bytes.
struct AutoCheckEntry {
    std::uint8_t reserved0[4];
    std::int32_t hubIndex;
    std::int32_t portIndex;
    std::uint16_t vendorId;
    std::uint16_t productId;
    // hubSerialHash() of the watched hub's serial number string, so the entry
    // follows its hub when the hub gets another index; 0: not known (a
    // file written before entries kept it). Readers that know nothing of it
    // take it for the reserved zeros it was.
    std::uint32_t hubSerial;
    char16_t product[kTextUnits];
    char16_t manufacturer[kTextUnits];
    std::uint8_t countdown;    // ticks until the port is switched on again
    std::uint8_t tickCounter;  // ticks since the last check
    // An off time of 255 needs a countdown of 256, one more than the byte
    // holds: the byte then keeps 255 and this flag stands for the extra tick.
    // Readers that know nothing of the flag still see a running countdown.
    std::uint8_t countdownExtraTick;
    std::uint8_t reserved1047[5];

    // The countdown in full, 0 to 256.
    unsigned recoveryCountdown() const { return countdown + (countdown != 0 && countdownExtraTick ? 1u : 0u); }
    void setRecoveryCountdown(unsigned ticks);
};

static_assert(sizeof(AutoCheckEntry) == sizeof(PortInfoRecord));
static_assert(offsetof(AutoCheckEntry, hubIndex) == offsetof(PortInfoRecord, hubIndex));
static_assert(offsetof(AutoCheckEntry, portIndex) == offsetof(PortInfoRecord, portIndex));
static_assert(offsetof(AutoCheckEntry, vendorId) == offsetof(PortInfoRecord, vendorId));
static_assert(offsetof(AutoCheckEntry, productId) == offsetof(PortInfoRecord, productId));
static_assert(offsetof(AutoCheckEntry, hubSerial) == 16);
static_assert(offsetof(AutoCheckEntry, product) == offsetof(PortInfoRecord, product));
static_assert(offsetof(AutoCheckEntry, manufacturer) == offsetof(PortInfoRecord, manufacturer));
static_assert(offsetof(AutoCheckEntry, countdown) == 1044);
static_assert(offsetof(AutoCheckEntry, tickCounter) == 1045);
static_assert(offsetof(AutoCheckEntry, countdownExtraTick) == 1046);
static_assert(offsetof(AutoCheckEntry, reserved1047) == 1047);

struct AutoCheckSettings {
    std::uint8_t interval;  // ticks between two checks of one entry
    std::uint8_t offTime;   // a failed port stays off for offTime + 1 ticks
    std::uint8_t enabled;
    std::uint8_t count;       // valid entries, slots 0 to count - 1
    std::uint8_t readCursor;  // next entry for Hub_GetNextAutoCheckDeviceInfo
    std::uint8_t passCursor;  // next entry of the monitor's current pass
    std::uint8_t reserved6[2];
    AutoCheckEntry entries[kMaxWatchEntries];
};

static_assert(sizeof(AutoCheckSettings) == 33672);
static_assert(offsetof(AutoCheckSettings, interval) == 0);
static_assert(offsetof(AutoCheckSettings, offTime) == 1);
static_assert(offsetof(AutoCheckSettings, enabled) == 2);
static_assert(offsetof(AutoCheckSettings, count) == 3);
static_assert(offsetof(AutoCheckSettings, readCursor) == 4);
static_assert(offsetof(AutoCheckSettings, passCursor) == 5);
static_assert(offsetof(AutoCheckSettings, reserved6) == 6);
static_assert(offsetof(AutoCheckSettings, entries) == 8);

inline constexpr const char* kSettingsFileName = "vostrel.dat";

// The library's block.
AutoCheckSettings& settings() REQUIRES(generalLock);

// Zeroes the block, reads the settings file from the current directory over
// it and applies the defaults. Any file content is accepted: a count above
// the slot count is clamped.
void loadSettings() REQUIRES(generalLock);

// Writes the whole block to the settings file in the current directory. A
// file that cannot be written is skipped silently; the previous file stays.
void saveSettings() REQUIRES(generalLock);

// Saves the block when it differs from what the last load or successful save
// left, as at unload: a process that changed nothing (not even a cursor or a
// counter) writes nothing, and a folder without a settings file gets none.
void saveSettingsIfChanged() REQUIRES(generalLock);

}  // namespace vostrel
