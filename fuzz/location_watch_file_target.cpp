// Fuzz target: any bytes as the watch file of devices kept by location. The
// parser refuses them or gives entries within the file's limits; what it
// accepts is written back to a text it reads again as the same entries.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "location_watch_file.h"
#include "program_core/hub_location.h"

namespace vostrel::fuzz {
namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace
}  // namespace vostrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vostrel;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<cli::LocationEntry> entries;
    try {
        entries = cli::parseLocationWatchFile(text);
    } catch (const cli::WatchFileError&) {
        return 0;
    }
    fuzz::check(entries.size() <= cli::kMaxLocationEntries);
    std::set<std::pair<std::string, int>> ports;
    for (const cli::LocationEntry& entry : entries) {
        fuzz::check(program::isHubLocation(entry.port.location));
        fuzz::check(entry.port.port >= 1 && entry.port.port <= cli::kMaxHubPort);
        fuzz::check(entry.manufacturer.size() <= cli::kMaxEntryTextBytes);
        fuzz::check(entry.product.size() <= cli::kMaxEntryTextBytes);
        fuzz::check(ports.emplace(entry.port.location, entry.port.port).second);
    }
    fuzz::check(cli::parseLocationWatchFile(cli::locationWatchFileText(entries)) == entries);
    return 0;
}
