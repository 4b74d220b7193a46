#include "watch_list.h"

#include "utf8_text.h"

namespace vostrel::cli {

std::vector<WatchEntry> readWatchList(const HubLibrary& hub) {
    std::vector<WatchEntry> entries;
    DeviceInfoRecord record{};
    for (int more = hub.firstWatched(&record); more != 0; more = hub.nextWatched(&record)) {
        entries.push_back({{record.hubIndex, record.portIndex + 1},
                           {record.vendorId, record.productId},
                           utf8Text(record.manufacturer),
                           utf8Text(record.product)});
    }
    return entries;
}

}  // namespace vostrel::cli
