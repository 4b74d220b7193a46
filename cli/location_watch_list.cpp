#include "location_watch_list.h"

#include <algorithm>
#include <charconv>

#include "command_error.h"
#include "program_core/hub_location.h"
#include "usbbus/utf.h"

namespace vostrel::cli {
namespace {

// A device's text as the watch file takes it: well-formed UTF-8, cut at a
// character to the length a device's text can have.
std::string keptText(const std::string& text) {
    std::string kept = usbbus::utf16ToUtf8(usbbus::utf8ToUtf16Replacing(text));
    if (kept.size() <= kMaxEntryTextBytes) return kept;
    std::size_t end = kMaxEntryTextBytes;
    while (end > 0 && (static_cast<unsigned char>(kept[end]) & 0xC0) == 0x80) --end;
    kept.resize(end);
    return kept;
}

auto entryAt(std::vector<LocationEntry>& entries, const anyhub::PortAddress& port) {
    return std::find_if(entries.begin(), entries.end(), [&](const LocationEntry& e) { return e.port == port; });
}

}  // namespace

anyhub::PortAddress locationPortFrom(const std::string& location, const std::string& port) {
    if (!program::isHubLocation(location)) {
        throw usageError("--location " + location + ": expected a hub's location as 'hubs' shows it, e.g. 1-1.4");
    }
    int number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || number < 1 ||
        number > kMaxHubPort) {
        throw usageError("--port " + port + ": expected a port number from 1 to " + std::to_string(kMaxHubPort));
    }
    return {location, number};
}

std::string locationPortText(const anyhub::PortAddress& port) {
    return port.location + " port " + std::to_string(port.port);
}

const LocationEntry& addLocationEntry(std::vector<LocationEntry>& entries, const anyhub::PortAddress& port,
                                      anyhub::HubPorts& hubs) {
    if (entryAt(entries, port) != entries.end()) throw failure(locationPortText(port) + " is on the watch list already");
    if (entries.size() >= kMaxLocationEntries) {
        throw failure("the watch list by location is full: it holds " + std::to_string(kMaxLocationEntries) +
                      " devices");
    }
    hubs.refresh();
    const anyhub::PortLook look = hubs.look(port);
    switch (look.reading) {
    case anyhub::PortReading::HubMissing:
        throw failure("no hub at " + port.location + " with a port " + std::to_string(port.port));
    case anyhub::PortReading::Empty:
        throw failure(locationPortText(port) + " has no device to watch");
    case anyhub::PortReading::Device:
        break;
    }
    const anyhub::DeviceOnPort& device = look.device;
    entries.push_back({port, device.vendorId, device.productId, keptText(device.manufacturer),
                       keptText(device.product)});
    return entries.back();
}

void removeLocationEntry(std::vector<LocationEntry>& entries, const anyhub::PortAddress& port) {
    const auto found = entryAt(entries, port);
    if (found == entries.end()) throw failure(locationPortText(port) + " is not on the watch list");
    entries.erase(found);
}

}  // namespace vostrel::cli
