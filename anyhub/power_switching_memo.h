// What hub devices' descriptors said of their ports' power switching, kept
// between runs of the program for as long as each device instance exists:
// a listing then asks a hub once, not at every run, and does not wake a
// suspended hub to ask it again. Switching a port never goes by it; the hub
// is asked then.
//
// The file is text, a header line, then one line per hub device:
//   vostrel hub power switching 1
//   <kernel name> <bus> <device number> <folder identity> <folder made, ns> per-port|ganged|none
// e.g. "1-1.4 1 7 52013 1733740000123456789 per-port". A device that comes
// again, in the same place or not, has another device number and another
// folder, so a line never speaks for it.
//
// The file lies in the user's own runtime folder, yet it is read as
// untrusted: a file that is not exactly this shape counts as none.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "usbbus/hub_requests.h"

namespace vostrel::anyhub {

inline constexpr char kPowerSwitchingMemoFile[] = "vostrel-hub-power-switching";
// Far above the hub devices of any bus: 127 devices on each of 32 buses.
inline constexpr std::size_t kMaxMemoEntries = 4096;
// A kernel name is at most "<bus>-" and 7 tiers of ports up to 255.
inline constexpr std::size_t kMaxMemoNameBytes = 40;
// The header, and each entry's line at its longest: the name, the numbers
// at their widest, "per-port", the spaces and the line end.
inline constexpr std::size_t kMaxMemoFileBytes = 32 + kMaxMemoEntries * (kMaxMemoNameBytes + 10 + 5 + 20 + 19 + 8 + 6);

// One hub device instance.
struct HubDeviceInstance {
    std::string name;  // its kernel name, "1-1.4" or "usb2"
    std::uint32_t bus = 0;
    std::uint16_t address = 0;  // its device number
    std::uint64_t identity = 0;
    std::int64_t madeNs = 0;

    auto operator<=>(const HubDeviceInstance&) const = default;
};

using PowerSwitchingMemo = std::map<HubDeviceInstance, usbbus::PortPowerSwitching>;

// Nothing for a text that is not exactly the shape above.
std::optional<PowerSwitchingMemo> parsePowerSwitchingMemo(std::string_view text);
// Entries beyond kMaxMemoEntries are left out.
std::string powerSwitchingMemoText(const PowerSwitchingMemo& memo);

// The memo in the file at `path`; empty when there is none, or none that
// can be read as one.
PowerSwitchingMemo readPowerSwitchingMemo(const std::string& path);
// Replaces the file all or nothing; a memo that cannot be written is only
// reported through the diagnostics, the hubs are asked again next time.
void writePowerSwitchingMemo(const std::string& path, const PowerSwitchingMemo& memo);

}  // namespace vostrel::anyhub
