#include "program_core/watch_list.h"

#include "program_core/port_texts.h"
#include "program_core/text.h"

namespace vostrel::program {

std::vector<WatchRow> readWatchList(const HubLibrary& library) {
    std::vector<WatchRow> rows;
    DeviceInfoRecord record{};
    for (auto more = library.firstWatched(&record); more; more = library.nextWatched(&record)) {
        rows.push_back({std::to_string(record.hubIndex), std::to_string(static_cast<long long>(record.portIndex) + 1),
                        hexId(record.vendorId), hexId(record.productId),
                        deviceName(recordText(record.manufacturer), recordText(record.product))});
    }
    return rows;
}

bool removeWatchEntry(const HubLibrary& library, int row) {
    // The library counts entries in 8 bits.
    if (row < 0 || row > 255) return false;
    DeviceInfoRecord record{};
    if (library.watchedAtIndex(&record, static_cast<std::uint8_t>(row)) == 0) return false;
    return library.removeWatched(&record) != 0;
}

}  // namespace vostrel::program
