// The watch list as the watch-list dialog shows it: one row per entry, in
// the library's order, so that a row's position is the entry's index.
#pragma once

#include <string>
#include <vector>

#include "program_core/hub_library.h"

namespace vostrel::program {

struct WatchRow {
    std::string hubIndex;    // as stored, counted from 0
    std::string portNumber;  // 1 to 4
    std::string vendorId;    // "0x%04X"
    std::string productId;
    std::string deviceName;  // manufacturer and product joined by a blank
};

// One walk of the library's list from its first entry to its last.
std::vector<WatchRow> readWatchList(const HubLibrary& library);

// Removes the entry at `row`; false when the library has no such entry.
bool removeWatchEntry(const HubLibrary& library, int row);

}  // namespace vostrel::program
