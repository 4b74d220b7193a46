// The watch list of devices on any hub, kept by the hub's location in
// "vostrel-watch.json" beside the family's settings file:
// (locations as program_core/hub_location.h reads them):
//   {"version": 1, "entries": [{"location": "1-1.4", "port": 2, "vendorId": "046D",
//    "productId": "C52B", "manufacturer": "Maker", "product": "Widget"}]}
// The file may have been edited or planted by anyone who can write the
// folder: a file that is not exactly this shape is refused as a whole,
// never read in part, and never written over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "hub_ports.h"

namespace vostrel::cli {

inline constexpr char kLocationWatchFile[] = "vostrel-watch.json";
inline constexpr int kLocationWatchVersion = 1;
inline constexpr std::size_t kMaxLocationEntries = 32;
// Far above what 32 entries with the longest texts a device can give take.
inline constexpr std::size_t kMaxLocationWatchFileBytes = 64 * 1024;
// A USB string descriptor holds at most 126 UTF-16 units, three bytes each in UTF-8.
inline constexpr std::size_t kMaxEntryTextBytes = 378;
inline constexpr int kMaxHubPort = 255;

struct LocationEntry {
    anyhub::PortAddress port;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string manufacturer;  // UTF-8; empty when the device gave none
    std::string product;

    bool operator==(const LocationEntry&) const = default;
};

// Why a watch file was refused.
class WatchFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::vector<LocationEntry> parseLocationWatchFile(std::string_view text);
std::string locationWatchFileText(const std::vector<LocationEntry>& entries);

// The entries of the file at `path`; none when there is no file. Throws a
// WatchFileError when there is something else at that name, or a file that
// cannot be read or is refused.
std::vector<LocationEntry> readLocationWatchFile(const std::string& path);

// Replaces the file all or nothing. Throws a WatchFileError when it could
// not be written; the old file then stays as it was.
void writeLocationWatchFile(const std::string& path, const std::vector<LocationEntry>& entries);

}  // namespace vostrel::cli
