#include "watch_list.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "recovery/settings.h"
#include "session.h"
#include "utf8_text.h"

namespace vostrel::cli {

namespace {

// The entries' hub digests from the settings file; none when it is no
// regular file or not whole.
std::vector<std::uint32_t> storedHubSerials() {
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(kSettingsFile, error))) return {};
    std::ifstream in(kSettingsFile, std::ios::binary);
    const auto block = std::make_unique<AutoCheckSettings>();
    if (!in.read(reinterpret_cast<char*>(block.get()), sizeof *block)) return {};
    std::vector<std::uint32_t> serials;
    for (int i = 0; i < std::min<int>(block->count, kMaxWatchEntries); ++i) {
        serials.push_back(block->entries[i].hubSerial);
    }
    return serials;
}

}  // namespace

std::vector<WatchEntry> readWatchList(const HubLibrary& hub) {
    std::vector<WatchEntry> entries;
    DeviceInfoRecord record{};
    for (int more = hub.firstWatched(&record); more != 0; more = hub.nextWatched(&record)) {
        entries.push_back({{record.hubIndex, record.portIndex + 1},
                           {record.vendorId, record.productId},
                           utf8Text(record.manufacturer),
                           utf8Text(record.product)});
    }
    const std::vector<std::uint32_t> serials = storedHubSerials();
    if (serials.size() == entries.size()) {
        for (std::size_t i = 0; i < entries.size(); ++i) entries[i].hubSerial = serials[i];
    }
    return entries;
}

}  // namespace vostrel::cli
